#!/usr/bin/env bash
# Assembles the package from a Windows build:
#   make-package.sh [SIGNING...] [--checked] BUILD_DIR OUT_DIR [SCRIPTS_DIR]
#   make-package.sh --check [SIGNING...] SCRIPTS_DIR [PACKAGED_DIR]
#                   only checks the scripts and the signing options, and
#                   writes the scripts into PACKAGED_DIR as they will ship
# SIGNING: --sign-cert CHAIN.pem --sign-key KEY | --sign-pkcs12 FILE.p12,
# with --sign-password-file FILE, --pkcs11-module LIB.so (for a pkcs11: KEY)
# and --timestamp URL, as build.sh takes them; --checked says that a --check
# run has checked them already, so that each build checks them once.
# OUT_DIR/Yorn-UI/ gets the launcher, the command script and the two
# PowerShell scripts (from SCRIPTS_DIR, by default the project's own pair),
# the launcher and the scripts signed when asked; beside it go
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
usage="usage: release/make-package.sh [SIGNING...] [--checked] BUILD_DIR OUT_DIR [SCRIPTS_DIR] | --check [SIGNING...] SCRIPTS_DIR [PACKAGED_DIR]"

# Both scripts must be there. A signature holds on Windows only when the
# script reads there as it was hashed: osslsigncode hashes a script without
# a UTF-16 byte-order mark as UTF-8, so a signed script must be UTF-8 (with
# or without a mark) or UTF-16 with a mark.
CheckScripts() {
  local script
  for script in Install-Yorn-UI.ps1 Optimize-Yorn-UI.ps1; do
    [ -f "$1/$script" ] ||
      Refuse "$1 has no $script; a package needs both Install-Yorn-UI.ps1 and Optimize-Yorn-UI.ps1"
  done
  SigningAsked || return 0
  for script in Install-Yorn-UI.ps1 Optimize-Yorn-UI.ps1; do
    case "$(head -c 2 -- "$1/$script" | od -An -tx1 | tr -d ' \n')" in
    fffe | feff) continue ;;
    esac
    iconv -f UTF-8 -t UTF-8 -- "$1/$script" >/dev/null 2>&1 ||
      Refuse "$script is not UTF-8 (saved in a legacy code page?); save it as UTF-8 so that its signature holds on Windows"
  done
}

# Windows PowerShell 5.1 reads a script without a byte-order mark in the ANSI
# code page, which garbles every non-ASCII character of a UTF-8 script. Such
# a script gets the UTF-8 mark in the package; the author's file is never
# touched. A script that has a mark (UTF-8 or UTF-16) already, or that is not
# UTF-8 at all (ANSI on purpose, in an unsigned build), is packaged as it is.
MarkUtf8Script() {
  local file=$1
  case "$(head -c 3 -- "$file" | od -An -tx1 | tr -d ' \n')" in
  efbbbf* | fffe* | feff*) return 0 ;;
  esac
  if LC_ALL=C grep -qP '[^\x00-\x7F]' -- "$file" && iconv -f UTF-8 -t UTF-8 -- "$file" >/dev/null 2>&1; then
    { printf '\357\273\277' && cat -- "$file"; } >"$file.marked"
    mv -- "$file.marked" "$file"
    echo "$(basename -- "$file") is UTF-8 without a byte-order mark: the packaged copy gets one, so that Windows PowerShell 5.1 reads it as UTF-8"
  fi
}

# PackageScripts FROM TO: the two scripts as they ship, before signing.
PackageScripts() {
  cp -- "$1/Install-Yorn-UI.ps1" "$1/Optimize-Yorn-UI.ps1" "$2/"
  MarkUtf8Script "$2/Install-Yorn-UI.ps1"
  MarkUtf8Script "$2/Optimize-Yorn-UI.ps1"
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
  CheckScripts "$1"
  [ $# -eq 1 ] || PackageScripts "$1" "$2"
  if SigningAsked; then
    work=$(mktemp -d)
    trap 'rm -rf -- "$work"' EXIT
    CheckSigning "$work"
  fi
  exit 0
fi
[ $# -eq 2 ] || [ $# -eq 3 ] || Refuse "$usage"
build=$1
out=${2%/}
scripts=${3:-$ProjectRoot/package}
CheckScripts "$scripts"

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
mkdir -- "$package"
cp -- "$build/runner/Install-Yorn-UI.exe" "$here/Install-Yorn-UI.cmd" "$package/"
PackageScripts "$scripts" "$package"

# The command script cannot carry a signature; the other three are signed
# before they are zipped and summed, so that both hold the signed bytes.
if SigningAsked; then
  mkdir -m 700 -- "$stage/signing"
  if $checked; then PrepareSigning "$stage/signing"; else CheckSigning "$stage/signing"; fi
  for file in Install-Yorn-UI.exe Install-Yorn-UI.ps1 Optimize-Yorn-UI.ps1; do
    SignFile "$package/$file" "$epoch"
  done
  rm -rf -- "$stage/signing"
fi

files=(Install-Yorn-UI.cmd Install-Yorn-UI.exe Install-Yorn-UI.ps1 Optimize-Yorn-UI.ps1)
for file in "${files[@]}"; do
  chmod 644 -- "$package/$file"
  touch -d "@$epoch" -- "$package/$file"
done

# -X leaves out owner and extended times, -D directory entries; zip stores
# local time, so the zone is fixed too.
(cd -- "$stage" && TZ=UTC zip -q -X -D "Yorn-UI-$version.zip" "${files[@]/#/Yorn-UI/}")
(cd -- "$stage" && sha256sum "Yorn-UI-$version.zip" "${files[@]/#/Yorn-UI/}" >SHA256SUMS)
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
