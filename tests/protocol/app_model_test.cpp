#include "protocol/app_model.h"

#include <openssl/rsa.h>

#include <gtest/gtest.h>

#include "protocol/service_operation.h"
#include "tests/protocol/protocol_fixture.h"
#include "tests/vote/receipt_fixture.h"
#include "util/base64.h"

namespace sorvimend {
namespace {

namespace rf = receipt_fixture;
using protocol_test::loadDemoBundle;

// Base64 of the RSA PKCS #1 v1.5 signature over a SHA-256 digest, as the card or phone returns it.
std::string signDigest(const rf::Identity& signer, const Bytes& digest) {
  EvpPkeyCtxPtr ctx(EVP_PKEY_CTX_new(signer.key.get(), nullptr));
  std::size_t length = 0;
  if (!ctx || EVP_PKEY_sign_init(ctx.get()) != 1 || EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) != 1 ||
      EVP_PKEY_CTX_set_signature_md(ctx.get(), EVP_sha256()) != 1 ||
      EVP_PKEY_sign(ctx.get(), nullptr, &length, asUnsigned(digest), digest.size()) != 1) {
    return {};
  }
  std::string signature(length, '\0');
  if (EVP_PKEY_sign(ctx.get(), reinterpret_cast<unsigned char*>(signature.data()), &length, asUnsigned(digest),
                    digest.size()) != 1) {
    return {};
  }
  signature.resize(length);
  return base64EncodeLines(signature);
}

TEST(AppModelStart, InitialisationChecksTheElectionConfiguration) {
  struct Case {
    const char* name;
    std::function<void(rapidjson::Document&)> edit;
    bool ok;
  };
  const Case cases[] = {
      {"demo bundle", {}, true},
      {"default question not in QUESTIONS",
       [](rapidjson::Document& d) { protocol_test::setText(d, "RES_APP", "DEFAULT_QUESTION_ID", "RK2027"); }, false},
      {"election id differs in one character",
       [](rapidjson::Document& d) { protocol_test::setText(d, "RES_APP", "ELECTION_ID", "DEMO2027"); }, false},
      {"election id differs in case",
       [](rapidjson::Document& d) { protocol_test::setText(d, "RES_APP", "ELECTION_ID", "demo2026"); }, false},
  };
  for (const auto& c : cases) {
    loadDemoBundle(c.edit);
    AppModel model;
    const ErrorPtr error = model.initialise();
    EXPECT_EQ(error == nullptr, c.ok) << c.name;
    if (error) {
      EXPECT_EQ(error->errorClass(), 1) << c.name;
      EXPECT_EQ(error->message(), resourceText(ResourceId::STR_ERR_ELEC_RES)) << c.name;
      EXPECT_EQ(error->detail(), 0u) << c.name;
    } else {
      EXPECT_TRUE(model.electionKey());
      EXPECT_EQ(model.systemDescription().rfind("Linux ", 0), 0u);
    }
  }
  resetBundle();
}

TEST(AppModelStart, SystemDescription) {
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {"#1 SMP PREEMPT_DYNAMIC Debian 6.1.115-1 (2024-11-01)", "6.1.0-27-amd64", "Linux Debian 6.1.0-27-amd64"},
      {"#36-Ubuntu SMP", "6.8.0-36-generic", "Linux Ubuntu 6.8.0-36-generic"},
      {"Ubuntu build on Debian", "5.0", "Linux Debian 5.0"},  // the greedy ".*" finds the last word
      {"Debian then Ubuntu", "5.0", "Linux Ubuntu 5.0"},
      {"#1 SMP Fedora", "6.5.6", "Linux 6.5.6"},
      {"debian", "1", "Linux 1"},
  };
  for (const auto& [version, release, expected] : cases) {
    EXPECT_EQ(AppModel::describeSystem(version, release), expected) << version;
  }
}

class AppModelTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const auto pki = rf::testPki();
    signer_ = new rf::Identity(rf::loadIdentity(pki, "voter1-sign-rsa"));
  }
  static void TearDownTestSuite() {
    delete signer_;
    signer_ = nullptr;
    resetBundle();
  }
  void SetUp() override {
    loadDemoBundle();
    ASSERT_FALSE(model_.initialise());
    first_ = std::make_unique<Ballot>("DEMO2026", "RK2026", "Riigikogu", "0001.1", "Tallinn");
    auto& list = first_->addList("Erakond A");
    one_ = &list.addChoice("0001", "101", "Mari Maasikas");
    two_ = &list.addChoice("0001", "102", "J\xC3\xBCri Jaanus");
    second_ = std::make_unique<Ballot>("DEMO2026", "KOV2026", "Volikogu", "0002.1", "Tartu");
    three_ = &second_->addList("Valimisliit B").addChoice("0002", "7", "Kati Karu");
  }

  static rf::Identity* signer_;
  AppModel model_;
  std::unique_ptr<Ballot> first_;
  std::unique_ptr<Ballot> second_;
  const Choice* one_ = nullptr;
  const Choice* two_ = nullptr;
  const Choice* three_ = nullptr;
};

rf::Identity* AppModelTest::signer_ = nullptr;

TEST_F(AppModelTest, PicksOnePerBallot) {
  model_.pick(*one_);
  model_.pick(*two_);
  EXPECT_EQ(model_.pickOf(*first_), one_) << "a second pick of the same ballot leaves the first";
  model_.unpick(*two_);  // removes whatever its ballot holds
  EXPECT_EQ(model_.pickOf(*first_), nullptr);
  model_.pick(*two_);
  EXPECT_EQ(model_.pickOf(*first_), two_);
  EXPECT_EQ(model_.singlePick(), two_);
  EXPECT_EQ(model_.districtOfPick(), "0001.1");
  model_.pick(*three_);
  EXPECT_EQ(model_.singlePick(), nullptr);
  EXPECT_EQ(model_.pickOf(*second_), three_);
  // Map order is ballot-name order: DEMO2026.KOV2026.ballot before DEMO2026.RK2026.ballot.
  EXPECT_EQ(model_.reviewText("[%1%|%2%|%3%|%4%]"),
            "[Volikogu|7|Kati Karu|Valimisliit B][Riigikogu|102|J\xC3\xBCri Jaanus|Erakond A]");
  EXPECT_EQ(model_.districtOfPick(), "0002.1");
}

TEST_F(AppModelTest, MethodSetsTheMobileSessionKind) {
  const std::pair<int, MobileMethod> cases[] = {
      {0, MobileMethod::IdCard}, {1, MobileMethod::MobileId}, {2, MobileMethod::SmartId}};
  for (const auto& [method, kind] : cases) {
    model_.setMethod(method);
    EXPECT_EQ(model_.method(), method);
    EXPECT_EQ(model_.mobileSession().method(), kind);
  }
}

TEST_F(AppModelTest, SignerCertificateMustBeX509) {
  EXPECT_EQ(model_.setSignerCertificate("not a certificate"), 2);
  EXPECT_EQ(model_.setSignerCertificate(certificateDer(signer_->certificate.get())), 0);
  EXPECT_EQ(model_.signerCertificate(), certificateDer(signer_->certificate.get()));
}

TEST_F(AppModelTest, PlaintextTooLongForTheKeyStopsTheVote) {
  auto ballot = std::make_unique<Ballot>("DEMO2026", "RK2026", "Riigikogu", "0001.1", "");
  const Choice& huge = ballot->addList("L").addChoice("0001", "1", std::string(300, 'x'));
  model_.pick(huge);
  ASSERT_EQ(model_.setSignerCertificate(certificateDer(signer_->certificate.get())), 0);
  Bytes digest;
  EXPECT_EQ(model_.buildAndDigest(digest), static_cast<int>(VoteBuildCode::EmptyCiphertext));
  EXPECT_TRUE(digest.empty());
  // The signing operation reports it as INTERNAL with that code instead of asking for a signature.
  protocol_test::ScriptedRpcClient rpc;
  model_.setMethod(1);
  SignOperation sign(rpc);
  const ErrorPtr error = sign.send(model_);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->errorClass(), 2);
  EXPECT_EQ(error->detail(), 8u);
  EXPECT_EQ(rpc.lastRequest(), "");
}

