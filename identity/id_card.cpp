#include "identity/id_card.h"

#include "identity/card_failure.h"
#include "util/base64.h"
#include "util/cert_set.h"

namespace sorvimend {

namespace {

// DER DigestInfo header for SHA-256 (RFC 8017, section 9.2, note 1).
constexpr std::string_view kSha256DigestInfoPrefix(
    "\x30\x31\x30\x0d\x06\x09\x60\x86\x48\x01\x65\x03\x04\x02\x01\x05\x00\x04\x20", 19);

std::unique_ptr<IdCard>& registeredCard() {
  static std::unique_ptr<IdCard> card;
  return card;
}

}  // namespace

std::string IdCard::signDigest(std::string_view digest) {
  // The prefix belongs to the key that signs, so it follows the signing certificate.
  const CertificateInfo* signer = signingToken();
  if (signer == nullptr) return {};
  Bytes toSign;
  if (signer->keyType == KeyType::Rsa) toSign.append(kSha256DigestInfoPrefix);
  toSign.append(digest);
  const Bytes signature = signWithSigningKey(toSign);
  if (signature.empty()) return {};
  return base64EncodeLines(signature);
}

ErrorPtr IdCard::setIssuerCertificates(const std::vector<std::string>& pemTexts) {
  std::vector<X509Ptr> issuers;
  issuers.reserve(pemTexts.size());
  for (const auto& text : pemTexts) {
    X509Ptr issuer = certificateFromPem(text);
    if (!issuer) return cardFailure(IdCardCode::IssuerSignature);
    issuers.push_back(std::move(issuer));
  }
  useIssuerCertificates(std::move(issuers));
  return nullptr;
}

IdCard* idCard() { return registeredCard().get(); }

void registerIdCard(std::unique_ptr<IdCard> card) { registeredCard() = std::move(card); }

}  // namespace sorvimend
