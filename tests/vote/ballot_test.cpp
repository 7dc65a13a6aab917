#include "vote/ballot.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "util/base64.h"

namespace sorvimend {
namespace {

TEST(DistrictName, Lookup) {
  struct Case {
    std::string id;
    std::string table;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"0001.01", "0001.01=Tallinn\n0002.02=Tartu\n", "Tallinn"},
      {"0002.02", "0001.01=Tallinn\n0002.02=Tartu", "Tartu"},  // last line without a line feed
      {"0001.01", "0001.01=\n", ""},                             // empty name
      {"0001.01", "0001.01 = Tallinn\n", ""},                    // spaces around "=" do not match
      {"0001.01", "0001.01 =Tallinn\n0001.01=Second\n", "Second"},
      {"0001.01", "0001.01=First\n0001.01=Second\n", "First"},  // the first match wins
      {"0001.01", "x\n\n0001.01=Keila=Vald\n", "Keila=Vald"},  // "=" inside the name
      {"0001.01", "0001.01=Tallinn\r\n", "Tallinn\r"},          // a carriage return is part of the name
      {"0001.01", "", ""},
      {"1.1", "0001.01=Tallinn\n", ""},  // compared byte for byte, not as numbers
      {"12345678901.1", "12345678901.1=Too long\n", ""},
      {"1234567890.1234567890", "1234567890.1234567890=Longest\n", "Longest"},
      {"0003.03", "0003.03=P\xC3\xA4rnu\n", "P\xC3\xA4rnu"},
      {"0004.04", "0004.04=Bad \xFF byte\n0004.04=Good\n", "Good"},  // invalid UTF-8 never matches
      {"0005.05", std::string("0005.05=a\0b\n", 12), std::string("a\0b", 3)},
  };
  for (const Case& c : cases) EXPECT_EQ(districtName(c.id, c.table), c.expected) << c.id << " in " << c.table;
}

Ballot emptyBallot() { return Ballot("E1", "Q1", "Title", "0482.1", "Tallinn"); }

TEST(ChoicesDocument, StatusCodes) {
  struct Case {
    std::string document;
    ChoicesStatus status;
  };
  const std::vector<Case> cases = {
      {"{}", ChoicesStatus::Ok},
      {"{\"A\":{}}", ChoicesStatus::Ok},
      {" {\"A\":{\"1234567890.12345678901\":\"x\"}} ", ChoicesStatus::Ok},
      {std::string("{}\0garbage", 10), ChoicesStatus::Ok},  // the text ends at its first zero byte
      {"", ChoicesStatus::NotJson},
      {"{", ChoicesStatus::NotJson},
      {"{} {}", ChoicesStatus::NotJson},
      {"{\"A\":{\"1.1\":\"x\",}}", ChoicesStatus::NotJson},
      {"{\"A\":{\"1.1\":\"\xFF\"}}", ChoicesStatus::NotJson},  // not UTF-8
      {std::string(100000, '[') + std::string(100000, ']'), ChoicesStatus::WrongShape},
      {"[]", ChoicesStatus::WrongShape},
      {"\"text\"", ChoicesStatus::WrongShape},
      {"{\"A\":[]}", ChoicesStatus::WrongShape},
      {"{\"A\":\"B\"}", ChoicesStatus::WrongShape},
      {"{\"A\":{\"1.1\":5}}", ChoicesStatus::WrongShape},  // a number where the name should be
      {"{\"A\":{\"1.1\":null}}", ChoicesStatus::WrongShape},
      {"{\"A\":{\"1.1\":{}}}", ChoicesStatus::WrongShape},
      {"{\"A\":{\"12345678901.1\":\"x\"}}", ChoicesStatus::BadIdentifier},  // 11 digits before the point
      {"{\"A\":{\"1.123456789012\":\"x\"}}", ChoicesStatus::BadIdentifier},
      {"{\"A\":{\"1\":\"x\"}}", ChoicesStatus::BadIdentifier},
      {"{\"A\":{\".1\":\"x\"}}", ChoicesStatus::BadIdentifier},
      {"{\"A\":{\"1.\":\"x\"}}", ChoicesStatus::BadIdentifier},
      {"{\"A\":{\" 1.1\":\"x\"}}", ChoicesStatus::BadIdentifier},
      {"{\"A\":{\"1.1\\u0000\":\"x\"}}", ChoicesStatus::BadIdentifier},
      {"{\"A\":{\"\xD9\xA1.1\":\"x\"}}", ChoicesStatus::BadIdentifier},  // Arabic-Indic digit one
      // The first failure decides.
      {"{\"A\":{\"x\":5}}", ChoicesStatus::WrongShape},
      {"{\"A\":{\"x\":\"y\"},\"B\":5}", ChoicesStatus::BadIdentifier},
  };
  for (const Case& c : cases) {
    Ballot ballot = emptyBallot();
    EXPECT_EQ(parseChoicesDocument(c.document, ballot), c.status) << c.document.substr(0, 60);
    if (c.status != ChoicesStatus::Ok) {
      EXPECT_TRUE(ballot.lists().empty()) << c.document.substr(0, 60);
    }
  }
}

TEST(ChoicesDocument, ListsAndChoicesInDocumentOrder) {
  Ballot ballot = emptyBallot();
  ASSERT_EQ(parseChoicesDocument(R"({"List A":{"0482.101":"Name One","0482.102":"Name Two"},)"
                                 R"("List B":{"0482.103":"Name Three"},"List A":{},"":{"7.0":"N\u00e4"}})",
                                 ballot),
            ChoicesStatus::Ok);
  ASSERT_EQ(ballot.lists().size(), 4U);
  const ChoiceList& a = *ballot.lists()[0];
  EXPECT_EQ(a.name(), "List A");
  EXPECT_EQ(&a.ballot(), &ballot);
  ASSERT_EQ(a.choices().size(), 2U);
  EXPECT_EQ(a.choices()[0]->districtCode(), "0482");
  EXPECT_EQ(a.choices()[0]->number(), "101");
  EXPECT_EQ(a.choices()[0]->name(), "Name One");
  EXPECT_EQ(a.choices()[1]->identifier(), "0482.102");
  EXPECT_EQ(&a.choices()[1]->list(), &a);
  EXPECT_EQ(ballot.lists()[1]->name(), "List B");
  EXPECT_EQ(ballot.lists()[2]->name(), "List A");  // a repeated name is another list
  EXPECT_TRUE(ballot.lists()[2]->choices().empty());
  EXPECT_EQ(ballot.lists()[3]->choices()[0]->name(), "N\xC3\xA4");

  EXPECT_EQ(votePlaintext(*a.choices()[1]), "0482.102\x1F" "List A\x1FName Two");
  EXPECT_EQ(votePlaintext(*ballot.lists()[3]->choices()[0]), "7.0\x1F\x1FN\xC3\xA4");  // empty list name
}

TEST(VotePlaintext, Bytes) {
  Ballot ballot = emptyBallot();
  struct Case {
    std::string list;
    std::string district;
    std::string number;
    std::string name;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"Erakond", "0482", "101", "Mari Maasikas", "0482.101\x1F" "Erakond\x1FMari Maasikas"},
      {"", "1", "2", "Nimi", "1.2\x1F\x1FNimi"},
      {"L", "1", "2", "", "1.2\x1FL\x1F"},
      {std::string("L\0M", 3), "1", "2", "N", std::string("1.2\x1FL\0M\x1FN", 9)},
  };
  for (const Case& c : cases) {
    ChoiceList& list = ballot.addList(c.list);
    const Choice& choice = list.addChoice(c.district, c.number, c.name);
    EXPECT_EQ(votePlaintext(choice), c.expected);
  }
}

