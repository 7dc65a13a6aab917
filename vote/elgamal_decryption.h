#pragma once
// Decryption of a ballot with the election's secret key. Used by the tools and the tests only:
// the voter's program never holds a secret key.

#include <string_view>

#include "util/bytes.h"
#include "util/elgamal_public_key.h"
#include "util/openssl_ptr.h"

namespace sorvimend {

enum class DecryptStatus {
  Ok,
  NotCiphertext,   // not the DER ELGAMAL_CIPHER (or negative integers)
  WrongAlgorithm,  // another algorithm identifier, or one with parameters
  OutOfRange,      // a or b not in 1..p-1
  WrongKey,        // the secret key does not belong to the public key (y != g^x)
  NotPadded,       // the decoded block is not 00 01 FF.. 00 M: wrong key or damaged ballot
  Failed,          // a big-number failure, or a key that cannot be computed with
};

// A sentence for the voter-facing tools.
[[nodiscard]] const char* decryptStatusText(DecryptStatus status);

// The secret exponent from the text of a secret key file: hexadecimal digits, surrounding white
// space allowed. Null when the text holds anything else or nothing.
[[nodiscard]] SecretBignumPtr parseElGamalSecretKey(std::string_view text);

// Undoes the encryption: b / a^x, the residue encoding (the smaller of v and p - v) and the
// padding. groupElement, when given, receives b / a^x itself.
[[nodiscard]] DecryptStatus decryptVote(const ElGamalPublicKey& key, const BIGNUM* x, std::string_view cipherDer,
                                        Bytes& plaintext, BignumPtr* groupElement = nullptr);

}  // namespace sorvimend
