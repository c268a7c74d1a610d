#!/usr/bin/env bash
# Assembles the package from a Windows build:
#   make-package.sh [SIGNING...] BUILD_DIR OUT_DIR [PACKAGE_DIR]
#   make-package.sh [SIGNING...] --checked BUILD_DIR OUT_DIR PACKAGED_DIR
#   make-package.sh --check [SIGNING...] PACKAGE_DIR [PACKAGED_DIR]
#                   only checks the package folder and the signing options,
#                   and writes the package into PACKAGED_DIR (which must not
#                   exist yet) as it will ship, bar the launcher
# SIGNING: --sign-cert CHAIN.pem --sign-key KEY | --sign-pkcs12 FILE.p12,
# with --sign-password-file FILE, --pkcs11-module LIB.so (for a pkcs11: KEY)
# and --timestamp URL, as build.sh takes them. --checked says that a --check
# run has checked them and made PACKAGED_DIR already, so that each build
# checks and copies once; PACKAGED_DIR then moves into the package.
# OUT_DIR/Yorn-UI/ gets the launcher, the command script and every file and
# folder of PACKAGE_DIR (by default the project's own package/), as
# release/package-tree.py takes them: what Windows cannot hold is refused,
# version-control metadata is left out, PowerShell files get a UTF-8
# byte-order mark where they need one. With signing, the launcher and every
# PowerShell file (.ps1, .psm1, .psd1, .ps1xml) are signed. Beside it go
# Yorn-UI-<version>.zip and SHA256SUMS. Everything is made in a staging
# folder that replaces OUT_DIR only once all of it has succeeded; the old
# OUT_DIR stays until the new one is in place, and comes back if that fails
# or the run is interrupted before.
# Every file gets the same date and mode, so that one commit always gives the
# same bytes.
set -euo pipefail
here=$(cd -- "$(dirname -- "$0")" && pwd)
source "$here/../scripts/common.sh"
source "$here/signing.sh"
usage="usage: release/make-package.sh [SIGNING...] [--checked] BUILD_DIR OUT_DIR [PACKAGE_DIR] | --check [SIGNING...] PACKAGE_DIR [PACKAGED_DIR]"

# PackageTree COMMAND ARGUMENT...: release/package-tree.py. A signature
# holds on Windows only when the script reads there as it was hashed:
# osslsigncode hashes a script without a UTF-16 byte-order mark as UTF-8, so
# with signing a PowerShell file must be UTF-8 (with or without a mark) or
# UTF-16 with a mark. It runs in Debian's python3, which the build installs
# (BuildPackages), rather than in whichever python3 comes first on PATH (a
# version manager's may take a tenth of a second more to start); only
# where there is none (./build.sh --check installs nothing) in that one.
PackageTree() {
  local signed=() python=/usr/bin/python3
  [ "$1" != stage ] || ! SigningAsked || signed=(--signed)
  [ -x "$python" ] || python=python3
  "$python" "$here/package-tree.py" "$1" ${signed[@]+"${signed[@]}"} "${@:2}"
}

check=false checked=false
while [ $# -gt 0 ]; do
  case "$1" in
  --check) check=true ;;
  --checked) checked=true ;;
  --)
    shift
    break
    ;;
  --*)
    [ $# -ge 2 ] || Refuse "$usage"
    TakeSigningOption "$1" "$2" || Refuse "unknown option $1; $usage"
    shift
    ;;
  *) break ;;
  esac
  shift
done

