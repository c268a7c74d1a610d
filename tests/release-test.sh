#!/usr/bin/env bash
# Releases as a package author builds them: ./build.sh, in a copy of the
# sources, with a version, an icon, other scripts, a realistic payload and
# each way of signing. Every release's zip must hold exactly its package
# folder, and SHA256SUMS every file; a signed one must have the launcher and
# every PowerShell file signed.
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
# A folder on tmpfs, which lists a folder's entries in the order they were
# made, unlike the work folder's file system.
listing=$work
[ ! -w /dev/shm ] || listing=$(mktemp -d -p /dev/shm)
trap '[ -z "$responder" ] || kill $responder; rm -rf "$work" "$listing"' EXIT
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
# The ANSI script also writes beside itself and fails, as the optimisation
# script that the build once ran did: the build must run neither.
mkdir "$work/ansi-scripts"
cp "$work/scripts/Install-Yorn-UI.ps1" "$work/ansi-scripts/"
# shellcheck disable=SC2016 # $FPS and $PSScriptRoot are PowerShell's
printf 'param([int] $FPS)\r\nWrite-Output "Caf\351 $FPS"\r\nSet-Content (Join-Path $PSScriptRoot optimize.log) ran\r\nexit 1\r\n' \
  >"$work/ansi-scripts/Optimize-Yorn-UI.ps1"

# A realistic payload around the pair to sign: a helper module with its
# manifest and formatting file, a dot-sourced script, nested folders with
# non-ASCII names, an empty folder, a binary file, text files, and
# version-control metadata, which is left out.
payload=$work/payload
cp -r "$work/scripts" "$payload"
mkdir -p "$payload/lib" "$payload/payload/Interface/Ünïcode 名前" "$payload/payload/textures" "$payload/config" \
  "$payload/empty" "$payload/.git/objects"
# shellcheck disable=SC2016 # PowerShell's variables
{
  printf 'function Get-YornGreeting {\n    "Gr\303\274\303\237e from Yorn UI"\n}\nExport-ModuleMember -Function Get-YornGreeting\n' \
    >"$payload/YornUI.psm1"
  printf "@{\n    RootModule = 'YornUI.psm1'\n    ModuleVersion = '1.0.0'\n    FunctionsToExport = @('Get-YornGreeting')\n}\n" \
    >"$payload/YornUI.psd1"
  printf 'function Get-YornFile([string] $Name) {\n    Join-Path $PSScriptRoot $Name\n}\n' >"$payload/lib/Helpers.ps1"
  printf '<?xml version="1.0" encoding="utf-8"?>\n<Configuration>\n  <ViewDefinitions />\n</Configuration>\n' \
    >"$payload/lib/YornUI.Format.ps1xml"
}
printf -- '-- \342\234\223 the frame\nreturn {}\n' >"$payload/payload/Interface/Ünïcode 名前/frame.lua"
{ printf '\0\0\2\0\0\0\0\0\0\0\0\0\20\0\20\0\40\10' && head -c 1024 /dev/urandom; } >"$payload/payload/textures/logo.tga"
printf '{ "frameRate": 144 }\n' >"$payload/config/YornUI.template.json"
printf 'Yorn UI licence\n' >"$payload/LICENSE.txt"
printf 'ref: refs/heads/main\n' >"$payload/.git/HEAD"
cp -r "$payload" "$work/payload-as-given"
# The same payload made anew in sorted order on tmpfs (so listed in another
# order), with other dates.
mkdir "$listing/payload"
(cd "$payload" && find . -mindepth 1 -print0 | LC_ALL=C sort -z) | while IFS= read -r -d '' path; do
  if [ -d "$payload/$path" ]; then mkdir "$listing/payload/$path"; else cp "$payload/$path" "$listing/payload/$path"; fi
done
find "$listing/payload" -exec touch -d '2001-02-03 04:05:06' {} +
[ "$(ls -U "$payload")" != "$(ls -U "$listing/payload")" ] || Fail "both payloads list their entries in one order"

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

