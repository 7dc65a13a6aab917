#include "vote/vote_container.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/vote/test_files.h"
#include "tools/vote-tool/digest_signer.h"
#include "util/base64.h"
#include "util/cert_set.h"
#include "util/sha256.h"

namespace sorvimend {
namespace {

namespace fs = std::filesystem;
constexpr std::time_t kFixedTime = 1700000000;  // 2023-11-14T22:13:20Z

std::string quoted(const fs::path& path) { return "'" + path.string() + "'"; }

class VoteContainerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    pki() = testing::testPkiDir();
    ASSERT_FALSE(pki().empty()) << "test PKI not made";
  }
  static fs::path& pki() {
    static fs::path path;
    return path;
  }
  static Bytes certificateDer(const std::string& name) { return testing::readFile(pki() / (name + ".der")); }
  static EvpPkeyPtr key(const std::string& name) {
    return privateKeyFromPem(testing::readFile(pki() / (name + ".key.pem")));
  }

  // A signed container of one ballot, as the voting session makes it.
  static VoteContainer signedContainer(const std::string& signer, const Bytes& ballot,
                                       const std::string& ballotName = "DEMO2026.Q1.ballot") {
    VoteContainer container([] { return kFixedTime; });
    EXPECT_EQ(container.setSignerCertificate(certificateDer(signer)), ContainerResult::Ok);
    container.addDataFile(kBallotMediaType, ballot, ballotName);
    EXPECT_EQ(container.buildSignedInformation(), ContainerResult::Ok);
    const Bytes signature = signDigestRaw(key(signer).get(), container.digestToSign());
    EXPECT_FALSE(signature.empty());
    container.setSignatureValue(base64EncodeLines(signature));
    EXPECT_EQ(container.checkSignature(), ContainerResult::Ok);
    std::string base64;
    EXPECT_EQ(container.writeContainer(base64), ContainerResult::Ok);
    EXPECT_EQ(base64Decode(base64), container.archive());
    return container;
  }
};

// The element that starts with open and ends with close, cut out of text.
std::string element(const std::string& text, const std::string& open, const std::string& close) {
  const std::size_t start = text.find(open);
  const std::size_t end = text.find(close, start);
  if (start == std::string::npos || end == std::string::npos) return {};
  return text.substr(start, end + close.size() - start);
}

TEST_F(VoteContainerTest, XmlsecVerifiesRsaAndEcSignaturesAndNoticesAChangedBallot) {
  const Bytes ballot = std::string("\x30\x82\x01\x00 encrypted ballot \x00\xFF", 24);
  for (const std::string signer : {"voter1-sign-rsa", "voter1-sign-ec", "odd-voter-sign-ec"}) {
    SCOPED_TRACE(signer);
    VoteContainer container = signedContainer(signer, ballot);
    testing::ScratchDir dir("container-" + signer);
    testing::writeFile(dir.path() / "vote.asice", container.archive());
    const auto unzipped = testing::run("cd " + quoted(dir.path()) + " && unzip -q vote.asice");
    ASSERT_EQ(unzipped.status, 0) << unzipped.output;

    const std::string issuerCa = signer.rfind("odd", 0) == 0 ? "odd-ca" : "voter-ca";
    const std::string verify = "cd " + quoted(dir.path()) + " && xmlsec1 --verify --trusted-pem " +
                               quoted(pki() / "root-ca.pem") + " --untrusted-pem " +
                               quoted(pki() / (issuerCa + ".pem")) + " META-INF/signatures0.xml";
    const auto good = testing::run(verify);
    EXPECT_EQ(good.status, 0) << good.output;
    EXPECT_NE(good.output.find("OK"), std::string::npos) << good.output;

    Bytes changed = ballot;
    changed[5] ^= 0x01;
    testing::writeFile(dir.path() / "DEMO2026.Q1.ballot", changed);
    const auto bad = testing::run(verify);
    EXPECT_NE(bad.status, 0) << bad.output;
  }
}

