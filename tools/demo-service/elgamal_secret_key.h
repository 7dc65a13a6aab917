#pragma once
// The election's secret key as the collector holds it, and ballot decryption. Written apart from
// the application's encryption on purpose: the service is an independent check of it.

#include <optional>
#include <string>
#include <string_view>

#include "util/openssl_ptr.h"

namespace sorvimend::demo {

constexpr std::string_view kElGamalOidDer = "\x06\x09\x2B\x06\x01\x04\x01\x97\x55\x02\x01";

class ElGamalSecretKey {
 public:
  // publicDer: the election's SubjectPublicKeyInfo; secretHex: x in hexadecimal (surrounding
  // white space allowed). Nothing when either does not parse or y != g^x mod p.
  [[nodiscard]] static std::optional<ElGamalSecretKey> load(std::string_view publicDer, std::string_view secretHex);

  const std::string& electionId() const { return electionId_; }

  // The vote plaintext of one ballot ciphertext (DER ELGAMAL_CIPHER), or nothing when the
  // ciphertext does not decode, lies outside the group or does not unpad.
  [[nodiscard]] std::optional<std::string> decrypt(std::string_view cipherDer) const;

 private:
  BignumPtr p_;
  BignumPtr g_;
  SecretBignumPtr x_;
  std::string electionId_;
};

}  // namespace sorvimend::demo
