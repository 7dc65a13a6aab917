#include "tools/vote-tool/digest_signer.h"

#include <climits>

#include <openssl/pem.h>
#include <openssl/rsa.h>

#include "util/openssl_error.h"

namespace sorvimend {

EvpPkeyPtr privateKeyFromPem(std::string_view pem) {
  if (pem.size() > static_cast<std::size_t>(INT_MAX)) return nullptr;
  BioPtr bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
  EvpPkeyPtr key(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr) : nullptr);
  clearOpenSslErrors();
  return key;
}

Bytes signDigestRaw(EVP_PKEY* key, std::string_view digest) {
  if (key == nullptr) return {};
  const int type = EVP_PKEY_get_base_id(key);
  if (type != EVP_PKEY_RSA && type != EVP_PKEY_EC) return {};
  EvpPkeyCtxPtr ctx(EVP_PKEY_CTX_new(key, nullptr));
  if (!ctx || EVP_PKEY_sign_init(ctx.get()) != 1 || EVP_PKEY_CTX_set_signature_md(ctx.get(), EVP_sha256()) != 1) {
    clearOpenSslErrors();
    return {};
  }
  if (type == EVP_PKEY_RSA && EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) != 1) {
    clearOpenSslErrors();
    return {};
  }
  std::size_t length = 0;
  if (EVP_PKEY_sign(ctx.get(), nullptr, &length, asUnsigned(digest), digest.size()) != 1) {
    clearOpenSslErrors();
    return {};
  }
  Bytes signature(length, '\0');
  if (EVP_PKEY_sign(ctx.get(), reinterpret_cast<unsigned char*>(signature.data()), &length, asUnsigned(digest),
                    digest.size()) != 1) {
    clearOpenSslErrors();
    return {};
  }
  signature.resize(length);
  if (type == EVP_PKEY_RSA) return signature;

  // DER ECDSA-Sig-Value to r||s, each padded to the order's length.
  const unsigned char* cursor = asUnsigned(signature);
  EcdsaSigPtr sig(d2i_ECDSA_SIG(nullptr, &cursor, static_cast<long>(signature.size())));
  const int half = (EVP_PKEY_get_bits(key) + 7) / 8;
  if (!sig || half <= 0) {
    clearOpenSslErrors();
    return {};
  }
  Bytes raw(static_cast<std::size_t>(2 * half), '\0');
  auto* out = reinterpret_cast<unsigned char*>(raw.data());
  if (BN_bn2binpad(ECDSA_SIG_get0_r(sig.get()), out, half) != half ||
      BN_bn2binpad(ECDSA_SIG_get0_s(sig.get()), out + half, half) != half) {
    clearOpenSslErrors();
    return {};
  }
  return raw;
}

}  // namespace sorvimend
