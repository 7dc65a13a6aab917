#pragma once
// The concrete addresses the channel tries: configured names resolved to IPv4 once, at start-up,
// and the whole list put in an order that depends only on the seed (the start time in seconds).

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "net/server_endpoint.h"

namespace sorvimend {

using Ipv4Address = std::array<std::uint8_t, 4>;

// Resolves a host name to its IPv4 addresses in the resolver's order; empty when it cannot.
using Ipv4Resolver = std::function<std::vector<Ipv4Address>(const std::string& name)>;

// The platform resolver (IPv4 only). Blocks until it answers.
[[nodiscard]] std::vector<Ipv4Address> resolveIpv4(const std::string& name);

// A name (any character outside digits and ".") contributes one endpoint per resolved address,
// always with port 443 and no user information; a dotted or empty host is kept unchanged with its
// own port. The result is shuffled with shuffleServers(seed).
[[nodiscard]] std::vector<ServerEndpoint> concreteServerList(const std::vector<ServerEndpoint>& configured,
                                                             const Ipv4Resolver& resolve, unsigned seed);

// srand(seed), then for i = 1..n-1 exchange elements i and rand() % (i + 1).
void shuffleServers(std::vector<ServerEndpoint>& servers, unsigned seed);

}  // namespace sorvimend
