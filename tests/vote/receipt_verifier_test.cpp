#include "vote/receipt_verifier.h"

#include <functional>

#include <gtest/gtest.h>

#include "tests/vote/receipt_fixture.h"
#include "util/base64.h"

namespace sorvimend {
namespace {

namespace rf = receipt_fixture;

// A genuine receipt for voter 1's RSA signing certificate; each case spoils one part of it.
class ReceiptVerifier : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const auto pki = rf::testPki();
    pki_ = new Pki{rf::loadIdentity(pki, "voter1-sign-rsa"), rf::loadIdentity(pki, "voter2-sign-rsa"),
                   rf::loadIdentity(pki, "voter-ca"),        rf::loadIdentity(pki, "root-ca"),
                   rf::loadIdentity(pki, "ocsp"),            rf::loadIdentity(pki, "tsa"),
                   rf::loadIdentity(pki, "registration")};
  }
  static void TearDownTestSuite() {
    delete pki_;
    pki_ = nullptr;
  }

  struct Pki {
    rf::Identity signer, otherSigner, voterCa, rootCa, ocsp, tsa, registration;
  };

  struct Receipt {
    std::string ocspDer;
    std::string tokenDer;
    std::string signerDer;
    std::string element;
    ReceiptTrust trust;
  };

  static Receipt genuine() {
    Receipt r;
    r.element = "<ds:SignatureValue Id=\"S0-SIG\">c2lnbmF0dXJl</ds:SignatureValue>";
    r.signerDer = certificateDer(pki_->signer.certificate.get());
    r.ocspDer = rf::ocspResponse(pki_->signer.certificate.get(), pki_->voterCa.certificate.get(), pki_->ocsp);
    r.tokenDer = rf::timeStampToken(r.element, pki_->tsa, rf::registrationNonce(r.element, pki_->registration));
    r.trust.ocspCerts = {pki_->ocsp.pem};
    r.trust.issuerCerts = {pki_->rootCa.pem, pki_->voterCa.pem};
    r.trust.tsaCerts = {pki_->tsa.pem};
    r.trust.regCerts = {pki_->registration.pem};
    return r;
  }

  static ReceiptCode verify(const Receipt& r) {
    const std::string ocsp = base64EncodeLines(r.ocspDer);
    const std::string token = base64EncodeLines(r.tokenDer);
    return verifyReceipt({ocsp, token, r.signerDer, r.element}, r.trust);
  }

  static Pki* pki_;
};

ReceiptVerifier::Pki* ReceiptVerifier::pki_ = nullptr;

