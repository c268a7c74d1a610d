#!/usr/bin/env bash
# The Wine prefix of the Windows-side tests (WINEPREFIX, from CTest).
#   wine-prefix.sh up STAND_IN   creates the prefix on first use, keeps one
#                                wineserver up for the run and installs the
#                                stand-in as Windows PowerShell;
#   wine-prefix.sh down          stops that wineserver.
set -euo pipefail
wine=/usr/lib/wine/wine64
server=/usr/lib/wine/wineserver
: "${WINEPREFIX:?WINEPREFIX must name the test prefix}"

case "${1:-}" in
up)
  mkdir -p "$WINEPREFIX"
  # A server started here outlives this script; its streams must not hold
  # CTest's output pipe open.
  "$server" -p </dev/null >/dev/null 2>&1
  # The marker is written only once the prefix is complete, so that an
  # interrupted creation is started again.
  if [ ! -f "$WINEPREFIX/.complete" ]; then
    echo "Creating the Wine prefix $WINEPREFIX"
    "$wine" wineboot --init </dev/null >/dev/null 2>&1
    touch "$WINEPREFIX/.complete"
  else
    # Starts the prefix's background services here, with their streams
    # redirected; started by a test, they would hold CTest's pipe open.
    "$wine" wineboot </dev/null >/dev/null 2>&1
  fi
  powershell="$WINEPREFIX/drive_c/windows/system32/WindowsPowerShell/v1.0"
  mkdir -p "$powershell"
  rm -f "$powershell/powershell.exe.away"
  cp "$2" "$powershell/powershell.exe"
  echo "Stand-in installed at C:\\windows\\system32\\WindowsPowerShell\\v1.0\\powershell.exe"
  ;;
down)
  "$server" -k 2>/dev/null || true
  ;;
*)
  echo "usage: $0 up STAND_IN | down" >&2
  exit 2
  ;;
esac
