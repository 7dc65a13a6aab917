#include "resources/resource_catalogue.h"

#include <gtest/gtest.h>

#include <map>

#include "bundle_fixture.h"

namespace sorvimend {
namespace {

class CatalogueTest : public testing::ResourcesTest {};

TEST_F(CatalogueTest, IdsRunFromOneTo180WithoutGaps) {
  const auto& entries = resourceCatalogue().entries();
  ASSERT_EQ(entries.size(), 180u);
  int expected = 1;
  for (const auto& [id, entry] : entries) {
    EXPECT_EQ(static_cast<int>(id), expected);
    EXPECT_EQ(entry.id, id);
    EXPECT_EQ(resourceCatalogue().idOfFullName(entry.fullName()), id) << entry.fullName();
    ++expected;
  }
}

TEST_F(CatalogueTest, GroupsHoldTheirRanges) {
  std::map<std::string, std::pair<int, int>> ranges;
  for (const auto& [id, entry] : resourceCatalogue().entries()) {
    auto [it, added] = ranges.emplace(entry.group, std::make_pair(static_cast<int>(id), static_cast<int>(id)));
    if (!added) it->second.second = static_cast<int>(id);
  }
  const std::map<std::string, std::pair<int, int>> expected = {
      {"RES_APP", {1, 8}},       {"RES_DATA", {9, 20}},   {"RES_UI", {21, 41}},     {"RES_VIEW", {42, 77}},
      {"RES_ROADMAP", {78, 83}}, {"RES_BTN", {84, 97}},   {"RES_ERROR", {98, 106}}, {"RES_DIA", {107, 129}},
      {"STR_ERR", {130, 143}},   {"RES_TECH", {144, 157}}, {"RES_SERVER", {158, 180}}};
  EXPECT_EQ(ranges, expected);
}

TEST_F(CatalogueTest, LookupByGroupAndKey) {
  const ResourceCatalogue& c = resourceCatalogue();
  const struct {
    const char* group;
    const char* key;
    int id;
  } cases[] = {
      {"RES_SERVER", "VOTING_END", 180}, {"RES_SERVER", "NO_SUCH", 0},       {"RES_UI", "FONT_NAME", 22},
      {"RES_ROADMAP", "FONT_NAME", 82},  {"RES", "APP_ELECTION_ID", 2},      {"RES_APP", "ELECTION_ID", 2},
      {"RES_APP", "VALID_PERIOD", 8},    {"STR_ERR", "VALID_PERIOD", 143},   {"RES_UI", "ELECTION_ID", 0},
      {"", "", 0},                       {"res_app", "election_id", 0},
  };
  for (const auto& k : cases) EXPECT_EQ(static_cast<int>(c.idOf(k.group, k.key)), k.id) << k.group << " " << k.key;
  EXPECT_EQ(c.serviceErrorMessageId("BAD_REQUEST"), ResourceId::RES_SERVER_BAD_REQUEST);
  EXPECT_EQ(c.serviceErrorMessageId("PROTOCOL_ERROR_GENERAL"), ResourceId::RES_SERVER_PROTOCOL_ERROR_GENERAL);
  EXPECT_EQ(c.serviceErrorMessageId("CAPTION"), ResourceId::None);
  EXPECT_EQ(c.serviceErrorMessageId(""), ResourceId::None);
}

TEST_F(CatalogueTest, EntriesCarryTypePlaceholdersAndOptionalFlag) {
  const ResourceCatalogue& c = resourceCatalogue();
  int optional = 0;
  for (const auto& [id, entry] : c.entries()) optional += entry.optional ? 1 : 0;
  EXPECT_EQ(optional, 3);
  EXPECT_TRUE(c.entry(ResourceId::RES_DATA_IMG_IDCARD)->optional);
  EXPECT_TRUE(c.entry(ResourceId::RES_DATA_IMG_SMARTID)->optional);
  EXPECT_EQ(c.entry(ResourceId::RES_ERROR_MASK)->placeholders, 3);
  EXPECT_EQ(c.entry(ResourceId::RES_VIEW_V6_MASK_REVIEW_PARTY)->placeholders, 4);
  EXPECT_EQ(c.entry(ResourceId::RES_VIEW_V8_TEXT_GOOD_END)->placeholders, 2);
  EXPECT_EQ(c.entry(ResourceId::RES_APP_VALID_PERIOD)->type, ResourceType::Period);
  EXPECT_EQ(c.entry(ResourceId::RES_APP_VOTE_DISTRICTS)->type, ResourceType::Json);
  EXPECT_EQ(c.entry(ResourceId::RES_DATA_PUBLIC_ENC_KEY)->type, ResourceType::Key);
  EXPECT_EQ(c.entry(ResourceId::RES_UI_COLOR_TEXT)->type, ResourceType::Colour);
  EXPECT_EQ(c.entry(ResourceId::RES_TECH_P11_LIBS_OSX)->type, ResourceType::TextList);
  EXPECT_EQ(c.entry(ResourceId::None), nullptr);
}

TEST(CatalogueRegistrationTest, RegisteringAgainReplaces) {
  ResourceCatalogue c;
  c.registerEntry({ResourceId::RES_APP_ELECTION_ID, "RES_APP", "ELECTION_ID", ResourceType::Text, 0, false});
  c.registerEntry({ResourceId::RES_APP_ELECTION_ID, "RES_APP", "OTHER", ResourceType::Integer, 0, false});
  EXPECT_EQ(c.idOf("RES_APP", "ELECTION_ID"), ResourceId::None);
  EXPECT_EQ(c.idOf("RES_APP", "OTHER"), ResourceId::RES_APP_ELECTION_ID);
  c.registerEntry({ResourceId::RES_APP_QUESTIONS, "RES_APP", "OTHER", ResourceType::Text, 0, false});
  EXPECT_EQ(c.idOf("RES_APP", "OTHER"), ResourceId::RES_APP_QUESTIONS);
  EXPECT_EQ(c.entry(ResourceId::RES_APP_ELECTION_ID), nullptr);
  EXPECT_EQ(c.entries().size(), 1u);
}

}  // namespace
}  // namespace sorvimend