if $check; then
  [ $# -eq 1 ] || [ $# -eq 2 ] || Refuse "$usage"
  if SigningAsked; then
    work=$(mktemp -d)
    trap 'rm -rf -- "$work"' EXIT
    CheckSigning "$work"
  fi
  # The folder is refused, if at all, before PACKAGED_DIR is made.
  PackageTree stage "$@"
  # The command script too, so that the check sees the package as it ships.
  [ $# -eq 1 ] || cp -- "$here/Install-Yorn-UI.cmd" "$2/"
  exit 0
fi
[ $# -eq 2 ] || [ $# -eq 3 ] || Refuse "$usage"
build=$1
out=${2%/}
from=${3:-$ProjectRoot/package}
if $checked; then
  [ $# -eq 3 ] && [ -d "$from" ] || Refuse "--checked needs the PACKAGED_DIR that a --check run made; $usage"
else
  PackageTree stage "$from"
fi

version=$(cat -- "$build/version.txt")
# The commit's own date, so that nothing depends on when the build ran; the
# signatures carry it as their signing time too.
epoch=$(BuildEpoch)

mkdir -p -- "$(dirname -- "$out")"
# Whatever ends the run, OUT_DIR holds the old package or the new one, with
# nothing beside it: until the new one has moved in, the old one is put back
# and the staging folder goes; once it has, the old one goes. An interrupt
# (INT, TERM or HUP) ends the run so too, and says which one OUT_DIR holds.
# Cleanup ignores interrupts, so that it finishes; whatever it cannot put
# right, it names.
stage='' old='' staged=false interrupted=''
Cleanup() {
  trap '' INT TERM HUP
  local holds=old
  # The staging folder goes away only by becoming OUT_DIR.
  ! $staged || [ -e "$stage" ] || holds=new
  if [ -n "$old" ] && [ -e "$old" ]; then
    if [ "$holds" = new ]; then
      rm -rf -- "$old" ||
        echo "error: the old package could not be removed; what is left of it is in $old" >&2
    elif [ -e "$out" ] || ! mv -- "$old" "$out"; then
      holds=none
      echo "error: the old package could not be put back; it is in $old" >&2
    fi
  fi
  [ -z "$stage" ] || rm -rf -- "$stage"
  [ -n "$interrupted" ] || return 0
  case "$holds" in
  new) echo "error: interrupted (SIG$interrupted): $out holds the new package; the old one is removed" >&2 ;;
  old)
    if [ -e "$out" ]; then
      echo "error: interrupted (SIG$interrupted): $out holds the old package, as it was" >&2
    else
      echo "error: interrupted (SIG$interrupted): no package was made in $out" >&2
    fi
    ;;
  esac
}
Interrupted() {
  trap '' INT TERM HUP
  interrupted=$1
  exit 1
}
trap Cleanup EXIT
trap 'Interrupted INT' INT
trap 'Interrupted TERM' TERM
trap 'Interrupted HUP' HUP
# Named before it is made, so that an interrupt cannot leave it unnamed.
stage=$(mktemp -u -- "$out.staging.XXXXXX")
old=$stage.old
mkdir -m 700 -- "$stage" || {
  stage=''
  Fail "cannot make a staging folder beside $out"
}
staged=true
package="$stage/Yorn-UI"
if $checked; then
  # On the same file system (the build makes it beside OUT_DIR) this is a
  # rename: the payload is copied once per build.
  mv -- "$from" "$package"
else
  PackageTree stage --quiet "$from" "$package"
fi
cp -- "$build/runner/Install-Yorn-UI.exe" "$here/Install-Yorn-UI.cmd" "$package/"

# The command script cannot carry a signature; the launcher and every
# PowerShell file are signed before they are zipped and summed, so that both
# hold the signed bytes. Every other file ships as the author gave it.
if SigningAsked; then
  mkdir -m 700 -- "$stage/signing"
  if $checked; then PrepareSigning "$stage/signing"; else CheckSigning "$stage/signing"; fi
  SignFile "$package/Install-Yorn-UI.exe" "$epoch"
  while IFS= read -r -d '' file; do
    SignFile "$package/${file#./}" "$epoch" "${file#./}"
  done < <(cd -- "$package" && find . -type f \( -iname '*.ps1' -o -iname '*.psm1' -o -iname '*.psd1' -o -iname '*.ps1xml' \) -print0 | LC_ALL=C sort -z)
  rm -rf -- "$stage/signing"
fi

PackageTree zip "$epoch" "$stage" Yorn-UI "Yorn-UI-$version.zip"
chmod 755 -- "$stage"

# Only now does the new package take the old one's place: the old one moves
# aside, the new one in, and the old one goes only once the new one is there.
if [ -e "$out" ]; then
  mv -- "$out" "$old" || Fail "cannot move the old package $out aside; it stays as it was and the new one is not installed"
fi
if ! mv -- "$stage" "$out"; then
  [ -e "$old" ] || Fail "cannot put the new package in place of $out"
  if ! mv -- "$old" "$out"; then
    kept=$old old=''
    Fail "cannot put the new package in place of $out, nor the old one back; the old package is in $kept"
  fi
  Fail "cannot put the new package in place of $out; the old package is back"
fi
rm -rf -- "$old"
