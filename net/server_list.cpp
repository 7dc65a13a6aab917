#include "net/server_list.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <openssl/bio.h>

namespace sorvimend {

std::vector<Ipv4Address> resolveIpv4(const std::string& name) {
  std::vector<Ipv4Address> addresses;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  // One socket type, so that each address comes once and in the resolver's order.
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* result = nullptr;
  if (getaddrinfo(name.c_str(), nullptr, &hints, &result) != 0) return addresses;
  for (const addrinfo* entry = result; entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_family != AF_INET || entry->ai_addr == nullptr ||
        entry->ai_addrlen < static_cast<socklen_t>(sizeof(sockaddr_in))) {
      continue;
    }
    sockaddr_in in{};
    std::memcpy(&in, entry->ai_addr, sizeof(in));
    Ipv4Address address{};
    std::memcpy(address.data(), &in.sin_addr.s_addr, address.size());
    addresses.push_back(address);
  }
  freeaddrinfo(result);
  return addresses;
}

void shuffleServers(std::vector<ServerEndpoint>& servers, unsigned seed) {
  if (servers.empty()) return;
  std::srand(seed);
  for (std::size_t i = 1; i < servers.size(); ++i) {
    const std::size_t j = static_cast<std::size_t>(std::rand()) % (i + 1);
    if (j != i) std::swap(servers[i], servers[j]);
  }
}

std::vector<ServerEndpoint> concreteServerList(const std::vector<ServerEndpoint>& configured,
                                               const Ipv4Resolver& resolve, unsigned seed) {
  std::vector<ServerEndpoint> servers;
  if (BIO_sock_init() <= 0) return servers;
  for (const ServerEndpoint& entry : configured) {
    if (entry.host.find_first_not_of("0123456789.") == std::string::npos) {
      servers.push_back(entry);
      continue;
    }
    if (!resolve) continue;
    for (const Ipv4Address& a : resolve(entry.host)) {
      char text[16];
      std::snprintf(text, sizeof(text), "%u.%u.%u.%u", static_cast<unsigned>(a[0]), static_cast<unsigned>(a[1]),
                    static_cast<unsigned>(a[2]), static_cast<unsigned>(a[3]));
      servers.push_back(ServerEndpoint::fromText(text));
    }
  }
  shuffleServers(servers, seed);
  return servers;
}

}  // namespace sorvimend