# Release NAME ARGUMENT...: the build succeeds and ends as done; the zip
# holds exactly dist/Yorn-UI/ (names, bytes, empty folders), every name
# flagged as UTF-8; SHA256SUMS lists every file and holds; when it signs,
# the launcher and every PowerShell file verify against the root, and the
# zip and SHA256SUMS hold the signed bytes.
Release() {
  echo "Release: $1"
  Build "${@:2}" || Fail "$1: the build failed: $(grep '^error' "$work/build.log" || tail -n 5 "$work/build.log")"
  grep -q '^==> Done' "$work/build.log" || Fail "$1: the build did not end as done"
  local dist=$src/dist file
  (cd "$dist" && sha256sum --quiet -c SHA256SUMS) || Fail "$1: SHA256SUMS does not hold"
  diff <(cd "$dist" && find Yorn-UI -type f | LC_ALL=C sort) <(cut -c 67- "$dist/SHA256SUMS" | grep '^Yorn-UI/' | LC_ALL=C sort) ||
    Fail "$1: SHA256SUMS does not list exactly the package's files"
  rm -rf "$work/unzipped" && mkdir "$work/unzipped"
  unzip -q "$dist"/Yorn-UI-*.zip -d "$work/unzipped"
  [ "$(ls -A "$work/unzipped")" = Yorn-UI ] && diff -r "$work/unzipped/Yorn-UI" "$dist/Yorn-UI" ||
    Fail "$1: the zip does not hold exactly dist/Yorn-UI/"
  /usr/bin/python3 -c 'import sys, zipfile; sys.exit(any(not entry.flag_bits & 0x800 for entry in zipfile.ZipFile(sys.argv[1]).infolist()))' \
    "$dist"/Yorn-UI-*.zip || Fail "$1: a name in the zip is not flagged as UTF-8"
  [[ " $* " == *" --sign-"* ]] || return 0
  while IFS= read -r -d '' file; do
    file=${file#./}
    osslsigncode verify -ignore-crl -CAfile "$c/root.pem" -TSA-CAfile "$c/root.pem" -in "$dist/Yorn-UI/$file" \
      >"$work/verify-${file//\//_}.log" 2>&1 || Fail "$1: $file does not verify"
  done < <(cd "$dist/Yorn-UI" && find . -type f \( -name '*.exe' -o -name '*.ps1' -o -name '*.psm1' -o -name '*.psd1' -o -name '*.ps1xml' \) -print0)
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
grep -q '^PowerShell would receive:' "$work/build.log" && ! grep -q 'With real PowerShell' "$work/build.log" ||
  Fail "the launch under Wine ran an author's script: $(sed -n '/One launch/,$p' "$work/build.log")"
echo "An author's script that writes beside itself and fails is never run by the build."

# The project's own pair, broken in the copy: its script writes beside
# itself and fails. The build must say so and fail, and dist/ must not get
# the file.
if [ -n "${RealPowerShell:-}" ]; then
  cp package/Optimize-Yorn-UI.ps1 "$work/own-optimize.ps1"
  # shellcheck disable=SC2016 # $PSScriptRoot is PowerShell's
  printf 'Set-Content (Join-Path $PSScriptRoot optimize.log) ran\nexit 3\n' >"$src/package/Optimize-Yorn-UI.ps1"
  status=0
  Build || status=$?
  [ $status -eq 1 ] && grep -q "^error: the launch with real PowerShell failed: the project's own script exited with 3" "$work/build.log" &&
    ! grep -q '^==> Done' "$work/build.log" ||
    Fail "a failing launch of the project's own pair did not fail the build (exit $status): $(tail -n 5 "$work/build.log")"
  [ ! -e "$src/dist/Yorn-UI/optimize.log" ] || Fail "the launch wrote into dist/"
  cp "$work/own-optimize.ps1" "$src/package/Optimize-Yorn-UI.ps1"
  echo "A failing launch of the project's own pair fails the build, and writes nothing into dist/."
fi

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

# Without a timestamp an RSA signature is the same bytes every time: the
# payload built again from its copy listed in another order, with other
# dates and another umask, must give the same bytes.
Release "PKCS#12 bundle, a realistic payload" --sign-pkcs12 "$c/author.p12" --sign-password-file "$c/password" \
  --package "$payload"
grep -q '^Left out: .git/ (version-control metadata)$' "$work/build.log" || Fail "the build did not say that it left .git out"
grep -q '^  payload/Interface/Ünïcode 名前/frame.lua ' "$work/build.log" || Fail "the build did not list what it packs"
[ -d "$src/dist/Yorn-UI/empty" ] && [ ! -e "$src/dist/Yorn-UI/.git" ] || Fail "the empty folder is missing, or .git is there"
diff -r "$payload" "$work/payload-as-given" >/dev/null || Fail "the author's payload was changed"
for file in LICENSE.txt payload/textures/logo.tga "payload/Interface/Ünïcode 名前/frame.lua"; do
  cmp -s "$payload/$file" "$src/dist/Yorn-UI/$file" || Fail "$file was not packaged as it is"
done
Unsigned "$src/dist/Yorn-UI/YornUI.psm1" "$work/module.psm1"
cmp -s "$work/module.psm1" <(printf '\357\273\277' && cat "$payload/YornUI.psm1") ||
  Fail "the UTF-8 module was not packaged with a byte-order mark"
# The line docs/package-authors.md gives Windows users, run by real
# PowerShell where they would run it: beside SHA256SUMS and the extracted
# folder. It must pass the package, and name a file that changed.
if [ -n "${RealPowerShell:-}" ]; then
  line=$(awk '/^### Checking every file against SHA256SUMS/ { found = 1 } found && /^```$/ && inside { exit }
    found && inside { print } found && /^```powershell$/ { inside = 1 }' docs/package-authors.md)
  [ -n "$line" ] || Fail "docs/package-authors.md gives no line to check a package against SHA256SUMS"
  rm -rf "$work/extracted" && mkdir "$work/extracted"
  unzip -q "$src/dist"/Yorn-UI-*.zip -d "$work/extracted"
  cp "$src/dist/SHA256SUMS" "$work/extracted/"
  said=$(cd "$work/extracted" && "$RealPowerShell" -NoProfile -NonInteractive -Command "$line")
  [ "$said" = "Every file matches SHA256SUMS." ] || Fail "the checksum line does not pass the package: $said"
  echo changed >>"$work/extracted/Yorn-UI/payload/Interface/Ünïcode 名前/frame.lua"
  said=$(cd "$work/extracted" && "$RealPowerShell" -NoProfile -NonInteractive -Command "$line")
  [[ $said == *"Yorn-UI/payload/Interface/Ünïcode 名前/frame.lua"*"do not match SHA256SUMS"* ]] ||
    Fail "the checksum line does not name the changed file: $said"
  echo "The documented checksum line passes the package, and names a file that changed."
fi
# WinVerifyTrust, as Windows asks it, under Wine with the throwaway root
# trusted in the copy's prefix: the signed launcher must verify, and the
# unsigned one must not. Wine has no subject interface package for
# PowerShell's files (Windows' pwrshsip.dll), so for those it can only say
# that it does not know the kind of file (0x800B0003); any other failure,
# a wrong digest above all, fails the test, and a verified one counts.
openssl x509 -in "$c/root.pem" -outform DER -out "$c/root.der"
mapfile -d '' scripts < <(cd "$src/dist/Yorn-UI" && find . -type f \( -name '*.ps1' -o -name '*.psm1' -o -name '*.psd1' -o -name '*.ps1xml' \) -print0 | LC_ALL=C sort -z)
status=0
(
  UseWine "$src/build/mingw/wineprefix"
  "$src/tests/wine/wine-prefix.sh" up "$src/build/mingw/tests/wine/powershell.exe" >/dev/null
  trap '"$src/tests/wine/wine-prefix.sh" down' EXIT
  WindowsPath() { local path=Z:$1 && echo "${path//\//\\}"; }
  "$Wine" "$wine_tests/verify_trust.exe" "$(WindowsPath "$c/root.der")" "$(WindowsPath "$src/dist/Yorn-UI/Install-Yorn-UI.exe")" \
    "$(WindowsPath "$work/unsigned.exe")" "${scripts[@]/#./$(WindowsPath "$src/dist/Yorn-UI")}"
) >"$work/verify_trust.log" 2>&1 || status=$?
grep -q '^verified: .*dist\\Yorn-UI\\Install-Yorn-UI.exe' "$work/verify_trust.log" &&
  grep -q '^FAILED: .*unsigned.exe: 0x800B0100 ' "$work/verify_trust.log" &&
  [ "$(grep -c '^verified: \|^FAILED: .*0x800B0003 ' "$work/verify_trust.log")" -eq $((${#scripts[@]} + 1)) ] &&
  [ $status -eq $(($(grep -c '^FAILED: ' "$work/verify_trust.log"))) ] ||
  Fail "WinVerifyTrust under Wine: $(cat "$work/verify_trust.log")"
echo "WinVerifyTrust under Wine: the signed launcher verifies, the unsigned one does not;" \
  "of ${#scripts[@]} PowerShell files $(grep -c '^verified: .*\.ps' "$work/verify_trust.log") verified," \
  "$(grep -c '0x800B0003' "$work/verify_trust.log") unknown to Wine (no subject interface package for PowerShell)."
cp -r "$src/dist" "$work/first"
(
  umask 077
  Release "PKCS#12 bundle, the payload listed in another order, other dates, umask 077" \
    --sign-pkcs12 "$c/author.p12" --sign-password-file "$c/password" --package "$listing/payload"
)
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
cp "$work/ansi-scripts/Optimize-Yorn-UI.ps1" "$payload/lib/Legacy.psm1"
Refused "error: lib/Legacy.psm1: is not UTF-8" --sign-cert "$c/author-chain.pem" "${pem[@]}" --package "$payload"
echo "Every refusal names its problem and leaves dist/ as it was."