TEST_F(VoteContainerTest, ArchiveEntriesInOrderAndByteIdentical) {
  VoteContainer container = signedContainer("voter1-sign-rsa", "ballot bytes");
  testing::ScratchDir dir("container-zip");
  const fs::path archive = dir.path() / "vote.asice";
  testing::writeFile(archive, container.archive());
  const auto tested = testing::run("unzip -t " + quoted(archive));
  ASSERT_EQ(tested.status, 0) << tested.output;
  const auto listed = testing::run("zipinfo -1 " + quoted(archive));
  EXPECT_EQ(listed.output,
            "mimetype\nMETA-INF/\nMETA-INF/manifest.xml\nDEMO2026.Q1.ballot\nMETA-INF/signatures0.xml\n");
  const std::vector<std::pair<std::string, std::string>> entries = {
      {"mimetype", "application/vnd.etsi.asic-e+zip"},
      {"META-INF/manifest.xml", container.manifest()},
      {"DEMO2026.Q1.ballot", "ballot bytes"},
      {"META-INF/signatures0.xml", container.signatureDocument()},
  };
  for (const auto& [name, content] : entries) {
    const auto extracted = testing::run("unzip -p " + quoted(archive) + " " + name);
    EXPECT_EQ(extracted.output, content) << name;
  }
  // The stored media type sits right after the first local header and its name.
  EXPECT_EQ(container.archive().substr(30, 8), "mimetype");
  EXPECT_EQ(container.archive().substr(38, 31), "application/vnd.etsi.asic-e+zip");

  const auto lint = testing::run("cd " + quoted(dir.path()) + " && unzip -q " + quoted(archive) +
                                 " && xmllint --noout META-INF/manifest.xml META-INF/signatures0.xml");
  EXPECT_EQ(lint.status, 0) << lint.output;
}

TEST_F(VoteContainerTest, DigestedElementsAreAlreadyCanonical) {
  for (const std::string signer : {"voter1-sign-rsa", "odd-voter-sign-ec"}) {
    SCOPED_TRACE(signer);
    VoteContainer container = signedContainer(signer, "ballot");
    const std::string& document = container.signatureDocument();
    struct Piece {
      std::string extracted;
      std::string stored;
    };
    const std::vector<Piece> pieces = {
        {element(document, "<xades:SignedProperties ", "</xades:SignedProperties>"), container.signedProperties()},
        {element(document, "<ds:SignedInfo ", "</ds:SignedInfo>"), container.signedInformation()},
        {element(document, "<ds:SignatureValue ", "</ds:SignatureValue>"), container.signatureValueElement()},
    };
    testing::ScratchDir dir("container-c14n");
    for (const Piece& piece : pieces) {
      ASSERT_FALSE(piece.extracted.empty());
      EXPECT_EQ(piece.extracted, piece.stored);
      testing::writeFile(dir.path() / "piece.xml", piece.extracted);
      const auto canonical = testing::run("xmllint --c14n11 " + quoted(dir.path() / "piece.xml"));
      ASSERT_EQ(canonical.status, 0) << canonical.output;
      EXPECT_EQ(canonical.output, piece.stored);
    }
    // The digests stand over exactly those bytes.
    EXPECT_NE(container.signedInformation().find("<ds:DigestValue>" +
                                                 base64EncodeLines(sha256(container.signedProperties())) +
                                                 "</ds:DigestValue>"),
              std::string::npos);
    EXPECT_EQ(container.digestToSign(), sha256(container.signedInformation()));
  }
}

TEST_F(VoteContainerTest, XmlsecDigestsTheSameReferenceBytes) {
  VoteContainer container = signedContainer("voter1-sign-ec", "ballot");
  testing::ScratchDir dir("container-refs");
  testing::writeFile(dir.path() / "vote.asice", container.archive());
  const auto out = testing::run("cd " + quoted(dir.path()) + " && unzip -q vote.asice && xmlsec1 --verify --insecure "
                                "--store-references META-INF/signatures0.xml");
  ASSERT_EQ(out.status, 0) << out.output;
  EXPECT_NE(out.output.find(container.signedProperties()), std::string::npos) << out.output;
}

