// Whole exchanges through a proxy tunnel: a scripted fake proxy for the odd answers, squid for
// real Basic and Digest authentication.
#include <gtest/gtest.h>

#include <memory>

#include "net/tls_channel.h"
#include "tests/net/channel_test_support.h"
#include "tests/net/proxy_test_support.h"
#include "tests/net/tls_test_server.h"

namespace sorvimend::test {
namespace {

const std::string k407Basic =
    "HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic realm=\"t\"\r\n\r\n";
const std::string k200 = "HTTP/1.1 200 Connection established\r\n\r\n";

std::unique_ptr<TlsTestServer> votingServer() {
  auto server = std::make_unique<TlsTestServer>(std::map<std::string, ServerIdentity>{
      {"", {pkiFile("server-voting.pem"), pkiFile("server-voting.key.pem")}}});
  server->setReply("{\"result\":\"through\"}");
  return server;
}

std::unique_ptr<TlsChannel> proxiedChannel(int serverPort, int proxyPort, const std::string& credentials) {
  auto channel = makeChannel({serverPort}, {readFile(pkiFile("root-ca.pem"))});
  const std::string user = credentials.empty() ? "" : credentials + "@";
  channel->setProxy(ServerEndpoint::fromText("http://" + user + "127.0.0.1:" + std::to_string(proxyPort)));
  return channel;
}

struct FakeCase {
  const char* name;
  std::vector<std::string> answers;
  AfterAnswers after;
  const char* credentials;
  TransportCode code;
  std::size_t requests;
  // Pause between steps: the program's 200 ms cadence lets a reset arrive before the next write.
  std::chrono::milliseconds pause{0};
};

TEST(ProxyChannelTest, FakeProxyAnswers) {
  const FakeCase cases[] = {
      {"tunnel opens", {k200}, AfterAnswers::Tunnel, "", TransportCode::Done, 1},
      {"HTTP/1.0 and a Content-Length body", {"HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n"}, AfterAnswers::Tunnel, "",
       TransportCode::Done, 1},
      {"407 with a body, then 200",
       {"HTTP/1.1 407 Auth\r\nProxy-Authenticate: Basic\r\nContent-Length: 4\r\n\r\nnope", k200},
       AfterAnswers::Tunnel, "joe:pw", TransportCode::Done, 2},
      {"reason phrase with a digit", {"HTTP/1.1 200 OK 2\r\n\r\n"}, AfterAnswers::Close, "", TransportCode::ProxyRefused,
       1},
      {"second 407", {k407Basic, k407Basic}, AfterAnswers::Close, "joe:pw", TransportCode::ProxyRefused, 2},
      {"basic challenge without credentials", {k407Basic}, AfterAnswers::Close, "", TransportCode::ProxyRefused, 1},
      {"407 then the connection is reset", {k407Basic}, AfterAnswers::Reset, "joe:pw",
       TransportCode::ProxyWriteFailed, 1, std::chrono::milliseconds(100)},
      {"closed before the answer is complete", {"HTTP/1.1 200 Connection"}, AfterAnswers::Close, "",
       TransportCode::ProxyClosed, 1},
  };
  for (const FakeCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto server = votingServer();
    FakeProxy proxy(c.answers, c.after);
    auto channel = proxiedChannel(server->port(), proxy.port(), c.credentials);
    const ExchangeResult result = runExchange(*channel, ServiceKind::VOTING, "{\"q\":1}", std::chrono::seconds(10),
                                              c.pause.count() > 0 ? c.pause : std::chrono::microseconds(200));
    EXPECT_EQ(result.code, c.code) << codeNumber(result.code);
    const auto requests = proxy.requests();
    ASSERT_EQ(requests.size(), c.requests);
    const std::string target = "127.0.0.1:" + std::to_string(server->port());
    EXPECT_EQ(requests[0].rfind("CONNECT " + target + " HTTP/1.1\r\nHost: " + target + "\r\n", 0), 0u);
    if (c.requests > 1) {
      EXPECT_NE(requests[1].find("\r\nProxy-Authorization: Basic am9lOnB3\r\n"), std::string::npos);
    }
    if (c.code == TransportCode::Done) {
      EXPECT_EQ(result.reply, "{\"result\":\"through\"}");
      EXPECT_EQ(server->requests(), std::vector<std::string>{"{\"q\":1}"});
    }
  }
}

TEST(ProxyChannelTest, RefusingProxyFailsOverLikeAnyServer) {
  auto server = votingServer();
  auto channel = proxiedChannel(server->port(), refusingPort(), "");
  EXPECT_EQ(runExchange(*channel, ServiceKind::VOTING, "q").code, TransportCode::AllServersFailed);
}

// One squid per configuration for the whole binary: it takes seconds to stop.
SquidProxy& squid(SquidAuth auth) {
  static std::unique_ptr<SquidProxy> basic;
  static std::unique_ptr<SquidProxy> digest;
  auto& slot = auth == SquidAuth::Basic ? basic : digest;
  if (!slot) {
    const char* build = std::getenv("SV_BUILD_DIR");
    const std::string dir = std::string(build ? build : ".") + (auth == SquidAuth::Basic ? "/squid-basic" : "/squid-digest");
    slot = std::make_unique<SquidProxy>(dir, auth, "voter", "s3cret pass");
  }
  return *slot;
}

struct SquidCase {
  const char* name;
  SquidAuth auth;
  const char* credentials;
  bool serverUp;
  TransportCode code;
};

TEST(SquidTest, ExchangesThroughSquid) {
  const SquidCase cases[] = {
      {"basic", SquidAuth::Basic, "voter:s3cret pass", true, TransportCode::Done},
      {"basic, wrong password", SquidAuth::Basic, "voter:wrong", true, TransportCode::ProxyRefused},
      {"basic, no user", SquidAuth::Basic, "", true, TransportCode::ProxyRefused},
      {"basic, target refuses", SquidAuth::Basic, "voter:s3cret pass", false, TransportCode::ProxyRefused},
      {"digest", SquidAuth::Digest, "voter:s3cret pass", true, TransportCode::Done},
      {"digest, wrong password", SquidAuth::Digest, "voter:wrong", true, TransportCode::ProxyRefused},
      {"digest, no user", SquidAuth::Digest, "", true, TransportCode::ProxyRefused},
  };
  for (const SquidCase& c : cases) {
    SCOPED_TRACE(c.name);
    SquidProxy& proxy = squid(c.auth);
    ASSERT_TRUE(proxy.running()) << proxy.failure();
    auto server = votingServer();
    const int serverPort = c.serverUp ? server->port() : refusingPort();
    auto channel = makeChannel({serverPort}, {readFile(pkiFile("root-ca.pem"))});
    ServerEndpoint proxyAddress = ServerEndpoint::fromText("127.0.0.1:" + std::to_string(proxy.port()));
    if (*c.credentials != '\0') {
      const std::string text(c.credentials);
      proxyAddress.user = text.substr(0, text.find(':'));
      proxyAddress.password = text.substr(text.find(':') + 1);
      proxyAddress.credentials = text;
    }
    channel->setProxy(proxyAddress);
    const ExchangeResult result = runExchange(*channel, ServiceKind::VOTING, "{\"q\":2}");
    EXPECT_EQ(result.code, c.code) << codeNumber(result.code);
    if (c.code == TransportCode::Done) {
      EXPECT_EQ(result.reply, "{\"result\":\"through\"}");
      EXPECT_EQ(server->requests(), std::vector<std::string>{"{\"q\":2}"});
    }
  }
}

}  // namespace
}  // namespace sorvimend::test
