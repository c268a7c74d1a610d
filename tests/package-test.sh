#!/usr/bin/env bash
# The package: built twice, from two copies of the sources at different
# paths, the executables and zips must be the same bytes; the checksums must
# hold; another author's scripts must replace the default pair; a package
# that cannot take the old one's place must leave the old one there.
# ./build.sh --help prints the usage; every tree that Windows or the zip
# cannot hold is refused by ./build.sh, one row each, with one error line
# that names the path and dist/ as it was.
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
    release/make-package.sh build/mingw dist
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
[ "$listing" = "Yorn-UI/ Yorn-UI/Install-Yorn-UI.cmd Yorn-UI/Install-Yorn-UI.exe Yorn-UI/Install-Yorn-UI.ps1 Yorn-UI/Optimize-Yorn-UI.ps1 " ] ||
  Fail "unexpected zip contents: $listing"

author="$work/author's scripts"
mkdir -p "$author"
echo "Write-Output 'install by another author'" >"$author/Install-Yorn-UI.ps1"
echo "Write-Output 'optimize by another author'" >"$author/Optimize-Yorn-UI.ps1"
"$a/release/make-package.sh" "$a/build/mingw" "$work/other" "$author"
for script in Install-Yorn-UI.ps1 Optimize-Yorn-UI.ps1; do
  cmp -s "$author/$script" "$work/other/Yorn-UI/$script" || Fail "$script is not the author's"
done
echo "Another author's scripts are packaged."

# The swap of the new package for the old one, with a stand-in mv on PATH
# that fails the moves FAIL_MOVE names: "aside" the old package's move
# aside, "in" the new one's move in, "in-and-back" that and the old one's
# move back. Whatever fails, the old package must survive, in dist/ or where
# the error says, with nothing else left beside it.
mkdir -p "$work/bin"
cat >"$work/bin/mv" <<'STAND_IN'
#!/usr/bin/env bash
[ "$1" != -- ] || shift
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
    "$a/release/make-package.sh" "$a/build/mingw" "$a/dist" 2>&1); then
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

# An interrupt at each step of the swap, sent by a stand-in mv or rm once
# it has done that step's work (the removal of the old package only in
# part), as Ctrl+C reaches every process of the run; the stand-in then dies
# of the signal, as the real one would. Whatever the step, OUT_DIR must hold
# either the old package or the new one (the other author's pair), with
# nothing beside it, and the error must say which. The row without an
# interrupt packages into a folder whose name starts with "-".
mkdir -p "$work/interrupting"
cat >"$work/interrupting/stand-in" <<'STAND_IN'
#!/usr/bin/env bash
name=$(basename -- "$0")
real=$(PATH=${PATH#*:} command -v "$name")
[ ! -e "$ONCE" ] || exec "$real" "$@"
case "$name:$STEP:${*: -2:1}:${*: -1}" in
mv:aside:*dist:*.old | mv:in:*.staging.??????:*dist) "$real" "$@" ;;
rm:remove:*:*.old) "$real" -- "${*: -1}/SHA256SUMS" ;;
*) exec "$real" "$@" ;;
esac
: >"$ONCE"
kill -s "$SIGNAL" "$PPID"
exec kill -s "$SIGNAL" "$$"
STAND_IN
chmod +x "$work/interrupting/stand-in"
ln -s stand-in "$work/interrupting/mv"
ln -s stand-in "$work/interrupting/rm"
cp -a "$a/dist" "$work/old package"
new=$(Tree "$work/other")
while read -r step signal out holds; do
  rm -rf -- "${a:?}/$out" "$work/once"
  cp -a "$work/old package" "$a/$out"
  status=0
  # Signals come in as at a terminal, even where this test runs with them
  # ignored (as a background job is).
  message=$(cd "$a" && STEP=$step SIGNAL=$signal ONCE=$work/once PATH="$work/interrupting:$PATH" \
    env --default-signal release/make-package.sh build/mingw "$out" "$author" 2>&1) || status=$?
  if [ "$step" = none ]; then
    [ $status -eq 0 ] || Fail "packaging into $out failed: $message"
    said="Packaged into $out"
  else
    [ $status -eq 1 ] && [[ $message == *"interrupted (SIG$signal): $out holds the $holds package"* ]] ||
      Fail "unclear end (status $status) of a run interrupted when $step is done: $message"
    said="Interrupted when $step is done: ${message##*error: }"
  fi
  [ "$(Tree "$a/$out")" = "$(if [ "$holds" = new ]; then echo "$new"; else echo "$before"; fi)" ] ||
    Fail "$out does not hold the $holds package: $said"
  leftover=$(find "$a" -maxdepth 1 -name "$out.*")
  [ -z "$leftover" ] || Fail "left beside $out: $leftover; $said"
  echo "$said"
done <<'ROWS'
none - -dist new
aside HUP dist old
in TERM dist new
remove INT dist new
ROWS
echo "An interrupt at any step of the swap leaves the old package or the new one, and nothing beside it."

# ./build.sh as an author runs it, in a copy of the sources, over an
# earlier package that every refusal must leave as it is.
source tests/build-in-copy.sh
mkdir -p "$src/dist/Yorn-UI"
echo "an earlier build" >"$src/dist/Yorn-UI/Install-Yorn-UI.exe"

