#!/usr/bin/env bash
# The package: built twice, from two copies of the sources at different
# paths, the executables and zips must be the same bytes; the checksums must
# hold; another author's scripts must replace the default pair, and a folder
# that lacks either script must be refused.
set -euo pipefail
cd "$(dirname "$0")/.."
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 315532800)}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for copy in a "second copy at a longer path"; do
  mkdir -p "$work/$copy"
  git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$work/$copy"
  (
    cd "$work/$copy"
    cmake --preset mingw >/dev/null
    cmake --build --preset mingw --target launcher >/dev/null
    package/make-package.sh build/mingw dist
  )
  # Anything that records the time of the build now differs.
  sleep 1
done

Fail() {
  echo "error: $*" >&2
  exit 1
}

status=0
for file in Yorn-UI/Install-Yorn-UI.exe "Yorn-UI-$(cat "$work/a/build/mingw/version.txt").zip"; do
  sums=$(cd "$work" && sha256sum "a/dist/$file" "second copy at a longer path/dist/$file")
  echo "$sums"
  if [ "$(echo "$sums" | cut -d' ' -f1 | sort -u | wc -l)" -ne 1 ]; then
    echo "error: $file differs between the two builds" >&2
    status=1
  fi
done
[ $status -eq 0 ] || exit 1
echo "Both builds are byte-identical."

a="$work/a"
(cd "$a/dist" && sha256sum --quiet -c SHA256SUMS) || Fail "SHA256SUMS does not hold"
listing=$(cd "$a/dist" && unzip -Z1 Yorn-UI-*.zip | sort | tr '\n' ' ')
[ "$listing" = "Yorn-UI/Install-Yorn-UI.cmd Yorn-UI/Install-Yorn-UI.exe Yorn-UI/Install-Yorn-UI.ps1 Yorn-UI/Optimize-Yorn-UI.ps1 " ] ||
  Fail "unexpected zip contents: $listing"

author="$work/author's scripts"
mkdir -p "$author"
echo "Write-Output 'install by another author'" >"$author/Install-Yorn-UI.ps1"
if message=$("$a/package/make-package.sh" "$a/build/mingw" "$work/other" "$author" 2>&1); then
  Fail "a folder without Optimize-Yorn-UI.ps1 was packaged"
fi
[[ $message == *"has no Optimize-Yorn-UI.ps1"* ]] || Fail "unclear refusal: $message"
echo "Write-Output 'optimize by another author'" >"$author/Optimize-Yorn-UI.ps1"
"$a/package/make-package.sh" "$a/build/mingw" "$work/other" "$author"
for script in Install-Yorn-UI.ps1 Optimize-Yorn-UI.ps1; do
  cmp -s "$author/$script" "$work/other/Yorn-UI/$script" || Fail "$script is not the author's"
done
echo "Another author's scripts are packaged; an incomplete folder is refused."
