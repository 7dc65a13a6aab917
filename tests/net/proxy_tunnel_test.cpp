#include "net/proxy_tunnel.h"

#include <gtest/gtest.h>

#include <vector>

#include "util/base64.h"
#include "util/regex.h"

namespace sorvimend {
namespace {

const ServerEndpoint kTarget = ServerEndpoint::fromText("10.1.2.3:443");

ProxyTunnel tunnelWith(const char* proxyText) {
  return ProxyTunnel(kTarget, ServerEndpoint::fromText(proxyText));
}

std::string request(const std::string& authorizationLine = {}) {
  return "CONNECT 10.1.2.3:443 HTTP/1.1\r\nHost: 10.1.2.3:443\r\nContent-Length: 0\r\n"
         "Proxy-Connection: Keep-Alive\r\nPragma: no-cache\r\n" +
         authorizationLine + "\r\n";
}

TEST(ProxyTunnelTest, FirstRequestIsComposedAtOnce) {
  ProxyTunnel tunnel = tunnelWith("joe:pw@proxy:3128");
  EXPECT_EQ(tunnel.state(), TunnelState::Sending);
  EXPECT_EQ(tunnel.outgoing(), request());
  EXPECT_EQ(tunnel.authScheme(), "");
}

struct AnswerCase {
  const char* name;
  std::vector<std::string> chunks;  // handed over one at a time
  const char* proxy;
  std::vector<TunnelState> statesAfterEachChunk;
};

const std::string k407Basic =
    "HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic realm=\"x\"\r\n\r\n";

TEST(ProxyTunnelTest, AnswerHandling) {
  using S = TunnelState;
  const AnswerCase cases[] = {
      {"squid 200", {"HTTP/1.1 200 Connection established\r\n\r\n"}, "proxy", {S::Open}},
      {"200 in pieces", {"HTTP/1.1 200 Conn", "ection established\r\n", "\r\n"}, "proxy",
       {S::Reading, S::Reading, S::Open}},
      {"content length counts the body",
       {"HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\n", "abcd", "e"}, "proxy", {S::Reading, S::Reading, S::Open}},
      {"body measured up to a zero byte", {std::string("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nab\0cd", 43)},
       "proxy", {S::Open}},
      {"huge content length never completes",
       {"HTTP/1.0 200 OK\r\nContent-Length: 99999999999999999999999999\r\n\r\nab"}, "proxy", {S::Reading}},
      {"reason with a digit", {"HTTP/1.1 200 OK 2\r\n\r\n"}, "proxy", {S::Refused}},
      {"reason with a hyphen", {"HTTP/1.1 200 Connection-established\r\n\r\n"}, "proxy", {S::Refused}},
      {"other status", {"HTTP/1.1 503 Service Unavailable\r\n\r\n"}, "proxy", {S::Refused}},
      {"HTTP/2", {"HTTP/2.0 200 OK\r\n\r\n"}, "proxy", {S::Refused}},
      {"basic without user", {k407Basic}, "proxy", {S::Refused}},
      {"basic with user", {k407Basic}, "joe:pw@proxy", {S::Sending}},
      {"second 407 refuses", {k407Basic, k407Basic}, "joe:pw@proxy", {S::Sending, S::Refused}},
      {"407 then 200", {k407Basic, "HTTP/1.1 200 Connection established\r\n\r\n"}, "joe:pw@proxy",
       {S::Sending, S::Open}},
      {"407 without challenge", {"HTTP/1.1 407 Auth\r\n\r\n"}, "joe:pw@proxy", {S::Refused}},
      {"header names keep their case", {"HTTP/1.1 407 Auth\r\nproxy-authenticate: Basic\r\n\r\n"}, "joe:pw@proxy",
       {S::Refused}},
      {"unknown scheme", {"HTTP/1.1 407 Auth\r\nProxy-Authenticate: NTLM\r\n\r\n"}, "joe:pw@proxy", {S::Refused}},
      {"407 with a body", {"HTTP/1.1 407 Auth\r\nProxy-Authenticate: Basic\r\nContent-Length: 3\r\n\r\nab", "c"},
       "joe:pw@proxy", {S::Reading, S::Sending}},
  };
  for (const AnswerCase& c : cases) {
    SCOPED_TRACE(c.name);
    ProxyTunnel tunnel = tunnelWith(c.proxy);
    ASSERT_EQ(c.chunks.size(), c.statesAfterEachChunk.size());
    for (std::size_t i = 0; i < c.chunks.size(); ++i) {
      tunnel.handleAnswer(c.chunks[i]);
      EXPECT_EQ(tunnel.state(), c.statesAfterEachChunk[i]) << "after chunk " << i;
    }
  }
}

TEST(ProxyTunnelTest, BasicAnswerRecomposesTheRequest) {
  ProxyTunnel tunnel = tunnelWith("joe:pw@proxy");
  tunnel.handleAnswer(k407Basic);
  ASSERT_EQ(tunnel.state(), TunnelState::Sending);
  EXPECT_EQ(tunnel.authScheme(), "Basic");
  EXPECT_EQ(tunnel.authorization(), "am9lOnB3");  // base64("joe:pw")
  EXPECT_EQ(tunnel.outgoing(), request("Proxy-Authorization: Basic am9lOnB3\r\n"));
  EXPECT_EQ(tunnel.answer(), "");
}

TEST(ProxyTunnelTest, EndlessAnswerIsRefused) {
  ProxyTunnel tunnel = tunnelWith("proxy");
  tunnel.handleAnswer("HTTP/1.1 200 OK\r\n");
  const std::string filler(1024, 'x');
  for (int i = 0; i < 40 && tunnel.state() == TunnelState::Reading; ++i) tunnel.handleAnswer(filler);
  EXPECT_EQ(tunnel.state(), TunnelState::Refused);
}

// Known answers: RFC 2617 section 3.5 (MD5, "Circle Of Life") and RFC 7616 section 3.9.1
// (MD5 and SHA-256, "Circle of Life").
TEST(DigestTest, KnownAnswers) {
  EXPECT_EQ(digestResponse(DigestHash::Md5, "Mufasa", "testrealm@host.com", "Circle Of Life",
                           "dcd98b7102dd2f0e8b11d0f600bfb0c093", "00000001", "0a4f113b", "GET", "/dir/index.html"),
            "6629fae49393a05397450978507c4ef1");
  const char* nonce = "7ypf/xlj9XXwfDPEoM4URrv/xwf94BcCAzFZH4GiTo0v";
  const char* cnonce = "f2/wE4q74E6zIJEtWaHKaf5wv/H5QzzpXusqGemxURZJ";
  EXPECT_EQ(digestResponse(DigestHash::Md5, "Mufasa", "http-auth@example.org", "Circle of Life", nonce, "00000001",
                           cnonce, "GET", "/dir/index.html"),
            "8ca523f5e9506fed4657c9700eebdbec");
  EXPECT_EQ(digestResponse(DigestHash::Sha256, "Mufasa", "http-auth@example.org", "Circle of Life", nonce,
                           "00000001", cnonce, "GET", "/dir/index.html"),
            "753927fa0e85d155564e2e272a28d1802ca10daf4496794697cf8db5856cb6c1");
}

TEST(DigestTest, ParameterScan) {
  const auto p = digestParameters(R"( Digest realm="Squid proxy", nonce="n1", qop="auth", stale=false)");
  ASSERT_TRUE(p);
  EXPECT_EQ(p->at("realm"), "Squid proxy");
  EXPECT_EQ(p->at("nonce"), "n1");
  EXPECT_EQ(p->at("qop"), "auth");
  EXPECT_EQ(p->count("stale"), 0u);  // unquoted values are not parameters

  const auto empty = digestParameters(R"( Digest realm="", nonce="n", realm="later")");
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->at("realm"), "later");  // a later key overwrites, an empty value still advances
  EXPECT_EQ(empty->at("nonce"), "n");
  ASSERT_TRUE(digestParameters(""));
  EXPECT_TRUE(digestParameters("")->empty());
}

struct DigestCase {
  const char* challenge;
  bool answered;
  DigestHash hash;
};

TEST(DigestTest, ChallengeAnswers) {
  const DigestCase cases[] = {
      {R"(Digest realm="r", nonce="abc", qop="auth", stale=false)", true, DigestHash::Md5},
      {R"(Digest realm="r", nonce="abc", qop="auth-int")", true, DigestHash::Md5},
      {R"(Digest realm="r", nonce="abc", qop="auth", algorithm="MD5-sess")", true, DigestHash::Md5},
      {R"(Digest realm="r", nonce="abc", qop="auth", algorithm="SHA256")", true, DigestHash::Sha256},
      {R"(Digest realm="r", nonce="abc", qop="auth", algorithm="SHA-256")", false, DigestHash::Md5},
      {R"(Digest realm="r", nonce="abc")", false, DigestHash::Md5},
      {R"(Digest realm="r", nonce="abc", qop="token")", false, DigestHash::Md5},
  };
  const Regex authorization(
      "username=\"joe\", realm=\"r\", nonce=\"abc\", uri=\"10\\.1\\.2\\.3:443\", cnonce=\"([0-9a-f]{16})\", "
      "nc=00000001, qop=auth, response=\"([0-9a-f]+)\"");
  for (const DigestCase& c : cases) {
    SCOPED_TRACE(c.challenge);
    ProxyTunnel tunnel = tunnelWith("joe:pw@proxy");
    tunnel.handleAnswer(std::string("HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: ") +
                        c.challenge + "\r\n\r\n");
    if (!c.answered) {
      EXPECT_EQ(tunnel.state(), TunnelState::Refused);
      continue;
    }
    ASSERT_EQ(tunnel.state(), TunnelState::Sending);
    EXPECT_EQ(tunnel.authScheme(), "Digest");
    std::vector<std::string> groups;
    ASSERT_TRUE(authorization.fullMatch(tunnel.authorization(), &groups)) << tunnel.authorization();
    EXPECT_EQ(groups[1], digestResponse(c.hash, "joe", "r", "pw", "abc", "00000001", groups[0], "CONNECT",
                                        "10.1.2.3:443"));
    EXPECT_EQ(tunnel.outgoing(), request("Proxy-Authorization: Digest " + tunnel.authorization() + "\r\n"));
  }
}

}  // namespace
}  // namespace sorvimend
