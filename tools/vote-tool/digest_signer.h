#pragma once
// Signs a SHA-256 digest with a private key the way the ID card and the phone services hand
// signatures back: RSA PKCS #1 v1.5 over the DigestInfo, or ECDSA as raw r||s with each half the
// byte length of the curve order. For the test tools only.

#include <string>
#include <string_view>

#include "util/bytes.h"
#include "util/openssl_ptr.h"

namespace sorvimend {

// A private key from PEM text (PKCS#8 or traditional), null when unreadable.
[[nodiscard]] EvpPkeyPtr privateKeyFromPem(std::string_view pem);

// Empty on failure (also for keys that are neither RSA nor EC).
[[nodiscard]] Bytes signDigestRaw(EVP_PKEY* key, std::string_view digest);

}  // namespace sorvimend
