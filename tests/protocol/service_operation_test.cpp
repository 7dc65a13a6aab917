#include "protocol/service_operation.h"

#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include "tests/protocol/protocol_fixture.h"
#include "util/base64.h"

namespace sorvimend {
namespace {

using protocol_test::FakeCard;
using protocol_test::ScriptedRpcClient;

class ServiceOperations : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { protocol_test::loadDemoBundle(); }
  static void TearDownTestSuite() { resetBundle(); }

  void SetUp() override {
    model_ = std::make_unique<AppModel>();
    rpc_ = std::make_unique<ScriptedRpcClient>();
  }

  static std::string text(ResourceId id) { return resourceText(id); }

  std::unique_ptr<AppModel> model_;
  std::unique_ptr<ScriptedRpcClient> rpc_;
  SingleQuestionCursor cursor_;
  FakeCard card_;
};

struct Expected {
  std::int32_t errorClass;
  std::string message;
  std::uint64_t detail;
};

void expectError(const ErrorPtr& error, const Expected& expected, const std::string& label) {
  ASSERT_TRUE(error) << label;
  EXPECT_EQ(error->errorClass(), expected.errorClass) << label;
  EXPECT_EQ(error->message(), expected.message) << label;
  EXPECT_EQ(error->detail(), expected.detail) << label;
}

// The error record of every failure an exchange can end in, for a ticket operation and a card one.
TEST_F(ServiceOperations, ErrorMapping) {
  const std::string mid = text(ResourceId::STR_ERR_HTTPS_NETWORK_MID);
  const std::string id = text(ResourceId::STR_ERR_HTTPS_NETWORK_ID);
  ASSERT_FALSE(mid.empty());
  ASSERT_NE(mid, id);
  const std::string votingEnd = text(ResourceId::RES_SERVER_VOTING_END);
  ASSERT_FALSE(votingEnd.empty());

  enum class Op { Choices, CardChoices, Authenticate };
  struct Case {
    const char* name;
    Op op;
    TransportCode code;
    std::string reply;
    Expected expected;
  };
  const Case cases[] = {
      {"connect failed", Op::Choices, TransportCode::ConnectFailed, "", {3, mid, 13}},
      {"all servers failed", Op::Choices, TransportCode::AllServersFailed, "", {3, mid, 22}},
      {"reply too long", Op::CardChoices, TransportCode::ReplyTooLong, "", {3, id, 19}},
      {"proxy refused", Op::Authenticate, TransportCode::ProxyRefused, "", {3, mid, 30}},
      {"empty reply", Op::Choices, TransportCode::Done, "", {4, "", 1}},
      {"two objects", Op::Choices, TransportCode::Done, "{}{}", {4, "", 1}},
      {"cut off", Op::CardChoices, TransportCode::Done, R"({"result":{"Sess)", {4, "", 1}},
      {"error an object", Op::Choices, TransportCode::Done, R"({"error":{"code":"X"}})", {4, "", 2}},
      {"error a number", Op::Authenticate, TransportCode::Done, R"({"error":5})", {4, "", 2}},
      {"member missing", Op::Choices, TransportCode::Done, R"({"result":{"Choices":"0001.1"}})", {4, "", 3}},
      {"unknown status", Op::Authenticate, TransportCode::Done, R"({"result":{"Status":"WAIT"}})", {4, "", 4}},
      {"catalogue error", Op::Choices, TransportCode::Done, R"({"error":"VOTING_END"})", {5, votingEnd, 1}},
      {"card catalogue error", Op::CardChoices, TransportCode::Done, R"({"error":"OUTDATED_CHOICES"})",
       {5, text(ResourceId::RES_SERVER_OUTDATED_CHOICES), 1}},
      {"unknown error word", Op::Choices, TransportCode::Done, R"({"error":"NOT_A_CODE"})", {5, "", 1}},
      {"error word in other case", Op::Choices, TransportCode::Done, R"({"error":"voting_end"})", {5, "", 1}},
      {"POLL where a start reply was due", Op::Authenticate, TransportCode::Done, R"({"result":{"Status":"POLL"}})",
       {5, "", 2}},
  };
  for (const auto& c : cases) {
    SetUp();
    model_->setMethod(1);
    std::unique_ptr<ServiceOperation> op;
    switch (c.op) {
      case Op::Choices: op = std::make_unique<ChoicesOperation>(*rpc_, cursor_); break;
      case Op::CardChoices: op = std::make_unique<CardChoicesOperation>(*rpc_, cursor_, card_); break;
      case Op::Authenticate: op = std::make_unique<AuthenticateOperation>(*rpc_); break;
    }
    ASSERT_FALSE(op->send(*model_)) << c.name;
    rpc_->answer(TransportCode::Pending);
    rpc_->answer(c.code, c.reply);
    bool done = true;
    bool final = true;
    EXPECT_FALSE(op->step(*model_, done, final)) << c.name;
    EXPECT_FALSE(done) << c.name << ": pending is not done";
    expectError(op->step(*model_, done, final), c.expected, c.name);
  }
}

TEST_F(ServiceOperations, RefusedRequestIsNetworkError) {
  model_->setMethod(0);  // no mobile session kind: the Mobile-ID requests refuse
  AuthenticateOperation authenticate(*rpc_);
  expectError(authenticate.send(*model_), {3, text(ResourceId::STR_ERR_HTTPS_NETWORK_MID), 31}, "authenticate");
  CertificateOperation certificate(*rpc_);
  expectError(certificate.send(*model_), {3, text(ResourceId::STR_ERR_HTTPS_NETWORK_MID), 31}, "certificate");
  EXPECT_EQ(rpc_->lastRequest(), "") << "nothing is sent";
}

TEST_F(ServiceOperations, PendingCardErrorWinsOverNetworkError) {
  CardChoicesOperation op(*rpc_, cursor_, card_);
  ASSERT_FALSE(op.send(*model_));
  card_.fail(39, 0xA0);  // the card failed while signing for the handshake
  rpc_->answer(TransportCode::HandshakeFailed);
  bool done = false;
  bool final = false;
  const ErrorPtr error = op.step(*model_, done, final);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->errorClass(), 7);
  EXPECT_EQ(error->detail(), 39u);
  EXPECT_EQ(error->extra(), 0xA0u);
  EXPECT_EQ(error->message(), text(ResourceId::STR_ERR_IDPROV_WRONG_PIN));
  EXPECT_FALSE(card_.hasPendingError());
}

