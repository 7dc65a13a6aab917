// Whole votes against the running service, built with the application's own vote construction
// (encryption, container) and signed by the simulated phone or a software card: the vote is
// recorded with the plaintext that was sent, its receipt passes the application's checks and the
// openssl command line, and altered containers are refused with nothing recorded.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include <rapidjson/document.h>

#include "resources/resource_access.h"
#include "resources/resource_catalogue.h"
#include "tests/tools/demo_service/client.h"
#include "util/base64.h"
#include "util/cert_set.h"
#include "util/elgamal_public_key.h"
#include "vote/receipt_verifier.h"
#include "vote/vote_container.h"
#include "vote/vote_encryption.h"
#include "vote/zip_writer.h"

namespace sorvimend::demo::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kDemoVoter = "38001010008";
constexpr const char* kBallotName = "DEMO2026.RK2026.ballot";

std::string pki(const std::string& name) { return electionDir() + "/pki/" + name; }

void writeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

// The first choice of the first list of a choices document, as a vote plaintext.
std::string firstChoice(const std::string& listBase64) {
  const std::string doc = base64Decode(listBase64);
  rapidjson::Document d;
  d.Parse(doc.data(), doc.size());
  if (d.HasParseError() || !d.IsObject() || d.MemberCount() == 0) return {};
  const auto& list = *d.MemberBegin();
  if (!list.value.IsObject() || list.value.MemberCount() == 0) return {};
  const auto& choice = *list.value.MemberBegin();
  return std::string(choice.name.GetString()) + '\x1f' + list.name.GetString() + '\x1f' + choice.value.GetString();
}

// Signs a digest the way a card or a phone does: PKCS #1 v1.5 with DigestInfo, or ECDSA r || s.
std::string softwareSignature(const std::string& keyPemFile, const std::string& digest) {
  const std::string pem = readText(keyPemFile);
  BioPtr bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
  EvpPkeyPtr key(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr));
  EvpPkeyCtxPtr ctx(EVP_PKEY_CTX_new(key.get(), nullptr));
  std::size_t length = 0;
  EVP_PKEY_sign_init(ctx.get());
  EVP_PKEY_CTX_set_signature_md(ctx.get(), EVP_sha256());
  EVP_PKEY_sign(ctx.get(), nullptr, &length, reinterpret_cast<const unsigned char*>(digest.data()), digest.size());
  std::string sig(length, '\0');
  EVP_PKEY_sign(ctx.get(), reinterpret_cast<unsigned char*>(sig.data()), &length,
                reinterpret_cast<const unsigned char*>(digest.data()), digest.size());
  sig.resize(length);
  if (EVP_PKEY_base_id(key.get()) != EVP_PKEY_EC) return base64EncodeLines(sig);
  const unsigned char* p = reinterpret_cast<const unsigned char*>(sig.data());
  EcdsaSigPtr ecdsa(d2i_ECDSA_SIG(nullptr, &p, static_cast<long>(sig.size())));
  const int half = (EVP_PKEY_get_bits(key.get()) + 7) / 8;
  std::string raw(static_cast<std::size_t>(2 * half), '\0');
  BN_bn2binpad(ECDSA_SIG_get0_r(ecdsa.get()), reinterpret_cast<unsigned char*>(raw.data()), half);
  BN_bn2binpad(ECDSA_SIG_get0_s(ecdsa.get()), reinterpret_cast<unsigned char*>(raw.data()) + half, half);
  return base64EncodeLines(raw);
}

std::vector<std::string> bundleCertificates(const rapidjson::Document& bundle, const char* name) {
  std::vector<std::string> out;
  for (const auto& c : bundle["RES_DATA"][name].GetArray()) out.emplace_back(c.GetString());
  return out;
}

// One vote in the making: the ballot, the container and what the service answered.
struct Cast {
  std::string plaintext;
  VoteContainer container;
  std::string containerBase64;
  Reply reply;
};

