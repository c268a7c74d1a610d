#!/usr/bin/env bash
# The Wine prefix of the Windows-side tests (WINEPREFIX, from CTest).
#   wine-prefix.sh up STAND_IN   creates the prefix on first use, keeps one
#                                wineserver up for the run and installs the
#                                stand-in as Windows PowerShell;
#   wine-prefix.sh down          stops that wineserver and waits until it
#                                has gone;
#   wine-prefix.sh starts        prints how many of the harness's starts
#                                Wine refused since the last "up".
set -euo pipefail
wine=$(dirname "$0")/../../scripts/wine
server=/usr/lib/wine/wineserver
: "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
# Each test program appends one line of counts here (see e2e_harness.cpp).
starts=$WINEPREFIX/starts.log

case "${1:-}" in
up)
  [ $# -eq 2 ] || { echo "usage: $0 up STAND_IN" >&2; exit 2; }
  mkdir -p "$WINEPREFIX"
  # A server started here outlives this script; its streams must not hold
  # CTest's output pipe open. Status 2 means that a server already serves
  # this prefix (an earlier "up", or a run that was interrupted): it is
  # taken as it is.
  status=0
  "$server" -p </dev/null >/dev/null 2>&1 || status=$?
  if [ $status -ne 0 ] && [ $status -ne 2 ]; then
    echo "error: wineserver did not start (status $status)" >&2
    exit 1
  fi
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
  : >"$starts"
  # The cases of an interrupted run are of no use to this one.
  rm -rf "$WINEPREFIX/drive_c/yorn-e2e/cases"
  echo "Stand-in installed at C:\\windows\\system32\\WindowsPowerShell\\v1.0\\powershell.exe"
  ;;
down)
  "$server" -k 2>/dev/null || true
  # The next "up" must not meet a server that is still going away.
  "$server" -w
  ;;
starts)
  [ -s "$starts" ] || exit 0
  awk '{ starts += $1; refused += $2 }
       END { printf "Wine refused %d of %d starts; retried\n", refused, starts }' "$starts"
  ;;
*)
  echo "usage: $0 up STAND_IN | down | starts" >&2
  exit 2
  ;;
esac