TEST_F(ReceiptVerifier, EachForgeryGivesItsOwnCode) {
  struct Case {
    const char* name;
    std::function<void(Receipt&)> spoil;
    ReceiptCode expected;
  };
  const auto& p = *pki_;
  const Case cases[] = {
      {"genuine", [](Receipt&) {}, ReceiptCode::Verified},
      {"empty OCSP response", [](Receipt& r) { r.ocspDer.clear(); }, ReceiptCode::OcspNotDer},
      {"OCSP not DER", [](Receipt& r) { r.ocspDer = "not der"; }, ReceiptCode::OcspNotDer},
      {"signer not DER", [](Receipt& r) { r.signerDer = "junk"; }, ReceiptCode::SignerNotDer},
      {"OCSP try later",
       [](Receipt& r) { r.ocspDer = rf::ocspResponseWithStatus(OCSP_RESPONSE_STATUS_TRYLATER); },
       ReceiptCode::OcspNotSuccessful},
      {"wrong responder",
       [&](Receipt& r) {
         r.ocspDer = rf::ocspResponse(p.signer.certificate.get(), p.voterCa.certificate.get(), p.tsa);
       },
       ReceiptCode::OcspNotVerified},
      {"OCSP_CERTS unreadable", [](Receipt& r) { r.trust.ocspCerts = {"no certificate"}; },
       ReceiptCode::OcspListNotBuilt},
      {"responder not pinned", [&](Receipt& r) { r.trust.ocspCerts = {p.tsa.pem}; }, ReceiptCode::OcspNotVerified},
      {"no OCSP_CERTS, no ISSUER_CERTS",
       [](Receipt& r) {
         r.trust.ocspCerts.clear();
         r.trust.issuerCerts.clear();
       },
       ReceiptCode::IssuerStoreNotBuilt},
      {"no OCSP_CERTS, responder authorised by the issuing CA", [](Receipt& r) { r.trust.ocspCerts.clear(); },
       ReceiptCode::Verified},
      {"no OCSP_CERTS, responder chain outside ISSUER_CERTS",
       [&](Receipt& r) {
         r.trust.ocspCerts.clear();
         r.trust.issuerCerts = {p.tsa.pem};
       },
       ReceiptCode::OcspNotVerified},
      {"no ISSUER_CERTS", [](Receipt& r) { r.trust.issuerCerts.clear(); }, ReceiptCode::IssuerListNotBuilt},
      {"issuer not in ISSUER_CERTS", [&](Receipt& r) { r.trust.issuerCerts = {p.rootCa.pem}; },
       ReceiptCode::IssuerNotFound},
      {"response for another certificate",
       [&](Receipt& r) {
         r.ocspDer = rf::ocspResponse(p.otherSigner.certificate.get(), p.voterCa.certificate.get(), p.ocsp);
       },
       ReceiptCode::NoSingleResponse},
      {"revoked signer",
       [&](Receipt& r) {
         r.ocspDer = rf::ocspResponse(p.signer.certificate.get(), p.voterCa.certificate.get(), p.ocsp,
                                      V_OCSP_CERTSTATUS_REVOKED);
       },
       ReceiptCode::SignerNotGood},
      {"unknown signer",
       [&](Receipt& r) {
         r.ocspDer = rf::ocspResponse(p.signer.certificate.get(), p.voterCa.certificate.get(), p.ocsp,
                                      V_OCSP_CERTSTATUS_UNKNOWN);
       },
       ReceiptCode::SignerNotGood},
      {"token not PKCS #7", [](Receipt& r) { r.tokenDer = "junk"; }, ReceiptCode::TimeStampNotPkcs7},
      {"empty TSA_CERTS", [](Receipt& r) { r.trust.tsaCerts.clear(); }, ReceiptCode::TsaStoreNotBuilt},
      {"TSA not trusted", [&](Receipt& r) { r.trust.tsaCerts = {p.ocsp.pem}; }, ReceiptCode::TimeStampNotVerified},
      {"time stamp over another element",
       [&](Receipt& r) {
         const std::string other = "<ds:SignatureValue Id=\"S0-SIG\">b3RoZXI=</ds:SignatureValue>";
         r.tokenDer = rf::timeStampToken(other, p.tsa, rf::registrationNonce(r.element, p.registration));
       },
       ReceiptCode::TimeStampNotVerified},
      {"no nonce", [&](Receipt& r) { r.tokenDer = rf::timeStampToken(r.element, p.tsa, ""); },
       ReceiptCode::NonceMissing},
      {"nonce not an X509_SIG",
       [&](Receipt& r) { r.tokenDer = rf::timeStampToken(r.element, p.tsa, std::string("\x30\x03\x02\x01\x05", 5)); },
       ReceiptCode::NonceMissing},
      {"nonce signed by an unknown key",
       [&](Receipt& r) { r.tokenDer = rf::timeStampToken(r.element, p.tsa, rf::registrationNonce(r.element, p.ocsp)); },
       ReceiptCode::NonceNotVerified},
      {"nonce over another element",
       [&](Receipt& r) {
         r.tokenDer = rf::timeStampToken(r.element, p.tsa, rf::registrationNonce(r.element + " ", p.registration));
       },
       ReceiptCode::NonceNotVerified},
      {"empty REG_CERTS", [](Receipt& r) { r.trust.regCerts.clear(); }, ReceiptCode::NonceNotVerified},
      {"second REG_CERTS certificate verifies", [&](Receipt& r) { r.trust.regCerts = {p.ocsp.pem, p.registration.pem}; },
       ReceiptCode::Verified},
      // OCSP comes first: a receipt broken everywhere reports the OCSP failure.
      {"everything broken",
       [](Receipt& r) {
         r.ocspDer.clear();
         r.tokenDer.clear();
         r.trust = {};
       },
       ReceiptCode::OcspNotDer},
  };
  for (const auto& c : cases) {
    Receipt r = genuine();
    c.spoil(r);
    EXPECT_EQ(verify(r), c.expected) << c.name;
  }
}

TEST_F(ReceiptVerifier, ElementIsReadUpToItsFirstZeroByte) {
  Receipt r = genuine();
  r.element += std::string("\0trailing", 9);
  EXPECT_EQ(verify(r), ReceiptCode::Verified);
}

TEST_F(ReceiptVerifier, Base64IsDecodedLeniently) {
  Receipt r = genuine();
  const std::string ocsp = "\n" + base64EncodeLines(r.ocspDer) + "\r\n";
  const std::string token = " " + base64EncodeLine(r.tokenDer);
  EXPECT_EQ(verifyReceipt({ocsp, token, r.signerDer, r.element}, r.trust), ReceiptCode::Verified);
}

// The genuine receipt also passes the openssl command line's own checks.
TEST_F(ReceiptVerifier, GenuineReceiptPassesOpensslCommandLine) {
  const auto pki = rf::testPki();
  const Receipt r = genuine();
  const auto dir = pki.parent_path() / "scratch-receipt";
  std::filesystem::create_directories(dir);
  auto write = [&](const char* name, const std::string& bytes) {
    std::ofstream(dir / name, std::ios::binary) << bytes;
    return (dir / name).string();
  };
  const auto ocsp = write("ocsp.der", r.ocspDer);
  const auto token = write("token.der", r.tokenDer);
  const auto data = write("element.txt", r.element);
  const std::string ocspCommand = "openssl ocsp -respin " + ocsp + " -issuer " + (pki / "voter-ca.pem").string() +
                                  " -cert " + (pki / "voter1-sign-rsa.pem").string() + " -VAfile " +
                                  (pki / "ocsp.pem").string() + " -no_nonce >/dev/null 2>&1";
  EXPECT_EQ(std::system(ocspCommand.c_str()), 0);
  const std::string tsCommand = "openssl ts -verify -token_in -in " + token + " -data " + data + " -CAfile " +
                                (pki / "root-ca.pem").string() + " -untrusted " + (pki / "tsa.pem").string() +
                                " >/dev/null 2>&1";
  EXPECT_EQ(std::system(tsCommand.c_str()), 0);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace sorvimend
