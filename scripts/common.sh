# Shared by build.sh and test.sh: progress lines and the Debian packages that
# a fresh machine lacks.

Step() { printf '\n==> %s\n' "$*"; }

# EnsurePackages pkg...: installs whichever of the packages are missing, with
# one apt-get update first; does nothing when all are present.
EnsurePackages() {
  local missing=() package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
      missing+=("$package")
  done
  if [ ${#missing[@]} -eq 0 ]; then
    echo "All needed packages are installed."
    return 0
  fi
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# What building and testing need: CMake and Ninja, the host compiler and
# GoogleTest, the MinGW-w64 cross compiler (posix threads) and Wine.
BuildPackages=(cmake ninja-build g++ libgtest-dev googletest g++-mingw-w64-x86-64-posix wine64 zip unzip)

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
  tools=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/powershell
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
  PATH=$(dirname "$RealPowerShell"):$PATH
  RealPowerShellVersion=$version
  export RealPowerShell RealPowerShellVersion PATH
  echo "Real PowerShell: $version"
}

# PowerShellVersion PWSH: its version when it is 7.2 or later, else nothing.
PowerShellVersion() {
  local version
  version=$("$1" -NoLogo -NoProfile -NonInteractive -Command '$PSVersionTable.PSVersion.ToString()' 2>/dev/null) || return 0
  [[ $version =~ ^([0-9]+)\.([0-9]+) ]] || return 0
  [ "${BASH_REMATCH[1]}" -gt 7 ] || { [ "${BASH_REMATCH[1]}" -eq 7 ] && [ "${BASH_REMATCH[2]}" -ge 2 ]; } || return 0
  echo "$version"
}
