#include "identity/certificate_info.h"

#include <gtest/gtest.h>

#include <openssl/objects.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "test_certificate.h"

namespace sorvimend {
namespace {

using testing::CertificateShape;
using testing::makeCertificate;
using testing::makeIssuer;

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::string pkiFile(const std::string& name) {
  return readFile(std::string(std::getenv("SV_BUILD_DIR")) + "/pki/" + name);
}

class CertificateInfoTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const std::string command = "bash " + std::string(std::getenv("SV_SOURCE_DIR")) +
                                "/tests/pki/make-pki.sh " + std::getenv("SV_BUILD_DIR") + "/pki";
    ASSERT_EQ(std::system(command.c_str()), 0);
  }
};

TEST_F(CertificateInfoTest, ReadsTheTestVotersCertificates) {
  const struct {
    const char* name;
    CertificateUsage usage;
    KeyType keyType;
    int signatureBits;
    const char* givenName;
    const char* surname;
    const char* personalCode;
  } cases[] = {
      // P-384: the DER ECDSA signature is at most 104 bytes.
      {"voter1-auth-rsa", CertificateUsage::Authentication, KeyType::Rsa, 2048, "MARI-LIIS",
       "M\xC3\x84NNIK", "38001010008"},
      {"voter1-sign-rsa", CertificateUsage::Signing, KeyType::Rsa, 2048, "MARI-LIIS",
       "M\xC3\x84NNIK", "38001010008"},
      {"voter1-auth-ec", CertificateUsage::Authentication, KeyType::Ec, 832, "MARI-LIIS",
       "M\xC3\x84NNIK", "38001010008"},
      {"voter2-sign-ec", CertificateUsage::Signing, KeyType::Ec, 832, "JAAN", "\xC3\x95UNAPUU",
       "49002020002"},
  };
  for (const auto& c : cases) {
    const std::string der = pkiFile(std::string(c.name) + ".der");
    auto info = parseCertificateInfo(der);
    ASSERT_TRUE(info) << c.name;
    EXPECT_EQ(info->usage, c.usage) << c.name;
    EXPECT_EQ(info->keyType, c.keyType) << c.name;
    EXPECT_EQ(info->signatureBits, c.signatureBits) << c.name;
    EXPECT_EQ(info->givenName, c.givenName) << c.name;
    EXPECT_EQ(info->surname, c.surname) << c.name;
    EXPECT_EQ(info->personalCode, c.personalCode) << c.name;
    EXPECT_EQ(info->der, der) << c.name;
    EXPECT_GT(info->validFrom, 0) << c.name;
  }
}

TEST_F(CertificateInfoTest, RefusesWhatIsNoCardCertificate) {
  const std::string voter = pkiFile("voter1-auth-rsa.der");
  const struct {
    const char* what;
    std::string der;
  } cases[] = {
      {"empty", ""},
      {"garbage", "not a certificate"},
      {"truncated", voter.substr(0, voter.size() / 2)},
      {"TLS server (serverAuth only)", pkiFile("server-voting.der")},
      {"CA (keyCertSign, no extended usage)", pkiFile("voter-ca.der")},
      {"time stamping", pkiFile("tsa.der")},
  };
  for (const auto& c : cases) EXPECT_FALSE(parseCertificateInfo(c.der)) << c.what;
}

TEST_F(CertificateInfoTest, UsageFollowsKeyUsageAndExtendedKeyUsage) {
  const auto issuer = makeIssuer("Usage CA");
  const struct {
    const char* keyUsage;
    const char* extendedKeyUsage;
    std::optional<CertificateUsage> usage;  // empty: refused
  } cases[] = {
      {"nonRepudiation", "", CertificateUsage::Signing},
      {"critical,nonRepudiation", "", CertificateUsage::Signing},
      {"nonRepudiation,digitalSignature", "", std::nullopt},
      {"digitalSignature", "", std::nullopt},
      {"", "", std::nullopt},
      {"digitalSignature", "clientAuth", CertificateUsage::Authentication},
      {"keyAgreement", "emailProtection,clientAuth", CertificateUsage::Authentication},
      {"nonRepudiation", "clientAuth", CertificateUsage::Authentication},
      {"", "clientAuth", std::nullopt},
      {"digitalSignature", "serverAuth", std::nullopt},
      {"nonRepudiation", "emailProtection", std::nullopt},
  };
  for (const auto& c : cases) {
    CertificateShape shape;
    shape.subject = {{NID_serialNumber, V_ASN1_PRINTABLESTRING, "PNOEE-38001010008"}};
    shape.keyUsage = c.keyUsage;
    shape.extendedKeyUsage = c.extendedKeyUsage;
    auto info = parseCertificateInfo(makeCertificate(shape, issuer));
    const std::string label = std::string(c.keyUsage) + " / " + c.extendedKeyUsage;
    ASSERT_EQ(info.has_value(), c.usage.has_value()) << label;
    if (info) {
      EXPECT_EQ(info->usage, *c.usage) << label;
    }
  }
}

