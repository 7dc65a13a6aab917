#pragma once
// The qualifying properties the service returns for an accepted vote: an OCSP response for the
// signer certificate, and the registration token, an RFC 3161 time-stamp token over the
// signature value element whose nonce is the DER X509_SIG {sha256WithRSAEncryption, the
// registration key's signature over that element}.

#include <optional>
#include <string>
#include <string_view>

#include "util/openssl_ptr.h"

namespace sorvimend::demo {

struct Signer {
  X509Ptr certificate;
  EvpPkeyPtr key;
};

// DER OCSPResponse saying "good" for the certificate, signed by the responder; empty on failure.
[[nodiscard]] std::string makeOcspResponse(X509* certificate, X509* issuer, const Signer& responder);

// The DER X509_SIG whose content is the registration key's signature over the data.
[[nodiscard]] std::string makeRegistrationNonce(std::string_view data, EVP_PKEY* registrationKey);

// DER PKCS #7 time-stamp token with the given nonce over SHA-256 of imprintData; empty on
// failure.
[[nodiscard]] std::string makeTimeStampToken(std::string_view imprintData, std::string_view nonceBytes,
                                             const Signer& tsa);

}  // namespace sorvimend::demo
