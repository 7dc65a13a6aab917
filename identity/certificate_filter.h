#pragma once
// Which card certificate a token search accepts: the wanted usage, a trusted issuer, and the
// same person throughout the run (the signing certificate must belong to whoever authenticated).

#include <optional>
#include <string>
#include <vector>

#include "identity/certificate_info.h"
#include "util/openssl_ptr.h"

namespace sorvimend {

enum class FilterVerdict {
  Accepted,
  NotAccepted,        // wrong usage or no trusted issuer: the search goes on
  IssuerUnusable,     // no issuer list, issuer key unavailable, certificate not decodable (4)
  SignatureInvalid,   // not signed by the issuer that names it (3)
  OtherPerson,        // personal code differs from the remembered one (5)
};

class CertificateFilter {
 public:
  void setWantedUsage(CertificateUsage usage) { wantedUsage_ = usage; }
  CertificateUsage wantedUsage() const { return wantedUsage_; }

  // Replaces the trusted issuers (the first that issued a certificate is the one checked).
  void setIssuers(std::vector<X509Ptr> issuers) { issuers_ = std::move(issuers); }

  // Empty until the first accepted certificate; never cleared afterwards.
  const std::string& personalCode() const { return personalCode_; }

  // Remembers the personal code of the first certificate it accepts.
  [[nodiscard]] FilterVerdict apply(const CertificateInfo& certificate);

 private:
  CertificateUsage wantedUsage_ = CertificateUsage::None;
  std::optional<std::vector<X509Ptr>> issuers_;
  std::string personalCode_;
};

}  // namespace sorvimend
