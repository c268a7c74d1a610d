# shellcheck shell=bash
# Authenticode signing of the package's files with osslsigncode, sourced by
# make-package.sh and build.sh after scripts/common.sh. The key is a PEM
# file, a PKCS#11 URI for a hardware token, or part of a PKCS#12 bundle; the
# password or PIN only ever comes from a file, so that it never shows in the
# process list. Every problem ends the run with one line that names it: a
# problem with the options or the credentials is refused (exit 2), one in
# signing itself is a failure (exit 1).

SignCert='' SignKey='' SignPkcs12='' SignPasswordFile='' Pkcs11Module='' TimestampUrl=''
# The options taken, as make-package.sh takes them, paths made absolute.
SigningOptions=()
# Scripts can be signed from osslsigncode 2.8 on; Debian 12 itself has 2.5.
OsslsigncodeMinimum=2.8

# A path as the caller meant it, whichever folder the script moves to.
AbsolutePath() { if [[ $1 == /* ]]; then echo "$1"; else echo "$PWD/$1"; fi; }

# TakeSigningOption OPTION VALUE: records a signing option; returns 1 for
# any other option.
TakeSigningOption() {
  local value=$2
  case "$1" in
  --sign-cert | --sign-pkcs12 | --sign-password-file | --pkcs11-module) value=$(AbsolutePath "$2") ;;
  --sign-key) [[ $2 == pkcs11:* ]] || value=$(AbsolutePath "$2") ;;
  --timestamp) ;;
  *) return 1 ;;
  esac
  case "$1" in
  --sign-cert) SignCert=$value ;;
  --sign-key) SignKey=$value ;;
  --sign-pkcs12) SignPkcs12=$value ;;
  --sign-password-file) SignPasswordFile=$value ;;
  --pkcs11-module) Pkcs11Module=$value ;;
  --timestamp) TimestampUrl=$value ;;
  esac
  SigningOptions+=("$1" "$value")
}

SigningAsked() { [ -n "$SignCert$SignKey$SignPkcs12$SignPasswordFile$Pkcs11Module$TimestampUrl" ]; }
TokenKey() { [[ $SignKey == pkcs11:* ]]; }

# openssl's source of the password: the file, or none at all. Given either
# way, so that openssl never asks at a terminal.
PasswordSource() {
  if [ -n "$SignPasswordFile" ]; then echo "file:$SignPasswordFile"; else echo "pass:"; fi
}

# CheckSigning WORK_DIR: checks the options, the files and the certificate
# before anything is signed, and prepares WORK_DIR (private) for SignFile.
CheckSigning() {
  if [ -n "$SignPkcs12" ]; then
    [ -z "$SignCert$SignKey" ] || Refuse "give either --sign-pkcs12 or --sign-cert with --sign-key, not both"
  elif [ -z "$SignCert" ] || [ -z "$SignKey" ]; then
    Refuse "signing needs --sign-cert CHAIN.pem with --sign-key KEY, or --sign-pkcs12 FILE.p12"
  fi
  if TokenKey; then
    [ -n "$Pkcs11Module" ] || Refuse "the token key $SignKey needs --pkcs11-module LIB.so"
  else
    [ -z "$Pkcs11Module" ] || Refuse "--pkcs11-module is only for a pkcs11: key"
  fi
  local file
  for file in "$SignCert" "$SignPkcs12" "$SignPasswordFile" "$Pkcs11Module" \
    "$(TokenKey || echo "$SignKey")"; do
    if [ -n "$file" ] && ! { [ -f "$file" ] && [ -r "$file" ]; }; then
      Refuse "cannot read $file"
    fi
  done
  local version
  version=$(osslsigncode --version 2>/dev/null | sed -n '1s/^osslsigncode \([0-9.]*\).*/\1/p')
  [ "$(printf '%s\n' "$OsslsigncodeMinimum" "$version" | sort -V | head -n 1)" = "$OsslsigncodeMinimum" ] ||
    Fail "osslsigncode ${version:-is missing; it} cannot sign PowerShell scripts: $OsslsigncodeMinimum or later is needed"

  PrepareSigning "$1"
  if [ -z "$SignPkcs12" ] && ! TokenKey; then
    local public
    if ! public=$(openssl pkey -in "$SignKey" -passin "$(PasswordSource)" -pubout 2>/dev/null); then
      [ -n "$SignPasswordFile" ] || ! grep -q ENCRYPTED "$SignKey" ||
        Refuse "the key $SignKey is encrypted: give its password with --sign-password-file FILE"
      Refuse "cannot read the key $SignKey: wrong password, or not a private key"
    fi
    [ "$public" = "$(openssl x509 -in "$SigningLeaf" -noout -pubkey)" ] ||
      Refuse "the key $SignKey does not match the certificate in $SignCert"
  fi

  local subject
  subject=$(openssl x509 -in "$SigningLeaf" -noout -subject -nameopt oneline | sed 's/^subject= *//')
  openssl x509 -in "$SigningLeaf" -noout -ext extendedKeyUsage 2>/dev/null | grep -q 'Code Signing' ||
    Refuse "the certificate \"$subject\" is not for code signing (its extended key usage lacks Code Signing)"
  openssl x509 -in "$SigningLeaf" -noout -checkend 0 >/dev/null ||
    Refuse "the certificate \"$subject\" expired on $(openssl x509 -in "$SigningLeaf" -noout -enddate | cut -d= -f2)"
  local start
  start=$(openssl x509 -in "$SigningLeaf" -noout -startdate | cut -d= -f2)
  [ "$(date -d "$start" +%s)" -le "$(date +%s)" ] ||
    Refuse "the certificate \"$subject\" is not valid before $start"
}

# PrepareSigning WORK_DIR: what SignFile needs, in WORK_DIR (private): the
# signing certificate, the certificates to verify against and osslsigncode's
# arguments. CheckSigning does it too; alone, it is for options that one
# run has checked already.
PrepareSigning() {
  SigningWork=$1
  SigningLeaf="$SigningWork/leaf.pem"
  local chain="$SigningWork/chain.pem"
  SigningArguments=(-h sha256)
  if [ -n "$SignPkcs12" ]; then
    local legacy
    for legacy in "" -legacy; do
      openssl pkcs12 ${legacy:+"$legacy"} -in "$SignPkcs12" -passin "$(PasswordSource)" -nokeys -out "$chain" 2>/dev/null &&
        openssl pkcs12 ${legacy:+"$legacy"} -in "$SignPkcs12" -passin "$(PasswordSource)" -nokeys -clcerts -out "$SigningLeaf" 2>/dev/null &&
        break
    done
    [ -s "$SigningLeaf" ] || Refuse "cannot open $SignPkcs12: wrong password (--sign-password-file), or not a PKCS#12 bundle"
    SigningArguments+=(-pkcs12 "$SignPkcs12")
  else
    openssl x509 -in "$SignCert" -out "$SigningLeaf" 2>/dev/null || Refuse "$SignCert holds no PEM certificate"
    cp -- "$SignCert" "$chain"
    TokenKey && SigningArguments+=(-pkcs11module "$Pkcs11Module")
    SigningArguments+=(-certs "$SignCert" -key "$SignKey")
  fi
  [ -z "$SignPasswordFile" ] || SigningArguments+=(-readpass "$SignPasswordFile")
  [ -z "$TimestampUrl" ] || SigningArguments+=(-ts "$TimestampUrl")

  # The signatures are verified against the chain given, plus the system's
  # roots for a chain that stops below its root and for the timestamp.
  SigningTrust="$SigningWork/trust.pem"
  cat -- "$chain" >"$SigningTrust"
  [ ! -r /etc/ssl/certs/ca-certificates.crt ] || cat /etc/ssl/certs/ca-certificates.crt >>"$SigningTrust"
}

# SignFile FILE EPOCH [NAME]: signs FILE in place, at the given signing
# time, and verifies the signature; NAME is how messages name it (its path
# in the package), by default its file name. osslsigncode runs in a session of its own with no
# terminal, so that a missing password or PIN fails instead of prompting, and
# under a time limit, so that a timestamp server that never answers fails too.
SignFile() {
  local file=$1 name=${3:-} log="$SigningWork/osslsigncode.log" status=0
  [ -n "$name" ] || name=$(basename -- "$file")
  timeout 60 setsid -w osslsigncode sign "${SigningArguments[@]}" -time "$2" \
    -in "$file" -out "$file.signed" </dev/null >"$log" 2>&1 || status=$?
  if [ $status -ne 0 ]; then
    if grep -q 'key values mismatch' "$log"; then
      Refuse "the key $SignKey does not match the certificate in $SignCert"
    elif grep -qE 'PIN incorrect|Wrong password|bad decrypt|mac verify failure' "$log"; then
      Refuse "wrong password or PIN in $SignPasswordFile for the key ${SignKey:-$SignPkcs12}"
    elif grep -qE 'No PIN code was entered|problems getting password|unable to get passphrase' "$log"; then
      Refuse "the key ${SignKey:-$SignPkcs12} needs a password or PIN: give it with --sign-password-file FILE"
    elif grep -q 'Failed to read key or certificates' "$log"; then
      Refuse "cannot load the key ${SignKey:-$SignPkcs12}: $(grep -v '^[0-9A-F]*:error:' "$log" | head -n 1)"
    elif [ -n "$TimestampUrl" ] && { [ $status -eq 124 ] || grep -q '^Connecting to' "$log"; }; then
      Fail "the timestamp server $TimestampUrl gave no timestamp for $name (unreachable, too slow or refusing)"
    fi
    Fail "osslsigncode could not sign $name: $(tail -n 2 "$log" | head -n 1)"
  fi
  mv -- "$file.signed" "$file"
  # Revocation is for Windows to check when the file runs; the build checks
  # what it made without depending on a network beyond the timestamp server.
  osslsigncode verify -ignore-crl -CAfile "$SigningTrust" -TSA-CAfile "$SigningTrust" \
    -in "$file" </dev/null >"$log" 2>&1 ||
    Fail "the signature of $name does not verify against ${SignCert:-$SignPkcs12}"
  echo "Signed and verified: $name"
}
