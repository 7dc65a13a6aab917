#pragma once
// Certificate sets as the bundle holds them: a list of PEM texts, one certificate each.

#include <string>
#include <vector>

#include "util/openssl_ptr.h"

namespace sorvimend {

// The certificates in list order; a text that holds no readable certificate is skipped.
[[nodiscard]] std::vector<X509Ptr> certificatesFromPem(const std::vector<std::string>& pemTexts);

// One PEM certificate, or null when the text holds none.
[[nodiscard]] X509Ptr certificateFromPem(const std::string& pemText);

// One DER certificate, or null.
[[nodiscard]] X509Ptr certificateFromDer(std::string_view der);

// A trust store in which every certificate of the set is a trust anchor (partial chains allowed,
// so a pinned intermediate or leaf anchors by itself).
[[nodiscard]] X509StorePtr trustStoreFromPem(const std::vector<std::string>& pemTexts);

// A new stack holding references to the given certificates.
[[nodiscard]] X509StackPtr certificateStack(const std::vector<X509Ptr>& certificates);

// DER encoding of a certificate (empty on failure).
[[nodiscard]] std::string certificateDer(const X509* certificate);

}  // namespace sorvimend
