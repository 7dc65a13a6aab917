#include "app/startup.h"

#include <gtest/gtest.h>

#include "resources/resource_access.h"
#include "resources/resource_validator.h"

namespace sorvimend {
namespace {

// A test program carries the region as the compiler left it (no bundle embedded): the start must
// fail with the parse message, and stopping must leave nothing behind.
TEST(StartupTest, UnembeddedRegionFailsAndStopEmptiesEverything) {
  ErrorPtr error = startResources();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->errorClass(), 2);
  EXPECT_EQ(error->message(), "Rakenduse tööks vajalikud ressursid on seadistamata (5).");
  EXPECT_NE(validatorRegistry().find(ResourceType::Text), nullptr);
  stopResources();
  EXPECT_EQ(validatorRegistry().find(ResourceType::Text), nullptr);
  EXPECT_FALSE(resourcePresent(ResourceId::RES_APP_ELECTION_ID));
}

}  // namespace
}  // namespace sorvimend
