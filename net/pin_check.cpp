#include "net/pin_check.h"

#include <openssl/x509_vfy.h>

#include "net/tls_config.h"
#include "util/cert_set.h"
#include "util/openssl_error.h"
#include "util/openssl_ptr.h"

namespace sorvimend {

bool leafMatchesPins(X509* leaf, const std::vector<std::string>& pinnedPem) {
  if (leaf == nullptr) return false;
  const std::string leafDer = certificateDer(leaf);
  if (leafDer.empty()) return false;
  // Decoded afresh each time: the sets are small and this keeps no state between handshakes.
  const std::vector<X509Ptr> pinned = certificatesFromPem(pinnedPem);
  for (const X509Ptr& certificate : pinned) {
    if (certificateDer(certificate.get()) == leafDer) return true;
  }
  for (const X509Ptr& certificate : pinned) {
    if (X509_check_issued(certificate.get(), leaf) != X509_V_OK) continue;
    EVP_PKEY* issuerKey = X509_get0_pubkey(certificate.get());
    const bool verified = issuerKey != nullptr && X509_verify(leaf, issuerKey) > 0;
    clearOpenSslErrors();
    return verified;
  }
  clearOpenSslErrors();
  return false;
}

int pinCheckCallback(X509_STORE_CTX* store, void* arg) {
  if (store == nullptr || arg == nullptr) return 0;
  auto* config = static_cast<TlsConfig*>(arg);
  const std::vector<std::string>* pinned = config->selectedSet();
  if (pinned != nullptr && leafMatchesPins(X509_STORE_CTX_get0_cert(store), *pinned)) {
    X509_STORE_CTX_set_error(store, X509_V_OK);
    return 1;
  }
  config->pinRejected = true;
  X509_STORE_CTX_set_error(store, X509_V_ERR_CERT_REJECTED);
  return 0;
}

}  // namespace sorvimend