TEST_F(ServiceOperations, CardFailureInSendStopsBeforeTheRequest) {
  card_.failAtCall = 0;
  card_.failCode = 6;
  CardChoicesOperation op(*rpc_, cursor_, card_);
  const ErrorPtr error = op.send(*model_);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->errorClass(), 7);
  EXPECT_EQ(error->detail(), 6u);
  EXPECT_EQ(rpc_->lastRequest(), "");
}

const char kChoicesDocument[] = R"({"Erakond A":{"0001.101":"Mari Maasikas","0001.102":"J\u00fcri Jaanus"}})";

TEST_F(ServiceOperations, CardChoicesStoresIdentityAndBallot) {
  CardChoicesOperation op(*rpc_, cursor_, card_);
  ASSERT_FALSE(op.send(*model_));
  EXPECT_EQ(rpc_->proxyLookups, 1);
  EXPECT_EQ(rpc_->lastRequest(), R"({"method":"RPC.VoterChoices","params":[{"OS":"","AuthMethod":"tls"}],"id":0})");
  EXPECT_EQ(rpc_->channel().sniName(), "choices.sorvimend.test");
  EXPECT_TRUE(rpc_->channel().useClientCertificate());
  rpc_->answer(R"({"result":{"SessionID":"S-1","Choices":"0001.1","Voted":true,"List":")" +
               base64EncodeLine(kChoicesDocument) + "\"}}");
  bool done = false;
  bool final = false;
  ASSERT_FALSE(op.step(*model_, done, final));
  EXPECT_TRUE(done);
  EXPECT_TRUE(final);
  EXPECT_EQ(rpc_->sessionId(), "S-1");
  EXPECT_EQ(model_->voterName(), "MARI-LIIS M\xC3\x84NNIK");
  EXPECT_EQ(model_->voterCode(), "38001010008");
  EXPECT_TRUE(model_->votedBefore());
  ASSERT_TRUE(cursor_.ballot());
  EXPECT_EQ(cursor_.ballot()->districtName(), "Tallinna Haabersti, P\xC3\xB5hja-Tallinna ja Kristiine");
  ASSERT_EQ(cursor_.ballot()->lists().size(), 1u);
  EXPECT_EQ(cursor_.ballot()->lists()[0]->choices().size(), 2u);
}

TEST_F(ServiceOperations, UnreadableChoicesListIsSystemError) {
  const std::pair<std::string, std::uint64_t> cases[] = {
      {"!!!", 6}, {base64EncodeLine("[1]"), 7}, {base64EncodeLine(R"({"L":{"x":"y"}})"), 8}};
  for (const auto& [list, code] : cases) {
    SingleQuestionCursor cursor;
    ChoicesOperation op(*rpc_, cursor);
    ASSERT_FALSE(op.send(*model_));
    rpc_->answer(R"({"result":{"Choices":"0001.1","List":")" + list + "\"}}");
    bool done = false;
    bool final = false;
    expectError(op.step(*model_, done, final), {1, text(ResourceId::STR_ERR_ELEC_RES), code}, list);
    EXPECT_FALSE(cursor.ballot());
    EXPECT_FALSE(model_->votedBefore());
  }
}

