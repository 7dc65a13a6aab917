#pragma once
// What the ID card's token search needs to know of a card certificate, read from its DER.
// Does not check the issuer or the validity period: the certificate filter and the services do.

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "util/bytes.h"

namespace sorvimend {

enum class KeyType { None, Rsa, Ec };

enum class CertificateUsage { None, Authentication, Signing };

struct CertificateInfo {
  Bytes der;  // re-encoded after parsing
  KeyType keyType = KeyType::None;
  CertificateUsage usage = CertificateUsage::None;
  std::string surname;       // UTF-8, subject surname (2.5.4.4)
  std::string givenName;     // UTF-8, subject givenName (2.5.4.42)
  std::string personalCode;  // UTF-8, subject serialNumber (2.5.4.5) without "PNOEE-"
  std::time_t validFrom = 0;  // notBefore, UTC
  int signatureBits = 0;      // 8 times the key's largest signature in bytes
};

// Empty when the bytes are no certificate, a name attribute cannot be turned into UTF-8, the key
// is neither RSA nor EC, or the certificate is fit for neither authentication nor signing:
//  - signing: no extended key usage, and key usage exactly nonRepudiation;
//  - authentication: extended key usage with TLS client authentication, and some key usage.
[[nodiscard]] std::optional<CertificateInfo> parseCertificateInfo(std::string_view der);

}  // namespace sorvimend
