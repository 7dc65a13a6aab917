#pragma once
// A ClientKeySource that keeps its key in memory: signs as a card does (RSA PKCS #1 v1.5 over the
// given DigestInfo, ECDSA over the given digest returned as r‖s). Test-only code.

#include <string>

#include "util/client_key.h"
#include "util/openssl_ptr.h"

namespace sorvimend::test {

class SoftwareCard : public ClientKeySource {
 public:
  SoftwareCard(std::string certificateDer, const std::string& keyPemFile);

  Bytes authenticationCertificate() override { return certificateDer_; }
  Bytes signWithAuthenticationKey(std::string_view data) override;

  int signatures = 0;
  std::size_t lastInputSize = 0;
  bool failSigning = false;
  // Extra bytes appended to every signature (a card answering with too much).
  std::string signatureSuffix;

 private:
  std::string certificateDer_;
  EvpPkeyPtr key_;
};

}  // namespace sorvimend::test