TEST_F(ServiceOperations, AuthenticationPollsUntilFinal) {
  model_->setMethod(1);
  model_->mobileSession().setPhoneNumber("+37255500008");
  model_->mobileSession().setPersonalCode("38001010008");
  rpc_->setOsDescription("Linux Debian 6.1.0");
  AuthenticateOperation op(*rpc_);
  ASSERT_TRUE(op.polled());
  ASSERT_FALSE(op.send(*model_));
  EXPECT_EQ(rpc_->lastRequest(),
            R"({"method":"RPC.Authenticate","params":[{"OS":"Linux Debian 6.1.0","phoneno":"+37255500008",)"
            R"("idcode":"38001010008"}],"id":0})");
  EXPECT_EQ(rpc_->channel().sniName(), "mid.sorvimend.test");
  EXPECT_FALSE(rpc_->channel().useClientCertificate());

  rpc_->answer(R"({"result":{"SessionID":"SID-7","SessionCode":"code-1","Challenge":")" +
               base64EncodeLine(std::string("\xFF\x01\x02\xFF", 4)) + "\"}}");
  bool done = false;
  bool final = true;
  ASSERT_FALSE(op.step(*model_, done, final));
  EXPECT_TRUE(done);
  EXPECT_FALSE(final);
  EXPECT_EQ(rpc_->sessionId(), "SID-7");
  EXPECT_EQ(model_->mobileSession().verificationCode(SessionPurpose::Identification), "8191");

  ASSERT_FALSE(op.pollSend(*model_));
  EXPECT_EQ(rpc_->lastRequest(), R"({"method":"RPC.AuthenticateStatus","params":[{"OS":"Linux Debian 6.1.0",)"
                                 R"("SessionCode":"code-1","SessionID":"SID-7"}],"id":0})");
  rpc_->answer(R"({"result":{"Status":"POLL"}})");
  final = true;
  ASSERT_FALSE(op.pollStep(*model_, done, final));
  EXPECT_TRUE(done);
  EXPECT_FALSE(final);
  EXPECT_EQ(model_->voterName(), "");

  ASSERT_FALSE(op.pollSend(*model_));
  rpc_->answer(R"({"result":{"Status":"OK","GivenName":"MARI-LIIS","Surname":"M\u00c4NNIK",)"
               R"("PersonalCode":"38001010008","AuthToken":"tok-9"}})");
  ASSERT_FALSE(op.pollStep(*model_, done, final));
  EXPECT_TRUE(done);
  EXPECT_TRUE(final);
  EXPECT_EQ(model_->voterName(), "MARI-LIIS M\xC3\x84NNIK");
  EXPECT_EQ(model_->authToken(), "tok-9");
  EXPECT_EQ(op.reply().sessionId, "SID-7") << "the start reply's fields stay readable";

  // A service error while polling.
  ASSERT_FALSE(op.pollSend(*model_));
  rpc_->answer(R"({"error":"MID_CANCELED"})");
  expectError(op.pollStep(*model_, done, final), {5, text(ResourceId::RES_SERVER_MID_CANCELED), 1}, "cancelled");
}

TEST_F(ServiceOperations, StatusRequestsCarryTheCodeOfTheirPurpose) {
  model_->setMethod(2);
  auto& session = model_->mobileSession();
  session.setPersonalCode("38001010008");
  rpc_->setSessionId("S");
  ASSERT_EQ(rpc_->requestAuthenticate(session), RequestResult::Started);
  EXPECT_EQ(rpc_->lastRequest(),
            R"({"method":"RPC.Authenticate","params":[{"OS":"","Identifier":"38001010008"}],"id":0})");
  EXPECT_EQ(rpc_->channel().sniName(), "smartid.sorvimend.test");

  (void)session.start("auth", SessionPurpose::Identification, "AAAA");
  ASSERT_EQ(rpc_->requestStatus(session, SessionPurpose::Signing), RequestResult::Started);
  EXPECT_EQ(rpc_->lastRequest(),
            R"({"method":"RPC.SignStatus","params":[{"OS":"","SessionCode":"","SessionID":"S"}],"id":0})");
  session.setSessionCode("choice", SessionPurpose::CertificateChoice);
  ASSERT_EQ(rpc_->requestStatus(session, SessionPurpose::CertificateChoice), RequestResult::Started);
  EXPECT_EQ(rpc_->lastRequest(), R"({"method":"RPC.GetCertificateChoiceStatus","params":[{"OS":"",)"
                                 R"("SessionCode":"choice","SessionID":"S"}],"id":0})");
  session.setSessionCode("sign", SessionPurpose::Signing);
  ASSERT_EQ(rpc_->requestStatus(session, SessionPurpose::Signing), RequestResult::Started);
  EXPECT_EQ(rpc_->lastRequest(),
            R"({"method":"RPC.SignStatus","params":[{"OS":"","SessionCode":"sign","SessionID":"S"}],"id":0})");
  EXPECT_EQ(rpc_->requestStatus(session, SessionPurpose::None), RequestResult::Refused);
  EXPECT_EQ(rpc_->requestStatus(session, static_cast<SessionPurpose>(4)), RequestResult::Refused);
}

