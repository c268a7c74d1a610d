#!/usr/bin/env bash
# Releases as a package author builds them: ./build.sh, in a copy of the
# sources, with a version, an icon, other scripts and each way of signing.
# The credentials are made here: a throwaway root, a code-signing leaf (as a
# PEM key, a PKCS#12 bundle and a SoftHSM2 token), leaves that are wrong in
# one way each, and a timestamp authority on 127.0.0.1. Every refusal must
# name its problem and leave dist/ exactly as it was.
# Needs the mingw build's Windows-side test programs.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh
SOURCE_DATE_EPOCH=$(BuildEpoch)
export SOURCE_DATE_EPOCH
wine_tests=$PWD/build/mingw/tests/wine
work=$(mktemp -d)
c=$work/credentials
responder=
trap '[ -z "$responder" ] || kill $responder; rm -rf "$work"' EXIT
trap 'echo "error: release-test.sh, line $LINENO failed" >&2' ERR
source tests/build-in-copy.sh
mkdir -p "$c/tokens" "$work/scripts"
responder_script=$PWD/tests/timestamp-responder.py

echo "Credentials, icon and scripts"
cd "$c"
{
  openssl req -x509 -newkey rsa:2048 -nodes -keyout root.key -out root.pem -days 30 -subj "/CN=Yorn Test Root" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign
  for key in leaf other tsa; do openssl genrsa -out $key.key 2048; done
  # Issue NAME KEY DAYS EXTENSION...: NAME.pem, and NAME-chain.pem with the root.
  Issue() {
    openssl req -new -key "$2" -subj "/CN=$1" |
      openssl x509 -req -CA root.pem -CAkey root.key -days "$3" -extfile <(printf '%s\n' "${@:4}") -out "$1.pem"
    cat "$1.pem" root.pem >"$1-chain.pem"
  }
  Issue author leaf.key 30 extendedKeyUsage=codeSigning
  Issue web leaf.key 30 extendedKeyUsage=serverAuth
  Issue expired leaf.key -1 extendedKeyUsage=codeSigning
  Issue tsa tsa.key 30 extendedKeyUsage=critical,timeStamping
  echo "correct horse" >password
  echo "wrong horse" >wrong
  echo 1234 >pin
  openssl pkey -in leaf.key -aes256 -passout file:password -out leaf-encrypted.key
  openssl pkcs12 -export -inkey leaf.key -in author.pem -certfile root.pem -passout file:password -out author.p12
  printf 'directories.tokendir = %s/tokens\n' "$c" >softhsm2.conf
  export SOFTHSM2_CONF=$c/softhsm2.conf
  softhsm2-util --init-token --free --label yorn --pin 1234 --so-pin 5678 >/dev/null
  openssl pkcs8 -topk8 -nocrypt -in leaf.key -out leaf.p8
  softhsm2-util --import leaf.p8 --token yorn --label signing --id 01 --pin 1234 >/dev/null
} 2>"$c/openssl.log"
cd - >/dev/null
{
  printf '[tsa]\ndefault_tsa = local\n[local]\nserial = %s/tsa.serial\nsigner_cert = %s/tsa.pem\n' "$c" "$c"
  printf 'signer_key = %s/tsa.key\ncerts = %s/root.pem\nsigner_digest = sha256\n' "$c" "$c"
  printf 'default_policy = 1.2.3.4.1\ndigests = sha256\ness_cert_id_alg = sha256\n'
} >"$c/tsa.cnf"
echo 01 >"$c/tsa.serial"
python3 "$responder_script" "$c/tsa.cnf" >"$c/port" &
responder=$!
for _ in $(seq 50); do
  [ ! -s "$c/port" ] || break
  sleep 0.2
done
timestamp="http://127.0.0.1:$(cat "$c/port")/"

