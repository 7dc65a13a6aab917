#pragma once
// The transport settings the protocol client is built from, taken from the bundle at assembly.

#include <cstdint>
#include <string>
#include <vector>

namespace sorvimend {

struct TransportConfig {
  std::vector<std::string> midCerts;
  std::vector<std::string> smartIdCerts;
  std::vector<std::string> choicesCerts;
  std::vector<std::string> votingCerts;
  std::string cipherList;
  std::int64_t maxMessageSize = 0;
  std::int64_t sslTimeout = 0;
  std::int64_t sslRetryTimeout = 0;
  std::vector<std::string> servers;
  std::string choicesSni;
  std::string votingSni;
  std::string midSni;
  std::string smartIdSni;
  std::string proxyVariable;
};

// Filled from the loaded bundle, field by field in the order above.
[[nodiscard]] TransportConfig transportConfigFromBundle();

}  // namespace sorvimend
