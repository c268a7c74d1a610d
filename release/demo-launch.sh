#!/usr/bin/env bash
# Shows one launch of the built launcher under Wine, from a throwaway copy
# of the package folder, never from the folder itself: a script that runs
# may write beside itself, and the package must stay what the zip holds.
#   demo-launch.sh [--own-package] PACKAGE_FOLDER STAND_IN_EXE ARGUMENT...
# The test stand-in takes the place of Windows PowerShell: the command line
# PowerShell would receive and the exit code that comes back. Only with
# --own-package (the project's own default pair), and when RealPowerShell
# names pwsh (see EnsurePowerShell), the same launch again with the
# stand-in handing its arguments to pwsh: what the script printed and
# PowerShell's exit code. An author's scripts never run here.
# A launch that does not give back what it should says so, with its exit
# code, and fails (exit 1).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh
own=false
if [ "${1:-}" = --own-package ]; then
  own=true
  shift
fi
[ $# -ge 2 ] || Refuse "usage: release/demo-launch.sh [--own-package] PACKAGE_FOLDER STAND_IN_EXE ARGUMENT..."
package=$(realpath -- "$1")
stand_in=$(realpath -- "$2")
shift 2

UseWine "$PWD/build/mingw/wineprefix"
tests/wine/wine-prefix.sh up "$stand_in"
throwaway=$(mktemp -d)
trap 'tests/wine/wine-prefix.sh down; rm -rf -- "$throwaway"' EXIT
copy=$throwaway/$(basename -- "$package")
# The stand-in reads no script, so the launcher alone does; the own pair is
# a handful of small files.
if $own; then
  cp -r -- "$package" "$copy"
else
  mkdir -- "$copy"
  cp -- "$package/Install-Yorn-UI.exe" "$copy/"
fi
launcher=$copy/Install-Yorn-UI.exe

record=$throwaway/record.bin
export STAND_IN_RECORD="Z:${record//\//\\}" STAND_IN_EXIT_CODE=7
echo "Running: Install-Yorn-UI.exe $*   (from a copy in $throwaway; the stand-in exits with 7)"
status=0
"$Wine" "$launcher" "$@" </dev/null >/dev/null 2>&1 || status=$?
[ -s "$record" ] ||
  Fail "the launch under Wine failed: the launcher exited with $status and the stand-in PowerShell never ran"
echo "PowerShell would receive:"
# The record holds NUL-separated UTF-16 fields; the first is the command line.
printf '  %s\n' "$(iconv -f UTF-16LE -t UTF-8 "$record" | tr '\0' '\n' | head -n 1)"
echo "Exit code: $status"
[ "$status" -eq 7 ] ||
  Fail "the launch under Wine failed: the launcher exited with $status, not with the stand-in's 7"

if ! $own; then
  echo "The package's own scripts did not run: the build never runs an author's code."
  exit 0
fi
[ -n "${RealPowerShell:-}" ] || exit 0
output=$throwaway/output
status=0
tests/powershell/broker.sh "$RealPowerShell" "$Wine" "$launcher" "$@" </dev/null >"$output" 2>&1 ||
  status=$?
echo "With real PowerShell ($RealPowerShell) running the script, it printed:"
sed 's/^/  /' "$output"
echo "Exit code: $status"
[ "$status" -eq 0 ] ||
  Fail "the launch with real PowerShell failed: the project's own script exited with $status"