# A 16x16 icon of one colour, 32 bits per pixel, and a copy cut short.
{
  printf '\0\0\1\0\1\0\20\20\0\0\1\0\40\0\150\4\0\0\26\0\0\0'
  printf '\50\0\0\0\20\0\0\0\40\0\0\0\1\0\40\0' && head -c 24 /dev/zero
  for ((i = 0; i < 256; i++)); do printf '\60\200\340\377'; done
  head -c 64 /dev/zero
} >"$c/icon.ico"
head -c 600 "$c/icon.ico" >"$c/cut.ico"
# An author's pair to sign: UTF-8 without a byte-order mark, and UTF-16
# with one. A pair for unsigned builds only: the same UTF-8 script, and ANSI
# (Latin-1), which a signature would not cover faithfully.
printf 'Write-Output "Caf\303\251 \342\224\200\342\224\200"\r\nexit 0\r\n' >"$work/scripts/Install-Yorn-UI.ps1"
# shellcheck disable=SC2016 # $FPS is PowerShell's
printf 'param([int] $FPS)\r\nWrite-Output "Caf\303\251 $FPS"\r\n' | iconv -f UTF-8 -t UTF-16LE |
  { printf '\377\376' && cat; } >"$work/scripts/Optimize-Yorn-UI.ps1"
cp -r "$work/scripts" "$work/scripts-as-given"
mkdir "$work/ansi-scripts"
cp "$work/scripts/Install-Yorn-UI.ps1" "$work/ansi-scripts/"
# shellcheck disable=SC2016 # $FPS is PowerShell's
printf 'param([int] $FPS)\r\nWrite-Output "Caf\351 $FPS"\r\n' >"$work/ansi-scripts/Optimize-Yorn-UI.ps1"

Unsigned() { rm -f "$2" && osslsigncode remove-signature -in "$1" -out "$2" >/dev/null; }
# Runs a Windows-side test program against LAUNCHER_EXE in the copy's prefix.
WineTest() {
  (
    UseWine "$src/build/mingw/wineprefix"
    export "${@:2}"
    "$src/tests/wine/wine-prefix.sh" up "$src/build/mingw/tests/wine/powershell.exe" >/dev/null
    trap '"$src/tests/wine/wine-prefix.sh" down' EXIT
    "$Wine" "$wine_tests/$1.exe" >"$work/$1.log" 2>&1
  ) || Fail "$1 fails for the release; see its log:$(echo && cat "$work/$1.log")"
}

# Release NAME ARGUMENT...: the build succeeds; when it signs, all three
# files verify against the root, and the zip and SHA256SUMS hold the signed
# bytes.
Release() {
  echo "Release: $1"
  Build "${@:2}" || Fail "$1: the build failed: $(grep '^error' "$work/build.log" || tail -n 5 "$work/build.log")"
  local dist=$src/dist file
  (cd "$dist" && sha256sum --quiet -c SHA256SUMS) || Fail "$1: SHA256SUMS does not hold"
  unzip -p "$dist"/Yorn-UI-*.zip Yorn-UI/Install-Yorn-UI.exe | cmp -s - "$dist/Yorn-UI/Install-Yorn-UI.exe" ||
    Fail "$1: the zip's launcher is not dist's"
  [[ " $* " == *" --sign-"* ]] || return 0
  for file in Install-Yorn-UI.exe Install-Yorn-UI.ps1 Optimize-Yorn-UI.ps1; do
    osslsigncode verify -ignore-crl -CAfile "$c/root.pem" -TSA-CAfile "$c/root.pem" -in "$dist/Yorn-UI/$file" \
      >"$work/verify-$file.log" 2>&1 || Fail "$1: $file does not verify"
  done
}

Release "unsigned, as before"
cp "$src/dist/Yorn-UI/Install-Yorn-UI.exe" "$work/unsigned.exe"
cp -r "$src/dist" "$work/as-before"
# Started from another folder, one with a package/ of its own, the build
# packages the project's own scripts all the same.
mkdir -p "$work/elsewhere"
cp -r "$work/ansi-scripts" "$work/elsewhere/package"
echo "Release: started from another folder that has a package/ of its own"
BuildFrom "$work/elsewhere" || Fail "the build started from another folder failed: $(tail -n 5 "$work/build.log")"
diff -r "$work/as-before" "$src/dist" >/dev/null ||
  Fail "started from another folder, the build packaged that folder's scripts: $(diff -rq "$work/as-before" "$src/dist")"
Release "unsigned, an author's ANSI script" --scripts "$work/ansi-scripts"
cmp -s "$src/dist/Yorn-UI/Optimize-Yorn-UI.ps1" "$work/ansi-scripts/Optimize-Yorn-UI.ps1" ||
  Fail "the ANSI script was changed"

Release "PEM key with a password, timestamp, version, icon, an author's scripts" \
  --sign-cert "$c/author-chain.pem" --sign-key "$c/leaf-encrypted.key" --sign-password-file "$c/password" \
  --timestamp "$timestamp" --version 2.5.0.7 --icon "$c/icon.ico" --scripts "$work/scripts"
