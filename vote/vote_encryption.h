#pragma once
// ElGamal encryption of a vote plaintext under the election's key, in the group of quadratic
// residues modulo p (p = 2q + 1 assumed, not checked).

#include <string>
#include <string_view>

#include "util/bytes.h"
#include "util/elgamal_public_key.h"

namespace sorvimend {

// Pads the plaintext to the byte length k of p (00 01 FF.. 00 M; at most k - 3 bytes of M),
// encodes it as a quadratic residue (m, or p - m for a non-residue), draws r uniformly from
// 1..q-1 and returns the DER ELGAMAL_CIPHER of (g^r, m * y^r). randomness receives the Base64
// (one line) of r's minimal big-endian bytes as soon as r is drawn, so a later failure leaves it
// updated. Empty on every failure: plaintext too long, m neither residue nor non-residue, a key
// that cannot be computed with, or a big-number failure. No error code: the caller adds whatever
// comes back as the ballot.
[[nodiscard]] Bytes encryptVote(const ElGamalPublicKey& key, std::string_view plaintext, std::string& randomness);

}  // namespace sorvimend
