#!/usr/bin/env bash
# SoftHSM2 tokens that stand in for ID cards, made from the test PKI (tests/pki/make-pki.sh).
#
#   make-tokens.sh card DIR AUTH_CERT SIGN_CERT [PIN1 PIN2]
#       One card in DIR: DIR/softhsm2.conf (point SOFTHSM2_CONF at it) and DIR/tokens/. Two
#       tokens, "PIN1" with AUTH_CERT and "PIN2" with SIGN_CERT, each with its certificate and
#       private key (id 01). AUTH_CERT and SIGN_CERT name test PKI files without extension
#       (NAME.der and NAME.key.pem are read). Either may be "-" for a card without that token.
#       PINs default to 1234 and 12345.
#   make-tokens.sh suite DIR PKI_DIR
#       The cards the ID-card tests use, one folder each under DIR (listed below).
#
# Does nothing for a card whose DIR/.done is newer than this script and the certificates.
set -euo pipefail

module=/usr/lib/softhsm/libsofthsm2.so
so_pin=87654321

make_card() {
  local dir=$1 auth=$2 sign=$3 pin1=${4:-1234} pin2=${5:-12345}
  local stamp=$dir/.done
  if [ -f "$stamp" ] && [ "$stamp" -nt "$0" ] &&
     { [ "$auth" = - ] || [ "$stamp" -nt "$auth.der" ]; } &&
     { [ "$sign" = - ] || [ "$stamp" -nt "$sign.der" ]; } &&
     [ "$(cat "$stamp")" = "$auth $sign $pin1 $pin2" ]; then
    return 0
  fi
  rm -rf "$dir"
  mkdir -p "$dir/tokens"
  printf 'directories.tokendir = %s\nobjectstore.backend = file\nlog.level = ERROR\nslots.removable = false\n' \
    "$(cd "$dir" && pwd)/tokens" > "$dir/softhsm2.conf"
  export SOFTHSM2_CONF=$dir/softhsm2.conf
  if [ "$auth" != - ]; then add_token PIN1 "$pin1" "$auth"; fi
  if [ "$sign" != - ]; then add_token PIN2 "$pin2" "$sign"; fi
  echo "$auth $sign $pin1 $pin2" > "$stamp"
}

add_token() {
  local label=$1 pin=$2 cert=$3
  softhsm2-util --init-token --free --label "$label" --so-pin "$so_pin" --pin "$pin" >/dev/null
  softhsm2-util --import "$cert.key.pem" --token "$label" --label "$label key" --id 01 \
    --pin "$pin" >/dev/null
  pkcs11-tool --module "$module" --token-label "$label" --login --pin "$pin" \
    --write-object "$cert.der" --type cert --id 01 --label "$label certificate" >/dev/null 2>&1
}

case ${1:-} in
  card)
    [ $# -ge 4 ] || { echo "usage: $0 card DIR AUTH_CERT SIGN_CERT [PIN1 PIN2]" >&2; exit 2; }
    make_card "$2" "$3" "$4" "${5:-1234}" "${6:-12345}"
    ;;
  suite)
    [ $# -eq 3 ] || { echo "usage: $0 suite DIR PKI_DIR" >&2; exit 2; }
    dir=$2 pki=$3
    make_card "$dir/rsa" "$pki/voter1-auth-rsa" "$pki/voter1-sign-rsa"
    make_card "$dir/ec" "$pki/voter1-auth-ec" "$pki/voter1-sign-ec"
    # Signing key of another person beside voter 1's authentication key.
    make_card "$dir/other-signer" "$pki/voter1-auth-rsa" "$pki/voter2-sign-rsa"
    # Voter 2's own card.
    make_card "$dir/voter2" "$pki/voter2-auth-rsa" "$pki/voter2-sign-rsa"
    # Signing certificate from a CA that is not among the trusted issuers.
    make_card "$dir/foreign-issuer" "$pki/voter1-auth-ec" "$pki/odd-voter-sign-ec"
    # EC authentication key with an RSA signing key: the DigestInfo follows the signing key.
    make_card "$dir/mixed" "$pki/voter1-auth-ec" "$pki/voter1-sign-rsa"
    ;;
  *)
    echo "usage: $0 card DIR AUTH_CERT SIGN_CERT [PIN1 PIN2] | suite DIR PKI_DIR" >&2
    exit 2
    ;;
esac