class DemoServiceVote : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    service_ = std::make_unique<ServiceProcess>();
    const std::string text = readText(electionDir() + "/bundle.json");
    bundle_.Parse(text.data(), text.size());
  }
  static void TearDownTestSuite() {
    if (service_) {
      EXPECT_EQ(service_->stop(), 0);
    }
    service_.reset();
  }
  void SetUp() override {
    ASSERT_TRUE(service_ && service_->running()) << "demo-service did not start";
    ASSERT_TRUE(bundle_.IsObject()) << "make-election wrote no bundle";
  }
  int port() const { return service_->port(); }

  std::vector<std::string> votesLog() const {
    std::vector<std::string> lines;
    std::istringstream in(readText(service_->stateDir() + "/votes.jsonl"));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  ReceiptCode checkReceipt(const Cast& cast) const {
    ReceiptTrust trust{bundleCertificates(bundle_, "OCSP_CERTS"), bundleCertificates(bundle_, "ISSUER_CERTS"),
                       bundleCertificates(bundle_, "TSA_CERTS"), bundleCertificates(bundle_, "REG_CERTS")};
    const rapidjson::Value& q = cast.reply.doc["result"]["Qualification"];
    const std::string ocsp = q["ocsp"].GetString();
    const std::string reg = q["tspreg"].GetString();
    return verifyReceipt(ReceiptEvidence{ocsp, reg, cast.container.signerCertificate(),
                                         cast.container.signatureValueElement()},
                         trust);
  }

  // Encrypts the district's first choice, builds and signs the container. sign gets the digest
  // and returns the Base64 signature value (empty stops the vote).
  static bool buildVote(Cast& cast, const std::string& listBase64, const std::string& signerDer,
                        const std::function<std::string(const std::string&)>& sign) {
    cast.plaintext = firstChoice(listBase64);
    auto key = parseElectionKey(readText(pki("election-2048.pub.der")));
    std::string randomness;
    if (cast.plaintext.empty() || !key) return false;
    const Bytes cipher = encryptVote(*key, cast.plaintext, randomness);
    if (cipher.empty() || cast.container.setSignerCertificate(signerDer) != ContainerResult::Ok) return false;
    cast.container.addDataFile(kBallotMediaType, cipher, kBallotName);
    if (cast.container.buildSignedInformation() != ContainerResult::Ok) return false;
    const std::string signature = sign(cast.container.digestToSign());
    if (signature.empty()) return false;
    cast.container.setSignatureValue(signature);
    return cast.container.checkSignature() == ContainerResult::Ok &&
           cast.container.writeContainer(cast.containerBase64) == ContainerResult::Ok;
  }

  // Mobile-ID (or Smart-ID) from identification to the Vote reply. tamper may change the
  // container text before it is sent.
  void phoneVote(Cast& cast, bool mobileId, const std::string& code,
                 const std::function<void(Cast&)>& tamper = {}, const std::string& district = {}) {
    const char* name = mobileId ? kMidName : kSmartIdName;
    Identified id = identify(port(), mobileId, code);
    ASSERT_EQ(id.error, "") << code;
    const std::vector<std::pair<std::string, std::string>> ticket = {
        {"OS", "Linux"}, {"AuthMethod", "ticket"}, {"AuthToken", id.authToken}, {"SessionID", id.sessionId}};
    Reply choices = call(port(), kChoicesName, "VoterChoices", ticket);
    ASSERT_TRUE(choices.ok()) << choices.text;
    std::string certificate, dataToken;
    if (mobileId) {
      Reply cert = call(port(), name, "GetCertificate",
                        {{"OS", "Linux"}, {"AuthMethod", "ticket"}, {"AuthToken", id.authToken},
                         {"PhoneNo", phoneOf(code)}, {"SessionID", id.sessionId}});
      ASSERT_TRUE(cert.ok()) << cert.text;
      certificate = cert.result("Certificate");
    } else {
      Reply start = call(port(), name, "GetCertificateChoice", ticket);
      Reply cert = pollUntilDone(port(), name, "GetCertificateChoiceStatus", start.result("SessionCode"), id.sessionId);
      ASSERT_TRUE(cert.ok()) << cert.text;
      certificate = cert.result("Certificate");
      dataToken = cert.result("DataToken");
    }
    auto phone = [&](const std::string& digest) {
      std::vector<std::pair<std::string, std::string>> params = {
          {"OS", "Linux"}, {"AuthMethod", "ticket"}, {"AuthToken", id.authToken},
          {"Hash", base64EncodeLine(digest)}, {"HashType", "SHA256"}};
      if (mobileId) {
        params.emplace_back("PhoneNo", phoneOf(code));
      } else {
        params.emplace_back("DataToken", dataToken);
      }
      params.emplace_back("SessionID", id.sessionId);
      Reply start = call(port(), name, "Sign", params);
      return pollUntilDone(port(), name, "SignStatus", start.result("SessionCode"), id.sessionId).result("Signature");
    };
    ASSERT_TRUE(buildVote(cast, choices.result("List"), base64Decode(certificate), phone));
    if (tamper) tamper(cast);
    cast.reply = call(port(), kVotingName, "Vote",
                      {{"OS", "Linux"}, {"AuthMethod", "ticket"}, {"AuthToken", id.authToken},
                       {"Choices", district.empty() ? choices.result("Choices") : district}, {"Type", "bdoc"},
                       {"Vote", cast.containerBase64}, {"SessionID", id.sessionId}});
  }

  static std::unique_ptr<ServiceProcess> service_;
  static rapidjson::Document bundle_;
};
std::unique_ptr<ServiceProcess> DemoServiceVote::service_;
rapidjson::Document DemoServiceVote::bundle_;

