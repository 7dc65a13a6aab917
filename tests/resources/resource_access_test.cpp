#include "resources/resource_access.h"

#include <gtest/gtest.h>

#include "bundle_fixture.h"

namespace sorvimend {
namespace {

using testing::toJson;
using testing::validBundle;

class AccessTest : public testing::ResourcesTest {
 protected:
  void load(const rapidjson::Document& doc) {
    ErrorPtr error = loadBundleText(toJson(doc));
    ASSERT_FALSE(error) << error->message();
  }
};

TEST_F(AccessTest, ReadsEachType) {
  auto doc = validBundle();
  auto& a = doc.GetAllocator();
  doc["RES_APP"]["ELECTION_ID"].SetString("VALIMISED\0X", 11, a);
  doc["RES_APP"]["EVOTE_SERVER"].SetArray().PushBack("a.example", a).PushBack("b.example", a);
  doc["RES_APP"]["QUESTIONS"].SetObject().AddMember("Q2", "Teine", a).AddMember("Q1", "Esimene", a);
  doc["RES_APP"]["HAVE_MOBID"] = false;
  doc["RES_APP"]["HAVE_SMARTID"] = true;
  doc["RES_UI"]["FONT_SIZE"] = -14;
  doc["RES_UI"]["COLOR_TEXT"] = 0xFFFFFF00u;
  doc["RES_UI"]["COLOR_ERROR"] = 88;
  doc["RES_UI"]["BTN_FONT_SIZE"] = 12.9;
  doc["RES_UI"]["TEXT_FONT_SIZE"] = 1e12;
  doc["RES_DATA"]["IMG_IDCARD"] = "Qk0\nAAE=";
  doc["RES_DATA"]["MID_CERTS"].SetNull();
  load(doc);

  EXPECT_EQ(resourceText(ResourceId::RES_APP_ELECTION_ID), "VALIMISED");
  EXPECT_EQ(resourceTextList(ResourceId::RES_APP_EVOTE_SERVER), (std::vector<std::string>{"a.example", "b.example"}));
  EXPECT_EQ(resourceQuestions(ResourceId::RES_APP_QUESTIONS),
            (std::map<std::string, std::string>{{"Q1", "Esimene"}, {"Q2", "Teine"}}));
  EXPECT_FALSE(resourceBoolean(ResourceId::RES_APP_HAVE_MOBID));
  EXPECT_TRUE(resourceBoolean(ResourceId::RES_APP_HAVE_SMARTID));
  EXPECT_EQ(resourceInteger(ResourceId::RES_UI_FONT_SIZE), -14);
  EXPECT_EQ(resourceColour(ResourceId::RES_UI_COLOR_TEXT), 0xFFFFFF00u);
  EXPECT_EQ(resourceColour(ResourceId::RES_UI_COLOR_ERROR), 88u);
  EXPECT_EQ(resourceInteger(ResourceId::RES_UI_BTN_FONT_SIZE), 12);
  EXPECT_EQ(resourceInteger(ResourceId::RES_UI_TEXT_FONT_SIZE), 2147483647);
  EXPECT_EQ(resourceText(ResourceId::RES_DATA_IMG_IDCARD), std::string("BM\0\0", 4));
  EXPECT_TRUE(resourceTextList(ResourceId::RES_DATA_MID_CERTS).empty());
  EXPECT_TRUE(resourcePresent(ResourceId::RES_DATA_MID_CERTS));
  // The key reads as its decoded DER.
  EXPECT_EQ(resourceText(ResourceId::RES_DATA_PUBLIC_ENC_KEY).substr(0, 1), "\x30");
}

TEST_F(AccessTest, AccessorsOfOtherTypesReadEmpty) {
  load(validBundle());
  EXPECT_TRUE(resourceTextList(ResourceId::RES_UI_CAPTION).empty());
  EXPECT_TRUE(resourceQuestions(ResourceId::RES_APP_EVOTE_SERVER).empty());
  EXPECT_EQ(resourceText(ResourceId::RES_UI_FONT_SIZE), "");
  EXPECT_EQ(resourceInteger(ResourceId::RES_UI_CAPTION), 0);
  EXPECT_FALSE(resourceBoolean(ResourceId::RES_UI_FONT_SIZE));
  EXPECT_EQ(resourceText(ResourceId::None), "");
  EXPECT_FALSE(resourcePresent(ResourceId::None));
}

TEST_F(AccessTest, AbsentOptionalImagesReadEmpty) {
  auto doc = validBundle();
  doc["RES_DATA"].RemoveMember("IMG_IDCARD");
  doc["RES_DATA"].RemoveMember("IMG_MOBID");
  doc["RES_DATA"].RemoveMember("IMG_SMARTID");
  load(doc);
  for (ResourceId id : {ResourceId::RES_DATA_IMG_IDCARD, ResourceId::RES_DATA_IMG_MOBID, ResourceId::RES_DATA_IMG_SMARTID}) {
    EXPECT_FALSE(resourcePresent(id));
    EXPECT_EQ(resourceTextOrEmpty(id), "");
    EXPECT_EQ(resourceText(id), "");
  }
}

TEST_F(AccessTest, NothingLoadedReadsEmpty) {
  resetBundle();
  EXPECT_FALSE(resourcePresent(ResourceId::RES_UI_CAPTION));
  EXPECT_EQ(resourceText(ResourceId::RES_UI_CAPTION), "");
  EXPECT_EQ(resourceColour(ResourceId::RES_UI_COLOR_TEXT), 0u);
  EXPECT_TRUE(resourceTextList(ResourceId::RES_APP_EVOTE_SERVER).empty());
}

TEST(ReplaceAllTest, Cases) {
  const struct {
    std::string text;
    std::string placeholder;
    std::string replacement;
    std::string expected;
  } cases[] = {
      {"a%1%b%1%", "%1%", "x%1%y", "ax%1%ybx%1%y"},  // inserted text is not searched again
      {"%1%%1%", "%1%", "", ""},
      {"abc", "%1%", "x", "abc"},
      {"abc", "", "x", "abc"},
      {"", "%1%", "x", ""},
      {"%1%", "%1%", "%1%%1%", "%1%%1%"},
      {"aaaa", "aa", "b", "bb"},
      {"%1 %1% 1%", "%1%", "Z", "%1 Z 1%"},
  };
  for (const auto& c : cases) {
    std::string text = c.text;
    replaceAll(text, c.placeholder, c.replacement);
    EXPECT_EQ(text, c.expected) << c.text;
  }
}

TEST(FillMaskTest, FillsInAscendingOrder) {
  // A value for %1% that holds %2% is filled by the second pass; one for %2% holding %1% is not.
  EXPECT_EQ(fillMask("[%1%|%2%]", {"a%2%", "b%1%"}), "[ab%1%|b%1%]");
  EXPECT_EQ(fillMask("%2%%1%%2%", {"x", "y"}), "yxy");
  EXPECT_EQ(fillMask("%1%%3%", {"a", "b"}), "a%3%");
  EXPECT_EQ(fillMask("plain", {}), "plain");
  EXPECT_EQ(fillMask("%10%%1%", {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"}), "j" "a");
}

}  // namespace
}  // namespace sorvimend
