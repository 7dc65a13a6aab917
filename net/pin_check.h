#pragma once
// Certificate pinning: the whole verification of a server. The leaf is accepted when it is
// byte-identical to a pinned certificate, or when the first pinned certificate that issued it
// verifies its signature. Nothing else is checked (no validity period, no host name, no chain
// beyond one issuer): the pinned set is the trust decision.

#include <string>
#include <vector>

#include <openssl/x509.h>

namespace sorvimend {

[[nodiscard]] bool leafMatchesPins(X509* leaf, const std::vector<std::string>& pinnedPem);

// The TLS verification callback; arg points at the channel's TlsConfig, whose selected set is
// checked. Returns 1 to accept, 0 to reject.
int pinCheckCallback(X509_STORE_CTX* store, void* arg);

}  // namespace sorvimend
