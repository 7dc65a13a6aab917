#pragma once
// What the channel needs for its TLS connections: the pinned sets by service kind, the cipher
// list, the set of the current connection and, once loaded, the card's certificate and key.

#include <array>
#include <string>
#include <vector>

#include "net/service_kind.h"
#include "util/bytes.h"
#include "util/openssl_ptr.h"

namespace sorvimend {

struct TlsConfig {
  std::array<std::vector<std::string>, kServiceKindCount> pinnedSets;
  std::string cipherList;
  int selected = -1;  // index into pinnedSets for the current connection
  Bytes clientCertificateDer;
  EvpPkeyPtr clientKey;
  bool clientKeyIsRsa = false;
  // Set by the pin check when it refused a server; for diagnostics only.
  bool pinRejected = false;

  [[nodiscard]] const std::vector<std::string>* selectedSet() const {
    return selected >= 0 && selected < kServiceKindCount ? &pinnedSets[static_cast<std::size_t>(selected)] : nullptr;
  }
};

}  // namespace sorvimend
