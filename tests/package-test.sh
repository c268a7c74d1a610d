#!/usr/bin/env bash
# The package: built twice, from two copies of the sources at different
# paths, the executables and zips must be the same bytes; the checksums must
# hold; another author's scripts must replace the default pair, and a folder
# that lacks either script must be refused; a package that cannot take the
# old one's place must leave the old one there.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh
SOURCE_DATE_EPOCH=$(BuildEpoch)
export SOURCE_DATE_EPOCH

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

# The swap of the new package for the old one, with a stand-in mv on PATH
# that fails the moves FAIL_MOVE names: "aside" the old package's move
# aside, "in" the new one's move in, "in-and-back" that and the old one's
# move back. Whatever fails, the old package must survive, in dist/ or where
# the error says, with nothing else left beside it.
mkdir -p "$work/bin"
cat >"$work/bin/mv" <<'STAND_IN'
#!/usr/bin/env bash
case "$FAIL_MOVE:$1:$2" in
aside:*/dist:*.old | in:*.staging.??????:*/dist | in-and-back:*:*/dist)
  echo "mv: cannot move '$1' to '$2': stand-in failure" >&2
  exit 1
  ;;
esac
exec "$REAL_MV" "$@"
STAND_IN
chmod +x "$work/bin/mv"
Tree() { (cd "$1" && find . -printf '%p %s %m\n' | sort && find . -type f -exec sha256sum {} + | sort); }
before=$(Tree "$a/dist")
while read -r move expected; do
  if message=$(REAL_MV=$(command -v mv) FAIL_MOVE=$move PATH="$work/bin:$PATH" \
    "$a/package/make-package.sh" "$a/build/mingw" "$a/dist" 2>&1); then
    Fail "the package replaced dist/ although its move ($move) failed"
  fi
  [[ $message == *"$expected"* ]] || Fail "unclear failure when the move $move fails: $message"
  old=$a/dist
  if [ "$move" = in-and-back ]; then
    old=${message##*the old package is in }
    [ ! -e "$a/dist" ] || Fail "dist/ is back although its move back failed"
  fi
  [ "$(Tree "$old")" = "$before" ] || Fail "the old package changed when the move $move failed"
  [ "$move" != in-and-back ] || mv "$old" "$a/dist"
  leftover=$(find "$a" -maxdepth 1 -name 'dist.*')
  [ -z "$leftover" ] || Fail "left beside dist/ when the move $move failed: $leftover"
  echo "When the move $move fails: ${message##*error: }"
done <<'ROWS'
aside cannot move the old package
in the old package is back
in-and-back nor the old one back; the old package is in
ROWS
echo "A package that cannot take the old one's place leaves the old one there."
