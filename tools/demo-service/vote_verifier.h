#pragma once
// The second device's check of a cast vote, done on the collector's side: the ballot of a stored
// container is decrypted with the election's secret key, re-encrypted with the randomness the
// voter's QR code shows, and both ciphertext components must come out equal. Written apart from
// the application's encryption on purpose, like the rest of the service.
//
// Does not check the container's signature or receipt: the service checked those when it
// accepted the vote. Does not log the plaintext or the randomness.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "tools/demo-service/elgamal_secret_key.h"
#include "util/openssl_ptr.h"

namespace sorvimend::demo {

enum class VerifyOutcome {
  Verified,  // the randomness reproduces the ballot
  Mismatch,  // a well-formed randomness that does not reproduce the ballot
  BadInput,  // no such vote, an unreadable container or ballot, a malformed randomness
};

struct Verification {
  VerifyOutcome outcome = VerifyOutcome::BadInput;
  std::string plaintext;  // the vote plaintext; only when verified
  std::string problem;    // one line saying what was wrong; empty unless BadInput
};

constexpr std::string_view kRandomnessMismatch = "randomness does not match the ballot";

class VoteVerifier {
 public:
  // Reads DIR/election.json: the election and question ids and the election key pair it names
  // (paths relative to DIR). Nothing, with a one-line problem, when any of them is unusable.
  [[nodiscard]] static std::unique_ptr<VoteVerifier> open(const std::string& electionDir, std::string& problem);

  // archive: the bytes of a stored container; randomnessBase64: the second line of the QR code
  // (Base64 without line breaks of r, 1 <= r <= q - 1).
  [[nodiscard]] Verification verify(std::string_view archive, std::string_view randomnessBase64) const;

  // The same for STATE/containers/VOTEID.asice. A vote id is 1 to 64 letters, digits, '-' or
  // '_', so that it can name no file outside the containers folder.
  [[nodiscard]] Verification verifyStored(const std::string& stateDir, const std::string& voteId,
                                          std::string_view randomnessBase64) const;

 private:
  // Only open() makes one: an unopened verifier has no key.
  struct OpenTag {
    explicit OpenTag() = default;
  };

 public:
  explicit VoteVerifier(OpenTag) {}

 private:
  // Re-encrypts the plaintext with r; Verified, Mismatch, or BadInput with problem set.
  VerifyOutcome reencrypts(const std::string& plaintext, const BIGNUM* r, const BIGNUM* a, const BIGNUM* b,
                           std::string& problem) const;

  std::optional<ElGamalSecretKey> secretKey_;
  BignumPtr p_;
  BignumPtr q_;  // (p - 1) / 2
  BignumPtr g_;
  BignumPtr y_;
  std::string ballotName_;
};

// The plaintext for a terminal: the 0x1F separators as '|', any other control byte (and every
// byte of a text that is not UTF-8 from 0x80 up) as \xHH, so no stored ballot can send escape
// sequences.
[[nodiscard]] std::string shownPlaintext(std::string_view plaintext);

}  // namespace sorvimend::demo
