#!/usr/bin/env bash
# Every test: installs what is missing, builds, and runs the suites.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/common.sh

# Suite TITLE: starts one suite; SkipSuite TITLE REASON: says that one is
# skipped, and why. Each part of the run (the set-up, then each suite) says
# how long it took when it ends, and Times lists them all with the total.
passed=0 skipped=0 part='' part_start=0 times=()
Now() { echo "${EPOCHREALTIME/./}"; }
# Seconds PART_START: the time since then, in seconds to a tenth.
Seconds() {
  local tenths=$((($(Now) - $1) / 100000))
  echo "$((tenths / 10)).$((tenths % 10))"
}
EndPart() {
  [ -n "$part" ] || return 0
  local took
  took=$(Seconds "$part_start")
  echo "($part: $took s)"
  times+=("$(printf '%7s s  %s' "$took" "$part")")
  part=''
}
Begin() {
  EndPart
  Step "$1"
  part=$1 part_start=$(Now)
}
Suite() { Begin "$1" && passed=$((passed + 1)); }
SkipSuite() {
  EndPart
  Step "$1: skipped, $2" && skipped=$((skipped + 1))
  times+=("$(printf '%9s  %s' skipped "$1")")
}
Times() {
  EndPart
  Step "Times"
  printf '%s\n' "${times[@]}"
  printf '%7s s  %s\n' "$(Seconds "$run_start")" total
}
run_start=$(Now)

Begin "Checking packages"
EnsurePackages "${BuildPackages[@]}" clang-format clang-tidy cppcheck shellcheck \
  osslsigncode openssl softhsm2 libengine-pkcs11-openssl python3
real_powershell=false
if EnsurePowerShell "the suites that need it are skipped"; then real_powershell=true; fi
# Ctrl+C reaches a program under Wine only through a console, which Wine
# gives only to a program on a terminal; script(1) gives it one.
terminal=true
if ! command -v script >/dev/null; then
  terminal=false
  echo "No script command: Wine cannot be given a terminal, so the Ctrl+C suite is skipped."
fi

Suite "Host build and unit tests"
cmake --preset host
cmake --build --preset host
ctest --preset host

Suite "Host unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset host-sanitize
cmake --build --preset host-sanitize
ctest --preset host-sanitize

Suite "Layout and static analysis"
tests/lint.sh

Suite "Windows build (MinGW-w64) and the tests under Wine"
cmake --preset mingw
cmake --build --preset mingw
ctest --preset mingw
WINEPREFIX=$PWD/build/mingw/wineprefix tests/wine/wine-prefix.sh starts

Suite "Windows build (MSVC ABI: clang-cl and lld-link) and the same tests under Wine"
EnsurePackages "${MsvcPackages[@]}"
cmake --preset msvc
cmake --build --preset msvc
ctest --preset msvc
WINEPREFIX=$PWD/build/msvc/wineprefix tests/wine/wine-prefix.sh starts

if $real_powershell; then
  Suite "Real PowerShell: the scripts run end to end, as Windows hands them their arguments"
  tests/powershell/replay-test.sh
  Suite "Real PowerShell: ./build.sh checks an author's scripts before it builds"
  tests/powershell/check-test.sh
else
  SkipSuite "Real PowerShell: the scripts end to end" "no PowerShell"
  SkipSuite "Real PowerShell: the author's check" "no PowerShell"
fi

if $terminal; then
  Suite "Ctrl+C in the launcher, under Wine on a terminal"
  tests/wine/ctrl-c-test.sh
else
  SkipSuite "Ctrl+C in the launcher" "no terminal for Wine (no script command)"
fi

Suite "Package: reproducible, checksummed, other authors' scripts"
tests/package-test.sh

Suite "Releases: version, icon, each way of signing, and what is refused"
tests/release-test.sh

Suite "Fuzzing the launch planning (about a minute)"
fuzz/run.sh 60

Times
Step "All tests passed"
echo "Suites: $passed passed, 0 failed, $skipped skipped"
