#!/usr/bin/env bash
# Checks the test PKI that make-pki.sh makes in OUTDIR with the openssl command line.
# Usage: check-pki.sh OUTDIR
set -euo pipefail
here=$(dirname "$(readlink -f "$0")")
out=$1
bash "$here/make-pki.sh" "$out"
cd "$out"
fail() { echo "check-pki: $*" >&2; exit 1; }

for v in voter1 voter2; do
  for kind in auth-rsa auth-ec sign-rsa sign-ec; do
    openssl verify -CAfile root-ca.pem -untrusted voter-ca.pem "$v-$kind.pem" >/dev/null || fail "$v-$kind chain"
    openssl pkey -in "$v-$kind.key.der" -inform DER -pubout >k.pub 2>/dev/null || fail "$v-$kind PKCS#8 DER"
    openssl x509 -in "$v-$kind.pem" -noout -pubkey | cmp -s - k.pub || fail "$v-$kind key pair"
    text=$(openssl x509 -in "$v-$kind.pem" -noout -text)
    case $kind in
      auth-*) grep -q "TLS Web Client Authentication" <<<"$text" || fail "$v-$kind clientAuth"
              grep -q "Digital Signature" <<<"$text" || fail "$v-$kind digitalSignature" ;;
      sign-*) grep -A1 "Key Usage: critical" <<<"$text" | grep -qx " *Non Repudiation" || fail "$v-$kind nonRepudiation only"
              ! grep -q "Extended Key Usage" <<<"$text" || fail "$v-$kind has an extended key usage" ;;
    esac
  done
done
rm -f k.pub
openssl x509 -in voter1-sign-ec.pem -noout -subject -nameopt RFC2253 | grep -q "serialNumber=PNOEE-[0-9]\{11\}," ||
  fail "voter serialNumber"
openssl x509 -in voter2-sign-ec.pem -noout -subject | grep -q "PNOEE-49002020002" || fail "second voter"
for s in choices voting mid smartid; do
  openssl verify -CAfile root-ca.pem "server-$s.pem" >/dev/null || fail "server-$s chain"
  openssl x509 -in "server-$s.pem" -noout -ext subjectAltName | grep -q "DNS:$s.sorvimend.test" || fail "server-$s name"
done
! openssl verify -CAfile root-ca.pem server-expired.pem >/dev/null 2>&1 || fail "expired server certificate verifies"
openssl verify -CAfile root-ca.pem -untrusted intermediate-ca.pem server-intermediate.pem >/dev/null || fail "intermediate chain"
openssl verify -CAfile root-ca.pem -untrusted voter-ca.pem -purpose ocsphelper ocsp.pem >/dev/null || fail "ocsp"
openssl x509 -in tsa.pem -noout -text | grep -A1 "Extended Key Usage: critical" | grep -q "Time Stamping" || fail "tsa"

# Election keys: p is the prime OpenSSL knows by name, and y = 2^x mod p for the secret x.
for bits in 2048 3072; do
  named=$(openssl genpkey -genparam -algorithm DH -pkeyopt group:modp_$bits 2>/dev/null |
    openssl asn1parse | awk -F: '/INTEGER/ {print $NF; exit}')
  python3 - "election-$bits.pub.der" "election-$bits.secret" "$named" <<'PY' || fail "election-$bits key"
import sys
der = open(sys.argv[1], "rb").read()
def read(data, i):
    tag = data[i]; n = data[i + 1]; i += 2
    if n & 0x80:
        k = n & 0x7F; n = int.from_bytes(data[i:i + k], "big"); i += k
    return tag, data[i:i + n], i + n
tag, spki, _ = read(der, 0)
tag, alg, rest = read(spki, 0)
tag, oid, j = read(alg, 0)
assert oid == bytes.fromhex("2b0601040197550201"), "oid"
tag, params, _ = read(alg, j)
tag, p, j = read(params, 0)
tag, g, j = read(params, j)
tag, eid, j = read(params, j)
assert tag == 0x1B and eid == b"DEMO2026", "election id"
tag, bits, _ = read(spki, rest)
assert tag == 0x03 and bits[0] == 0
tag, pub, _ = read(bits[1:], 0)
tag, y, _ = read(pub, 0)
p, g, y = (int.from_bytes(v, "big") for v in (p, g, y))
x = int(open(sys.argv[2]).read().strip(), 16)
assert p == int(sys.argv[3], 16) and g == 2 and 1 <= x < (p - 1) // 2 and pow(g, x, p) == y
PY
done
echo "check-pki: all good"
