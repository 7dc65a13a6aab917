// The card hooks need the legacy RSA_METHOD and EC_KEY_METHOD interfaces, deprecated in OpenSSL 3
// but still the only way to put a key that never leaves the card behind a TLS handshake.
#define OPENSSL_SUPPRESS_DEPRECATED

#include "net/card_key.h"

#include <cstring>
#include <memory>

#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/ecdsa.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include "util/cert_set.h"
#include "util/openssl_error.h"

namespace sorvimend {
namespace {

using RsaPtr = std::unique_ptr<RSA, CFree<RSA, RSA_free>>;
using EcKeyPtr = std::unique_ptr<EC_KEY, CFree<EC_KEY, EC_KEY_free>>;

int rsaLookupIndex() {
  static const int index = RSA_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
  return index;
}

int ecLookupIndex() {
  static const int index = EC_KEY_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
  return index;
}

ClientKeySource* cardFor(void* lookup) {
  if (lookup == nullptr) return nullptr;
  const auto& find = *static_cast<const ClientKeyLookup*>(lookup);
  return find ? find() : nullptr;
}

int rsaInit(RSA* rsa) {
  RSA_set_flags(rsa, RSA_FLAG_EXT_PKEY | RSA_METHOD_FLAG_NO_CHECK);
  return 1;
}

int rsaFinish(RSA*) { return 1; }

int rsaRefuse(int, const unsigned char*, unsigned char*, RSA*, int) { return -1; }

// The TLS layer hands over a DigestInfo with PKCS #1 padding asked for; the card pads itself.
int rsaCardSign(int length, const unsigned char* from, unsigned char* to, RSA* rsa, int /*padding*/) {
  ClientKeySource* card = cardFor(RSA_get_ex_data(rsa, rsaLookupIndex()));
  if (card == nullptr || length < 0) return -1;
  Bytes signature = card->signWithAuthenticationKey(
      std::string_view(reinterpret_cast<const char*>(from), static_cast<std::size_t>(length)));
  // The output buffer holds RSA_size bytes; a longer answer from the card must not overrun it.
  const int room = RSA_size(rsa);
  if (signature.empty() || room <= 0 || signature.size() > static_cast<std::size_t>(room)) return -1;
  std::memcpy(to, signature.data(), signature.size());
  return static_cast<int>(signature.size());
}

const RSA_METHOD* cardRsaMethod() {
  // Made once and kept for the whole process: keys may be freed as late as static destruction.
  static RSA_METHOD* method = [] {
    RSA_METHOD* m = RSA_meth_new("p11", RSA_FLAG_EXT_PKEY | RSA_METHOD_FLAG_NO_CHECK);
    if (m == nullptr) return m;
    RSA_meth_set_init(m, rsaInit);
    RSA_meth_set_finish(m, rsaFinish);
    RSA_meth_set_priv_enc(m, rsaCardSign);
    RSA_meth_set_pub_enc(m, rsaRefuse);
    RSA_meth_set_pub_dec(m, rsaRefuse);
    RSA_meth_set_priv_dec(m, rsaRefuse);
    return m;
  }();
  return method;
}

// The card gives r‖s; the TLS layer wants the DER ECDSA-Sig-Value.
int ecCardSign(int /*type*/, const unsigned char* digest, int digestLength, unsigned char* out,
               unsigned int* outLength, const BIGNUM*, const BIGNUM*, EC_KEY* key) {
  ClientKeySource* card = cardFor(EC_KEY_get_ex_data(key, ecLookupIndex()));
  if (card == nullptr || digestLength < 0 || out == nullptr || outLength == nullptr) return 0;
  const Bytes raw = card->signWithAuthenticationKey(
      std::string_view(reinterpret_cast<const char*>(digest), static_cast<std::size_t>(digestLength)));
  if (raw.empty() || raw.size() % 2 != 0) return 0;
  const std::size_t half = raw.size() / 2;
  BignumPtr r(BN_bin2bn(asUnsigned(raw), static_cast<int>(half), nullptr));
  BignumPtr s(BN_bin2bn(asUnsigned(raw) + half, static_cast<int>(half), nullptr));
  EcdsaSigPtr sig(ECDSA_SIG_new());
  if (!r || !s || !sig || ECDSA_SIG_set0(sig.get(), r.get(), s.get()) != 1) {
    clearOpenSslErrors();
    return 0;
  }
  r.release();
  s.release();
  const int needed = i2d_ECDSA_SIG(sig.get(), nullptr);
  // The caller's buffer holds ECDSA_size bytes.
  if (needed <= 0 || needed > ECDSA_size(key)) return 0;
  unsigned char* cursor = out;
  if (i2d_ECDSA_SIG(sig.get(), &cursor) != needed) return 0;
  *outLength = static_cast<unsigned int>(needed);
  return 1;
}

int ecRefuseSetup(EC_KEY*, BN_CTX*, BIGNUM**, BIGNUM**) { return 0; }

ECDSA_SIG* ecRefuseSign(const unsigned char*, int, const BIGNUM*, const BIGNUM*, EC_KEY*) { return nullptr; }

const EC_KEY_METHOD* cardEcMethod() {
  static EC_KEY_METHOD* method = [] {
    EC_KEY_METHOD* m = EC_KEY_METHOD_new(EC_KEY_get_default_method());
    if (m == nullptr) return m;
    EC_KEY_METHOD_set_sign(m, ecCardSign, ecRefuseSetup, ecRefuseSign);
    return m;
  }();
  return method;
}

}  // namespace

CardKey makeCardKey(std::string_view certificateDer, const ClientKeyLookup* lookup) {
  CardKey result;
  X509Ptr certificate = certificateFromDer(certificateDer);
  if (!certificate) {
    clearOpenSslErrors();
    result.code = TransportCode::ClientCertUndecodable;
    return result;
  }
  EVP_PKEY* publicKey = X509_get0_pubkey(certificate.get());
  if (publicKey == nullptr) {
    clearOpenSslErrors();
    result.code = TransportCode::ClientCertNoPublicKey;
    return result;
  }
  EvpPkeyPtr key(EVP_PKEY_new());
  if (!key) {
    result.code = TransportCode::ClientKeyObjectFailed;
    return result;
  }
  void* lookupArg = const_cast<ClientKeyLookup*>(lookup);
  switch (EVP_PKEY_get_base_id(publicKey)) {
    case EVP_PKEY_RSA:
    case EVP_PKEY_RSA2: {
      // A copy: the key inside the certificate object must not take the card method.
      const RSA* inCertificate = EVP_PKEY_get0_RSA(publicKey);
      RsaPtr rsa(inCertificate ? RSAPublicKey_dup(inCertificate) : nullptr);
      const RSA_METHOD* method = cardRsaMethod();
      if (!rsa || method == nullptr || RSA_set_ex_data(rsa.get(), rsaLookupIndex(), lookupArg) != 1 ||
          RSA_set_method(rsa.get(), method) != 1 || EVP_PKEY_set1_RSA(key.get(), rsa.get()) != 1) {
        clearOpenSslErrors();
        result.code = TransportCode::ClientCertNoRsaKey;
        return result;
      }
      result.rsa = true;
      break;
    }
    case EVP_PKEY_EC: {
      const EC_KEY* inCertificate = EVP_PKEY_get0_EC_KEY(publicKey);
      EcKeyPtr ec(inCertificate ? EC_KEY_dup(inCertificate) : nullptr);
      const EC_KEY_METHOD* method = cardEcMethod();
      if (!ec || method == nullptr || EC_KEY_set_ex_data(ec.get(), ecLookupIndex(), lookupArg) != 1 ||
          EC_KEY_set_method(ec.get(), method) != 1 || EVP_PKEY_set1_EC_KEY(key.get(), ec.get()) != 1) {
        clearOpenSslErrors();
        result.code = TransportCode::ClientCertNoEcKey;
        return result;
      }
      break;
    }
    default:
      result.code = TransportCode::ClientCertKeyType;
      return result;
  }
  result.key = std::move(key);
  return result;
}

}  // namespace sorvimend
