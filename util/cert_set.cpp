#include "util/cert_set.h"

#include <openssl/pem.h>

#include "util/bytes.h"
#include "util/openssl_error.h"

namespace sorvimend {

X509Ptr certificateFromPem(const std::string& pemText) {
  BioPtr bio(BIO_new_mem_buf(pemText.data(), static_cast<int>(pemText.size())));
  if (!bio) return nullptr;
  X509Ptr cert(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
  if (!cert) clearOpenSslErrors();
  return cert;
}

X509Ptr certificateFromDer(std::string_view der) {
  const unsigned char* p = asUnsigned(der);
  X509Ptr cert(d2i_X509(nullptr, &p, static_cast<long>(der.size())));
  if (!cert) clearOpenSslErrors();
  return cert;
}

std::vector<X509Ptr> certificatesFromPem(const std::vector<std::string>& pemTexts) {
  std::vector<X509Ptr> certificates;
  certificates.reserve(pemTexts.size());
  for (const auto& text : pemTexts) {
    if (auto cert = certificateFromPem(text)) certificates.push_back(std::move(cert));
  }
  return certificates;
}

X509StorePtr trustStoreFromPem(const std::vector<std::string>& pemTexts) {
  X509StorePtr store(X509_STORE_new());
  if (!store) return nullptr;
  for (const auto& cert : certificatesFromPem(pemTexts)) {
    X509_STORE_add_cert(store.get(), cert.get());  // takes its own reference
  }
  X509_STORE_set_flags(store.get(), X509_V_FLAG_PARTIAL_CHAIN);
  clearOpenSslErrors();  // a duplicate certificate is not a failure
  return store;
}

X509StackPtr certificateStack(const std::vector<X509Ptr>& certificates) {
  X509StackPtr stack(sk_X509_new_null());
  if (!stack) return nullptr;
  for (const auto& cert : certificates) {
    if (X509_up_ref(cert.get()) != 1) return nullptr;
    if (sk_X509_push(stack.get(), cert.get()) <= 0) {
      X509_free(cert.get());
      return nullptr;
    }
  }
  return stack;
}

std::string certificateDer(const X509* certificate) {
  if (certificate == nullptr) return {};
  unsigned char* buffer = nullptr;
  const int length = i2d_X509(certificate, &buffer);
  if (length <= 0) {
    clearOpenSslErrors();
    return {};
  }
  OpenSslBytesPtr owned(buffer);
  return bytesFrom(buffer, static_cast<std::size_t>(length));
}

}  // namespace sorvimend