TEST_F(CertificateInfoTest, NamesBecomeUtf8AndTheLastOfEachKindWins) {
  const auto issuer = makeIssuer("Name CA");
  CertificateShape shape;
  shape.keyUsage = "nonRepudiation";
  shape.subject = {
      {NID_surname, V_ASN1_UTF8STRING, "FIRST"},
      // "Õ" in BMPString (UTF-16BE) and in UniversalString (UTF-32BE).
      {NID_surname, V_ASN1_BMPSTRING, std::string("\x00\xd5\x00N", 4)},
      {NID_givenName, V_ASN1_UNIVERSALSTRING, std::string("\x00\x00\x00\xd5\x00\x00\x00J", 8)},
      // Other string kinds byte by byte: 0xC4 is one character, "Ä".
      {NID_commonName, V_ASN1_T61STRING, "ignored"},
      {NID_serialNumber, V_ASN1_T61STRING, "\xc4X"},
  };
  auto info = parseCertificateInfo(makeCertificate(shape, issuer));
  ASSERT_TRUE(info);
  EXPECT_EQ(info->surname, "\xC3\x95N");
  EXPECT_EQ(info->givenName, "\xC3\x95J");
  EXPECT_EQ(info->personalCode, "\xC3\x84X");
  EXPECT_EQ(info->keyType, KeyType::Ec);
}

TEST_F(CertificateInfoTest, PersonalCodeLosesOnlyALeadingPrefix) {
  const auto issuer = makeIssuer("Code CA");
  const struct {
    const char* serialNumber;
    const char* personalCode;
  } cases[] = {
      {"PNOEE-38001010008", "38001010008"},
      {"38001010008", "38001010008"},
      {"PNOEE-", ""},
      {"PNOLV-010101-12345", "PNOLV-010101-12345"},
      {"IDC PNOEE-38001010008", "IDC PNOEE-38001010008"},
  };
  for (const auto& c : cases) {
    CertificateShape shape;
    shape.keyUsage = "nonRepudiation";
    shape.subject = {{NID_serialNumber, V_ASN1_UTF8STRING, c.serialNumber}};
    auto info = parseCertificateInfo(makeCertificate(shape, issuer));
    ASSERT_TRUE(info) << c.serialNumber;
    EXPECT_EQ(info->personalCode, c.personalCode) << c.serialNumber;
  }
}

// OpenSSL refuses to build names like these, so a valid name is patched in the DER: the value
// "MARKER.." of a UTF8String becomes bytes of the same length under another string tag.
Bytes patchedName(const Bytes& der, const std::string& marker, unsigned char tag,
                  const std::string& bytes) {
  Bytes patched = der;
  const std::size_t at = patched.find(marker);
  if (at == Bytes::npos || at < 2 || bytes.size() != marker.size()) return {};
  patched[at - 2] = static_cast<char>(tag);
  patched.replace(at, marker.size(), bytes);
  return patched;
}

TEST_F(CertificateInfoTest, AnUnconvertibleNameRefusesTheCertificate) {
  const auto issuer = makeIssuer("Bad name CA");
  auto certificateNamed = [&](const std::string& marker) {
    CertificateShape shape;
    shape.keyUsage = "nonRepudiation";
    shape.subject = {{NID_surname, V_ASN1_UTF8STRING, marker}};
    return makeCertificate(shape, issuer);
  };
  // The patching itself leaves a readable certificate.
  ASSERT_TRUE(parseCertificateInfo(
      patchedName(certificateNamed("QQQQQQ"), "QQQQQQ", V_ASN1_UTF8STRING, "QQQQQX")));
  const struct {
    const char* what;
    unsigned char tag;
    std::string bytes;
  } cases[] = {
      {"invalid UTF-8", V_ASN1_UTF8STRING, "\xc3(ABCD"},
      {"BMPString of odd length", V_ASN1_BMPSTRING, std::string("\x00\xd5\x00", 3)},
      {"UniversalString of length 6", V_ASN1_UNIVERSALSTRING, std::string("\x00\x00\x00\x41", 4) + "AB"},
      {"UniversalString beyond Unicode", V_ASN1_UNIVERSALSTRING, std::string("\x7f\x00\x00\x41\x00\x00", 6)},
      {"an OCTET STRING", V_ASN1_OCTET_STRING, "ABCDEF"},
  };
  for (const auto& c : cases) {
    const std::string marker(c.bytes.size(), 'Q');
    const Bytes patched = patchedName(certificateNamed(marker), marker, c.tag, c.bytes);
    ASSERT_FALSE(patched.empty()) << c.what;
    EXPECT_FALSE(parseCertificateInfo(patched)) << c.what;
  }
}

}  // namespace
}  // namespace sorvimend
