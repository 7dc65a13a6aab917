// Each identification method's operations, stepped as the wizard steps them, against the running
// demo voting service: the ID card (SoftHSM2), Mobile-ID and Smart-ID, each ending with a
// verified receipt, the test-vote flag and the verification text in the model.
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "identity/pin_prompt.h"
#include "identity/pkcs11_id_card.h"
#include "protocol/service_operation.h"
#include "protocol/transport_config.h"
#include "resources/resource_access.h"
#include "resources/resource_catalogue.h"
#include "tests/tools/demo_service/harness.h"

namespace sorvimend {
namespace {

using demo::testing::ServiceProcess;

// Made by the protocol_election test that CTest runs first (with the program embedded, as the
// demo command makes it); empty when the build folder is unknown.
std::string electionDir() {
  const char* build = std::getenv("SV_BUILD_DIR");
  return build ? std::string(build) + "/protocol-election" : std::string();
}

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// send, then step until done; while not final, pollSend and pollStep until done. The wizard's
// 200 ms and 5 s waits are left out; a step sleeps a little so the handshake has time to move.
ErrorPtr runOperation(ServiceOperation& op, AppModel& model, int* polls = nullptr) {
  if (ErrorPtr error = op.send(model)) return error;
  bool done = false;
  bool final = false;
  for (int round = 0; round < 20; ++round) {
    for (int steps = 0; steps < 2000 && !done; ++steps) {
      ErrorPtr error = round == 0 ? op.step(model, done, final) : op.pollStep(model, done, final);
      if (error) return error;
      if (!done) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!done) return makeError(ErrorClass::Network, "exchange did not finish");
    if (final) return nullptr;
    if (polls) ++*polls;
    if (ErrorPtr error = op.pollSend(model)) return error;
    done = false;
  }
  return makeError(ErrorClass::Network, "too many polls");
}

std::string describe(const ErrorPtr& error) {
  return error ? std::to_string(error->errorClass()) + "-" + std::to_string(error->detail()) + " " + error->message()
               : "none";
}

class PinsOfTheDemoCard final : public PinPrompt {
 public:
  void begin(bool) override {}
  void ask(const CertificateInfo& certificate, bool& ok, bool) override {
    ok = true;
    pin_.assign(certificate.usage == CertificateUsage::Signing ? "12345" : "1234");
    ++asks;
  }
  void tick() override {}
  const unsigned char* pin() const override { return pin_.data(); }
  std::size_t pinLength() const override { return pin_.size(); }
  void end() override { pin_.clear(); }
  int asks = 0;

 private:
  PinBuffer pin_;
};

class OperationsAgainstDemoService : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    election_ = electionDir();
    if (!election_.empty()) service_ = std::make_unique<ServiceProcess>(std::vector<std::string>{"--polls", "2"}, election_);
  }
  static void TearDownTestSuite() {
    if (service_) {
      EXPECT_EQ(service_->stop(), 0);
    }
    service_.reset();
  }

  void SetUp() override {
    ASSERT_FALSE(election_.empty()) << "demo/make-election failed";
    ASSERT_GT(service_->port(), 0) << "demo-service did not start";
    std::string bundle = readText(election_ + "/bundle.json");
    rapidjson::Document document;
    document.Parse(bundle.data(), bundle.size());
    ASSERT_TRUE(document.IsObject());
    const std::string server = "127.0.0.1:" + std::to_string(service_->port());
    document["RES_APP"]["EVOTE_SERVER"][0].SetString(server.data(), static_cast<rapidjson::SizeType>(server.size()),
                                                     document.GetAllocator());
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    document.Accept(writer);
    registerCatalogue();
    const ErrorPtr loaded = loadBundleText(std::string(buffer.GetString(), buffer.GetSize()));
    ASSERT_FALSE(loaded) << loaded->message();
    model_ = std::make_unique<AppModel>();
    ASSERT_FALSE(model_->initialise());
    RpcClient::create(transportConfigFromBundle()).setOsDescription(model_->systemDescription());
  }
  void TearDown() override {
    RpcClient::destroy();
    model_.reset();
    resetBundle();
  }

