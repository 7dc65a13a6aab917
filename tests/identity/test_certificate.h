#pragma once
// Certificates built in memory for the parsing and filter tests, where the test PKI has no
// example: odd string types, repeated attributes, chosen key usages, a forged issuer.

#include <openssl/asn1.h>

#include <string>
#include <utility>
#include <vector>

#include "util/bytes.h"
#include "util/openssl_ptr.h"

namespace sorvimend::testing {

struct NameEntry {
  int nid;
  int asn1Type;       // V_ASN1_UTF8STRING, V_ASN1_BMPSTRING, ...
  std::string bytes;  // the value's encoded bytes as they go into the string
};

struct CertificateShape {
  std::vector<NameEntry> subject;
  std::string keyUsage;          // OpenSSL config text, empty for none ("nonRepudiation")
  std::string extendedKeyUsage;  // empty for none ("clientAuth")
  bool rsaKey = false;           // else EC P-256
};

struct Issuer {
  X509Ptr certificate;
  EvpPkeyPtr key;
};

// A self-signed CA named CN=name.
[[nodiscard]] Issuer makeIssuer(const std::string& name);
// A certificate issued (and signed) by issuer; signedBy replaces the signing key when given.
[[nodiscard]] Bytes makeCertificate(const CertificateShape& shape, const Issuer& issuer,
                                    EVP_PKEY* signedBy = nullptr);
[[nodiscard]] std::string toPem(const X509* certificate);

}  // namespace sorvimend::testing
