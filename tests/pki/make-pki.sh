#!/usr/bin/env bash
# Makes the throwaway test PKI in OUTDIR with the openssl command line and python3 only (no
# network). File names are stable; tests/pki/README.md lists them.
#
# Usage: make-pki.sh OUTDIR [--election-id ID] [--voter-code CODE] [--voter-given NAME]
#                           [--voter-surname NAME]
#
# Idempotent: when OUTDIR/.done is newer than this script and records the same arguments, nothing
# is done. Several test binaries may call it at once, so the work happens in a private folder
# that is moved into place under a lock.
set -euo pipefail

if [ $# -lt 1 ]; then
  echo "usage: $0 OUTDIR [--election-id ID] [--voter-code CODE] [--voter-given NAME] [--voter-surname NAME]" >&2
  exit 2
fi
out=$1
shift

election_id=DEMO2026
voter_code=38001010008
voter_given="MARI-LIIS"
voter_surname="MÄNNIK"
while [ $# -gt 0 ]; do
  case $1 in
    --election-id) election_id=$2; shift 2 ;;
    --voter-code) voter_code=$2; shift 2 ;;
    --voter-given) voter_given=$2; shift 2 ;;
    --voter-surname) voter_surname=$2; shift 2 ;;
    *) echo "make-pki: unknown argument $1" >&2; exit 2 ;;
  esac
done
if ! [[ $voter_code =~ ^[0-9]{11}$ ]]; then
  echo "make-pki: the personal code must be 11 digits" >&2
  exit 2
fi
# The second voter is "another person" for tests; a fixed, different code.
other_code=49002020002
[ "$other_code" = "$voter_code" ] && other_code=39912319991
other_given="JAAN"
other_surname="ÕUNAPUU"

script=$(readlink -f "$0")
here=$(dirname "$script")
stamp="election-id=$election_id voter=$voter_code/$voter_given/$voter_surname"

is_done() {
  [ -f "$out/.done" ] && [ "$out/.done" -nt "$script" ] && [ "$(cat "$out/.done")" = "$stamp" ]
}

mkdir -p "$out"
exec 9>"$out/.lock"
flock 9
if is_done; then
  exit 0
fi

work=$(mktemp -d "$out/.work.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
export OPENSSL_CONF=/dev/null

cat >ext.cnf <<'EOF'
[ca]
basicConstraints = critical, CA:true
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid:always

[auth]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = clientAuth
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid:always

[sign]
basicConstraints = critical, CA:false
keyUsage = critical, nonRepudiation
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid:always

[ocsp]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = OCSPSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid:always

[tsa]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature, nonRepudiation
extendedKeyUsage = critical, timeStamping
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid:always

[registration]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature, nonRepudiation
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid:always

[server]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = DNS:${ENV::SV_SAN}
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid:always
EOF
export SV_SAN=unused.sorvimend.test

# key NAME rsa|ec : NAME.key.pem (PKCS#8 PEM) and NAME.key.der (PKCS#8 DER)
key() {
  case $2 in
    rsa) openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$1.key.pem" 2>/dev/null ;;
    ec) openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-384 -out "$1.key.pem" ;;
  esac
  openssl pkcs8 -topk8 -nocrypt -in "$1.key.pem" -outform DER -out "$1.key.der"
}

# cert NAME ISSUER SECTION SUBJECT [DAYS]: NAME.pem and NAME.der; a self-signed one when ISSUER
# is "-".
cert() {
  local name=$1 issuer=$2 section=$3 subject=$4 days=${5:-3650}
  openssl req -new -utf8 -key "$name.key.pem" -subj "$subject" -out "$name.csr"
  if [ "$issuer" = - ]; then
    openssl x509 -req -in "$name.csr" -key "$name.key.pem" -days "$days" -sha256 \
      -extfile ext.cnf -extensions "$section" -out "$name.pem" 2>/dev/null
  else
    openssl x509 -req -in "$name.csr" -CA "$issuer.pem" -CAkey "$issuer.key.pem" -days "$days" -sha256 \
      -extfile ext.cnf -extensions "$section" -out "$name.pem" 2>/dev/null
  fi
  openssl x509 -in "$name.pem" -outform DER -out "$name.der"
  rm -f "$name.csr"
}

