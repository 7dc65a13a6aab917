#include "card_fixture.h"

#include <dlfcn.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "resources/resource_access.h"
#include "resources/resource_catalogue.h"
#include "util/bytes.h"

namespace sorvimend::testing {

namespace {

std::string buildDir() { return std::getenv("SV_BUILD_DIR"); }
std::string sourceDir() { return std::getenv("SV_SOURCE_DIR"); }
std::string cardsDir() { return buildDir() + "/identity-cards/" SV_CARD_SET; }

}  // namespace

FakeModule CardTest::fake;

void ScriptedPinPrompt::begin(bool pinpad) {
  EXPECT_FALSE(open_) << "begin while a prompt is open";
  open_ = true;
  pinpad_ = pinpad;
  pinpadAtBegin.push_back(pinpad);
}

void ScriptedPinPrompt::ask(const CertificateInfo& certificate, bool& ok, bool retry) {
  EXPECT_TRUE(open_) << "ask without begin";
  retries.push_back(retry);
  askedFor.push_back(certificate.usage);
  ok = false;
  pin_.clear();
  if (answers_.empty()) return;
  ok = answers_.front().ok;
  pin_.assign(answers_.front().pin);
  answers_.pop_front();
}

const unsigned char* ScriptedPinPrompt::pin() const {
  return pinpad_ ? nullptr : pin_.data();
}

std::size_t ScriptedPinPrompt::pinLength() const { return pinpad_ ? 0 : pin_.size(); }

void ScriptedPinPrompt::end() {
  EXPECT_TRUE(open_) << "end without begin";
  open_ = false;
  ++ends;
  pin_.clear();
}

void CardTest::SetUpTestSuite() {
  const std::string pki = buildDir() + "/pki";
  std::string command = "bash '" + sourceDir() + "/tests/pki/make-pki.sh' '" + pki + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  command = "bash '" + sourceDir() + "/tests/identity/make-tokens.sh' suite '" + cardsDir() +
            "' '" + pki + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;

  registerCatalogue();
  ErrorPtr error = loadBundleText(readFile(sourceDir() + "/demo/bundle.json"));
  ASSERT_FALSE(error) << error->message();

  setenv("SV_FAKE_P11_TARGET", kSoftHsm.c_str(), 1);
  // Held for the whole suite, so the counters survive the card's unloading.
  fakeHandle_ = dlopen(fakeModulePath().c_str(), RTLD_NOW);
  ASSERT_NE(fakeHandle_, nullptr) << dlerror();
  fake.loginCalls = reinterpret_cast<unsigned long (*)()>(dlsym(fakeHandle_, "svFakeLoginCalls"));
  fake.alarmSecondsAtInitialize =
      reinterpret_cast<long (*)()>(dlsym(fakeHandle_, "svFakeAlarmSecondsAtInitialize"));
  fake.reset = reinterpret_cast<void (*)()>(dlsym(fakeHandle_, "svFakeReset"));
  ASSERT_TRUE(fake.loginCalls && fake.alarmSecondsAtInitialize && fake.reset);
}

void CardTest::TearDownTestSuite() {
  resetBundle();
  if (fakeHandle_ != nullptr) dlclose(fakeHandle_);
  fakeHandle_ = nullptr;
}

void CardTest::SetUp() {
  for (const char* name : {"EVOTE_PKCS11_LIB", "EVOTE_NO_SLOT_DETECTION",
                           "EVOTE_NO_LOCK_DETECTION", "SV_FAKE_P11_MODE", "SV_FAKE_P11_PINPAD_PIN"}) {
    unsetenv(name);
  }
  if (fake.reset != nullptr) fake.reset();
  useCard("rsa");
}

void CardTest::TearDown() {}

std::string CardTest::pkiPath(const std::string& name) { return buildDir() + "/pki/" + name; }

std::string CardTest::readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::string CardTest::fakeModulePath() { return SV_FAKE_PKCS11_MODULE; }
std::string CardTest::noFunctionListPath() { return SV_NO_FUNCTION_LIST_LIBRARY; }

void CardTest::useCard(const std::string& card) {
  setenv("SOFTHSM2_CONF", (cardsDir() + "/" + card + "/softhsm2.conf").c_str(), 1);
}

std::unique_ptr<Pkcs11IdCard> CardTest::makeCard(std::vector<std::string> paths) {
  auto card = std::make_unique<Pkcs11IdCard>(std::move(paths));
  ErrorPtr error = card->setIssuerCertificates({readFile(pkiPath("voter-ca.pem"))});
  EXPECT_FALSE(error);
  card->setPinPrompt(&prompt);
  return card;
}

}  // namespace sorvimend::testing
