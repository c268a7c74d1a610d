#!/usr/bin/env bash
# Ctrl+C in the launcher under Wine: the CtrlC case of
# tests/wine/real_powershell_test.cpp, which needs no PowerShell. It needs a
# console, which Wine gives only to a program on a terminal, so it runs
# under script(1). The case must run and pass: without a console it skips
# itself, and gtest reports a skip as "[  SKIPPED ]" and exits 0, so only
# its "[       OK ]" line counts. ./test.sh skips this suite, and says so,
# where there is no script command. Needs the mingw build.
set -euo pipefail
cd "$(dirname -- "$0")/../.."
source scripts/common.sh
command -v script >/dev/null || Fail "no script command: Wine cannot be given a terminal for Ctrl+C"
wine_tests=$PWD/build/mingw/tests/wine
UseWine "$PWD/build/mingw/wineprefix"
export LAUNCHER_EXE=$PWD/build/mingw/runner/Install-Yorn-UI.exe
log=$(mktemp)
trap 'tests/wine/wine-prefix.sh down; rm -f "$log"' EXIT
tests/wine/wine-prefix.sh up "$wine_tests/powershell.exe" >/dev/null

case=CtrlC.EndsTheLauncherAsAProgramWithoutAHandler
command=$(printf '%q ' "$Wine" "$wine_tests/real_powershell_test.exe" --gtest_filter="$case" --gtest_color=no)
status=0
script -qec "$command" "$log" </dev/null >/dev/null 2>&1 || status=$?
# Wine's console draws a space as "erase, then one step right".
output=$(sed -e 's/\x1b\[K\x1b\[1C/ /g' -e 's/\x1b\[[0-9;?]*[A-Za-z]//g' -e 's/\r//g' "$log")
if [ $status -ne 0 ] || ! grep -q "^\[       OK \] ${case//./\\.} " <<<"$output"; then
  echo "$output"
  Fail "Ctrl+C in the launcher: $case did not run and pass (exit status $status); see above"
fi
grep -E '^After Ctrl\+C|^\[ +OK +\]' <<<"$output"