// The whole signature document for a fixed certificate and time, written out from the templates.
TEST_F(VoteContainerTest, SignatureDocumentTemplate) {
  const Bytes der = certificateDer("voter1-sign-rsa");
  VoteContainer container([] { return kFixedTime; });
  ASSERT_EQ(container.setSignerCertificate(der), ContainerResult::Ok);
  container.addDataFile(kBallotMediaType, "first", "E1.Q1.ballot");
  container.addDataFile(kBallotMediaType, "second", "E1.Q2.ballot");
  ASSERT_EQ(container.buildSignedInformation(), ContainerResult::Ok);
  container.setSignatureValue("c2ln\nbmF0dXJl");
  std::string base64;
  ASSERT_EQ(container.writeContainer(base64), ContainerResult::Ok);

  // Issuer and serial as the openssl command line prints them.
  const fs::path pem = pki() / "voter1-sign-rsa.pem";
  std::string issuer = testing::run("openssl x509 -noout -issuer -nameopt RFC2253 -in " + quoted(pem)).output;
  ASSERT_EQ(issuer.rfind("issuer=", 0), 0U);
  issuer = issuer.substr(7, issuer.size() - 8);
  std::string serialHex = testing::run("openssl x509 -noout -serial -in " + quoted(pem)).output;
  serialHex = serialHex.substr(7, serialHex.size() - 8);
  BIGNUM* serialBn = nullptr;
  ASSERT_GT(BN_hex2bn(&serialBn, serialHex.c_str()), 0);
  BignumPtr serialOwned(serialBn);
  char* decimal = BN_bn2dec(serialBn);
  const std::string serial(decimal);
  OPENSSL_free(decimal);
  EXPECT_EQ(issuerNameRfc2253(certificateFromDer(der).get()), issuer);
  EXPECT_EQ(serialNumberDecimal(certificateFromDer(der).get()), serial);

  const std::string ns =
      "xmlns:asic=\"http://uri.etsi.org/02918/v1.2.1#\" xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\" "
      "xmlns:xades=\"http://uri.etsi.org/01903/v1.3.2#\"";
  const std::string properties =
      "<xades:SignedProperties " + ns + " Id=\"S0-SignedProperties\">\n"
      "<xades:SignedSignatureProperties>\n"
      "  <xades:SigningTime>2023-11-14T22:13:20Z</xades:SigningTime>\n"
      "  <xades:SigningCertificate>\n"
      "    <xades:Cert>\n"
      "      <xades:CertDigest>\n"
      "        <ds:DigestMethod Algorithm=\"http://www.w3.org/2001/04/xmlenc#sha256\"></ds:DigestMethod>\n"
      "        <ds:DigestValue>" + base64EncodeLine(sha256(der)) + "</ds:DigestValue>\n"
      "      </xades:CertDigest>\n"
      "      <xades:IssuerSerial>\n"
      "        <ds:X509IssuerName>" + issuer + "</ds:X509IssuerName>\n"
      "        <ds:X509SerialNumber>" + serial + "</ds:X509SerialNumber>\n"
      "      </xades:IssuerSerial>\n"
      "    </xades:Cert>\n"
      "  </xades:SigningCertificate>\n"
      "</xades:SignedSignatureProperties>\n"
      "<xades:SignedDataObjectProperties>\n"
      "  <xades:DataObjectFormat ObjectReference=\"#S0-ref-0\">\n"
      "    <xades:MimeType>application/octet-stream</xades:MimeType>\n"
      "  </xades:DataObjectFormat>\n"
      "  <xades:DataObjectFormat ObjectReference=\"#S0-ref-1\">\n"
      "    <xades:MimeType>application/octet-stream</xades:MimeType>\n"
      "  </xades:DataObjectFormat>\n"
      "</xades:SignedDataObjectProperties>\n"
      "</xades:SignedProperties>";
  const std::string digestMethod =
      "    <ds:DigestMethod Algorithm=\"http://www.w3.org/2001/04/xmlenc#sha256\"></ds:DigestMethod>\n";
  const std::string info =
      "<ds:SignedInfo " + ns + ">\n"
      "  <ds:CanonicalizationMethod Algorithm=\"http://www.w3.org/2006/12/xml-c14n11\"></ds:CanonicalizationMethod>\n"
      "  <ds:SignatureMethod Algorithm=\"http://www.w3.org/2001/04/xmldsig-more#rsa-sha256\"></ds:SignatureMethod>\n"
      "  <ds:Reference Id=\"S0-ref-0\" URI=\"E1.Q1.ballot\">\n" + digestMethod +
      "    <ds:DigestValue>" + base64EncodeLine(sha256("first")) + "</ds:DigestValue>\n"
      "  </ds:Reference>\n"
      "  <ds:Reference Id=\"S0-ref-1\" URI=\"E1.Q2.ballot\">\n" + digestMethod +
      "    <ds:DigestValue>" + base64EncodeLine(sha256("second")) + "</ds:DigestValue>\n"
      "  </ds:Reference>\n"
      "  <ds:Reference Id=\"S0-ref-sigprop\" Type=\"http://uri.etsi.org/01903#SignedProperties\" "
      "URI=\"#S0-SignedProperties\">\n"
      "    <ds:Transforms>\n"
      "      <ds:Transform Algorithm=\"http://www.w3.org/2006/12/xml-c14n11\"></ds:Transform>\n"
      "    </ds:Transforms>\n" + digestMethod +
      "    <ds:DigestValue>" + base64EncodeLine(sha256(properties)) + "</ds:DigestValue>\n"
      "  </ds:Reference>\n"
      "</ds:SignedInfo>";
  const std::string value = "<ds:SignatureValue " + ns + " Id=\"S0-SIG\">c2ln\nbmF0dXJl</ds:SignatureValue>";
  const std::string document =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
      "<asic:XAdESSignatures xmlns:asic=\"http://uri.etsi.org/02918/v1.2.1#\">\n"
      "<ds:Signature xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\" Id=\"S0\">\n" + info + "\n" + value + "\n"
      "<ds:KeyInfo>\n<ds:X509Data>\n<ds:X509Certificate>" + base64EncodeLines(der) + "</ds:X509Certificate>\n"
      "</ds:X509Data>\n</ds:KeyInfo>\n<ds:Object>\n"
      "<xades:QualifyingProperties xmlns:xades=\"http://uri.etsi.org/01903/v1.3.2#\" Target=\"#S0\">\n" +
      properties + "\n</xades:QualifyingProperties>\n</ds:Object>\n</ds:Signature>\n</asic:XAdESSignatures>\n";
  const std::string manifest =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>\n"
      "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\">\n"
      "<manifest:file-entry manifest:full-path=\"/\" manifest:media-type=\"application/vnd.etsi.asic-e+zip\"/>\n"
      "<manifest:file-entry manifest:full-path=\"E1.Q1.ballot\" manifest:media-type=\"application/octet-stream\"/>\n"
      "<manifest:file-entry manifest:full-path=\"E1.Q2.ballot\" manifest:media-type=\"application/octet-stream\"/>\n"
      "</manifest:manifest>";

  EXPECT_EQ(container.signedProperties(), properties);
  EXPECT_EQ(container.signedInformation(), info);
  EXPECT_EQ(container.signatureValueElement(), value);
  EXPECT_EQ(container.signatureDocument(), document);
  EXPECT_EQ(container.manifest(), manifest);
  EXPECT_EQ(container.signatureValue(), "c2ln\nbmF0dXJl");
  EXPECT_EQ(container.signerCertificate(), der);
  EXPECT_EQ(container.dataFiles()[1].number, "1");
}

