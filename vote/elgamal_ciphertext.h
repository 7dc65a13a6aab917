#pragma once
// DER of one ballot's ciphertext:
//   ELGAMAL_CIPHER ::= SEQUENCE { alg AlgorithmIdentifier, cipher ANY }
// where alg is 1.3.6.1.4.1.3029.2.1 without a parameters field and cipher is the complete DER of
//   ELGAMAL_CIPHERTEXT ::= SEQUENCE { a INTEGER, b INTEGER }.

#include <optional>
#include <string_view>

#include "util/bytes.h"
#include "util/openssl_ptr.h"

namespace sorvimend {

// a and b must be non-negative. Empty on failure.
[[nodiscard]] Bytes encodeElGamalCipher(const BIGNUM* a, const BIGNUM* b);

struct ElGamalCiphertext {
  BignumPtr a;
  BignumPtr b;
};

enum class CipherDecodeStatus {
  Ok,
  NotDer,           // not one whole ELGAMAL_CIPHER, or cipher not one whole ELGAMAL_CIPHERTEXT
  WrongAlgorithm,   // another object identifier, or a parameters field present
  NegativeInteger,  // a or b below zero
};

// Reads the ciphertext back (for the tools and tests; the voter's program never reads one).
[[nodiscard]] CipherDecodeStatus decodeElGamalCipher(std::string_view der, ElGamalCiphertext& out);

}  // namespace sorvimend
