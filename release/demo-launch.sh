#!/usr/bin/env bash
# Shows one launch of the built launcher under Wine, with the test stand-in
# in place of Windows PowerShell: the command line PowerShell would receive
# and the exit code that comes back. When RealPowerShell names pwsh (see
# EnsurePowerShell), the same launch again with the stand-in handing its
# arguments to pwsh: what the script printed and PowerShell's exit code.
#   demo-launch.sh LAUNCHER_EXE STAND_IN_EXE ARGUMENT...
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh
[ $# -ge 2 ] || Refuse "usage: release/demo-launch.sh LAUNCHER_EXE STAND_IN_EXE ARGUMENT..."
launcher=$(realpath "$1")
stand_in=$(realpath "$2")
shift 2

UseWine "$PWD/build/mingw/wineprefix"
tests/wine/wine-prefix.sh up "$stand_in"
trap 'tests/wine/wine-prefix.sh down' EXIT

record=$(mktemp -d)/record.bin
export STAND_IN_RECORD="Z:${record//\//\\}" STAND_IN_EXIT_CODE=7
echo "Running: Install-Yorn-UI.exe $*   (the stand-in exits with 7)"
status=0
"$Wine" "$launcher" "$@" </dev/null >/dev/null 2>&1 || status=$?
echo "PowerShell would receive:"
# The record holds NUL-separated UTF-16 fields; the first is the command line.
printf '  %s\n' "$(iconv -f UTF-16LE -t UTF-8 "$record" | tr '\0' '\n' | head -n 1)"
echo "Exit code: $status"
rm -rf "$(dirname "$record")"

[ -n "${RealPowerShell:-}" ] || exit 0
output=$(mktemp)
status=0
tests/powershell/broker.sh "$RealPowerShell" "$Wine" "$launcher" "$@" </dev/null >"$output" 2>&1 ||
  status=$?
echo "With real PowerShell ($RealPowerShell) running the script, it printed:"
sed 's/^/  /' "$output"
echo "Exit code: $status"
rm -f "$output"
