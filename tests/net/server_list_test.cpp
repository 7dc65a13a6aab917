#include "net/server_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace sorvimend {
namespace {

std::vector<ServerEndpoint> endpoints(std::initializer_list<const char*> texts) {
  std::vector<ServerEndpoint> list;
  for (const char* t : texts) list.push_back(ServerEndpoint::fromText(t));
  return list;
}

std::vector<std::string> hostPorts(const std::vector<ServerEndpoint>& list) {
  std::vector<std::string> out;
  for (const auto& e : list) out.push_back(e.hostPort);
  std::sort(out.begin(), out.end());
  return out;
}

Ipv4Resolver fakeResolver(std::map<std::string, std::vector<Ipv4Address>> answers) {
  return [answers](const std::string& name) {
    const auto it = answers.find(name);
    return it == answers.end() ? std::vector<Ipv4Address>{} : it->second;
  };
}

TEST(ServerListTest, NamesResolveToPort443AndDottedAddressesKeepTheirPort) {
  const auto resolve = fakeResolver({{"voting.example", {{{10, 0, 0, 1}}, {{10, 0, 0, 2}}, {{192, 168, 255, 3}}}}});
  const auto configured = endpoints({"https://u:p@voting.example:8443", "10.9.9.9:7000", "nowhere.example", ""});
  const auto list = concreteServerList(configured, resolve, 1);
  ASSERT_EQ(list.size(), 5u);
  EXPECT_EQ(hostPorts(list), (std::vector<std::string>{"", "10.0.0.1:443", "10.0.0.2:443", "10.9.9.9:7000",
                                                       "192.168.255.3:443"}));
  std::size_t empty = 0;
  for (const auto& e : list) {
    if (!e.hasHost()) {
      ++empty;
      continue;
    }
    if (e.host == "10.9.9.9") {
      EXPECT_EQ(e.port, "7000");
    } else {
      EXPECT_EQ(e.port, "443");
      EXPECT_EQ(e.user, "");  // user information of the configured entry is not carried over
      EXPECT_EQ(e.scheme, "https");
    }
  }
  EXPECT_EQ(empty, 1u);  // an invalid entry stays, to fail at connect time
}

TEST(ServerListTest, UnresolvableAndEmptyConfigurationsGiveEmptyLists) {
  const auto resolve = fakeResolver({});
  EXPECT_TRUE(concreteServerList(endpoints({"nowhere.example"}), resolve, 1).empty());
  EXPECT_TRUE(concreteServerList({}, resolve, 1).empty());
}

TEST(ServerListTest, ShuffleDependsOnlyOnTheSeed) {
  const auto configured = endpoints({"10.0.0.1", "10.0.0.2", "10.0.0.3", "10.0.0.4", "10.0.0.5", "10.0.0.6"});
  auto a = configured;
  auto b = configured;
  shuffleServers(a, 1234);
  shuffleServers(b, 1234);
  EXPECT_EQ(a, b);
  EXPECT_EQ(hostPorts(a), hostPorts(configured));
  bool someSeedReorders = false;
  for (unsigned seed = 0; seed < 20 && !someSeedReorders; ++seed) {
    auto c = configured;
    shuffleServers(c, seed);
    someSeedReorders = c != configured;
  }
  EXPECT_TRUE(someSeedReorders);
}

TEST(ServerListTest, PlatformResolverAnswersLoopbackAndRefusesNonsense) {
  const auto local = resolveIpv4("localhost");
  ASSERT_FALSE(local.empty());
  EXPECT_EQ(local[0][0], 127);
  EXPECT_TRUE(resolveIpv4("no-such-host.invalid").empty());
}

}  // namespace
}  // namespace sorvimend
