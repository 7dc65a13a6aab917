// The application's own service operations, over its own TLS channel and with the bundle that
// make-election writes, against the running service: a Mobile-ID and a Smart-ID voter go from
// identification to a verified receipt, and the service's refusals reach the application as the
// error records the voter would see.
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <thread>

#include <rapidjson/document.h>

#include "identity/id_card.h"
#include "identity/pin_prompt.h"
#include "identity/pkcs11_id_card.h"
#include "protocol/app_model.h"
#include "protocol/question_cursor.h"
#include "protocol/rpc_client.h"
#include "protocol/service_operation.h"
#include "protocol/transport_config.h"
#include "resources/resource_access.h"
#include "resources/resource_catalogue.h"
#include "tests/tools/demo_service/harness.h"

namespace sorvimend::demo::testing {
namespace {

// Runs one operation as the session controller does, without the waits between polls.
ErrorPtr run(ServiceOperation& op, AppModel& model) {
  if (ErrorPtr e = op.send(model)) return e;
  bool done = false, final = false;
  for (int polls = 0; polls < 50; ++polls) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    do {
      ErrorPtr e = polls == 0 ? op.step(model, done, final) : op.pollStep(model, done, final);
      if (e) return e;
      if (!done) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    } while (!done && std::chrono::steady_clock::now() < deadline);
    if (!done) return makeError(ErrorClass::Network, "test: exchange did not finish");
    if (final) return nullptr;
    if (ErrorPtr e = op.pollSend(model)) return e;
  }
  return makeError(ErrorClass::Network, "test: too many polls");
}

// Answers PIN1 and PIN2 of the demo card as the voter would type them.
class DemoCardPins final : public PinPrompt {
 public:
  void begin(bool) override {}
  void ask(const CertificateInfo&, bool& ok, bool) override {
    ok = true;
    pin_.assign(asks_++ == 0 ? "1234" : "12345");
  }
  void tick() override {}
  const unsigned char* pin() const override { return pin_.data(); }
  std::size_t pinLength() const override { return pin_.size(); }
  void end() override { pin_.clear(); }

 private:
  PinBuffer pin_;
  int asks_ = 0;
};

class DemoServiceApp : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { service_ = std::make_unique<ServiceProcess>(); }
  static void TearDownTestSuite() {
    if (service_) {
      EXPECT_EQ(service_->stop(), 0);
    }
    service_.reset();
  }

  void SetUp() override {
    ASSERT_TRUE(service_ && service_->running()) << "demo-service did not start";
    std::string bundle = readText(electionDir() + "/bundle.json");
    const std::string configured = "\"127.0.0.1:48443\"";
    const auto at = bundle.find(configured);
    ASSERT_NE(at, std::string::npos);
    bundle.replace(at, configured.size(), "\"127.0.0.1:" + std::to_string(service_->port()) + "\"");
    registerCatalogue();
    ErrorPtr loaded = loadBundleText(bundle);
    ASSERT_FALSE(loaded) << loaded->message();
    model_ = std::make_unique<AppModel>();
    ASSERT_FALSE(model_->initialise());
    RpcClient::create(transportConfigFromBundle()).setOsDescription("Linux test");
  }
  void TearDown() override {
    RpcClient::destroy();
    model_.reset();
    resetBundle();
  }

  // Mobile-ID (method 1) or Smart-ID (2) from identification to the receipt; the first error.
  ErrorPtr vote(int method, const std::string& code) {
    RpcClient& rpc = *RpcClient::instance();
    model_->setMethod(method);
    model_->mobileSession().setPersonalCode(code);
    model_->mobileSession().setPhoneNumber("5550" + code.substr(code.size() - 4));
    model_->mobileSession().normalisePhoneNumber();
    AuthenticateOperation authenticate(rpc);
    if (ErrorPtr e = run(authenticate, *model_)) return e;
    ChoicesOperation choices(rpc, cursor_);
    if (ErrorPtr e = run(choices, *model_)) return e;
    const Ballot* ballot = cursor_.ballot();
    if (!ballot || ballot->lists().empty() || ballot->lists()[0]->choices().empty())
      return makeError(ErrorClass::System, "test: no choices");
    model_->pick(*ballot->lists()[0]->choices()[0]);
    std::unique_ptr<ServiceOperation> certificate;
    if (method == 1) {
      certificate = std::make_unique<CertificateOperation>(rpc);
    } else {
      certificate = std::make_unique<CertificateChoiceOperation>(rpc);
    }
    if (ErrorPtr e = run(*certificate, *model_)) return e;
    SignOperation sign(rpc);
    if (ErrorPtr e = run(sign, *model_)) return e;
    VoteOperation submit(rpc);
    return run(submit, *model_);
  }