TEST(BallotName, ElectionAndQuestion) {
  EXPECT_EQ(ballotName(Ballot("E1", "Q1", "", "", "")), "E1.Q1.ballot");
  EXPECT_EQ(ballotName(Ballot("DEMO2026", "", "", "", "")), "DEMO2026..ballot");
}

TEST(BuildBallot, FromServiceAnswer) {
  const BallotSource source{"E1", "Q1", {{"Q0", "Other"}, {"Q1", "Who?"}}, "0482.1=Tallinn\n0482.2=Tartu", "ELEC RES"};
  std::unique_ptr<Ballot> ballot;
  ErrorPtr error = buildBallot("0482.2", base64EncodeLines(R"({"L":{"0482.101":"N"}})"), source, ballot);
  ASSERT_FALSE(error);
  ASSERT_TRUE(ballot);
  EXPECT_EQ(ballot->electionId(), "E1");
  EXPECT_EQ(ballot->questionId(), "Q1");
  EXPECT_EQ(ballot->questionTitle(), "Who?");
  EXPECT_EQ(ballot->districtId(), "0482.2");
  EXPECT_EQ(ballot->districtName(), "Tartu");
  ASSERT_EQ(ballot->lists().size(), 1U);

  BallotSource unknown = source;
  unknown.questionId = "Q9";
  error = buildBallot("9.9", base64EncodeLine("{}"), unknown, ballot);
  ASSERT_FALSE(error);
  EXPECT_EQ(ballot->questionTitle(), "");
  EXPECT_EQ(ballot->districtName(), "");
  EXPECT_TRUE(ballot->lists().empty());
}

TEST(BuildBallot, FailuresCarryTheStatus) {
  const BallotSource source{"E1", "Q1", {}, "", "Valimise andmed on vigased"};
  const std::vector<std::pair<std::string, ChoicesStatus>> cases = {
      {"", ChoicesStatus::NotJson},  // List that decodes to an empty text
      {base64EncodeLine("{"), ChoicesStatus::NotJson},
      {base64EncodeLine("[1]"), ChoicesStatus::WrongShape},
      {base64EncodeLine(R"({"L":{"a":"b"}})"), ChoicesStatus::BadIdentifier},
  };
  for (const auto& [list, status] : cases) {
    std::unique_ptr<Ballot> ballot = std::make_unique<Ballot>("x", "y", "", "", "");
    ErrorPtr error = buildBallot("1.1", list, source, ballot);
    ASSERT_TRUE(error) << list;
    EXPECT_EQ(error->errorClass(), static_cast<int>(ErrorClass::System));
    EXPECT_EQ(error->message(), source.errorMessage);
    EXPECT_EQ(error->detail(), static_cast<std::uint64_t>(status));
    EXPECT_FALSE(ballot) << "no partial ballot survives";
  }
}

}  // namespace
}  // namespace sorvimend
