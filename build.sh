#!/usr/bin/env bash
# Builds the Windows package into dist/ and shows one launch under Wine;
# installs whatever the machine lacks first. The options are in Usage below.
# --package (or --scripts) packs another author's folder, every file and
# folder of it beside the launcher and the command script, instead of the
# project's default package/; --version and --icon make the release the
# author's own; the signing options sign the launcher and every PowerShell
# file with Authenticode (KEY is a PEM file or a pkcs11: URI; passwords and
# PINs only ever come from a file). docs/package-authors.md has an example
# of each. --check runs only the author's check of the package (exit 0 when
# it passes, 2 when it is refused) and builds nothing. --format and
# --strict go to the check (check/check-scripts.ps1): with --format sarif,
# standard output holds the SARIF log alone, and everything else the build
# says goes to standard error.
set -euo pipefail
source "$(dirname -- "$0")/scripts/common.sh"
source "$(dirname -- "$0")/release/signing.sh"

usage="usage: ./build.sh [--package DIR] [--version X.Y.Z] [--icon FILE.ico]
                  [--sign-cert CHAIN.pem --sign-key KEY | --sign-pkcs12 FILE.p12]
                  [--sign-password-file FILE] [--pkcs11-module LIB.so]
                  [--timestamp URL] [--format text|github|sarif] [--strict]
       ./build.sh --check [--package DIR] [--format text|github|sarif] [--strict]
       ./build.sh --help
--package DIR (or --scripts DIR): the package folder, by default the
project's own package/; it holds Install-Yorn-UI.ps1, Optimize-Yorn-UI.ps1
and whatever else the package brings. --format and --strict: how the
author's check reports, and whether its warnings refuse the package.
docs/package-authors.md has the rest."
Usage() { Refuse "$usage"; }

# One to four numbers, as the version resource holds them: 16 bits each.
CheckVersion() {
  local number
  [[ $1 =~ ^(0|[1-9][0-9]*)(\.(0|[1-9][0-9]*)){0,3}$ ]] ||
    Refuse "--version $1: expected 1 to 4 dot-separated numbers, such as 2.1.0"
  for number in ${1//./ }; do
    [ ${#number} -le 5 ] && [ "$number" -le 65535 ] ||
      Refuse "--version $1: $number is above 65535, the most a version number can hold"
  done
}

# A well-formed .ico: reserved word 0, type 1, at least one image, and every
# image that the directory lists lying inside the file.
CheckIcon() {
  local file=$1 size reserved type count i bytes offset
  [ -f "$file" ] && [ -r "$file" ] || Refuse "cannot read the icon $file"
  size=$(stat -c %s "$file")
  read -r reserved type count < <(od -An -tu2 -N6 "$file") || true
  [ "$size" -ge 6 ] && [ "$reserved" = 0 ] && [ "$type" = 1 ] && [ "$count" -ge 1 ] ||
    Refuse "$file is not an icon: an .ico file starts with 0, 1 and its number of images"
  [ $((6 + 16 * count)) -le "$size" ] ||
    Refuse "$file is not a whole icon: its directory of $count images runs past the end of the file"
  for ((i = 0; i < count; i++)); do
    read -r bytes offset < <(od -An -tu4 -j $((6 + 16 * i + 8)) -N8 "$file")
    [ "$bytes" -gt 0 ] && [ "$offset" -ge $((6 + 16 * count)) ] && [ $((offset + bytes)) -le "$size" ] ||
      Refuse "$file is not a whole icon: image $((i + 1)) lies outside the file"
  done
}

# The project's own package unless --package names another, whichever
# folder the build is started from; relative paths in the options are the
# caller's.
own_package=$ProjectRoot/package
package=$own_package
version='' icon='' signing_packages=() check_only=false check_options=() format=text
while [ $# -gt 0 ]; do
  case "$1" in
  --help | -h)
    echo "$usage"
    exit 0
    ;;
  --check)
    check_only=true
    shift
    continue
    ;;
  --strict)
    check_options+=(--strict)
    shift
    continue
    ;;
  esac
  [ $# -ge 2 ] || Usage
  case "$1" in
  --package | --scripts) package=$(AbsolutePath "$2") ;;
  --version) version=$2 ;;
  --icon) icon=$(AbsolutePath "$2") ;;
  --format)
    [[ $2 =~ ^(text|github|sarif)$ ]] || Refuse "--format $2: the formats are text, github and sarif"
    format=$2
    ;;
  *) TakeSigningOption "$1" "$2" || Usage ;;
  esac
  shift 2
