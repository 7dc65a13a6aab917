// The start check: the election configuration first, then the clock against VALID_PERIOD.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "app/assembly.h"
#include "resources/resource_access.h"
#include "resources/resource_catalogue.h"

namespace sorvimend {
namespace {

std::string demoBundle() {
  const char* source = std::getenv("SV_SOURCE_DIR");
  std::ifstream in(std::string(source ? source : ".") + "/demo/bundle.json", std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The demo bundle with one RES_APP text replaced.
std::string withAppText(const char* key, const char* value) {
  rapidjson::Document document;
  document.Parse(demoBundle().c_str());
  document["RES_APP"][key].SetString(value, document.GetAllocator());
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
  document.Accept(writer);
  return buffer.GetString();
}

std::time_t localMidnight(int year, int month, int day) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_isdst = 0;
  return std::mktime(&tm);
}

class StartCheckTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { registerCatalogue(); }
  void TearDown() override {
    setResourceClock({});
    resetBundle();
  }
};

TEST_F(StartCheckTest, ClockAgainstThePeriod) {
  // The demo period runs from 2026-01-01 to 2027-12-31, the last day excluded.
  struct Case {
    const char* name;
    std::time_t now;
    bool fails;
  };
  const Case cases[] = {
      {"one second before the first midnight", localMidnight(2026, 1, 1) - 1, true},
      {"the first midnight", localMidnight(2026, 1, 1), false},
      {"inside", localMidnight(2026, 12, 11), false},
      {"just before the last day", localMidnight(2027, 12, 31) - 1, false},
      {"after midnight of the last day", localMidnight(2027, 12, 31) + 1, true},
  };
  ASSERT_EQ(loadBundleText(demoBundle()), nullptr);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::time_t now = c.now;
    setResourceClock([now] { return now; });
    AppModel model;
    ErrorPtr error = checkElectionAtStart(model);
    ASSERT_EQ(error != nullptr, c.fails);
    if (error) {
      EXPECT_EQ(error->errorClass(), static_cast<int>(ErrorClass::Environment));
      EXPECT_EQ(error->message(), resourceText(ResourceId::STR_ERR_VALID_PERIOD));
      EXPECT_EQ(error->detail(), 0u);
    }
  }
}

TEST_F(StartCheckTest, ConfigurationIsCheckedBeforeTheClock) {
  struct Case {
    const char* key;
    const char* value;
  };
  const Case cases[] = {{"ELECTION_ID", "DEMO2027"}, {"ELECTION_ID", "demo2026"}, {"DEFAULT_QUESTION_ID", "XX"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + "=" + c.value);
    resetBundle();
    ASSERT_EQ(loadBundleText(withAppText(c.key, c.value)), nullptr);
    setResourceClock([] { return localMidnight(2020, 1, 1); });  // outside as well
    AppModel model;
    ErrorPtr error = checkElectionAtStart(model);
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->errorClass(), static_cast<int>(ErrorClass::System));
    EXPECT_EQ(error->message(), resourceText(ResourceId::STR_ERR_ELEC_RES));
  }
}

}  // namespace
}  // namespace sorvimend
