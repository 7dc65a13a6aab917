#pragma once
// The client's private key when it lives on the ID card: an OpenSSL key object whose public half
// comes from the card's certificate and whose signing operations are forwarded to the card.

#include <functional>
#include <string_view>

#include "net/transport_code.h"
#include "util/client_key.h"
#include "util/openssl_ptr.h"

namespace sorvimend {

// Finds the card at signing time (the card object may be replaced while the program runs).
using ClientKeyLookup = std::function<ClientKeySource*()>;

struct CardKey {
  TransportCode code = TransportCode::Done;  // 2..7 when the key could not be built
  EvpPkeyPtr key;
  bool rsa = false;
};

// Builds the key for the certificate. lookup must outlive the key: the hooks reach the card
// through it.
[[nodiscard]] CardKey makeCardKey(std::string_view certificateDer, const ClientKeyLookup* lookup);

}  // namespace sorvimend