  // The receipt's facts as the model holds them after a vote.
  void expectVerified(const ServiceOperation& vote, bool testVote) {
    const ServiceReply& reply = vote.reply();
    EXPECT_FALSE(reply.voteId.empty());
    EXPECT_FALSE(model_->randomness().empty());
    EXPECT_EQ(model_->verificationText(),
              RpcClient::instance()->sessionId() + "\n" + model_->randomness() + "\n" + reply.voteId);
    EXPECT_EQ(reply.sessionId, RpcClient::instance()->sessionId());
    EXPECT_EQ(model_->testVote(), testVote);
    // The service recorded the plaintext of the pick.
    std::istringstream log(readText(service_->stateDir() + "/votes.jsonl"));
    std::string line;
    std::string last;
    while (std::getline(log, line)) last = line;
    rapidjson::Document entry;
    entry.Parse(last.c_str());
    ASSERT_TRUE(entry.IsObject()) << last;
    EXPECT_EQ(std::string(entry["VoteID"].GetString()), reply.voteId);
    const Choice* pick = model_->singlePick();
    ASSERT_TRUE(pick);
    EXPECT_EQ(std::string(entry["Plaintext"].GetString(), entry["Plaintext"].GetStringLength()),
              pick->identifier() + '\x1f' + pick->list().name() + '\x1f' + pick->name());
  }

  void pickLast() {
    const Ballot* ballot = cursor_.ballot();
    ASSERT_TRUE(ballot && !ballot->lists().empty() && !ballot->lists().back()->choices().empty());
    model_->pick(*ballot->lists().back()->choices().back());
  }

  // Mobile-ID (1) or Smart-ID (2), identification to receipt.
  void mobileVote(int method, const std::string& code, bool testVote) {
    RpcClient& rpc = *RpcClient::instance();
    model_->setMethod(method);
    auto& session = model_->mobileSession();
    session.setPersonalCode(code);
    if (method == 1) {
      session.setPhoneNumber("5550" + code.substr(code.size() - 4));
      session.normalisePhoneNumber();
    }
    ASSERT_TRUE(session.inputValid());

    AuthenticateOperation authenticate(rpc);
    int polls = 0;
    ErrorPtr error = runOperation(authenticate, *model_, &polls);
    ASSERT_FALSE(error) << describe(error);
    EXPECT_EQ(polls, 3) << "two POLL answers, then the final one";
    EXPECT_EQ(session.verificationCode(SessionPurpose::Identification),
              verificationCodeOf(authenticate.reply().challenge).value());
    EXPECT_EQ(model_->voterCode(), code);
    EXPECT_FALSE(model_->authToken().empty());

    ChoicesOperation choices(rpc, cursor_);
    error = runOperation(choices, *model_);
    ASSERT_FALSE(error) << describe(error);
    pickLast();

    std::unique_ptr<ServiceOperation> certificate;
    if (method == 1) {
      certificate = std::make_unique<CertificateOperation>(rpc);
    } else {
      certificate = std::make_unique<CertificateChoiceOperation>(rpc);
    }
    error = runOperation(*certificate, *model_);
    ASSERT_FALSE(error) << describe(error);
    EXPECT_FALSE(model_->signerCertificate().empty());
    if (method == 2) {
      EXPECT_FALSE(session.dataToken().empty());
    }

    SignOperation sign(rpc);
    error = runOperation(sign, *model_);
    ASSERT_FALSE(error) << describe(error);
    EXPECT_EQ(session.verificationCode(SessionPurpose::Signing).size(), 4u);

    VoteOperation vote(rpc);
    error = runOperation(vote, *model_);
    ASSERT_FALSE(error) << describe(error);
    expectVerified(vote, testVote);
  }

  static std::string election_;
  static std::unique_ptr<ServiceProcess> service_;
  std::unique_ptr<AppModel> model_;
  SingleQuestionCursor cursor_;
};

std::string OperationsAgainstDemoService::election_;
std::unique_ptr<ServiceProcess> OperationsAgainstDemoService::service_;

TEST_F(OperationsAgainstDemoService, MobileIdVote) { mobileVote(1, "38001010008", false); }

TEST_F(OperationsAgainstDemoService, MobileIdTestVote) { mobileVote(1, "38001010105", true); }

TEST_F(OperationsAgainstDemoService, SmartIdVote) { mobileVote(2, "38001010008", false); }

TEST_F(OperationsAgainstDemoService, SmartIdTestVote) { mobileVote(2, "38001010105", true); }

