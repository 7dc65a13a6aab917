#include "identity/id_card_error.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "resources/resource_access.h"
#include "resources/resource_catalogue.h"

namespace sorvimend {
namespace {

class IdCardErrorTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    registerCatalogue();
    const char* source = std::getenv("SV_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    std::ifstream in(std::string(source) + "/demo/bundle.json", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    ErrorPtr error = loadBundleText(text.str());
    ASSERT_FALSE(error) << error->message();
  }
  static void TearDownTestSuite() { resetBundle(); }
};

TEST_F(IdCardErrorTest, MessageChosenByCode) {
  const struct {
    std::uint64_t code;
    ResourceId message;
  } cases[] = {
      {1, ResourceId::STR_ERR_IDPROV_INIT},       {19, ResourceId::STR_ERR_IDPROV_INIT},
      {6, ResourceId::STR_ERR_IDPROV_CANCEL},     {36, ResourceId::STR_ERR_IDPROV_CANCEL},
      {7, ResourceId::STR_ERR_IDPROV_WRONG_PIN},  {39, ResourceId::STR_ERR_IDPROV_WRONG_PIN},
      {8, ResourceId::STR_ERR_IDPROV_BLOCKED},    {38, ResourceId::STR_ERR_IDPROV_BLOCKED},
      {12, ResourceId::STR_ERR_IDPROV_DLOPEN},    {13, ResourceId::STR_ERR_IDPROV_LOCKED},
      {0, ResourceId::None},  {2, ResourceId::None}, {14, ResourceId::None}, {37, ResourceId::None},
  };
  for (const auto& c : cases) {
    IdCardError error(c.code);
    EXPECT_EQ(error.errorClass(), 7);
    EXPECT_EQ(error.detail(), c.code);
    EXPECT_EQ(error.extra(), 0u);
    if (c.message == ResourceId::None) {
      EXPECT_EQ(error.message(), "") << c.code;
    } else {
      EXPECT_FALSE(error.message().empty()) << c.code;
      EXPECT_EQ(error.message(), resourceText(c.message)) << c.code;
    }
  }
}

TEST_F(IdCardErrorTest, CarriesThePkcs11ResultAsExtra) {
  enum class Code : std::uint32_t { WrongTwice = 7 };
  IdCardError error(Code::WrongTwice, 0xa0);
  EXPECT_EQ(error.detail(), 7u);
  EXPECT_EQ(error.extra(), 0xa0u);
  EXPECT_EQ(error.message(), resourceText(ResourceId::STR_ERR_IDPROV_WRONG_PIN));
  // Destroyed through the base, as its holders do.
  ErrorPtr owned = std::make_unique<IdCardError>(0, 0x30);
  EXPECT_EQ(owned->extra(), 0x30u);
}

}  // namespace
}  // namespace sorvimend