grep -q 'Timestamp Server Signature verification: ok' "$work/verify-Install-Yorn-UI.exe.log" ||
  Fail "the launcher carries no verified timestamp"
[ -f "$src/dist/Yorn-UI-2.5.0.7.zip" ] || Fail "the zip is not named for --version"
Unsigned "$src/dist/Yorn-UI/Install-Yorn-UI.exe" "$work/image.exe"
WineTest image_guard_test LAUNCHER_EXE="$work/image.exe" LAUNCHER_VERSION=2.5.0.7 LAUNCHER_ICON="$c/icon.ico"
WineTest launcher_e2e_test LAUNCHER_EXE="$src/dist/Yorn-UI/Install-Yorn-UI.exe"
diff -r "$work/scripts" "$work/scripts-as-given" >/dev/null || Fail "the author's scripts were changed"
Unsigned "$src/dist/Yorn-UI/Install-Yorn-UI.ps1" "$work/install.ps1"
cmp -s "$work/install.ps1" <(printf '\357\273\277' && cat "$work/scripts/Install-Yorn-UI.ps1") ||
  Fail "the UTF-8 script was not packaged with a byte-order mark"
Unsigned "$src/dist/Yorn-UI/Optimize-Yorn-UI.ps1" "$work/optimize.ps1"
cmp -s "$work/optimize.ps1" "$work/scripts/Optimize-Yorn-UI.ps1" || Fail "the UTF-16 script was changed"

# Without a timestamp an RSA signature is the same bytes every time.
Release "PKCS#12 bundle" --sign-pkcs12 "$c/author.p12" --sign-password-file "$c/password"
cp -r "$src/dist" "$work/first"
Release "PKCS#12 bundle, again" --sign-pkcs12 "$c/author.p12" --sign-password-file "$c/password"
diff -r "$work/first" "$src/dist" >/dev/null || Fail "two signed builds differ"
Unsigned "$src/dist/Yorn-UI/Install-Yorn-UI.exe" "$work/image.exe"
cmp -s "$work/image.exe" "$work/unsigned.exe" || Fail "removing the signature does not give the unsigned image"
WineTest image_guard_test LAUNCHER_EXE="$work/image.exe" LAUNCHER_VERSION="$(cat "$src/build/mingw/version.txt")"

Release "key on a PKCS#11 token" --sign-cert "$c/author-chain.pem" --sign-key "pkcs11:token=yorn;object=signing" \
  --pkcs11-module /usr/lib/softhsm/libsofthsm2.so --sign-password-file "$c/pin"
echo "Every way of signing verifies; two signed builds are byte-identical."

pem=(--sign-key "$c/leaf.key")
Refused "wrong password" --sign-cert "$c/author-chain.pem" --sign-key "$c/leaf-encrypted.key" --sign-password-file "$c/wrong"
Refused "give its password" --sign-cert "$c/author-chain.pem" --sign-key "$c/leaf-encrypted.key"
Refused "cannot read $c/none.key" --sign-cert "$c/author-chain.pem" --sign-key "$c/none.key"
Refused "does not match" --sign-cert "$c/author-chain.pem" --sign-key "$c/other.key"
Refused "not for code signing" --sign-cert "$c/web-chain.pem" "${pem[@]}"
Refused "expired" --sign-cert "$c/expired-chain.pem" "${pem[@]}"
Refused "wrong password or PIN" --sign-cert "$c/author-chain.pem" --sign-key "pkcs11:token=yorn;object=signing" \
  --pkcs11-module /usr/lib/softhsm/libsofthsm2.so --sign-password-file "$c/wrong"
Refused "timestamp server" --sign-cert "$c/author-chain.pem" "${pem[@]}" --timestamp http://127.0.0.1:1/
Refused "above 65535" --version 1.70000
Refused "1 to 4" --version 1.2.3.4.5
Refused "not a whole icon" --icon "$c/cut.ico"
Refused "error: Optimize-Yorn-UI.ps1: is not UTF-8 (saved in a legacy code page?); save it as UTF-8 so that its signature holds on Windows" \
  --sign-cert "$c/author-chain.pem" "${pem[@]}" --scripts "$work/ansi-scripts"
[ $refused_status -eq 2 ] || Fail "a script that is not UTF-8 was refused with exit code $refused_status, not 2"
echo "Every refusal names its problem and leaves dist/ as it was."
