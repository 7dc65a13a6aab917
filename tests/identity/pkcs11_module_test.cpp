#include "util/pkcs11/pkcs11_module.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>

#include "card_fixture.h"

namespace sorvimend {
namespace {

using testing::CardTest;
using testing::kSoftHsm;

using Pkcs11ModuleTest = CardTest;

TEST_F(Pkcs11ModuleTest, LoadOutcomes) {
  const struct {
    const char* what;
    std::string path;
    const char* target;  // the real module behind the test module
    const char* mode;
    ModuleLoadStatus status;
    CK_RV rv;
  } cases[] = {
      {"missing file", "/nonexistent/module.so", nullptr, "", ModuleLoadStatus::OpenFailed, CKR_OK},
      {"no C_GetFunctionList", noFunctionListPath(), nullptr, "", ModuleLoadStatus::OpenFailed,
       CKR_OK},
      {"C_GetFunctionList fails", fakeModulePath(), "/nonexistent/target.so", "",
       ModuleLoadStatus::CallFailed, CKR_GENERAL_ERROR},
      {"function list with a hole", fakeModulePath(), nullptr, "holes",
       ModuleLoadStatus::CallFailed, CKR_GENERAL_ERROR},
      {"SoftHSM2", kSoftHsm, nullptr, "", ModuleLoadStatus::Loaded, CKR_OK},
  };
  for (const auto& c : cases) {
    if (c.target != nullptr) setenv("SV_FAKE_P11_TARGET", c.target, 1);
    setenv("SV_FAKE_P11_MODE", c.mode, 1);
    ModuleLoadResult result = Pkcs11Module::load(c.path, true);
    EXPECT_EQ(result.status, c.status) << c.what;
    EXPECT_EQ(result.rv, c.rv) << c.what;
    EXPECT_EQ(result.module != nullptr, c.status == ModuleLoadStatus::Loaded) << c.what;
    setenv("SV_FAKE_P11_TARGET", kSoftHsm.c_str(), 1);
  }
}

TEST_F(Pkcs11ModuleTest, GuardInterruptsAnInitializeThatNeverReturns) {
  setenv("SV_FAKE_P11_MODE", "hang", 1);
  const auto start = std::chrono::steady_clock::now();
  ModuleLoadResult result = Pkcs11Module::load(fakeModulePath(), true, 1);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(result.status, ModuleLoadStatus::InitializeTimedOut);
  EXPECT_FALSE(result.module);
  EXPECT_GE(took, std::chrono::milliseconds(900));
  // The alarm is disarmed and a stray one is ignored: this process must survive it.
  EXPECT_EQ(alarm(0), 0u);
  raise(SIGALRM);

  // The module works again once the other program lets go.
  setenv("SV_FAKE_P11_MODE", "", 1);
  result = Pkcs11Module::load(fakeModulePath(), true, 1);
  EXPECT_EQ(result.status, ModuleLoadStatus::Loaded);
}

TEST_F(Pkcs11ModuleTest, CardArmsTheGuardUnlessLockDetectionIsOff) {
  const struct {
    const char* noLockDetection;  // null: unset
    long alarmSeen;
  } cases[] = {{nullptr, static_cast<long>(Pkcs11Module::kInitializeGuardSeconds)}, {"", 0}, {"1", 0}};
  for (const auto& c : cases) {
    if (c.noLockDetection != nullptr) {
      setenv("EVOTE_NO_LOCK_DETECTION", c.noLockDetection, 1);
    } else {
      unsetenv("EVOTE_NO_LOCK_DETECTION");
    }
    fake.reset();
    prompt.restart();
    prompt.script({{true, "1234"}});
    auto card = makeCard({fakeModulePath()});
    EXPECT_NE(card->authenticationToken(), nullptr);
    EXPECT_EQ(fake.alarmSecondsAtInitialize(), c.alarmSeen);
    EXPECT_EQ(alarm(0), 0u);
  }
}

}  // namespace
}  // namespace sorvimend