TEST_F(AppModelTest, MobileSigningDigestAndVerificationCode) {
  model_.pick(*one_);
  model_.setMethod(1);
  ASSERT_EQ(model_.setSignerCertificate(certificateDer(signer_->certificate.get())), 0);
  std::string hashType;
  std::string digestText;
  ASSERT_EQ(model_.prepareMobileSigning(hashType, digestText), 0);
  EXPECT_EQ(hashType, "SHA256");
  EXPECT_EQ(digestText.size(), 44u);
  EXPECT_EQ(base64Decode(digestText).size(), 32u);
  EXPECT_FALSE(model_.randomness().empty());
  EXPECT_EQ(model_.mobileSession().verificationCode(SessionPurpose::Signing), verificationCodeOf(digestText).value());
  EXPECT_EQ(model_.mobileSession().sessionCode(SessionPurpose::Signing), "");
}

TEST_F(AppModelTest, SignedVoteSerialisesAndBadSignatureDoesNot) {
  for (const bool genuine : {true, false}) {
    AppModel model;
    ASSERT_FALSE(model.initialise());
    model.pick(*one_);
    ASSERT_EQ(model.setSignerCertificate(certificateDer(signer_->certificate.get())), 0);
    Bytes digest;
    ASSERT_EQ(model.buildAndDigest(digest), 0);
    ASSERT_EQ(digest.size(), 32u);
    if (!genuine) digest[0] = static_cast<char>(digest[0] ^ 1);
    model.setSignatureValue(signDigest(*signer_, digest));
    std::string container;
    EXPECT_EQ(model.serialise(container), genuine ? 0 : 7);
    EXPECT_EQ(container.empty(), !genuine);
    if (genuine) {
      EXPECT_EQ(base64Decode(container).substr(0, 2), "PK");
    }
  }
}

TEST_F(AppModelTest, ReceiptStoresVerificationTextOnlyWhenVerified) {
  const auto pki = rf::testPki();
  const auto voterCa = rf::loadIdentity(pki, "voter-ca");
  const auto ocsp = rf::loadIdentity(pki, "ocsp");
  const auto tsa = rf::loadIdentity(pki, "tsa");
  const auto registration = rf::loadIdentity(pki, "registration");
  loadDemoBundle([&](rapidjson::Document& d) {
    protocol_test::setList(d, "RES_DATA", "OCSP_CERTS", {ocsp.pem});
    protocol_test::setList(d, "RES_DATA", "ISSUER_CERTS", {voterCa.pem});
    protocol_test::setList(d, "RES_DATA", "TSA_CERTS", {tsa.pem});
    protocol_test::setList(d, "RES_DATA", "REG_CERTS", {registration.pem});
  });
  model_.pick(*one_);
  ASSERT_EQ(model_.setSignerCertificate(certificateDer(signer_->certificate.get())), 0);
  Bytes digest;
  ASSERT_EQ(model_.buildAndDigest(digest), 0);
  model_.setSignatureValue(signDigest(*signer_, digest));
  const std::string element = model_.signatureElement();
  ASSERT_FALSE(element.empty());

  ServiceReply reply;
  reply.sessionId = "SESSION-1";
  reply.voteId = "VOTE-1";
  reply.testVote = true;
  reply.ocspResponse = base64EncodeLines(rf::ocspResponse(signer_->certificate.get(), voterCa.certificate.get(), ocsp,
                                                          V_OCSP_CERTSTATUS_REVOKED));
  reply.registration = base64EncodeLines(rf::timeStampToken(element, tsa, rf::registrationNonce(element, registration)));
  const ErrorPtr revoked = applyReceipt(reply, model_);
  ASSERT_TRUE(revoked);
  EXPECT_EQ(revoked->errorClass(), 6);
  EXPECT_EQ(revoked->detail(), 23u);
  EXPECT_EQ(revoked->message(), "");
  EXPECT_EQ(model_.verificationText(), "");
  EXPECT_FALSE(model_.testVote());

  reply.ocspResponse =
      base64EncodeLines(rf::ocspResponse(signer_->certificate.get(), voterCa.certificate.get(), ocsp));
  ASSERT_FALSE(applyReceipt(reply, model_));
  EXPECT_EQ(model_.verificationText(), "SESSION-1\n" + model_.randomness() + "\nVOTE-1");
  EXPECT_TRUE(model_.testVote());
}

}  // namespace
}  // namespace sorvimend