// The container text with the ballot replaced, the archive otherwise as written.
std::string rezipped(const VoteContainer& c, const std::string& ballot) {
  ZipWriter zip;
  zip.addFile("mimetype", "application/vnd.etsi.asic-e+zip");
  zip.addDirectory("META-INF/");
  zip.addFile("META-INF/manifest.xml", c.manifest());
  zip.addFile(kBallotName, ballot);
  zip.addFile("META-INF/signatures0.xml", c.signatureDocument());
  return base64EncodeLines(zip.write());
}

TEST_F(DemoServiceVote, TheGeneratedBundlePassesTheProgramsLoader) {
  registerCatalogue();
  const std::string text = readText(electionDir() + "/bundle.json");
  ErrorPtr error = loadBundleText(text);
  EXPECT_FALSE(error) << (error ? error->message() : "");
  resetBundle();
}

TEST_F(DemoServiceVote, AMobileIdVoteIsRecordedWithItsPlaintextAndItsReceiptVerifies) {
  const std::size_t before = votesLog().size();
  Cast cast;
  ASSERT_NO_FATAL_FAILURE(phoneVote(cast, true, kDemoVoter));
  ASSERT_TRUE(cast.reply.ok()) << cast.reply.text;
  const std::string voteId = cast.reply.result("VoteID");
  ASSERT_NE(voteId, "");
  ASSERT_TRUE(cast.reply.doc["result"]["TestVote"].IsBool());
  EXPECT_FALSE(cast.reply.doc["result"]["TestVote"].GetBool());
  EXPECT_EQ(checkReceipt(cast), ReceiptCode::Verified);

  // The log line and the stored container.
  const auto log = votesLog();
  ASSERT_EQ(log.size(), before + 1);
  rapidjson::Document line;
  line.Parse(log.back().c_str());
  ASSERT_TRUE(line.IsObject()) << log.back();
  EXPECT_EQ(std::string(line["VoteID"].GetString()), voteId);
  EXPECT_EQ(std::string(line["SessionID"].GetString()), cast.reply.result("SessionID"));
  EXPECT_EQ(std::string(line["PersonalCode"].GetString()), kDemoVoter);
  EXPECT_EQ(std::string(line["District"].GetString()), "0001.1");
  EXPECT_FALSE(line["TestVote"].GetBool());
  EXPECT_TRUE(line["Valid"].GetBool());
  EXPECT_EQ(std::string(line["Plaintext"].GetString(), line["Plaintext"].GetStringLength()), cast.plaintext);
  EXPECT_NE(log.back().find("\\u001f"), std::string::npos);
  const std::string stored = readText(service_->stateDir() + "/containers/" + voteId + ".asice");
  EXPECT_EQ(stored, cast.container.archive());

  // Independent tools: unzip and xmlsec1 on the stored container, openssl on the receipt.
  const fs::path dir = fs::path(service_->stateDir()) / ("check-" + voteId);
  fs::create_directories(dir);
  int status = 0;
  shell("cd '" + dir.string() + "' && unzip -q '../containers/" + voteId + ".asice'", &status);
  ASSERT_EQ(status, 0);
  const std::string xmlsec = shell("cd '" + dir.string() + "' && xmlsec1 --verify --trusted-pem '" +
                                       pki("voter-ca.pem") + "' --trusted-pem '" + pki("root-ca.pem") +
                                       "' META-INF/signatures0.xml 2>&1",
                                   &status);
  EXPECT_EQ(status, 0) << xmlsec;
  const rapidjson::Value& q = cast.reply.doc["result"]["Qualification"];
  writeFile(dir / "ocsp.der", base64Decode(q["ocsp"].GetString()));
  writeFile(dir / "token.der", base64Decode(q["tspreg"].GetString()));
  writeFile(dir / "signer.der", cast.container.signerCertificate());
  writeFile(dir / "sigvalue.xml", cast.container.signatureValueElement());
  const std::string ocsp = shell("cd '" + dir.string() + "' && openssl x509 -inform DER -in signer.der -out signer.pem && "
                                 "openssl ocsp -respin ocsp.der -issuer '" + pki("voter-ca.pem") +
                                     "' -cert signer.pem -VAfile '" + pki("ocsp.pem") + "' -no_nonce 2>&1",
                                 &status);
  EXPECT_EQ(status, 0) << ocsp;
  EXPECT_NE(ocsp.find("Response verify OK"), std::string::npos) << ocsp;
  EXPECT_NE(ocsp.find("signer.pem: good"), std::string::npos) << ocsp;
  const std::string ts = shell("cd '" + dir.string() + "' && openssl ts -verify -token_in -in token.der -data sigvalue.xml "
                               "-CAfile '" + pki("root-ca.pem") + "' 2>&1",
                               &status);
  EXPECT_EQ(status, 0) << ts;
  EXPECT_NE(ts.find("Verification: OK"), std::string::npos) << ts;

  // The voter has now voted.
  Identified again = identify(port(), true, kDemoVoter);
  EXPECT_TRUE(call(port(), kChoicesName, "VoterChoices",
                   {{"OS", "Linux"}, {"AuthMethod", "ticket"}, {"AuthToken", again.authToken},
                    {"SessionID", again.sessionId}})
                  .has("Voted"));
}