TEST_F(OperationsAgainstDemoService, IdCardVote) {
  const std::string conf = election_ + "/card/softhsm2.conf";
  ASSERT_EQ(::setenv("SOFTHSM2_CONF", conf.c_str(), 1), 0);
  PinsOfTheDemoCard pins;
  auto owned = std::make_unique<Pkcs11IdCard>(std::vector<std::string>{"/usr/lib/softhsm/libsofthsm2.so"});
  Pkcs11IdCard& card = *owned;
  card.setPinPrompt(&pins);
  ASSERT_FALSE(card.setIssuerCertificates(resourceTextList(ResourceId::RES_DATA_ISSUER_CERTS)));
  registerIdCard(std::move(owned));
  RpcClient& rpc = *RpcClient::instance();
  model_->setMethod(0);

  CardChoicesOperation choices(rpc, cursor_, card);
  ErrorPtr error = runOperation(choices, *model_);
  ASSERT_FALSE(error) << describe(error);
  EXPECT_EQ(model_->voterName(), "MARI-LIIS M\xC3\x84NNIK");
  EXPECT_EQ(model_->voterCode(), "38001010008");
  EXPECT_FALSE(RpcClient::instance()->sessionId().empty());
  pickLast();

  CardVoteOperation vote(rpc, card);
  error = runOperation(vote, *model_);
  ASSERT_FALSE(error) << describe(error);
  EXPECT_EQ(pins.asks, 2) << "PIN1 for the connection, PIN2 for the signature";
  expectVerified(vote, false);
  registerIdCard(nullptr);
}

// The service's refusals and broken receipts reach the model as the voter's error records.
TEST_F(OperationsAgainstDemoService, RefusalsAndForgedReceipts) {
  struct Case {
    const char* code;
    int method;
    std::int32_t errorClass;
    std::uint64_t detail;
    ResourceId message;
  };
  const Case cases[] = {
      {"38001010016", 1, 5, 1, ResourceId::RES_SERVER_MID_NOT_USER},
      {"38001010067", 2, 5, 1, ResourceId::RES_SERVER_SMARTID_CANCELED},
      {"38001010040", 1, 5, 1, ResourceId::RES_SERVER_INELIGIBLE_VOTER},
      {"38001010113", 2, 5, 1, ResourceId::RES_SERVER_VOTING_END},
      {"38001010075", 1, 6, 12, ResourceId::None},
      {"38001010083", 2, 6, 3, ResourceId::None},
      {"38001010091", 1, 6, 22, ResourceId::None},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    model_ = std::make_unique<AppModel>();
    ASSERT_FALSE(model_->initialise());
    SingleQuestionCursor cursor;
    RpcClient& rpc = *RpcClient::instance();
    model_->setMethod(c.method);
    model_->mobileSession().setPersonalCode(c.code);
    model_->mobileSession().setPhoneNumber(std::string("5550") + (c.code + 7));
    model_->mobileSession().normalisePhoneNumber();
    std::vector<std::unique_ptr<ServiceOperation>> sequence;
    sequence.push_back(std::make_unique<AuthenticateOperation>(rpc));
    sequence.push_back(std::make_unique<ChoicesOperation>(rpc, cursor));
    if (c.method == 1) {
      sequence.push_back(std::make_unique<CertificateOperation>(rpc));
    } else {
      sequence.push_back(std::make_unique<CertificateChoiceOperation>(rpc));
    }
    sequence.push_back(std::make_unique<SignOperation>(rpc));
    sequence.push_back(std::make_unique<VoteOperation>(rpc));
    ErrorPtr error;
    for (std::size_t i = 0; i < sequence.size() && !error; ++i) {
      error = runOperation(*sequence[i], *model_);
      if (i == 1 && !error && cursor.ballot()) model_->pick(*cursor.ballot()->lists().front()->choices().front());
    }
    ASSERT_TRUE(error);
    EXPECT_EQ(error->errorClass(), c.errorClass) << describe(error);
    EXPECT_EQ(error->detail(), c.detail) << describe(error);
    EXPECT_EQ(error->message(), c.message == ResourceId::None ? std::string() : resourceText(c.message));
    EXPECT_EQ(model_->verificationText(), "");
  }
}

}  // namespace
}  // namespace sorvimend
