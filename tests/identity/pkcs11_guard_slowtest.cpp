// The real 15-second guard around C_Initialize, through the card: a module that never returns
// from C_Initialize is given up and the next module path is tried.
#include <gtest/gtest.h>

#include <chrono>

#include "card_fixture.h"

namespace sorvimend {
namespace {

using testing::CardTest;
using testing::kSoftHsm;

using Pkcs11GuardTest = CardTest;

TEST_F(Pkcs11GuardTest, BlockedModuleIsGivenUpAfterFifteenSeconds) {
  setenv("SV_FAKE_P11_MODE", "hang", 1);
  prompt.script({{true, "1234"}});
  auto card = makeCard({fakeModulePath(), kSoftHsm});
  const auto start = std::chrono::steady_clock::now();
  EXPECT_NE(card->authenticationToken(), nullptr);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, std::chrono::seconds(Pkcs11Module::kInitializeGuardSeconds));
  EXPECT_LT(took, std::chrono::seconds(Pkcs11Module::kInitializeGuardSeconds + 10));
  EXPECT_FALSE(card->hasPendingError());
}

}  // namespace
}  // namespace sorvimend