TEST_F(VoteContainerTest, SignatureMethodFollowsTheKeyType) {
  for (const auto& [signer, method] : std::vector<std::pair<std::string, std::string>>{
           {"voter1-sign-rsa", "rsa-sha256"}, {"voter1-sign-ec", "ecdsa-sha256"}, {"voter2-auth-ec", "ecdsa-sha256"}}) {
    VoteContainer container;
    ASSERT_EQ(container.setSignerCertificate(certificateDer(signer)), ContainerResult::Ok);
    ASSERT_EQ(container.buildSignedInformation(), ContainerResult::Ok);
    EXPECT_NE(container.signedInformation().find("xmldsig-more#" + method + "\">"), std::string::npos) << signer;
  }
}

TEST_F(VoteContainerTest, SignatureCheck) {
  VoteContainer rsa = signedContainer("voter1-sign-rsa", "ballot");
  const std::string good = rsa.signatureValue();
  // 256 signature bytes: 344 Base64 characters in six lines, accepted with the line feeds.
  EXPECT_EQ(good.size(), 344U + 5U);
  EXPECT_EQ(std::count(good.begin(), good.end(), '\n'), 5);

  VoteContainer ec = signedContainer("voter1-sign-ec", "ballot");
  EXPECT_EQ(base64Decode(ec.signatureValue()).size(), 96U) << "P-384 r||s";

  struct Case {
    VoteContainer* container;
    std::string value;
    ContainerResult expected;
  };
  Bytes flipped = base64Decode(good);
  flipped[100] ^= 0x01;
  const Bytes rawEc = base64Decode(ec.signatureValue());
  const Bytes otherVoter = signDigestRaw(key("voter2-sign-rsa").get(), rsa.digestToSign());
  const std::vector<Case> cases = {
      {&rsa, good, ContainerResult::Ok},
      {&rsa, base64EncodeLine(base64Decode(good)), ContainerResult::Ok},
      {&rsa, base64EncodeLines(flipped), ContainerResult::BadSignature},
      {&rsa, base64EncodeLines(otherVoter), ContainerResult::BadSignature},
      {&rsa, "", ContainerResult::BadSignature},
      {&ec, base64EncodeLines(rawEc), ContainerResult::Ok},
      {&ec, base64EncodeLines(rawEc.substr(0, 95)), ContainerResult::BadSignature},  // odd length
      {&ec, base64EncodeLines(rawEc.substr(48) + rawEc.substr(0, 48)), ContainerResult::BadSignature},
      {&ec, "", ContainerResult::BadSignature},
      {&ec, base64EncodeLines(std::string(4000, '\x01')), ContainerResult::BadSignature},
  };
  for (const Case& c : cases) {
    c.container->setSignatureValue(c.value);
    EXPECT_EQ(c.container->checkSignature(), c.expected) << c.value.substr(0, 20);
  }
}

