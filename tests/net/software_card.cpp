#include "tests/net/software_card.h"

#include <cstdio>
#include <stdexcept>

#include <openssl/ecdsa.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

namespace sorvimend::test {

SoftwareCard::SoftwareCard(std::string certificateDer, const std::string& keyPemFile)
    : certificateDer_(std::move(certificateDer)) {
  FILE* file = std::fopen(keyPemFile.c_str(), "r");
  if (file == nullptr) throw std::runtime_error("cannot read " + keyPemFile);
  key_.reset(PEM_read_PrivateKey(file, nullptr, nullptr, nullptr));
  std::fclose(file);
  if (!key_) throw std::runtime_error("bad key " + keyPemFile);
}

Bytes SoftwareCard::signWithAuthenticationKey(std::string_view data) {
  ++signatures;
  lastInputSize = data.size();
  if (failSigning) return {};
  EvpPkeyCtxPtr ctx(EVP_PKEY_CTX_new(key_.get(), nullptr));
  if (!ctx || EVP_PKEY_sign_init(ctx.get()) != 1) return {};
  const bool rsa = EVP_PKEY_get_base_id(key_.get()) == EVP_PKEY_RSA;
  if (rsa && EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) != 1) return {};
  std::size_t length = 0;
  if (EVP_PKEY_sign(ctx.get(), nullptr, &length, asUnsigned(data), data.size()) != 1) return {};
  Bytes signature(length, '\0');
  if (EVP_PKEY_sign(ctx.get(), reinterpret_cast<unsigned char*>(signature.data()), &length, asUnsigned(data),
                    data.size()) != 1) {
    return {};
  }
  signature.resize(length);
  if (!rsa) {
    // DER ECDSA-Sig-Value to the card's r‖s, each half as long as the order.
    const unsigned char* cursor = asUnsigned(signature);
    EcdsaSigPtr sig(d2i_ECDSA_SIG(nullptr, &cursor, static_cast<long>(signature.size())));
    if (!sig) return {};
    const int half = (EVP_PKEY_get_bits(key_.get()) + 7) / 8;
    Bytes raw(static_cast<std::size_t>(2 * half), '\0');
    auto* out = reinterpret_cast<unsigned char*>(raw.data());
    if (BN_bn2binpad(ECDSA_SIG_get0_r(sig.get()), out, half) != half ||
        BN_bn2binpad(ECDSA_SIG_get0_s(sig.get()), out + half, half) != half) {
      return {};
    }
    signature = raw;
  }
  return signature + signatureSuffix;
}

}  // namespace sorvimend::test