TEST_F(ServiceOperations, RequestMembersInOrder) {
  rpc_->setOsDescription("Linux 6.1");
  rpc_->setSessionId("S\"1\n");
  MobileSession mid;
  mid.setIdentificationMethod(1);
  mid.setPhoneNumber("+37255500008");
  MobileSession sid;
  sid.setIdentificationMethod(2);
  sid.setDataToken("dt");
  struct Case {
    std::function<RequestResult()> request;
    std::string expected;
    std::string sni;
  };
  const std::string os = R"({"OS":"Linux 6.1",)";
  const std::string session = R"("SessionID":"S\"1\n")";
  const Case cases[] = {
      {[&] { return rpc_->requestVoterChoices("tok"); },
       R"({"method":"RPC.VoterChoices","params":[)" + os + R"("AuthMethod":"ticket","AuthToken":"tok",)" + session +
           "}],\"id\":0}",
       "choices.sorvimend.test"},
      {[&] { return rpc_->requestCertificate(mid, "tok"); },
       R"({"method":"RPC.GetCertificate","params":[)" + os +
           R"("AuthMethod":"ticket","AuthToken":"tok","PhoneNo":"+37255500008",)" + session + "}],\"id\":0}",
       "mid.sorvimend.test"},
      {[&] { return rpc_->requestCertificate(sid, "tok"); },
       R"({"method":"RPC.GetCertificateChoice","params":[)" + os + R"("AuthMethod":"ticket","AuthToken":"tok",)" +
           session + "}],\"id\":0}",
       "smartid.sorvimend.test"},
      {[&] { return rpc_->requestSign(mid, "tok", "SHA256", "aGFzaA=="); },
       R"({"method":"RPC.Sign","params":[)" + os +
           R"("AuthMethod":"ticket","AuthToken":"tok","Hash":"aGFzaA==","HashType":"SHA256",)"
           R"("PhoneNo":"+37255500008",)" +
           session + "}],\"id\":0}",
       "mid.sorvimend.test"},
      {[&] { return rpc_->requestSign(sid, "tok", "SHA256", "aGFzaA=="); },
       R"({"method":"RPC.Sign","params":[)" + os +
           R"("AuthMethod":"ticket","AuthToken":"tok","Hash":"aGFzaA==","HashType":"SHA256","DataToken":"dt",)" +
           session + "}],\"id\":0}",
       "smartid.sorvimend.test"},
      {[&] { return rpc_->requestVote("tok", "0001.1", "bdoc", "UEs=\nAA=="); },
       R"({"method":"RPC.Vote","params":[)" + os +
           R"("AuthMethod":"ticket","AuthToken":"tok","Choices":"0001.1","Type":"bdoc","Vote":"UEs=\nAA==",)" +
           session + "}],\"id\":0}",
       "voting.sorvimend.test"},
      {[&] { return rpc_->requestCardVote("0001.1", "bdoc", "UEs="); },
       R"({"method":"RPC.Vote","params":[)" + os + R"("AuthMethod":"tls","Choices":"0001.1",)" + session +
           R"(,"Type":"bdoc","Vote":"UEs="}],"id":0})",
       "voting.sorvimend.test"},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(c.request(), RequestResult::Started) << c.expected;
    EXPECT_EQ(rpc_->lastRequest(), c.expected);
    EXPECT_EQ(rpc_->channel().sniName(), c.sni) << c.expected;
  }
}

TEST_F(ServiceOperations, CertificateReplyThatIsNoCertificateIsInternalError) {
  model_->setMethod(1);
  CertificateOperation op(*rpc_);
  ASSERT_FALSE(op.send(*model_));
  rpc_->answer(R"({"result":{"Certificate":"bm90IGEgY2VydGlmaWNhdGU="}})");
  bool done = false;
  bool final = false;
  expectError(op.step(*model_, done, final), {2, "", 2}, "certificate");
}

}  // namespace
}  // namespace sorvimend
