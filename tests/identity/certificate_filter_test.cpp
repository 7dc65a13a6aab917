#include "identity/certificate_filter.h"

#include <gtest/gtest.h>

#include <openssl/objects.h>

#include "test_certificate.h"

namespace sorvimend {
namespace {

using testing::CertificateShape;
using testing::Issuer;
using testing::makeCertificate;
using testing::makeIssuer;

CertificateInfo cardCertificate(const Issuer& issuer, CertificateUsage usage,
                                const std::string& code, EVP_PKEY* signedBy = nullptr) {
  CertificateShape shape;
  shape.subject = {{NID_serialNumber, V_ASN1_UTF8STRING, "PNOEE-" + code}};
  if (usage == CertificateUsage::Signing) {
    shape.keyUsage = "nonRepudiation";
  } else {
    shape.keyUsage = "digitalSignature";
    shape.extendedKeyUsage = "clientAuth";
  }
  auto info = parseCertificateInfo(makeCertificate(shape, issuer, signedBy));
  EXPECT_TRUE(info);
  return info.value_or(CertificateInfo{});
}

std::vector<X509Ptr> issuerList(const std::vector<const Issuer*>& issuers) {
  std::vector<X509Ptr> list;
  for (const Issuer* issuer : issuers) {
    X509_up_ref(issuer->certificate.get());
    list.emplace_back(issuer->certificate.get());
  }
  return list;
}

class CertificateFilterTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    trustedCa = std::make_unique<Issuer>(makeIssuer("Trusted CA"));
    otherCa = std::make_unique<Issuer>(makeIssuer("Other CA"));
    trusted = trustedCa.get();
    other = otherCa.get();
  }
  static void TearDownTestSuite() {
    trustedCa.reset();
    otherCa.reset();
  }
  static inline std::unique_ptr<Issuer> trustedCa;
  static inline std::unique_ptr<Issuer> otherCa;
  static inline const Issuer* trusted = nullptr;
  static inline const Issuer* other = nullptr;
};

TEST_F(CertificateFilterTest, VerdictPerCertificate) {
  const CertificateInfo authentication =
      cardCertificate(*trusted, CertificateUsage::Authentication, "38001010008");
  const CertificateInfo fromOther = cardCertificate(*other, CertificateUsage::Authentication, "38001010008");
  // Names the trusted CA as its issuer but was signed by another key.
  const CertificateInfo forged = cardCertificate(*trusted, CertificateUsage::Authentication,
                                                 "38001010008", other->key.get());
  CertificateInfo undecodable = authentication;
  undecodable.der = "broken";

  const struct {
    const char* what;
    const CertificateInfo* certificate;
    std::vector<const Issuer*> issuers;
    FilterVerdict verdict;
  } cases[] = {
      {"trusted issuer", &authentication, {trusted}, FilterVerdict::Accepted},
      {"trusted issuer second in the list", &authentication, {other, trusted}, FilterVerdict::Accepted},
      {"issuer not in the list", &fromOther, {trusted}, FilterVerdict::NotAccepted},
      {"empty issuer list", &authentication, {}, FilterVerdict::NotAccepted},
      {"forged signature", &forged, {trusted}, FilterVerdict::SignatureInvalid},
      {"undecodable DER", &undecodable, {trusted}, FilterVerdict::IssuerUnusable},
  };
  for (const auto& c : cases) {
    CertificateFilter filter;
    filter.setWantedUsage(CertificateUsage::Authentication);
    filter.setIssuers(issuerList(c.issuers));
    EXPECT_EQ(filter.apply(*c.certificate), c.verdict) << c.what;
  }
}

TEST_F(CertificateFilterTest, WrongUsageIsPassedOverBeforeAnyIssuerCheck) {
  CertificateFilter filter;  // no issuer list at all
  filter.setWantedUsage(CertificateUsage::Signing);
  const CertificateInfo authentication =
      cardCertificate(*trusted, CertificateUsage::Authentication, "38001010008");
  EXPECT_EQ(filter.apply(authentication), FilterVerdict::NotAccepted);
  filter.setWantedUsage(CertificateUsage::Authentication);
  EXPECT_EQ(filter.apply(authentication), FilterVerdict::IssuerUnusable);
}

TEST_F(CertificateFilterTest, TheFirstPersonAcceptedIsTheOnlyOne) {
  CertificateFilter filter;
  filter.setIssuers(issuerList({trusted}));
  filter.setWantedUsage(CertificateUsage::Authentication);
  ASSERT_EQ(filter.apply(cardCertificate(*trusted, CertificateUsage::Authentication, "38001010008")),
            FilterVerdict::Accepted);
  EXPECT_EQ(filter.personalCode(), "38001010008");

  filter.setWantedUsage(CertificateUsage::Signing);
  EXPECT_EQ(filter.apply(cardCertificate(*trusted, CertificateUsage::Signing, "49002020002")),
            FilterVerdict::OtherPerson);
  EXPECT_EQ(filter.apply(cardCertificate(*trusted, CertificateUsage::Signing, "38001010008")),
            FilterVerdict::Accepted);
  // Refusals never change whom the filter remembers.
  EXPECT_EQ(filter.personalCode(), "38001010008");
}

}  // namespace
}  // namespace sorvimend
