#!/usr/bin/env bash
# Builds the launcher again from two copies of the sources, at paths of
# different lengths, and compares both with the given image byte for byte:
# no build path, date or host detail may reach the image.
#   image-reproduces.sh IMAGE TOOLCHAIN_FILE [CMAKE_CACHE_OPTION...]
set -euo pipefail

if [ $# -lt 2 ] || [ ! -f "$1" ] || [ ! -f "$2" ]; then
  echo "usage: $0 IMAGE TOOLCHAIN_FILE [CMAKE_CACHE_OPTION...]" >&2
  exit 2
fi
image=$1
toolchain=$(basename "$2")
shift 2
source=$(cd "$(dirname "$0")/.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

status=0
for copy in "$scratch/a" "$scratch/a much longer path to the sources"; do
  mkdir -p "$copy"
  tar -C "$source" --exclude=./.git --exclude=./build --exclude=./dist -cf - . | tar -C "$copy" -xf -
  cmake -S "$copy" -B "$copy/build" -G Ninja --toolchain "$copy/cmake/$toolchain" \
    -DBUILD_TESTING=OFF "$@" >"$scratch/configure.log" 2>&1 ||
    { cat "$scratch/configure.log" >&2; exit 1; }
  cmake --build "$copy/build" --target launcher >"$scratch/build.log" 2>&1 ||
    { cat "$scratch/build.log" >&2; exit 1; }
  if cmp "$image" "$copy/build/runner/$(basename "$image")"; then
    echo "same bytes from $copy"
  else
    status=1
  fi
done
exit "$status"
