#include "protocol/service_reply.h"

#include <gtest/gtest.h>

#include "protocol/reply_document.h"

namespace sorvimend {
namespace {

TEST(ReplyDocument, AcceptsExactlyOneValue) {
  const std::pair<std::string, bool> cases[] = {
      {"{}", true},
      {"  \n{\"result\":{}}\r\n\t ", true},
      {"[1,2]", true},
      {"", false},
      {"   ", false},
      {"{}{}", false},
      {"{\"result\":{\"a\":", false},
      {"{} x", false},
      {std::string("{}\0garbage", 10), false},
      {std::string("{\"a\":\"x\0y\"}", 11), false},
      {"nul", false},
      {std::string(100000, '[') + std::string(100000, ']'), true},  // deep nesting stays off the stack
      {std::string(100000, '['), false},
  };
  for (const auto& [text, ok] : cases) {
    EXPECT_EQ(ReplyDocument::parse(text) != nullptr, ok) << text.substr(0, 40);
  }
}

TEST(ReplyDocument, ReadersCheckTypes) {
  auto doc = ReplyDocument::parse(
      R"({"error":null,"result":{"s":"text","b":true,"n":3,"o":{"i":"in","j":1},"Voted":false}})");
  ASSERT_TRUE(doc);
  EXPECT_FALSE(doc->hasError());
  std::string out = "kept";
  EXPECT_TRUE(doc->resultString("s", out));
  EXPECT_EQ(out, "text");
  out = "kept";
  EXPECT_FALSE(doc->resultString("n", out));
  EXPECT_FALSE(doc->resultString("missing", out));
  EXPECT_EQ(out, "kept");
  bool flag = false;
  EXPECT_TRUE(doc->resultBool("b", flag));
  EXPECT_TRUE(flag);
  EXPECT_FALSE(doc->resultBool("s", flag));
  EXPECT_TRUE(doc->resultHas("Voted"));
  EXPECT_FALSE(doc->resultHas("voted"));
  EXPECT_TRUE(doc->resultNestedString("o", "i", out));
  EXPECT_EQ(out, "in");
  EXPECT_FALSE(doc->resultNestedString("o", "j", out));
  EXPECT_FALSE(doc->resultNestedString("s", "i", out));

  auto notObject = ReplyDocument::parse(R"({"result":"s"})");
  ASSERT_TRUE(notObject);
  EXPECT_FALSE(notObject->resultHas("s"));
  auto rootArray = ReplyDocument::parse(R"([{"error":"X"}])");
  ASSERT_TRUE(rootArray);
  EXPECT_FALSE(rootArray->hasError());
}

// One table for every method's reader: the text, the parse code and the status it must give.
enum class Reader { Choices, CardChoices, Vote, Certificate, Authenticate, CertificateChoice, Sign };

ParseCode readWith(Reader reader, ServiceReply& reply, std::string_view text) {
  switch (reader) {
    case Reader::Choices: return readVoterChoicesReply(reply, text);
    case Reader::CardChoices:
      return readCardVoterChoicesReply(reply, text, [](ServiceReply& r) {
        r.voterName = "CARD HOLDER";
        r.personalCode = "38001010008";
      });
    case Reader::Vote: return readVoteReply(reply, text);
    case Reader::Certificate: return readCertificateReply(reply, text);
    case Reader::Authenticate: return readSessionReply(reply, text, SessionMethod::Authenticate);
    case Reader::CertificateChoice: return readSessionReply(reply, text, SessionMethod::CertificateChoice);
    case Reader::Sign: return readSessionReply(reply, text, SessionMethod::Sign);
  }
  return ParseCode::NotJson;
}

TEST(ServiceReply, CodesAndStatusForEveryMethod) {
  struct Case {
    Reader reader;
    std::string text;
    ParseCode code;
    ReplyStatus status;
  };
  const std::string vote = R"("SessionID":"s","VoteID":"v")";
  const Case cases[] = {
      // Errors are handled the same way by every reader.
      {Reader::Choices, "", ParseCode::NotJson, ReplyStatus::Accepted},
      {Reader::Vote, R"({"result":{}}{"result":{}})", ParseCode::NotJson, ReplyStatus::Accepted},
      {Reader::Sign, R"({"error":"VOTING_END"})", ParseCode::Read, ReplyStatus::ServiceError},
      {Reader::Authenticate, R"({"error":{"code":1}})", ParseCode::ErrorNotString, ReplyStatus::ServiceError},
      {Reader::Certificate, R"({"error":12})", ParseCode::ErrorNotString, ReplyStatus::ServiceError},
      {Reader::Certificate, R"({"error":null,"result":{"Certificate":"MII="}})", ParseCode::Read,
       ReplyStatus::Accepted},
      {Reader::Certificate, R"({"result":{"Certificate":5}})", ParseCode::MissingMember, ReplyStatus::Accepted},
      {Reader::Certificate, R"({"result":"Certificate"})", ParseCode::MissingMember, ReplyStatus::Accepted},
      // VoterChoices.
      {Reader::Choices, R"({"result":{"Choices":"D","List":"TA=="}})", ParseCode::Read, ReplyStatus::Accepted},
      {Reader::Choices, R"({"result":{"Choices":"D"}})", ParseCode::MissingMember, ReplyStatus::Accepted},
      {Reader::CardChoices, R"({"result":{"Choices":"D","List":"TA=="}})", ParseCode::MissingMember,
       ReplyStatus::Accepted},
      {Reader::CardChoices, R"({"result":{"SessionID":"s","Choices":"D","List":"TA=="}})", ParseCode::Read,
       ReplyStatus::Accepted},
      // Vote.
      {Reader::Vote, "{\"result\":{" + vote + R"(,"Qualification":{"ocsp":"o","tspreg":"t"}}})", ParseCode::Read,
       ReplyStatus::Accepted},
      {Reader::Vote, "{\"result\":{" + vote + R"(,"Qualification":{"ocsptm":"o","tspreg":"t"}}})",
       ParseCode::Read, ReplyStatus::Accepted},
      {Reader::Vote, "{\"result\":{" + vote + R"(,"Qualification":{"tspreg":"t"}}})", ParseCode::MissingMember,
       ReplyStatus::Accepted},
      {Reader::Vote, "{\"result\":{" + vote + R"(,"Qualification":{"ocsp":"o"}}})", ParseCode::MissingMember,
       ReplyStatus::Accepted},
      {Reader::Vote, R"({"result":{"SessionID":"s","Qualification":{"ocsp":"o","tspreg":"t"}}})",
       ParseCode::MissingMember, ReplyStatus::Accepted},
      // Polled methods.
      {Reader::Authenticate, R"({"result":{"SessionID":"s","SessionCode":"c","Challenge":"AAA="}})", ParseCode::Read,
       ReplyStatus::Accepted},
      {Reader::Authenticate, R"({"result":{"SessionID":"s","SessionCode":"c"}})", ParseCode::MissingMember,
       ReplyStatus::Accepted},
      {Reader::Sign, R"({"result":{"SessionID":"s","SessionCode":"c"}})", ParseCode::Read, ReplyStatus::Accepted},
      {Reader::CertificateChoice, R"({"result":{"SessionCode":"c"}})", ParseCode::MissingMember,
       ReplyStatus::Accepted},
      {Reader::Authenticate, R"({"result":{"Status":"POLL"}})", ParseCode::Read, ReplyStatus::PollAgain},
      {Reader::Sign, R"({"result":{"Status":"DONE"}})", ParseCode::UnknownStatus, ReplyStatus::Accepted},
      {Reader::Sign, R"({"result":{"Status":"ok","Signature":"x"}})", ParseCode::UnknownStatus,
       ReplyStatus::Accepted},
      {Reader::Authenticate, R"({"result":{"Status":"OK","GivenName":"A","Surname":"B","PersonalCode":"1"}})",
       ParseCode::MissingMember, ReplyStatus::Accepted},
      {Reader::Authenticate,
       R"({"result":{"Status":"OK","GivenName":"A","Surname":"B","PersonalCode":"1","AuthToken":"t"}})",
       ParseCode::Read, ReplyStatus::Accepted},
      {Reader::CertificateChoice, R"({"result":{"Status":"OK","Certificate":"c"}})", ParseCode::MissingMember,
       ReplyStatus::Accepted},
      {Reader::CertificateChoice, R"({"result":{"Status":"OK","Certificate":"c","DataToken":"d"}})",
       ParseCode::Read, ReplyStatus::Accepted},
      {Reader::Sign, R"({"result":{"Status":"OK"}})", ParseCode::MissingMember, ReplyStatus::Accepted},
      {Reader::Sign, R"({"result":{"Status":"OK","Signature":"sig"}})", ParseCode::Read, ReplyStatus::Accepted},
      // A Status that is not a string counts as absent: the reply is read as a start reply.
      {Reader::Sign, R"({"result":{"Status":1,"SessionID":"s","SessionCode":"c"}})", ParseCode::Read,
       ReplyStatus::Accepted},
  };
  for (const auto& c : cases) {
    ServiceReply reply;
    EXPECT_EQ(readWith(c.reader, reply, c.text), c.code) << c.text;
    EXPECT_EQ(reply.status, c.status) << c.text;
  }
}

TEST(ServiceReply, FieldsAreReadAndOthersLeftAlone) {
  ServiceReply reply;
  reply.sessionId = "from start";
  ASSERT_EQ(readSessionReply(reply,
                             R"({"result":{"Status":"OK","GivenName":"MARI-LIIS","Surname":"M\u00c4NNIK",)"
                             R"("PersonalCode":"38001010008","AuthToken":"tok"}})",
                             SessionMethod::Authenticate),
            ParseCode::Read);
  EXPECT_EQ(reply.voterName, "MARI-LIIS M\xC3\x84NNIK");
  EXPECT_EQ(reply.personalCode, "38001010008");
  EXPECT_EQ(reply.authToken, "tok");
  EXPECT_EQ(reply.sessionId, "from start");
  EXPECT_FALSE(reply.alreadyVoted);

  ServiceReply choices;
  ASSERT_EQ(readCardVoterChoicesReply(choices, R"({"result":{"SessionID":"S1","Choices":"0.1","List":"TA==",)"
                                               R"("Voted":false}})",
                                      [](ServiceReply& r) { r.voterName = "FROM CARD"; }),
            ParseCode::Read);
  EXPECT_EQ(choices.sessionId, "S1");
  EXPECT_EQ(choices.voterName, "FROM CARD");
  EXPECT_EQ(choices.districtId, "0.1");
  EXPECT_EQ(choices.choicesList, "TA==");
  EXPECT_TRUE(choices.alreadyVoted) << "only the presence of Voted counts";

  ServiceReply error;
  ASSERT_EQ(readVoteReply(error, R"({"error":"OUTDATED_CHOICES","result":{"VoteID":"v"}})"), ParseCode::Read);
  EXPECT_EQ(error.errorCode, "OUTDATED_CHOICES");
  EXPECT_TRUE(error.voteId.empty());
}

TEST(ServiceReply, VoteReadsOcspFirstAndTestVoteOnlyAsBoolean) {
  ServiceReply reply;
  reply.testVote = true;
  ASSERT_EQ(readVoteReply(reply, R"({"result":{"SessionID":"s","VoteID":"v","TestVote":"false",)"
                                 R"("Qualification":{"ocsp":"first","ocsptm":"second","tspreg":"reg"}}})"),
            ParseCode::Read);
  EXPECT_EQ(reply.ocspResponse, "first");
  EXPECT_EQ(reply.registration, "reg");
  EXPECT_TRUE(reply.testVote) << "a string TestVote leaves the flag as it was";

  ASSERT_EQ(readVoteReply(reply, R"({"result":{"SessionID":"s","VoteID":"v","TestVote":false,)"
                                 R"("Qualification":{"ocsp":7,"ocsptm":"second","tspreg":"reg"}}})"),
            ParseCode::Read);
  EXPECT_EQ(reply.ocspResponse, "second");
  EXPECT_FALSE(reply.testVote);
}

}  // namespace
}  // namespace sorvimend
