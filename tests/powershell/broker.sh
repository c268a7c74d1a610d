#!/usr/bin/env bash
# Real PowerShell behind the stand-in: runs COMMAND (a Windows-side test or
# the demo under Wine) while answering the stand-in's requests with real
# PowerShell on the Linux side, then exits with COMMAND's status.
#   broker.sh PWSH COMMAND...
# COMMAND gets STAND_IN_BROKER, the Windows path of the folder served, and
# passes it on to the stand-in. Each request is the stand-in's current
# directory, then the arguments that the C runtime split from its command
# line, UTF-8, each ended by NUL. The replay keeps every argument but the
# first (the stand-in's own path) as it is, except the script after -File,
# which becomes its Linux path; Windows paths map through the drive letters
# of the prefix (WINEPREFIX). pwsh gets the broker's environment, less
# PSModulePath.
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: $0 PWSH COMMAND..." >&2 && exit 2; }
pwsh=$1
shift
: "${WINEPREFIX:?WINEPREFIX must name the prefix whose drives the requests use}"

# LinuxPath WINDOWS_PATH: where Wine keeps it; X:\a\b is the folder that
# dosdevices/x: links to, then a/b (C: is the prefix's drive_c, Z: is /).
LinuxPath() {
  local letter=${1:0:1} rest=${1:2} drive
  drive=$(readlink "$WINEPREFIX/dosdevices/${letter,,}:")
  [[ $drive == /* ]] || drive=$WINEPREFIX/dosdevices/$drive
  drive=$(realpath -s -m "$drive")
  echo "${drive%/}${rest//\\//}"
}

# Answer ID: runs the request ID.request and leaves ID.stdout, ID.stderr and
# ID.status, the last one only once the others are whole.
Answer() {
  local id=$1 fields arguments=() i status=0
  mapfile -d '' fields <"$folder/$id.request"
  rm -f "$folder/$id.request"
  for ((i = 2; i < ${#fields[@]}; i++)); do
    arguments+=("${fields[i]}")
    # What follows the script belongs to the script.
    if [ "${fields[i],,}" = -file ] && [ $((i + 1)) -lt ${#fields[@]} ]; then
      arguments+=("$(LinuxPath "${fields[i + 1]}")" "${fields[@]:i+2}")
      break
    fi
  done
  # No colour codes, which a Windows console shows as colour, not as text;
  # no PSModulePath, which the launcher and the command script leave out.
  (cd "$(LinuxPath "${fields[0]}")" && env -u PSModulePath NO_COLOR=1 TERM=dumb "$pwsh" "${arguments[@]}") \
    </dev/null >"$folder/$id.stdout" 2>"$folder/$id.stderr" || status=$?
  echo "$status" >"$folder/$id.partial-status"
  mv "$folder/$id.partial-status" "$folder/$id.status"
}

Serve() {
  local request
  shopt -s nullglob
  while true; do
    for request in "$folder"/*.request; do
      request=${request##*/}
      Answer "${request%.request}"
    done
    sleep 0.02
  done
}

folder=$(mktemp -d)
Serve &
server=$!
trap 'kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; rm -rf "$folder"' EXIT
export STAND_IN_BROKER="Z:${folder//\//\\}"
status=0
"$@" || status=$?
exit "$status"
