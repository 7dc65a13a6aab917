#include "identity/certificate_filter.h"

#include <openssl/x509v3.h>

#include "util/cert_set.h"
#include "util/openssl_error.h"

namespace sorvimend {

namespace {

FilterVerdict checkIssuer(const std::vector<X509Ptr>& issuers, const CertificateInfo& info) {
  X509Ptr certificate = certificateFromDer(info.der);
  if (!certificate) return FilterVerdict::IssuerUnusable;
  const X509* issuer = nullptr;
  for (const auto& candidate : issuers) {
    if (X509_check_issued(candidate.get(), certificate.get()) == X509_V_OK) {
      issuer = candidate.get();
      break;
    }
  }
  if (issuer == nullptr) return FilterVerdict::NotAccepted;
  EVP_PKEY* issuerKey = X509_get0_pubkey(issuer);
  if (issuerKey == nullptr) return FilterVerdict::IssuerUnusable;
  return X509_verify(certificate.get(), issuerKey) > 0 ? FilterVerdict::Accepted
                                                       : FilterVerdict::SignatureInvalid;
}

}  // namespace

FilterVerdict CertificateFilter::apply(const CertificateInfo& certificate) {
  if (certificate.usage != wantedUsage_) return FilterVerdict::NotAccepted;
  if (!issuers_) return FilterVerdict::IssuerUnusable;
  FilterVerdict verdict = checkIssuer(*issuers_, certificate);
  clearOpenSslErrors();
  if (verdict != FilterVerdict::Accepted) return verdict;
  if (personalCode_.empty()) {
    personalCode_ = certificate.personalCode;
    return FilterVerdict::Accepted;
  }
  return certificate.personalCode == personalCode_ ? FilterVerdict::Accepted
                                                   : FilterVerdict::OtherPerson;
}

}  // namespace sorvimend
