#!/usr/bin/env bash
# The launcher and the command script under Wine with real PowerShell in the
# loop (tests/wine/real_powershell_test.cpp): the default scripts and the
# binding pair run in pwsh, served by broker.sh, and a script that loads a
# module. Its Ctrl+C case is tests/wine/ctrl-c-test.sh's.
# Needs the mingw build and RealPowerShell (scripts/common.sh's
# EnsurePowerShell).
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/common.sh
: "${RealPowerShell:?RealPowerShell must name pwsh; EnsurePowerShell sets it}"
wine_tests=$PWD/build/mingw/tests/wine
UseWine "$PWD/build/mingw/wineprefix"
export LAUNCHER_EXE=$PWD/build/mingw/runner/Install-Yorn-UI.exe COMMAND_SCRIPT=$PWD/release/Install-Yorn-UI.cmd \
  DEFAULT_SCRIPTS=$PWD/package BINDING_SCRIPTS=$PWD/tests/powershell/binding-pair \
  MODULE_SCRIPTS=$PWD/tests/powershell/module-script
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