key root-ca rsa
cert root-ca - ca "/C=EE/O=Sorvimend Test/CN=Sorvimend Test Root CA"
key voter-ca rsa
cert voter-ca root-ca ca "/C=EE/O=Sorvimend Test/CN=Sorvimend Test Voter CA"
cat voter-ca.pem root-ca.pem >voter-ca-chain.pem
# A voter CA whose name needs escaping in XML text.
key odd-ca ec
cert odd-ca root-ca ca "/C=EE/O=Sorvimend Test & <Odd> Co/CN=Sorvimend Odd Voter CA"

voter() {
  local prefix=$1 code=$2 given=$3 surname=$4 issuer=${5:-voter-ca}
  local subject="/C=EE/CN=$surname,$given,$code/SN=$surname/GN=$given/serialNumber=PNOEE-$code"
  for kind in rsa ec; do
    key "$prefix-auth-$kind" "$kind"
    cert "$prefix-auth-$kind" "$issuer" auth "$subject"
    key "$prefix-sign-$kind" "$kind"
    cert "$prefix-sign-$kind" "$issuer" sign "$subject"
  done
}
voter voter1 "$voter_code" "$voter_given" "$voter_surname"
voter voter2 "$other_code" "$other_given" "$other_surname"
key odd-voter-sign-ec ec
cert odd-voter-sign-ec odd-ca sign "/C=EE/CN=$voter_surname,$voter_given,$voter_code/SN=$voter_surname/GN=$voter_given/serialNumber=PNOEE-$voter_code"

key ocsp rsa
cert ocsp voter-ca ocsp "/C=EE/O=Sorvimend Test/CN=Sorvimend Test OCSP Responder"
key tsa rsa
cert tsa root-ca tsa "/C=EE/O=Sorvimend Test/CN=Sorvimend Test Time-Stamping Authority"
key registration rsa
cert registration root-ca registration "/C=EE/O=Sorvimend Test/CN=Sorvimend Test Registration Service"

for service in choices voting mid smartid; do
  export SV_SAN=$service.sorvimend.test
  key "server-$service" rsa
  cert "server-$service" root-ca server "/C=EE/O=Sorvimend Test/CN=$SV_SAN"
done

# An expired server certificate: openssl 3.0's x509 cannot set past dates, its ca command can.
export SV_SAN=voting.sorvimend.test
key server-expired rsa
openssl req -new -key server-expired.key.pem -subj "/C=EE/O=Sorvimend Test/CN=$SV_SAN" -out server-expired.csr
mkdir -p ca-db
: >ca-db/index.txt
cat >ca.cnf <<EOF
[ca]
default_ca = test
[test]
database = ca-db/index.txt
new_certs_dir = ca-db
serial = ca-db/serial
default_md = sha256
policy = anything
unique_subject = no
[anything]
commonName = supplied
EOF
openssl rand -hex 16 >ca-db/serial
openssl ca -batch -config ca.cnf -cert root-ca.pem -keyfile root-ca.key.pem -in server-expired.csr \
  -startdate 20200101000000Z -enddate 20210101000000Z -extfile ext.cnf -extensions server \
  -notext -preserveDN -out server-expired.pem 2>/dev/null
openssl x509 -in server-expired.pem -outform DER -out server-expired.der
rm -rf ca-db ca.cnf server-expired.csr

key intermediate-ca rsa
cert intermediate-ca root-ca ca "/C=EE/O=Sorvimend Test/CN=Sorvimend Test Intermediate CA"
key server-intermediate rsa
cert server-intermediate intermediate-ca server "/C=EE/O=Sorvimend Test/CN=$SV_SAN"
cat server-intermediate.pem intermediate-ca.pem >server-intermediate-chain.pem

# Election keys on the RFC 3526 groups, the primes as OpenSSL knows them by name.
for bits in 2048 3072; do
  openssl genpkey -genparam -algorithm DH -pkeyopt group:modp_$bits 2>/dev/null |
    openssl asn1parse | awk -F: '/INTEGER/ {print $NF; exit}' >"modp-$bits.hex"
  python3 "$here/make_election_key.py" "$(cat "modp-$bits.hex")" "$election_id" \
    "election-$bits.pub.der" "election-$bits.secret"
  rm -f "modp-$bits.hex"
  openssl base64 -A -in "election-$bits.pub.der" >"election-$bits.pub.b64"
done

rm -f ext.cnf
echo "$stamp" >.done
cd /
# Move the finished set into place; the lock keeps concurrent callers out meanwhile.
find "$out" -mindepth 1 -maxdepth 1 ! -name '.lock' ! -name "$(basename "$work")" -exec rm -rf {} +
mv "$work"/* "$work"/.done "$out"/
