#include "net/proxy_discovery.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace sorvimend {
namespace {

struct ListCase {
  const char* value;
  const char* hostPort;  // empty: no proxy
  const char* credentials;
};

TEST(ProxyListTest, Entries) {
  const ListCase cases[] = {
      {"proxy.example:3128", "proxy.example:3128", ""},
      {"http://joe:pw@proxy.example:8080", "proxy.example:8080", "joe:pw"},
      {"  10.0.0.1:3128  ", "10.0.0.1:3128", ""},
      {"http=one:1111;https=two:2222", "two:2222", ""},
      {"http=one:1111; https= two:2222 ;", "two:2222", ""},
      {"http=one:1111", "", ""},
      {"HTTPS=one:1111", "", ""},
      {"ftp=one:11;three:3333", "three:3333", ""},
      {"ftp://bad:11 four:4444", "four:4444", ""},
      {"https=ftp://bad:11;https=five:55", "five:55", ""},
      {"", "", ""},
      {";;; ==", "", ""},
      {"one:1", "", ""},
  };
  for (const ListCase& c : cases) {
    SCOPED_TRACE(c.value);
    const ServerEndpoint e = parseProxyList(c.value);
    EXPECT_EQ(e.hostPort, c.hostPort);
    EXPECT_EQ(e.credentials, c.credentials);
  }
}

TEST(ProxyListTest, AddressFromDialog) {
  EXPECT_FALSE(addressFromDialog({"", "3128", "joe", "pw"}).hasHost());
  const ServerEndpoint withUser = addressFromDialog({"proxy", "3128", "joe", "pw"});
  EXPECT_EQ(withUser.hostPort, "proxy:3128");
  EXPECT_EQ(withUser.credentials, "joe:pw");
  const ServerEndpoint withoutUser = addressFromDialog({"proxy", "8080", "", "ignored"});
  EXPECT_EQ(withoutUser.hostPort, "proxy:8080");
  EXPECT_EQ(withoutUser.credentials, "");
  EXPECT_FALSE(addressFromDialog({"proxy", "x", "", ""}).hasHost());
}

class ScriptedPrompt : public ProxyPrompt {
 public:
  ScriptedPrompt(ProxyPromptResult result, ProxyDialogFields edit) : result_(result), edit_(std::move(edit)) {}
  ProxyPromptResult askProxy(ProxyDialogFields& fields) override {
    ++calls;
    shown = fields;
    if (result_ == ProxyPromptResult::Confirmed) fields = edit_;
    return result_;
  }
  int calls = 0;
  ProxyDialogFields shown;

 private:
  ProxyPromptResult result_;
  ProxyDialogFields edit_;
};

class ProxyDiscoveryTest : public ::testing::Test {
 protected:
  void TearDown() override { unsetenv(kVariable); }
  static constexpr const char* kVariable = "SV_NET_TEST_PROXY";
};

TEST_F(ProxyDiscoveryTest, UnsetVariableShowsNoDialog) {
  unsetenv(kVariable);
  ScriptedPrompt prompt(ProxyPromptResult::Confirmed, {"x", "1", "", ""});
  EXPECT_FALSE(discoverProxy(kVariable, &prompt).hasHost());
  EXPECT_EQ(prompt.calls, 0);
}

TEST_F(ProxyDiscoveryTest, ListWithoutUsableEntryShowsNoDialog) {
  setenv(kVariable, "http=one:1111", 1);
  ScriptedPrompt prompt(ProxyPromptResult::Confirmed, {"x", "1", "", ""});
  EXPECT_FALSE(discoverProxy(kVariable, &prompt).hasHost());
  EXPECT_EQ(prompt.calls, 0);
}

TEST_F(ProxyDiscoveryTest, DialogShowsAllFourFieldsAndItsAnswerDecides) {
  setenv(kVariable, "http://joe:pw@proxy.example:3128", 1);
  {
    ScriptedPrompt prompt(ProxyPromptResult::Confirmed, {"other", "8080", "ann", "s3"});
    const ServerEndpoint e = discoverProxy(kVariable, &prompt);
    EXPECT_EQ(prompt.calls, 1);
    EXPECT_EQ(prompt.shown.host, "proxy.example");
    EXPECT_EQ(prompt.shown.port, "3128");
    EXPECT_EQ(prompt.shown.user, "joe");
    EXPECT_EQ(prompt.shown.password, "pw");
    EXPECT_EQ(e.hostPort, "other:8080");
    EXPECT_EQ(e.credentials, "ann:s3");
  }
  {
    ScriptedPrompt prompt(ProxyPromptResult::Cancelled, {});
    EXPECT_FALSE(discoverProxy(kVariable, &prompt).hasHost());
  }
  {
    ScriptedPrompt prompt(ProxyPromptResult::Closed, {});
    EXPECT_EQ(discoverProxy(kVariable, &prompt).hostPort, "proxy.example:3128");
  }
  {
    ScriptedPrompt prompt(ProxyPromptResult::Confirmed, {"", "3128", "", ""});
    EXPECT_FALSE(discoverProxy(kVariable, &prompt).hasHost());
  }
}

}  // namespace
}  // namespace sorvimend
