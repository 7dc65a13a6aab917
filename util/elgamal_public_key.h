#pragma once
// The election's ElGamal public key: a DER SubjectPublicKeyInfo with algorithm
// 1.3.6.1.4.1.3029.2.1, parameters ELGAMAL_PARAMS {p, g, election_id} and the public value
// ELGAMAL_PUBKEY {y}. Parsed once at start; the resource validator parses it the same way.
// No check is made of p, g or y beyond their decoding.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "util/openssl_ptr.h"

namespace sorvimend {

struct ElGamalPublicKey {
  BignumPtr p;
  BignumPtr g;
  BignumPtr y;
  std::string electionId;
};

// Nothing for empty input, bad DER, another algorithm, absent or non-SEQUENCE parameters, or
// parameters or public value that do not decode.
[[nodiscard]] std::optional<ElGamalPublicKey> parseElectionKey(std::string_view der);

// True when the key is present and its election identifier equals electionId (both compared as
// NUL-terminated texts).
[[nodiscard]] bool keyMatchesElection(const std::optional<ElGamalPublicKey>& key, std::string_view electionId);

}  // namespace sorvimend
