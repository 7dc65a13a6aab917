#pragma once
// What the TLS channel needs of whoever holds the client's private key (the ID card): the
// certificate to present and signatures made with its key. The card behind it is in identity/.

#include "util/bytes.h"

namespace sorvimend {

class ClientKeySource {
 public:
  virtual ~ClientKeySource() = default;

  // DER of the authentication certificate; empty when the card cannot deliver it (the failure is
  // then pending with the card, for the caller of the exchange to take).
  [[nodiscard]] virtual Bytes authenticationCertificate() = 0;

  // Raw signature by the authentication key over data (an RSA DigestInfo or an EC digest); EC
  // signatures come as r‖s. Empty on failure (pending with the card).
  [[nodiscard]] virtual Bytes signWithAuthenticationKey(std::string_view data) = 0;
};

}  // namespace sorvimend
