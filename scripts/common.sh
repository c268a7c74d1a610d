# shellcheck shell=bash
# Shared by every shell script of the project: progress lines, the one way
# to refuse, the build's date, the Wine environment and the Debian packages
# that a fresh machine lacks.

ProjectRoot=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/.." && pwd)

Step() { printf '\n==> %s\n' "$*"; }

# Refuse MESSAGE: bad input or usage (exit 2); Fail MESSAGE: a failure
# (exit 1). Either way one line on standard error that names the problem.
Refuse() {
  echo "error: $*" >&2
  exit 2
}
Fail() {
  echo "error: $*" >&2
  exit 1
}

# The build's one date, in seconds since 1970: SOURCE_DATE_EPOCH when it is
# set (the reproducible-builds convention), else the commit's date; when
# neither gives one, 1980-01-01, the earliest date a zip can hold, and a note
# that says so.
BuildEpoch() {
  if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
    [[ $SOURCE_DATE_EPOCH =~ ^[0-9]+$ ]] || Refuse "SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH is not a number of seconds"
    echo "$SOURCE_DATE_EPOCH"
  elif ! git -C "$ProjectRoot" log -1 --format=%ct 2>/dev/null; then
    echo "note: neither SOURCE_DATE_EPOCH nor git gives a date; the build is dated 1980-01-01" >&2
    echo 315532800
  fi
}

# UseWine PREFIX: exports the environment of every Wine run of the project
# (scripts/wine.env, which CMake reads too) with PREFIX as its Wine prefix.
UseWine() {
  local name value
  export WINEPREFIX=$1
  while IFS='=' read -r name value; do
    [[ $name =~ ^[A-Z]+$ ]] && export "$name=$value"
  done <"$ProjectRoot/scripts/wine.env"
}
# How every Wine run of the project starts a Windows program (scripts/wine).
# shellcheck disable=SC2034 # used by the scripts that source this file
Wine=$ProjectRoot/scripts/wine

# EnsurePackages pkg...: installs whichever of the packages are missing, with
# one apt-get update first; does nothing when all are present.
EnsurePackages() {
  local missing=() package installed
  # One query for all of them: a build that is refused at once stays quick.
  installed=" $(dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' "$@" 2>/dev/null | awk '$1 == "ii" { printf "%s ", $2 }')"
  for package in "$@"; do
    [[ $installed == *" ${package%%:*} "* ]] || missing+=("$package")
  done
  if [ ${#missing[@]} -eq 0 ]; then
    echo "All needed packages are installed."
    return 0
  fi
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  echo "Installing: ${missing[*]}"
  # Another install that holds dpkg's lock is waited for, not failed on.
  local apt=(env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 -q)
  "${sudo[@]}" "${apt[@]}" update
  "${sudo[@]}" "${apt[@]}" install -y --no-install-recommends "${missing[@]}"
}

# What building and testing need: CMake and Ninja, the host compiler and
# GoogleTest, the MinGW-w64 cross compiler (posix threads), Python for the
# image's finishing step, and Wine.
# shellcheck disable=SC2034 # used by the scripts that source this file
BuildPackages=(cmake ninja-build g++ libgtest-dev googletest g++-mingw-w64-x86-64-posix python3 wine64 zip unzip)

# What the MSVC-ABI build adds: clang-cl, lld-link, and the LLVM tools that
# make the resources and the import library.
# shellcheck disable=SC2034 # used by the scripts that source this file
MsvcPackages=(clang-tools-14 lld-14 llvm-14)

# EnsurePowerShell CONSEQUENCE: finds the real PowerShell that checks
# authors' scripts and runs them in the tests: a pwsh 7.2 or later on PATH as
# it is, else PowerShell 7.6.10 as a .NET tool under build/powershell,
# installed there when the .NET SDK is present (the tool's newest, 7.7.0,
# fails, so the version is named). Sets and exports RealPowerShell, puts its
# folder first on PATH so that the builds started from here use the same
# one, and prints its version; with none, prints one line ending in
# CONSEQUENCE and returns 1. A build started from here takes the one found
# as it is. Telemetry and update checks stay off: nothing may reach the
# network.
EnsurePowerShell() {
  export POWERSHELL_TELEMETRY_OPTOUT=1 POWERSHELL_UPDATECHECK=Off DOTNET_CLI_TELEMETRY_OPTOUT=1 DOTNET_NOLOGO=1
  if [ -n "${RealPowerShellVersion:-}" ] && [ -x "${RealPowerShell:-}" ]; then
    echo "Real PowerShell: $RealPowerShellVersion"
    return 0
  fi
  local tools version=
  tools=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/.." && pwd)/build/powershell
  RealPowerShell=$(command -v pwsh || true)
  [ -n "$RealPowerShell" ] && version=$(PowerShellVersion "$RealPowerShell")
  if [ -z "$version" ]; then
    RealPowerShell=$tools/pwsh
    [ -x "$RealPowerShell" ] && version=$(PowerShellVersion "$RealPowerShell")
  fi
  if [ -z "$version" ] && command -v dotnet >/dev/null; then
    echo "Installing PowerShell 7.6.10 into $tools"
    rm -rf "$tools"
    dotnet tool install --tool-path "$tools" PowerShell --version 7.6.10 >/dev/null
    version=$(PowerShellVersion "$RealPowerShell")
    [ -n "$version" ] || { echo "error: the PowerShell installed into $tools does not start" >&2 && exit 1; }
  fi
  if [ -z "$version" ]; then
    echo "No PowerShell: neither pwsh 7.2 or later nor the .NET SDK is on this machine, so $1."
    RealPowerShell=
    return 1
  fi
  PATH=$(dirname -- "$RealPowerShell"):$PATH
  RealPowerShellVersion=$version
  export RealPowerShell RealPowerShellVersion PATH
  echo "Real PowerShell: $version"
}

# PowerShellVersion PWSH: its version when it is 7.2 or later, else nothing.
PowerShellVersion() {
  local version
  # shellcheck disable=SC2016 # $PSVersionTable is PowerShell's
  version=$("$1" -NoLogo -NoProfile -NonInteractive -Command '$PSVersionTable.PSVersion.ToString()' 2>/dev/null) || return 0
  [[ $version =~ ^([0-9]+)\.([0-9]+) ]] || return 0
  [ "${BASH_REMATCH[1]}" -gt 7 ] || { [ "${BASH_REMATCH[1]}" -eq 7 ] && [ "${BASH_REMATCH[2]}" -ge 2 ]; } || return 0
  echo "$version"
}