(cd "$src" && ./build.sh --help >"$work/help.out" 2>"$work/help.err") || Fail "./build.sh --help failed"
[ "$(head -c 6 "$work/help.out")" = usage: ] && grep -q -- '--package DIR' "$work/help.out" && [ ! -s "$work/help.err" ] ||
  Fail "./build.sh --help printed no usage on standard output alone: $(cat "$work/help.out" "$work/help.err")"
echo "./build.sh --help prints the usage on standard output and exits 0."

# Each row: the default pair in a folder of its own, plus one entry that
# Windows or the zip cannot hold (PATH with printf's escapes, made as KIND
# says), and the text that the one error line must hold. KIND: file,
# folder, link, fifo, socket, device, unreadable (read by another user
# when this one is root, whom no mode stops), pair (PATH and OTHER, two
# files whose names Windows takes for one), missing (PATH removed).
# MakeEntry KIND PATH: the entry, made in the current folder.
MakeEntry() {
  local path=$2
  mkdir -p -- "$(dirname -- "$path")"
  case "$1" in
  file | pair) echo "entry" >"$path" ;;
  folder) mkdir -- "$path" ;;
  link) ln -s Install-Yorn-UI.ps1 "$path" ;;
  fifo) mkfifo -- "$path" ;;
  socket) python3 -c 'import socket, sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])' "$path" ;;
  device) mknod -- "$path" c 1 3 ;;
  unreadable) echo "secret" >"$path" && chmod 000 "$path" ;;
  missing) rm -- "$path" ;;
  esac
}
bad=$work/bad
chmod 755 "$work"
long_file=p/$(printf 'x%.0s' {1..149})
long_folder=$(printf 'd%.0s' {1..139})/f
wide=$(printf '\360\237\230\200%.0s' {1..50})/$(printf 'y%.0s' {1..50})
while IFS=$'\t' read -r kind path other expected; do
  printf -v path '%b' "$path"
  printf -v other '%b' "$other"
  if [ "$kind" = device ] && [ "$(id -u)" -ne 0 ]; then
    echo "Skipped: $expected (only root can make a device)"
    continue
  fi
  rm -rf "$bad" && cp -r package "$bad"
  (
    cd "$bad"
    MakeEntry "$kind" "$path"
    [ "$kind" != pair ] || MakeEntry file "$other"
  )
  build_as=()
  if [ "$kind" = unreadable ] && [ "$(id -u)" -eq 0 ]; then
    build_as=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  fi
  Refused "$expected" --package "$bad"
  [ $refused_status -eq 2 ] || Fail "refused with exit code $refused_status, not 2: $expected"
done <<ROWS
file	CON	-	CON: CON is a device name on Windows
file	lib/aux.txt	-	lib/aux.txt: aux is a device name
folder	Com7	-	Com7: Com7 is a device name
file	nul .txt	-	nul .txt: nul is a device name
file	LPT².log	-	LPT².log: LPT² is a device name
file	conout\$	-	conout\$: conout\$ is a device name
file	a<b	-	a<b: Windows does not allow the character <
file	a>b	-	a>b: Windows does not allow the character >
file	a:b	-	a:b: Windows does not allow the character :
file	a"b	-	a"b: Windows does not allow the character "
file	a\\\\b	-	a\\b: Windows does not allow the character \\
file	a|b	-	a|b: Windows does not allow the character |
file	a?b	-	a?b: Windows does not allow the character ?
file	a*b	-	a*b: Windows does not allow the character *
file	tab\\tin	-	tab\\x09in: Windows does not allow control characters (here \\x09)
file	notes.	-	notes.: Windows drops a dot or a space at the end of a name
folder	lib /x	-	lib : Windows drops a dot or a space at the end of a name
file	caf\\xe9.txt	-	caf\\xe9.txt: the name is not UTF-8
pair	lib/Helpers.ps1	lib/helpers.ps1	lib/helpers.ps1: has the same name as lib/Helpers.ps1 to Windows
pair	Café/a.txt	CAFÉ/b.txt	Café: has the same name as CAFÉ to Windows
file	install-yorn-ui.EXE	-	install-yorn-ui.EXE: the build puts its own Install-Yorn-UI.exe here
file	Install-Yorn-UI.cmd	-	Install-Yorn-UI.cmd: the build puts its own Install-Yorn-UI.cmd here
file	$long_file	-	its path in the package is 151 characters (UTF-16), over the 150 that a file may have
folder	$long_folder	-	its path in the package is 139 characters (UTF-16), over the 138 that a folder may have
file	$wide	-	its path in the package is 151 characters (UTF-16)
link	lib/link	-	lib/link: is a symbolic link
fifo	pipe	-	pipe: is a FIFO
socket	socket	-	socket: is a socket
device	null	-	null: is a device
unreadable	secret.bin	-	secret.bin: cannot be read (Permission denied)
missing	Optimize-Yorn-UI.ps1	-	has no Optimize-Yorn-UI.ps1; a package needs both
ROWS
build_as=()
Refused "$work/none is not a folder" --package "$work/none"
echo "Every tree that Windows or the zip cannot hold is refused, one error line each, dist/ as it was."