done
cd -- "$(dirname -- "$0")"
# The SARIF log is all that standard output holds: the build's own lines
# go to standard error, and the check's report to the output kept in 3.
exec 3>&1
[ "$format" != sarif ] || exec 1>&2

# Everything that can be refused is refused before anything is built.
if $check_only; then
  [ -z "$version$icon" ] && ! SigningAsked || Usage
else
  [ -z "$version" ] || CheckVersion "$version"
  [ -z "$icon" ] || CheckIcon "$icon"
  Step "Checking packages"
  if SigningAsked; then
    signing_packages=(osslsigncode openssl)
    ! TokenKey || signing_packages+=(libengine-pkcs11-openssl)
  fi
  EnsurePackages "${BuildPackages[@]}" "${signing_packages[@]}"
fi
if SigningAsked; then
  Step "Checking the package folder, the signing key and the certificate"
else
  Step "Checking the package folder"
fi
# The package is checked as it will ship (byte-order marks added, the
# command script beside it), and packaged from that copy, which is made
# beside dist/ so that packaging moves it in rather than copying it again.
# It is made only once the folder has passed, so that a refusal writes
# nothing.
packaged=$(mktemp -u -- "$PWD/dist.checked.XXXXXX")
trap 'rm -rf -- "$packaged"' EXIT
release/make-package.sh --check ${SigningOptions[@]+"${SigningOptions[@]}"} "$package" "$packaged"
Step "Checking the PowerShell files for Windows PowerShell 5.1"
if EnsurePowerShell "the scripts were not checked"; then
  # Run in the checked copy, so that the report names each file by its
  # path in the package.
  (cd -- "$packaged" && "$RealPowerShell" -NoProfile -NonInteractive -File "$ProjectRoot/check/check-scripts.ps1" \
    --format "$format" ${check_options[@]+"${check_options[@]}"} . >&3)
elif $check_only; then
  Fail "there is no PowerShell to check the scripts with"
fi
if $check_only; then
  exit 0
fi

Step "Windows build (MinGW-w64)"
cmake --preset mingw -DRELEASE_VERSION="$version" -DRELEASE_ICON="$icon"
cmake --build --preset mingw --target launcher stand_in_powershell

Step "Package (from $package)"
release/make-package.sh ${SigningOptions[@]+"${SigningOptions[@]}"} --checked build/mingw dist "$packaged"
ls -l dist
echo "SHA256SUMS: the zip and $(($(wc -l <dist/SHA256SUMS) - 1)) files"

# The launch runs in a throwaway copy of the package, never in dist/. An
# author's scripts never run here: the stand-in only shows what PowerShell
# would receive. Real PowerShell runs only the project's own pair.
Step "One launch under Wine"
demo_options=()
[ "$(realpath -- "$package")" != "$(realpath -- "$own_package")" ] || demo_options=(--own-package)
release/demo-launch.sh ${demo_options[@]+"${demo_options[@]}"} dist/Yorn-UI build/mingw/tests/wine/powershell.exe --optimize 144

Step "Done"
echo "Package folder: $PWD/dist/Yorn-UI/"
echo "Zip:            $PWD/dist/Yorn-UI-$(cat build/mingw/version.txt).zip"
echo "Checksums:      $PWD/dist/SHA256SUMS"
