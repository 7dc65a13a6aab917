#pragma once
// What the ID-card tests share: the test PKI, SoftHSM2 cards made from it (make-tokens.sh), the
// demo bundle for the error messages, the test module that bends SoftHSM2, and a scripted PIN
// prompt. Each test binary keeps its cards in its own folder under the build folder.

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "identity/pin_prompt.h"
#include "identity/pkcs11_id_card.h"

namespace sorvimend::testing {

inline const std::string kSoftHsm = "/usr/lib/softhsm/libsofthsm2.so";

// Answers asks in order; an ask without a scripted answer cancels.
class ScriptedPinPrompt : public PinPrompt {
 public:
  struct Answer {
    bool ok;
    std::string pin;
  };
  void script(std::vector<Answer> answers) { answers_.assign(answers.begin(), answers.end()); }
  // A fresh prompt with nothing scripted or recorded.
  void restart() {
    answers_.clear();
    pin_.clear();
    pinpadAtBegin.clear();
    retries.clear();
    askedFor.clear();
    ends = 0;
    pinpad_ = false;
    open_ = false;
  }

  void begin(bool pinpad) override;
  void ask(const CertificateInfo& certificate, bool& ok, bool retry) override;
  void tick() override {}
  const unsigned char* pin() const override;
  std::size_t pinLength() const override;
  void end() override;

  std::vector<bool> pinpadAtBegin;
  std::vector<bool> retries;                 // one per ask
  std::vector<CertificateUsage> askedFor;    // one per ask
  int ends = 0;

 private:
  std::deque<Answer> answers_;
  PinBuffer pin_;
  bool pinpad_ = false;
  bool open_ = false;
};

// The test module's counters, read through the library the card also loads.
struct FakeModule {
  unsigned long (*loginCalls)() = nullptr;
  long (*alarmSecondsAtInitialize)() = nullptr;
  void (*reset)() = nullptr;
};

class CardTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;
  void TearDown() override;

  static std::string pkiPath(const std::string& name);  // e.g. "voter1-auth-rsa.der"
  static std::string readFile(const std::string& path);
  static std::string fakeModulePath();
  static std::string noFunctionListPath();
  // Points SoftHSM2 at one of the cards of make-tokens.sh suite.
  static void useCard(const std::string& card);
  // A card over these module paths, trusting the voters' CA, asking prompt.
  std::unique_ptr<Pkcs11IdCard> makeCard(std::vector<std::string> paths);

  static FakeModule fake;
  ScriptedPinPrompt prompt;

 private:
  static inline void* fakeHandle_ = nullptr;
};

}  // namespace sorvimend::testing
