#include "net/tls_channel.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/net/channel_test_support.h"
#include "tests/net/software_card.h"
#include "tests/net/tls_test_server.h"

namespace sorvimend::test {
namespace {

ServerIdentity identity(const std::string& name) { return {pkiFile(name + ".pem"), pkiFile(name + ".key.pem")}; }

std::string pem(const std::string& name) { return readFile(pkiFile(name + ".pem")); }

struct PinCase {
  const char* name;
  ServerIdentity server;
  std::vector<std::string> pinned;
  bool accepted;
};

TEST(TlsChannelPinTest, PinMatrixOverLiveHandshakes) {
  const ServerIdentity intermediateChain{pkiFile("server-intermediate-chain.pem"),
                                         pkiFile("server-intermediate.key.pem")};
  const PinCase cases[] = {
      {"leaf signed directly by a pinned certificate", identity("server-voting"), {pem("root-ca")}, true},
      {"expired leaf identical to a pinned one", identity("server-expired"), {pem("server-expired")}, true},
      {"leaf under an unpinned intermediate, intermediate sent", intermediateChain, {pem("root-ca")}, false},
      {"leaf under the pinned intermediate", intermediateChain, {pem("intermediate-ca")}, true},
      {"pinned issuer after an unreadable entry", identity("server-voting"), {"not a certificate", pem("root-ca")},
       true},
      {"another server's certificate", identity("server-voting"), {pem("server-mid")}, false},
      {"nothing pinned", identity("server-voting"), {}, false},
      {"issuer name matches, key does not", identity("server-voting"), {pem("voter-ca"), pem("server-choices")},
       false},
  };
  for (const PinCase& c : cases) {
    SCOPED_TRACE(c.name);
    TlsTestServer server({{"", c.server}});
    server.setReply("{\"ok\":1}");
    auto channel = makeChannel({server.port()}, c.pinned);
    const ExchangeResult result = runExchange(*channel, ServiceKind::VOTING, "{}");
    if (c.accepted) {
      EXPECT_EQ(result.code, TransportCode::Done);
      EXPECT_EQ(result.reply, "{\"ok\":1}");
    } else {
      EXPECT_EQ(result.code, TransportCode::AllServersFailed);
      EXPECT_TRUE(channel->pinRejected());
      EXPECT_EQ(server.requests().size(), 0u);
    }
  }
}

TEST(TlsChannelPinTest, WrongCertificateFailsTheHandshakeAndTheNextServerIsTried) {
  TlsTestServer wrong({{"", identity("server-mid")}});
  TlsTestServer right({{"", identity("server-voting")}});
  right.setReply("yes");
  auto channel = makeChannel({wrong.port(), right.port()}, {pem("server-voting")});

  TransportCode code = TransportCode::Pending;
  for (int i = 0; i < 20000 && code == TransportCode::Pending; ++i) {
    code = channel->connect(ServiceKind::VOTING, channel->servers()[0], ServerEndpoint{});
  }
  EXPECT_EQ(code, TransportCode::HandshakeFailed);
  channel->close();

  const ExchangeResult result = runExchange(*channel, ServiceKind::VOTING, "q");
  EXPECT_EQ(result.code, TransportCode::Done);
  EXPECT_EQ(result.reply, "yes");
  ASSERT_NE(channel->stickyServer(), nullptr);
  EXPECT_EQ(channel->stickyServer()->hostPort, right.hostPort());
}

TEST(TlsChannelPinTest, ServerNameSelectsTheCertificateAndTheKindSelectsTheSet) {
  TlsTestServer server({{"", identity("server-voting")}, {"choices.sorvimend.test", identity("server-choices")}});
  server.setReply("r");
  auto channel = std::make_unique<TlsChannel>(TlsChannel::ConcreteServers{loopbackServers({server.port()})}, 1000);
  channel->configure({pem("server-mid")}, {pem("server-smartid")}, {pem("server-choices")}, {pem("server-voting")},
                     kCipherList);
  channel->setSniName("choices.sorvimend.test");
  EXPECT_EQ(runExchange(*channel, ServiceKind::CHOICES, "a").code, TransportCode::Done);
  channel->setSniName("voting.sorvimend.test");
  EXPECT_EQ(runExchange(*channel, ServiceKind::VOTING, "b").code, TransportCode::Done);
  // The sticky server now fails directly when the set does not match.
  channel->setSniName("choices.sorvimend.test");
  EXPECT_EQ(runExchange(*channel, ServiceKind::MID, "c").code, TransportCode::HandshakeFailed);
  // Names are recorded after a completed handshake; the third one failed at the pin check.
  EXPECT_EQ(server.serverNames(), (std::vector<std::string>{"choices.sorvimend.test", "voting.sorvimend.test"}));
  EXPECT_EQ(server.connections(), 3);
  EXPECT_EQ(server.requests(), (std::vector<std::string>{"a", "b"}));
}

TEST(TlsChannelFailoverTest, ThreeRefusingServersGivePendingUntilTheSixthFailure) {
  auto channel = makeChannel({refusingPort(), refusingPort(), refusingPort()}, {pem("root-ca")});
  channel->beginExchange(ServiceKind::VOTING, "q");
  std::vector<std::pair<std::size_t, bool>> moves;
  std::string reply;
  TransportCode code = TransportCode::Pending;
  for (int i = 0; i < 1000 && code == TransportCode::Pending; ++i) {
    const auto before = std::make_pair(channel->exchange()->serverIndex, channel->exchange()->retryPass);
    code = channel->step(reply);
    const auto after = std::make_pair(channel->exchange()->serverIndex, channel->exchange()->retryPass);
    if (after != before) moves.push_back(after);
  }
  EXPECT_EQ(code, TransportCode::AllServersFailed);
  const std::vector<std::pair<std::size_t, bool>> expected = {{1, false}, {2, false}, {0, true},
                                                              {1, true},  {2, true},  {3, true}};
  EXPECT_EQ(moves, expected);
  EXPECT_EQ(channel->stickyServer(), nullptr);
  // Stepping the failed exchange again stays a failure.
  EXPECT_EQ(channel->step(reply), TransportCode::AllServersFailed);
}

TEST(TlsChannelFailoverTest, SilentServerIsAbandonedAfterFiveStepsPerSecondOfBudget) {
  SilentListener silent;
  TlsTestServer good({{"", identity("server-voting")}});
  good.setReply("done");
  auto channel = makeChannel({silent.port(), good.port()}, {pem("root-ca")});
  channel->setTimeouts(1, 1);
  channel->beginExchange(ServiceKind::VOTING, "q");
  std::string reply;
  for (int i = 1; i <= 5; ++i) {
    EXPECT_EQ(channel->step(reply), TransportCode::Pending) << "step " << i;
    EXPECT_EQ(channel->exchange()->serverIndex, i < 5 ? 0u : 1u) << "step " << i;
  }
  // The good server has five steps too: pause between them as the program does, so that a
  // loaded machine still completes the handshake within them.
  const ExchangeResult result = stepUntilDone(*channel, std::chrono::seconds(10), std::chrono::milliseconds(60));
  EXPECT_EQ(result.code, TransportCode::Done);
  EXPECT_EQ(result.reply, "done");
}

TEST(TlsChannelFailoverTest, ZeroTimeoutNeverRunsOut) {
  SilentListener silent;
  auto channel = makeChannel({silent.port()}, {pem("root-ca")});
  channel->setTimeouts(0, 0);
  channel->beginExchange(ServiceKind::VOTING, "q");
  std::string reply;
  for (int i = 0; i < 50; ++i) ASSERT_EQ(channel->step(reply), TransportCode::Pending);
  EXPECT_EQ(channel->exchange()->serverIndex, 0u);
}

TEST(TlsChannelFailoverTest, StickyServerAfterFirstSuccess) {
  auto first = std::make_unique<TlsTestServer>(std::map<std::string, ServerIdentity>{{"", identity("server-voting")}});
  TlsTestServer second({{"", identity("server-voting")}});
  first->setReply("one");
  second.setReply("two");
  auto channel = makeChannel({first->port(), second.port()}, {pem("root-ca")});
  EXPECT_EQ(runExchange(*channel, ServiceKind::VOTING, "q").reply, "one");
  EXPECT_EQ(runExchange(*channel, ServiceKind::VOTING, "q").reply, "one");
  first->stop();
  const ExchangeResult result = runExchange(*channel, ServiceKind::VOTING, "q", std::chrono::seconds(3));
  EXPECT_TRUE(result.code == TransportCode::ConnectFailed || result.code == TransportCode::HandshakeFailed)
      << codeNumber(result.code);
  EXPECT_EQ(second.connections(), 0);
}

TEST(TlsChannelExchangeTest, CallsOutOfOrder) {
  TlsTestServer server({{"", identity("server-voting")}});
  server.setReply("r");
  auto channel = makeChannel({server.port()}, {pem("root-ca")});
  std::string reply;
  EXPECT_EQ(channel->step(reply), TransportCode::NoExchange);
  EXPECT_EQ(runExchange(*channel, ServiceKind::VOTING, "q").code, TransportCode::Done);
  EXPECT_EQ(channel->step(reply), TransportCode::AlreadyComplete);

  TlsChannel empty(TlsChannel::ConcreteServers{}, 100);
  empty.beginExchange(ServiceKind::VOTING, "q");
  EXPECT_EQ(empty.step(reply), TransportCode::NoServers);

  // Unresolvable names leave no servers at all.
  TlsChannel unresolved({ServerEndpoint::fromText("no-such-host.invalid")}, 100);
  EXPECT_TRUE(unresolved.servers().empty());
}

struct ReplyCase {
  const char* name;
  std::string reply;
  ServerBehaviour behaviour;
  std::uint64_t maxReply;
  TransportCode code;
};

TEST(TlsChannelExchangeTest, Replies) {
  const std::string big(300 * 1024 + 7, 'b');
  const ReplyCase cases[] = {
      {"exactly the limit", std::string(1000, 'x'), ServerBehaviour::Answer, 1000, TransportCode::Done},
      {"one byte over", std::string(1001, 'x'), ServerBehaviour::Answer, 1000, TransportCode::ReplyTooLong},
      {"far over, stopped early", big, ServerBehaviour::Answer, 1000, TransportCode::ReplyTooLong},
      {"empty reply", "", ServerBehaviour::CloseWithoutAnswer, 1000, TransportCode::Done},
      {"large reply in many reads", big, ServerBehaviour::Answer, 1 << 20, TransportCode::Done},
      {"close without a TLS alert", "{\"a\":1}", ServerBehaviour::AnswerAbruptly, 1000, TransportCode::Done},
      {"trickled reply", std::string(3000, 't'), ServerBehaviour::Trickle, 3000, TransportCode::Done},
  };
  for (const ReplyCase& c : cases) {
    SCOPED_TRACE(c.name);
    TlsTestServer server({{"", identity("server-voting")}});
    server.setReply(c.reply, c.behaviour);
    server.setTrickle(100, std::chrono::milliseconds(2));
    auto channel = makeChannel({server.port()}, {pem("root-ca")}, c.maxReply);
    const ExchangeResult result = runExchange(*channel, ServiceKind::VOTING, "{\"method\":\"x\"}");
    EXPECT_EQ(result.code, c.code);
    if (c.code == TransportCode::Done) {
      EXPECT_EQ(result.reply, c.reply);
    }
    EXPECT_EQ(server.requests(), std::vector<std::string>{"{\"method\":\"x\"}"});
  }
}

class TlsChannelClientCertificateTest : public ::testing::Test {
 protected:
  static std::string der(const std::string& name) { return readFile(pkiFile(name + ".der")); }
};

TEST_F(TlsChannelClientCertificateTest, CardSignsTheHandshake) {
  for (const char* name : {"voter1-auth-rsa", "voter1-auth-ec"}) {
    SCOPED_TRACE(name);
    SoftwareCard card(der(name), pkiFile(std::string(name) + ".key.pem"));
    TlsTestServer server({{"", identity("server-choices")}}, true);
    server.setReply("hello");
    auto channel = makeChannel({server.port()}, {pem("root-ca")});
    channel->requireClientCertificate([&card] { return &card; });
    EXPECT_TRUE(channel->useClientCertificate());
    const ExchangeResult result = runExchange(*channel, ServiceKind::CHOICES, "q");
    EXPECT_EQ(result.code, TransportCode::Done);
    EXPECT_EQ(server.lastClientCertificateDer(), der(name));
    EXPECT_EQ(card.signatures, 1);
    if (std::string(name).find("rsa") != std::string::npos) {
      // A DigestInfo for PKCS #1 v1.5 (SHA-256/384/512), never a pre-padded PSS block.
      EXPECT_TRUE(card.lastInputSize == 51 || card.lastInputSize == 67 || card.lastInputSize == 83)
          << card.lastInputSize;
    } else {
      EXPECT_TRUE(card.lastInputSize == 32 || card.lastInputSize == 48 || card.lastInputSize == 64)
          << card.lastInputSize;
    }
    // The key stays loaded: a second exchange asks the card only for a signature.
    EXPECT_EQ(runExchange(*channel, ServiceKind::CHOICES, "q").code, TransportCode::Done);
    EXPECT_EQ(card.signatures, 2);
  }
}

std::string ed25519CertificateDer() {
  const std::string dir = pkiDir() + "/net-ed25519";
  const std::string command = "mkdir -p '" + dir + "' && openssl req -x509 -newkey ed25519 -nodes -subj /CN=ed -days 1 -keyout '" +
                              dir + "/key.pem' -outform DER -out '" + dir + "/cert.der' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return {};
  return readFile(dir + "/cert.der");
}

struct CardFailureCase {
  const char* name;
  std::string certificate;
  bool failSigning;
  std::string suffix;
  TransportCode connectCode;
};

TEST_F(TlsChannelClientCertificateTest, CardFailures) {
  const std::string rsa = der("voter1-auth-rsa");
  const std::string ec = der("voter1-auth-ec");
  const CardFailureCase cases[] = {
      {"no certificate", "", false, "", TransportCode::ClientCertUndecodable},
      {"certificate bytes do not decode", "\x30\x03\x02\x01", false, "", TransportCode::ClientCertUndecodable},
      {"key neither RSA nor EC", ed25519CertificateDer(), false, "", TransportCode::ClientCertKeyType},
      {"RSA card cannot sign", rsa, true, "", TransportCode::HandshakeFailed},
      {"EC card cannot sign", ec, true, "", TransportCode::HandshakeFailed},
      {"RSA signature longer than the key", rsa, false, "xx", TransportCode::HandshakeFailed},
      {"EC signature of odd length", ec, false, "x", TransportCode::HandshakeFailed},
  };
  for (const CardFailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    SoftwareCard card(c.certificate, pkiFile(c.certificate == ec ? "voter1-auth-ec.key.pem" : "voter1-auth-rsa.key.pem"));
    card.failSigning = c.failSigning;
    card.signatureSuffix = c.suffix;
    TlsTestServer server({{"", identity("server-choices")}}, true);
    auto channel = makeChannel({server.port()}, {pem("root-ca")});
    channel->requireClientCertificate([&card] { return &card; });
    TransportCode code = TransportCode::Pending;
    for (int i = 0; i < 20000 && code == TransportCode::Pending; ++i) {
      code = channel->connect(ServiceKind::CHOICES, channel->servers()[0], ServerEndpoint{});
    }
    EXPECT_EQ(code, c.connectCode);
  }
}

TEST_F(TlsChannelClientCertificateTest, MissingCardGivesACertificateCode) {
  auto channel = makeChannel({refusingPort()}, {pem("root-ca")});
  channel->requireClientCertificate([] { return nullptr; });
  channel->beginExchange(ServiceKind::CHOICES, "q");
  std::string reply;
  EXPECT_EQ(channel->step(reply), TransportCode::ClientCertUndecodable);
}

}  // namespace
}  // namespace sorvimend::test
