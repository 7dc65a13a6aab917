#include "app/error_text.h"

#include <gtest/gtest.h>

#include "bundle_fixture.h"
#include "resources/resource_access.h"

namespace sorvimend {
namespace {

class ErrorTextTest : public testing::ResourcesTest {
 protected:
  void SetUp() override {
    auto doc = testing::validBundle();
    auto& a = doc.GetAllocator();
    auto& errors = doc["RES_ERROR"];
    errors["MASK"] = "<h1>%1%</h1><p>%2%</p><p>%3%</p>";
    const char* names[][2] = {{"SYSTEM", "Süsteem"}, {"INTERNAL", "Sisemine %2%"}, {"NETWORK", "Võrk"},
                              {"SERVER", "Server"},  {"PROTOCOL", "Protokoll"},     {"VERIFY", "Kontroll"},
                              {"ID", "ID-kaart"},    {"ENVIRONMENT", "Keskkond"}};
    for (const auto& [key, text] : names) errors[key].SetString(text, a);
    ErrorPtr error = loadBundleText(testing::toJson(doc));
    ASSERT_FALSE(error) << error->message();
  }
};

TEST(TechnicalCodeTest, Forms) {
  const struct {
    std::int32_t errorClass;
    std::uint64_t detail;
    std::uint64_t extra;
    const char* code;
  } cases[] = {
      {3, 22, 0, "3-22"},
      {7, 7, 160, "7-7-0xa0"},
      {2, 0, 0, "2-0"},
      {7, 39, 0, "7-39"},
      {0, 5, 0, "0-5"},
      {9, 1, 0, "9-1"},
      {-1, 0, 0, "-1-0"},
      {5, 18446744073709551615u, 0xdeadbeefcafe0001u, "5-18446744073709551615-0xdeadbeefcafe0001"},
  };
  for (const auto& c : cases) {
    ErrorInfo error(c.errorClass, "msg", c.detail, c.extra);
    EXPECT_EQ(technicalErrorCode(error), std::string("Tehnilise vea kood: 0x") + c.code);
  }
}

TEST_F(ErrorTextTest, ClassNamesByNumber) {
  const struct {
    std::int32_t errorClass;
    const char* name;
  } cases[] = {{1, "Süsteem"}, {2, "Sisemine %2%"}, {3, "Võrk"},     {4, "Server"},       {5, "Protokoll"},
               {6, "Kontroll"}, {7, "ID-kaart"},    {8, "Keskkond"}, {0, "Sisemine %2%"}, {9, "Sisemine %2%"}};
  for (const auto& c : cases) EXPECT_EQ(resourceText(errorClassNameId(c.errorClass)), c.name) << c.errorClass;
}

TEST_F(ErrorTextTest, ViewText) {
  ErrorInfo network(ErrorClass::Network, "Ühendus katkes", 22);
  EXPECT_EQ(errorViewText(&network), "<h1>Võrk</h1><p>Ühendus katkes</p><p>Tehnilise vea kood: 0x3-22</p>");

  // The class name's %2% is filled by the second pass; the message's %1% stays.
  ErrorInfo internal(ErrorClass::Internal, "a %1% b");
  EXPECT_EQ(errorViewText(&internal),
            "<h1>Sisemine a %1% b</h1><p>a %1% b</p><p>Tehnilise vea kood: 0x2-0</p>");

  ErrorInfo unknown(9, "", 4, 0);
  EXPECT_EQ(errorViewText(&unknown), "<h1>Sisemine </h1><p></p><p>Tehnilise vea kood: 0x9-4</p>");

  EXPECT_EQ(errorViewText(nullptr), "<h1>Sisemine </h1><p></p><p></p>");
}

}  // namespace
}  // namespace sorvimend