TEST_F(VoteContainerTest, FailureResults) {
  VoteContainer container([] { return kFixedTime; });
  std::string base64 = "untouched";
  EXPECT_EQ(container.buildSignedInformation(), ContainerResult::NoIssuerOrSerial);
  EXPECT_EQ(container.checkSignature(), ContainerResult::BadSignature);
  EXPECT_EQ(container.writeContainer(base64), ContainerResult::NoCertificateText);
  EXPECT_EQ(base64, "untouched");

  EXPECT_EQ(container.setSignerCertificate(""), ContainerResult::NotCertificate);
  EXPECT_EQ(container.setSignerCertificate("not a certificate"), ContainerResult::NotCertificate);
  const Bytes der = certificateDer("voter1-sign-ec");
  EXPECT_EQ(container.setSignerCertificate(der + "x"), ContainerResult::NotCertificate);
  EXPECT_EQ(container.setSignerCertificate(der.substr(0, der.size() - 1)), ContainerResult::NotCertificate);
  ASSERT_EQ(container.setSignerCertificate(der), ContainerResult::Ok);
  EXPECT_EQ(container.setSignerCertificate("junk"), ContainerResult::NotCertificate);
  EXPECT_EQ(container.signerCertificate(), der) << "a failed set keeps the earlier certificate";
  const Bytes rsaDer = certificateDer("voter1-sign-rsa");
  ASSERT_EQ(container.setSignerCertificate(rsaDer), ContainerResult::Ok);
  EXPECT_EQ(container.signerCertificate(), rsaDer);

  VoteContainer noClock([] { return static_cast<std::time_t>(-1); });
  ASSERT_EQ(noClock.setSignerCertificate(der), ContainerResult::Ok);
  EXPECT_EQ(noClock.buildSignedInformation(), ContainerResult::NoSigningTime);
  EXPECT_TRUE(noClock.signedInformation().empty());

  // A key that is neither RSA nor EC.
  testing::ScratchDir dir("container-ed25519");
  const auto made = testing::run("cd " + quoted(dir.path()) +
                                 " && openssl req -x509 -newkey ed25519 -nodes -keyout k.pem -subj /CN=Ed -days 1"
                                 " -outform DER -out c.der");
  ASSERT_EQ(made.status, 0) << made.output;
  VoteContainer ed([] { return kFixedTime; });
  ASSERT_EQ(ed.setSignerCertificate(testing::readFile(dir.path() / "c.der")), ContainerResult::Ok);
  ASSERT_EQ(ed.buildSignedInformation(), ContainerResult::Ok);
  ed.setSignatureValue(base64EncodeLine(std::string(64, 'x')));
  EXPECT_EQ(ed.checkSignature(), ContainerResult::BadSignature);
}

TEST(SigningTime, Format) {
  EXPECT_EQ(signingTimeText(0), "1970-01-01T00:00:00Z");
  EXPECT_EQ(signingTimeText(kFixedTime), "2023-11-14T22:13:20Z");
  EXPECT_EQ(signingTimeText(951782400), "2000-02-29T00:00:00Z");
  EXPECT_EQ(signingTimeText(static_cast<std::time_t>(-1)), "");
}

TEST(XmlEscaping, TextAndAttributes) {
  EXPECT_EQ(xmlText("CN=A \\<B\\>,O=C&D\r\"'\n"), "CN=A \\&lt;B\\&gt;,O=C&amp;D&#xD;\"'\n");
  EXPECT_EQ(xmlAttribute("a&b<c>\"d\t\n\r'"), "a&amp;b&lt;c>&quot;d&#x9;&#xA;&#xD;'");
  EXPECT_EQ(xmlText("E1.Q1.ballot"), "E1.Q1.ballot");
}

TEST(SerialNumber, NegativeAndLarge) {
  for (const char* hex : {"-05", "00", "7FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF", "-7FFFFFFFFFFFFFFFFFFFFF"}) {
    X509Ptr certificate(X509_new());
    BIGNUM* value = nullptr;
    ASSERT_GT(BN_hex2bn(&value, hex), 0);
    BignumPtr owned(value);
    ASN1_INTEGER* serial = BN_to_ASN1_INTEGER(value, nullptr);
    X509_set_serialNumber(certificate.get(), serial);
    ASN1_INTEGER_free(serial);
    char* decimal = BN_bn2dec(value);
    EXPECT_EQ(serialNumberDecimal(certificate.get()), decimal) << hex;
    OPENSSL_free(decimal);
  }
}

}  // namespace
}  // namespace sorvimend
