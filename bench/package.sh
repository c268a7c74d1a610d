#!/usr/bin/env bash
# Times the packing of a large payload against zip(1), in one run:
#   bench/package.sh [FILES [MEGABYTES [ROUNDS]]]
# Makes a payload of FILES files (default 5000) and about MEGABYTES MB
# (default 200) beside the two default scripts, in nested folders: a third
# of the bytes text (Lua and XML, which deflate well), a third images with
# runs and noise, a third noise (which does not deflate). Then, ROUNDS times
# (default 3), each in turn: release/make-package.sh from the mingw build
# (the walk and its refusals, the copy, SHA256SUMS, the zip and the swap),
# and `zip -X -r` of the same folder. Each under /usr/bin/time -v, for the
# wall time and the largest resident set. Prints each run and the medians;
# BENCHMARKS.md has a run's figures. The test suite does not run it.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh
files=${1:-5000} megabytes=${2:-200} rounds=${3:-3}
EnsurePackages "${BuildPackages[@]}" time
[ -f build/mingw/runner/Install-Yorn-UI.exe ] || {
  cmake --preset mingw >/dev/null
  cmake --build --preset mingw --target launcher >/dev/null
}
work=$(mktemp -d -p "$PWD/build")
trap 'rm -rf -- "$work"' EXIT

Step "A payload of $files files, about $megabytes MB"
cp -r package "$work/payload"
/usr/bin/python3 - "$work/payload" "$files" "$megabytes" <<'PYTHON'
import os, random, sys
root, files, megabytes = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
generator = random.Random(23)
words = [''.join(generator.choice('abcdefghijklmnopqrstuvwxyz') for _ in range(generator.randint(2, 9)))
         for _ in range(2000)]
kinds = ('text', 'image', 'noise')
# Bytes per kind: a third each; files per kind: most of them text.
counts = {'text': files * 80 // 100, 'image': files * 19 // 100}
counts['noise'] = files - counts['text'] - counts['image']
third = megabytes * 1000 * 1000 // 3
for kind in kinds:
    size = third // counts[kind]
    for number in range(counts[kind]):
        folder = os.path.join(root, 'payload', kind, 'set%02d' % (number % 40), 'part%d' % (number % 5))
        os.makedirs(folder, exist_ok=True)
        if kind == 'text':
            name = 'frame%04d.%s' % (number, 'lua' if number % 2 else 'xml')
            data = []
            length = 0
            while length < size:
                line = ' '.join(generator.choice(words) for _ in range(10)) + '\n'
                data.append(line)
                length += len(line)
            data = ''.join(data).encode()[:size]
        elif kind == 'image':
            name = 'texture%04d.tga' % number
            data = bytearray()
            while len(data) < size:
                data += bytes([generator.randrange(256)]) * generator.randint(1, 64) + generator.randbytes(16)
            data = bytes(data[:size])
        else:
            name = 'blob%04d.bin' % number
            data = generator.randbytes(size)
        with open(os.path.join(folder, name), 'wb') as out:
            out.write(data)
PYTHON
echo "$(find "$work/payload" -type f | wc -l) files in $(find "$work/payload" -mindepth 1 -type d | wc -l) folders, $(du -sm "$work/payload" | cut -f1) MB on disk"

# Timed NAME COMMAND...: one run; appends "NAME SECONDS KILOBYTES" to the
# results.
Timed() {
  local name=$1 report=$work/time.txt
  /usr/bin/time -v -o "$report" "${@:2}" >"$work/$name.log" 2>&1 ||
    Fail "$name failed: $(tail -n 3 "$work/$name.log")"
  local elapsed kilobytes
  elapsed=$(sed -n 's/^\tElapsed (wall clock) time (h:mm:ss or m:ss): //p' "$report" |
    awk -F: '{ seconds = 0; for (i = 1; i <= NF; i++) seconds = seconds * 60 + $i; print seconds }')
  kilobytes=$(sed -n 's/^\tMaximum resident set size (kbytes): //p' "$report")
  printf '%-8s %7.2f s  %7d kB max RSS\n' "$name" "$elapsed" "$kilobytes"
  echo "$name $elapsed $kilobytes" >>"$work/results"
}

Step "$rounds rounds: the build's packing, then zip -X -r"
for ((round = 1; round <= rounds; round++)); do
  rm -rf "$work/out" "$work/zip.zip"
  Timed package release/make-package.sh build/mingw "$work/out" "$work/payload"
  # shellcheck disable=SC2016 # expanded by the inner shell
  Timed zip sh -c 'cd "$1" && zip -X -r -q "$2" payload' sh "$work" "$work/zip.zip"
done
echo "Zips: package $(stat -c %s "$work/out"/Yorn-UI-*.zip) bytes, zip -X -r $(stat -c %s "$work/zip.zip") bytes"

Step "Medians"
Median() { awk -v name="$1" -v field="$2" '$1 == name { print $field }' "$work/results" | sort -n |
  awk '{ values[NR] = $1 } END { print values[int((NR + 1) / 2)] }'; }
package_time=$(Median package 2) zip_time=$(Median zip 2)
printf 'package  %7.2f s  %7d kB max RSS\n' "$package_time" "$(Median package 3)"
printf 'zip      %7.2f s  %7d kB max RSS\n' "$zip_time" "$(Median zip 3)"
awk -v a="$package_time" -v b="$zip_time" 'BEGIN { printf "ratio    %7.2f\n", a / b }'
