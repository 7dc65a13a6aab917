#include "resources/resource_bundle.h"

#include <gtest/gtest.h>

#include "bundle_fixture.h"
#include "resources/resource_access.h"
#include "resources/scrambler.h"

namespace sorvimend {
namespace {

using testing::toJson;
using testing::validBundle;

const std::string kPrefix = "Rakenduse tööks vajalikud ressursid on seadistamata ";

class BundleLoadTest : public testing::ResourcesTest {
 protected:
  // The loader's message for json, or "" when it loaded; checks the record's class and detail.
  static std::string loadMessage(std::string_view json) {
    ErrorPtr error = loadBundleText(json);
    if (!error) return "";
    EXPECT_EQ(error->errorClass(), 2);
    EXPECT_EQ(error->detail(), 0u);
    EXPECT_EQ(error->extra(), 0u);
    EXPECT_FALSE(resourcePresent(ResourceId::RES_APP_ELECTION_ID)) << "a failed load leaves the document empty";
    return error->message();
  }
};

TEST_F(BundleLoadTest, ValidBundleLoads) {
  EXPECT_EQ(loadMessage(toJson(validBundle())), "");
  EXPECT_TRUE(resourcePresent(ResourceId::RES_APP_ELECTION_ID));
  EXPECT_EQ(resourceText(ResourceId::RES_APP_ELECTION_ID), "t");
  resetBundle();
  EXPECT_FALSE(resourcePresent(ResourceId::RES_APP_ELECTION_ID));
}

TEST_F(BundleLoadTest, EachFailureHasItsMessage) {
  auto withMember = [](const char* group, const char* key, rapidjson::Value value) {
    auto doc = validBundle();
    doc[group].AddMember(rapidjson::Value(key, doc.GetAllocator()), value, doc.GetAllocator());
    return toJson(doc);
  };
  auto without = [](const char* group, const char* key) {
    auto doc = validBundle();
    if (key == nullptr) {
      doc.RemoveMember(group);
    } else {
      doc[group].RemoveMember(key);
    }
    return toJson(doc);
  };
  auto groupAs = [](const char* group, rapidjson::Value value) {
    auto doc = validBundle();
    doc[group] = value;
    return toJson(doc);
  };
  const struct {
    const char* name;
    std::string json;
    std::string message;
  } cases[] = {
      {"empty text", "", kPrefix + "(5)."},
      {"not JSON", "RES_APP", kPrefix + "(5)."},
      {"incomplete root", toJson(validBundle()).substr(0, 100), kPrefix + "(5)."},
      {"root an array", "[]", kPrefix + "(1)."},
      {"root a string", "\"RES_APP\"", kPrefix + "(1)."},
      {"group an array", groupAs("RES_UI", rapidjson::Value(rapidjson::kArrayType)), kPrefix + "(1)."},
      {"group a string", groupAs("RES_APP", rapidjson::Value("x")), kPrefix + "(1)."},
      {"unknown group with member", "{\"RES_NONE\":{\"X\":1}}", "Tundmatu ressurss: RES_NONE_X"},
      {"key in the wrong group", withMember("RES_UI", "ELECTION_ID", rapidjson::Value("E")),
       "Tundmatu ressurss: RES_UI_ELECTION_ID"},
      {"invalid value", withMember("RES_UI", "FONT_SIZE", rapidjson::Value("12")),
       "Vigaste andmetega ressurss RES_UI_FONT_SIZE."},
      {"no root members", "{}", kPrefix + "(2) (RES_APP EVOTE_SERVER)."},
      {"group missing", without("RES_TECH", nullptr), kPrefix + "(2) (RES_TECH CHOICES_SNI)."},
      {"key missing", without("RES_SERVER", "VOTING_END"), kPrefix + "(3) (RES_SERVER VOTING_END)."},
      {"group empty", groupAs("RES_ERROR", rapidjson::Value(rapidjson::kObjectType)), kPrefix + "(3) (RES_ERROR MASK)."},
      {"optional image absent", without("RES_DATA", "IMG_MOBID"), ""},
      {"group of optional images missing", without("RES_DATA", nullptr), kPrefix + "(2) (RES_DATA PUBLIC_ENC_KEY)."},
  };
  for (const auto& c : cases) EXPECT_EQ(loadMessage(c.json), c.message) << c.name;
}

// The structure pass looks up members, not groups: an unknown group that holds nothing has no
// full name to reject, and the presence pass reports what is missing.
TEST_F(BundleLoadTest, UnknownGroupWithoutMembersPassesTheStructure) {
  EXPECT_EQ(loadMessage("{\"RES_NONE\":{}, \"RES_APP\":{}}"), kPrefix + "(3) (RES_APP EVOTE_SERVER).");
}

TEST_F(BundleLoadTest, FirstFailureInDocumentOrderWins) {
  auto doc = validBundle();
  auto& a = doc.GetAllocator();
  doc["RES_UI"].AddMember("NOPE", 1, a);
  doc["RES_APP"]["HAVE_MOBID"] = 1;  // RES_APP precedes RES_UI in the document
  EXPECT_EQ(loadMessage(toJson(doc)), "Vigaste andmetega ressurss RES_APP_HAVE_MOBID.");
}

TEST_F(BundleLoadTest, PaddingAfterTheRootIsIgnored) {
  const std::string json = toJson(validBundle());
  const std::string paddings[] = {"   \n", std::string(100, '\0'), std::string("\0garbage{", 9), "xyz]]", "{}"};
  for (const auto& padding : paddings) EXPECT_EQ(loadMessage(json + padding), "") << padding.size();
}

TEST_F(BundleLoadTest, ZeroByteEndsTheText) {
  const std::string json = toJson(validBundle());
  EXPECT_EQ(loadMessage(json.substr(0, 10) + std::string(1, '\0') + json.substr(10)), kPrefix + "(5).");
}

TEST_F(BundleLoadTest, SameKeyTwiceValidatesBothAndReadsTheFirst) {
  auto doc = validBundle();
  auto& a = doc.GetAllocator();
  doc["RES_APP"]["ELECTION_ID"] = "FIRST";
  doc["RES_APP"].AddMember("ELECTION_ID", "SECOND", a);
  EXPECT_EQ(loadMessage(toJson(doc)), "");
  EXPECT_EQ(resourceText(ResourceId::RES_APP_ELECTION_ID), "FIRST");

  doc["RES_UI"].AddMember("FONT_SIZE", "big", a);
  EXPECT_EQ(loadMessage(toJson(doc)), "Vigaste andmetega ressurss RES_UI_FONT_SIZE.");
}

TEST_F(BundleLoadTest, SameNameInTwoGroupsIsTwoResources) {
  auto doc = validBundle();
  doc["RES_UI"]["FONT_NAME"] = "Sans";
  doc["RES_ROADMAP"]["FONT_NAME"] = "Serif";
  ASSERT_EQ(loadMessage(toJson(doc)), "");
  EXPECT_EQ(resourceText(ResourceId::RES_UI_FONT_NAME), "Sans");
  EXPECT_EQ(resourceText(ResourceId::RES_ROADMAP_FONT_NAME), "Serif");
}

TEST_F(BundleLoadTest, DeepNestingDoesNotExhaustTheStack) {
  // A JSON-typed value accepts anything; a million levels must not crash the parser.
  auto doc = validBundle();
  std::string json = toJson(doc);
  const std::string deep = std::string(1000000, '[') + std::string(1000000, ']');
  const std::string marker = "\"VOTE_DISTRICTS\":\"{}\"";
  const auto at = json.find(marker);
  ASSERT_NE(at, std::string::npos);
  json.replace(at, marker.size(), "\"VOTE_DISTRICTS\":" + deep);
  EXPECT_EQ(loadMessage(json), "");
  EXPECT_EQ(resourceText(ResourceId::RES_APP_VOTE_DISTRICTS), "");
}

TEST_F(BundleLoadTest, ScrambledBundleLoads) {
  const std::string json = toJson(validBundle());
  std::string stored = scrambleBytes(json, ScrambleMode::Scramble);
  stored.append(1000, '\0');  // the rest of the region, as the tool pads it
  ErrorPtr error = loadScrambledBundle(stored);
  EXPECT_FALSE(error) << error->message();
  EXPECT_TRUE(resourcePresent(ResourceId::RES_SERVER_VOTING_END));
}

TEST_F(BundleLoadTest, EmptyRegionFailsToParse) {
  ErrorPtr error = loadScrambledBundle(std::string(4096, '\0'));
  ASSERT_TRUE(error);
  EXPECT_EQ(error->message(), kPrefix + "(5).");
}

}  // namespace
}  // namespace sorvimend
