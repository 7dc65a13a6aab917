#include "vote/ballot_resources.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "resources/resource_access.h"
#include "resources/resource_catalogue.h"
#include "tests/vote/test_files.h"
#include "util/base64.h"

namespace sorvimend {
namespace {

class BallotFromBundle : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* source = std::getenv("SV_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    registerCatalogue();
    ErrorPtr error = loadBundleText(testing::readFile(std::string(source) + "/demo/bundle.json"));
    ASSERT_FALSE(error) << error->message();
  }
  void TearDown() override { resetBundle(); }
};

TEST_F(BallotFromBundle, DemoElection) {
  std::unique_ptr<Ballot> ballot;
  ErrorPtr error =
      buildBallotFromResources("0002.1", base64EncodeLines(R"({"Erakond":{"0002.101":"Mari Maasikas"}})"), ballot);
  ASSERT_FALSE(error);
  ASSERT_TRUE(ballot);
  EXPECT_EQ(ballot->electionId(), resourceText(ResourceId::RES_APP_ELECTION_ID));
  EXPECT_EQ(ballot->questionId(), resourceText(ResourceId::RES_APP_DEFAULT_QUESTION_ID));
  EXPECT_FALSE(ballot->questionTitle().empty());
  EXPECT_EQ(ballot->districtName(), "Tartu linn");
  EXPECT_EQ(ballotName(*ballot), ballot->electionId() + "." + ballot->questionId() + ".ballot");
}

TEST_F(BallotFromBundle, FailureCarriesTheBundleMessage) {
  std::unique_ptr<Ballot> ballot;
  ErrorPtr error = buildBallotFromResources("0002.1", base64EncodeLines("[]"), ballot);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->errorClass(), static_cast<int>(ErrorClass::System));
  EXPECT_EQ(error->message(), resourceText(ResourceId::STR_ERR_ELEC_RES));
  EXPECT_FALSE(error->message().empty());
  EXPECT_EQ(error->detail(), 7U);
  EXPECT_FALSE(ballot);
}

}  // namespace
}  // namespace sorvimend
