#!/usr/bin/env bash
# The launcher and the command script under Wine with real PowerShell in the
# loop (tests/wine/real_powershell_test.cpp): the default scripts and the
# binding pair run in pwsh, served by broker.sh; then Ctrl+C, on a terminal.
# Needs the mingw build and RealPowerShell (scripts/common.sh's
# EnsurePowerShell).
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/common.sh
: "${RealPowerShell:?RealPowerShell must name pwsh; EnsurePowerShell sets it}"
wine_tests=$PWD/build/mingw/tests/wine
UseWine "$PWD/build/mingw/wineprefix"
export LAUNCHER_EXE=$PWD/build/mingw/runner/Install-Yorn-UI.exe COMMAND_SCRIPT=$PWD/package/Install-Yorn-UI.cmd \
  DEFAULT_SCRIPTS=$PWD/package BINDING_SCRIPTS=$PWD/tests/powershell/binding-pair
log=$(mktemp)
trap 'tests/wine/wine-prefix.sh down; rm -f "$log"' EXIT
tests/wine/wine-prefix.sh up "$wine_tests/powershell.exe" >/dev/null
# Wine programs write to files: through a pipe their output can be lost.
if ! tests/powershell/broker.sh "$RealPowerShell" \
  "$Wine" "$wine_tests/real_powershell_test.exe" '--gtest_filter=-CtrlC.*' >"$log" 2>&1; then
  cat "$log"
  echo "error: the scripts under real PowerShell: see above" >&2
  exit 1
fi
grep -E '^\[ +(PASSED|OK) +\]' "$log"

# Ctrl+C needs a console, which Wine gives only to a program on a terminal.
command=$(printf '%q ' "$Wine" "$wine_tests/real_powershell_test.exe" --gtest_filter='CtrlC.*' --gtest_color=no)
if ! script -qec "$command" "$log" </dev/null >/dev/null 2>&1; then
  cat "$log"
  echo "error: Ctrl+C in the launcher: see above" >&2
  exit 1
fi
# Wine's console draws a space as "erase, then one step right".
sed -e 's/\x1b\[K\x1b\[1C/ /g' -e 's/\x1b\[[0-9;?]*[A-Za-z]//g' -e 's/\r//g' "$log" |
  grep -E '^After Ctrl\+C|^\[ +(OK|SKIPPED) +\]'