TEST_F(DemoServiceVote, ASmartIdVoteSignedWithRsaIsAccepted) {
  Cast cast;
  ASSERT_NO_FATAL_FAILURE(phoneVote(cast, false, "49002020002"));
  ASSERT_TRUE(cast.reply.ok()) << cast.reply.text;
  EXPECT_EQ(checkReceipt(cast), ReceiptCode::Verified);
  rapidjson::Document line;
  line.Parse(votesLog().back().c_str());
  EXPECT_EQ(std::string(line["PersonalCode"].GetString()), "49002020002");
  EXPECT_EQ(std::string(line["Plaintext"].GetString(), line["Plaintext"].GetStringLength()), cast.plaintext);
}

TEST_F(DemoServiceVote, ACardVoteUsesTheClientCertificateOnBothCalls) {
  const ClientIdentity auth{pki("voter1-auth-ec.pem"), pki("voter1-auth-ec.key.pem")};
  Reply choices = call(port(), kChoicesName, "VoterChoices", {{"OS", "Linux"}, {"AuthMethod", "tls"}}, &auth);
  ASSERT_TRUE(choices.ok()) << choices.text;
  Cast cast;
  ASSERT_TRUE(buildVote(cast, choices.result("List"), readText(pki("voter1-sign-ec.der")),
                        [](const std::string& d) { return softwareSignature(pki("voter1-sign-ec.key.pem"), d); }));
  const std::vector<std::pair<std::string, std::string>> params = {
      {"OS", "Linux"}, {"AuthMethod", "tls"}, {"Choices", choices.result("Choices")},
      {"SessionID", choices.result("SessionID")}, {"Type", "bdoc"}, {"Vote", cast.containerBase64}};
  // Another person's card, or none, may not use this session.
  const ClientIdentity other{pki("voter2-auth-ec.pem"), pki("voter2-auth-ec.key.pem")};
  EXPECT_EQ(call(port(), kVotingName, "Vote", params, &other).error, "UNAUTHENTICATED");
  EXPECT_EQ(call(port(), kVotingName, "Vote", params).error, "UNAUTHENTICATED");
  cast.reply = call(port(), kVotingName, "Vote", params, &auth);
  ASSERT_TRUE(cast.reply.ok()) << cast.reply.text;
  EXPECT_EQ(checkReceipt(cast), ReceiptCode::Verified);
}

