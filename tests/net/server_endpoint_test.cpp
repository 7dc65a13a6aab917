#include "net/server_endpoint.h"

#include <gtest/gtest.h>

namespace sorvimend {
namespace {

struct UrlCase {
  const char* text;
  const char* scheme;
  const char* user;
  const char* password;
  const char* credentials;
  const char* host;
  const char* port;
};

TEST(ServerEndpointTest, ValidTexts) {
  const UrlCase cases[] = {
      {"10.1.2.3", "https", "", "", "", "10.1.2.3", "443"},
      {"https://10.1.2.3:8443/path?q=1#f", "https", "", "", "", "10.1.2.3", "8443"},
      {"http://proxy.example:3128", "http", "", "", "", "proxy.example", "3128"},
      {"joe:secret@proxy.example:8080", "https", "joe", "secret", "joe:secret", "proxy.example", "8080"},
      {"http://joe:@proxy.example", "http", "joe", "", "joe:", "proxy.example", "443"},
      {"voting.example.ee?x#y", "https", "", "", "", "voting.example.ee", "443"},
      {"host:99999", "https", "", "", "", "host", "99999"},  // five digits pass, whatever the range
      {"a:b@c@host:12", "https", "a", "b@c", "a:b@c", "host", "12"},
      {"https://ÕUN.example", "https", "", "", "", "ÕUN.example", "443"},
  };
  for (const UrlCase& c : cases) {
    SCOPED_TRACE(c.text);
    const ServerEndpoint e = ServerEndpoint::fromText(c.text);
    EXPECT_EQ(e.url, c.text);
    EXPECT_EQ(e.scheme, c.scheme);
    EXPECT_EQ(e.user, c.user);
    EXPECT_EQ(e.password, c.password);
    EXPECT_EQ(e.credentials, c.credentials);
    EXPECT_EQ(e.host, c.host);
    EXPECT_EQ(e.port, c.port);
    EXPECT_EQ(e.hostPort, std::string(c.host) + ":" + c.port);
    EXPECT_TRUE(e.hasHost());
  }
}

TEST(ServerEndpointTest, InvalidTextsGiveEmptyRecord) {
  const char* cases[] = {
      "",           "10.1.2.3:4",     "10.1.2.3:123456", "[::1]:443",       "ftp://10.1.2.3",
      "HTTPS://x",  "https://",       "host:",           "host:80a",        "://host",
  };
  for (const char* text : cases) {
    SCOPED_TRACE(text);
    const ServerEndpoint e = ServerEndpoint::fromText(text);
    EXPECT_EQ(e, ServerEndpoint{});
    EXPECT_FALSE(e.hasHost());
  }
}

TEST(ServerEndpointTest, ParseReplacesPreviousContent) {
  ServerEndpoint e = ServerEndpoint::fromText("u:p@one:1234");
  e.parse("two");
  EXPECT_EQ(e.user, "");
  EXPECT_EQ(e.credentials, "");
  EXPECT_EQ(e.hostPort, "two:443");
  e.parse("ftp://three");
  EXPECT_EQ(e, ServerEndpoint{});
}

}  // namespace
}  // namespace sorvimend
