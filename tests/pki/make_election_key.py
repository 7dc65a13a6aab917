#!/usr/bin/env python3
"""Writes an election ElGamal key pair on a given safe prime with generator 2.

Usage: make_election_key.py P_HEX ELECTION_ID PUBLIC_OUT SECRET_OUT

PUBLIC_OUT: DER SubjectPublicKeyInfo { AlgorithmIdentifier { 1.3.6.1.4.1.3029.2.1,
  SEQUENCE { p INTEGER, g INTEGER, election_id GeneralString } },
  BIT STRING holding the DER of SEQUENCE { y INTEGER } }.
SECRET_OUT: the secret exponent x as upper-case hexadecimal digits, one line ended by a line feed.
"""
import secrets
import sys

ELGAMAL_OID = "1.3.6.1.4.1.3029.2.1"


def der_length(n):
    if n < 0x80:
        return bytes([n])
    body = n.to_bytes((n.bit_length() + 7) // 8, "big")
    return bytes([0x80 | len(body)]) + body


def tlv(tag, content):
    return bytes([tag]) + der_length(len(content)) + content


def der_integer(value):
    body = value.to_bytes(value.bit_length() // 8 + 1, "big")  # room for a sign octet
    while len(body) > 1 and body[0] == 0 and body[1] < 0x80:
        body = body[1:]
    return tlv(0x02, body)


def der_oid(dotted):
    arcs = [int(a) for a in dotted.split(".")]
    body = bytearray([arcs[0] * 40 + arcs[1]])
    for arc in arcs[2:]:
        chunk = [arc & 0x7F]
        arc >>= 7
        while arc:
            chunk.append(0x80 | (arc & 0x7F))
            arc >>= 7
        body += bytes(reversed(chunk))
    return tlv(0x06, bytes(body))


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    p = int(sys.argv[1], 16)
    election_id = sys.argv[2].encode("utf-8")
    g = 2
    q = (p - 1) // 2
    x = secrets.randbelow(q - 1) + 1
    y = pow(g, x, p)

    params = tlv(0x30, der_integer(p) + der_integer(g) + tlv(0x1B, election_id))
    algorithm = tlv(0x30, der_oid(ELGAMAL_OID) + params)
    public_value = tlv(0x30, der_integer(y))
    spki = tlv(0x30, algorithm + tlv(0x03, b"\x00" + public_value))

    with open(sys.argv[3], "wb") as f:
        f.write(spki)
    with open(sys.argv[4], "w") as f:
        f.write("%X\n" % x)


if __name__ == "__main__":
    main()