TEST_F(DemoServiceVote, AlteredContainersAreRefusedAndNothingIsRecorded) {
  const std::size_t before = votesLog().size();
  struct Case {
    const char* what;
    std::function<void(Cast&)> tamper;
    const char* error;
  };
  const Case cases[] = {
      {"ballot changed after signing",
       [](Cast& c) {
         Bytes ballot = c.container.dataFiles().at(0).content;
         ballot[ballot.size() - 3] ^= 0x01;
         c.containerBase64 = rezipped(c.container, ballot);
       },
       "BAD_REQUEST"},
      {"signature that does not verify",
       [](Cast& c) {
         // A real signature, but over other signed information.
         c.container.setSignatureValue(softwareSignature(pki("voter1-sign-ec.key.pem"), std::string(32, 'x')));
         ASSERT_TRUE(c.container.writeContainer(c.containerBase64) == ContainerResult::Ok);
       },
       "BAD_REQUEST"},
      {"not a container", [](Cast& c) { c.containerBase64 = base64EncodeLines("PK\x03\x04 broken"); }, "BAD_REQUEST"},
      {"truncated archive",
       [](Cast& c) { c.containerBase64 = base64EncodeLines(c.container.archive().substr(0, 500)); },
       "BAD_REQUEST"},
  };
  for (const auto& c : cases) {
    Cast cast;
    ASSERT_NO_FATAL_FAILURE(phoneVote(cast, true, kDemoVoter, c.tamper));
    EXPECT_EQ(cast.reply.error, c.error) << c.what << ": " << cast.reply.text;
  }
  // The vote of another district's choices document.
  Cast outdated;
  ASSERT_NO_FATAL_FAILURE(phoneVote(outdated, true, kDemoVoter, {}, "0002.1"));
  EXPECT_EQ(outdated.reply.error, "OUTDATED_CHOICES");
  EXPECT_EQ(votesLog().size(), before);
}

TEST_F(DemoServiceVote, ASignerOtherThanTheIdentifiedVoterIsAMismatch) {
  // Smart-ID hands out the RSA signing certificate; a container signed with the EC one is not
  // the identified voter's signature for this session.
  Cast cast;
  ASSERT_NO_FATAL_FAILURE(phoneVote(cast, false, kDemoVoter, [](Cast& c) {
    VoteContainer swapped;
    std::string randomness;
    auto key = parseElectionKey(readText(pki("election-2048.pub.der")));
    ASSERT_TRUE(swapped.setSignerCertificate(readText(pki("voter1-sign-ec.der"))) == ContainerResult::Ok);
    swapped.addDataFile(kBallotMediaType, encryptVote(*key, c.plaintext, randomness), kBallotName);
    ASSERT_TRUE(swapped.buildSignedInformation() == ContainerResult::Ok);
    swapped.setSignatureValue(softwareSignature(pki("voter1-sign-ec.key.pem"), swapped.digestToSign()));
    ASSERT_TRUE(swapped.writeContainer(c.containerBase64) == ContainerResult::Ok);
  }));
  EXPECT_EQ(cast.reply.error, "IDENTITY_MISMATCH");
}

TEST_F(DemoServiceVote, ReceiptScenariosBreakTheCheckTheyName) {
  struct Case {
    const char* code;
    ReceiptCode receipt;
    bool testVote;
  };
  const Case cases[] = {
      {"38001010075", ReceiptCode::TimeStampNotVerified, false},
      {"38001010083", ReceiptCode::NonceNotVerified, false},
      {"38001010091", ReceiptCode::NoSingleResponse, false},
      {"38001010105", ReceiptCode::Verified, true},
  };
  for (const auto& c : cases) {
    Cast cast;
    ASSERT_NO_FATAL_FAILURE(phoneVote(cast, true, c.code));
    ASSERT_TRUE(cast.reply.ok()) << c.code << ": " << cast.reply.text;
    EXPECT_EQ(checkReceipt(cast), c.receipt) << c.code;
    EXPECT_EQ(cast.reply.doc["result"]["TestVote"].GetBool(), c.testVote) << c.code;
  }
  const std::pair<const char*, const char*> refusals[] = {
      {"38001010059", "OUTDATED_CHOICES"},
      {"38001010113", "VOTING_END"},
  };
  for (const auto& [code, error] : refusals) {
    Cast cast;
    ASSERT_NO_FATAL_FAILURE(phoneVote(cast, true, code));
    EXPECT_EQ(cast.reply.error, error) << code;
  }
}

}  // namespace
}  // namespace sorvimend::demo::testing