  std::string lastPlaintext() const {
    std::istringstream in(readText(service_->stateDir() + "/votes.jsonl"));
    std::string line, last;
    while (std::getline(in, line)) last = line;
    rapidjson::Document d;
    d.Parse(last.c_str());
    return d.IsObject() ? std::string(d["Plaintext"].GetString(), d["Plaintext"].GetStringLength()) : std::string();
  }

  static std::unique_ptr<ServiceProcess> service_;
  std::unique_ptr<AppModel> model_;
  SingleQuestionCursor cursor_;
};
std::unique_ptr<ServiceProcess> DemoServiceApp::service_;

TEST_F(DemoServiceApp, MobileIdAndSmartIdVotesEndWithAVerifiedReceipt) {
  for (int method : {1, 2}) {
    SCOPED_TRACE(method);
    ErrorPtr e = vote(method, "38001010008");
    ASSERT_FALSE(e) << e->errorClass() << "/" << e->detail() << " " << e->message();
    EXPECT_EQ(model_->voterName(), "MARI-LIIS M\xC3\x84NNIK");
    EXPECT_EQ(model_->voterCode(), "38001010008");
    const std::string text = model_->verificationText();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2) << text;
    EXPECT_EQ(text.substr(text.find('\n') + 1, model_->randomness().size()), model_->randomness());
    const Choice* pick = model_->singlePick();
    ASSERT_TRUE(pick);
    EXPECT_EQ(lastPlaintext(), pick->districtCode() + "." + pick->number() + '\x1f' + pick->list().name() + '\x1f' +
                                   pick->name());
    model_ = std::make_unique<AppModel>();
    ASSERT_FALSE(model_->initialise());
  }
}

// The demo voter's SoftHSM2 card made by make-election: identification by TLS client
// authentication with the card's key, then a vote signed on the card with PIN2.
TEST_F(DemoServiceApp, TheDemoCardVotesWithBothPins) {
  const std::string conf = electionDir() + "/card/softhsm2.conf";
  ASSERT_EQ(::setenv("SOFTHSM2_CONF", conf.c_str(), 1), 0);
  DemoCardPins pins;
  auto owned = std::make_unique<Pkcs11IdCard>(std::vector<std::string>{"/usr/lib/softhsm/libsofthsm2.so"});
  Pkcs11IdCard& card = *owned;
  card.setPinPrompt(&pins);
  ASSERT_FALSE(card.setIssuerCertificates(resourceTextList(ResourceId::RES_DATA_ISSUER_CERTS)));
  registerIdCard(std::move(owned));
  RpcClient& rpc = *RpcClient::instance();
  model_->setMethod(0);
  CardChoicesOperation choices(rpc, cursor_, card);
  ErrorPtr e = run(choices, *model_);
  ASSERT_FALSE(e) << e->errorClass() << "/" << e->detail() << " " << e->message();
  EXPECT_EQ(model_->voterCode(), "38001010008");
  ASSERT_TRUE(cursor_.ballot() && !cursor_.ballot()->lists().empty());
  model_->pick(*cursor_.ballot()->lists()[0]->choices()[0]);
  CardVoteOperation submit(rpc, card);
  e = run(submit, *model_);
  EXPECT_FALSE(e) << e->errorClass() << "/" << e->detail() << " " << e->message();
  EXPECT_FALSE(model_->verificationText().empty());
  const Choice* pick = model_->singlePick();
  ASSERT_TRUE(pick);
  EXPECT_EQ(lastPlaintext(), pick->identifier() + '\x1f' + pick->list().name() + '\x1f' + pick->name());
  registerIdCard(nullptr);
}

TEST_F(DemoServiceApp, ServiceRefusalsBecomeTheApplicationsErrors) {
  struct Case {
    const char* code;
    int method;
    ErrorClass errorClass;
    std::uint64_t detail;
  };
  const Case cases[] = {
      {"38001010016", 1, ErrorClass::Protocol, 1},  // MID_NOT_USER
      {"38001010024", 2, ErrorClass::Protocol, 1},  // SMARTID_CANCELED
      {"38001010059", 1, ErrorClass::Protocol, 1},  // OUTDATED_CHOICES
      {"38001010075", 1, ErrorClass::Verify, 12},   // time stamp over other data
      {"38001010083", 1, ErrorClass::Verify, 3},    // nonce signed over other data
      {"38001010091", 1, ErrorClass::Verify, 22},   // OCSP for another certificate
  };
  for (const auto& c : cases) {
    model_ = std::make_unique<AppModel>();
    ASSERT_FALSE(model_->initialise());
    ErrorPtr e = vote(c.method, c.code);
    ASSERT_TRUE(e) << c.code;
    EXPECT_EQ(e->errorClass(), static_cast<std::int32_t>(c.errorClass)) << c.code << " " << e->message();
    EXPECT_EQ(e->detail(), c.detail) << c.code;
    EXPECT_TRUE(model_->verificationText().empty()) << c.code;
  }
}

}  // namespace
}  // namespace sorvimend::demo::testing
