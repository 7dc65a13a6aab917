// Ballot decryption on any ciphertext bytes, under a small fixed key (the arithmetic does not
// depend on the size of p, and a small one keeps each run cheap).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include <openssl/bn.h>

#include "tools/demo-service/elgamal_secret_key.h"
#include "util/openssl_ptr.h"

namespace {

std::string tlv(char tag, const std::string& content) {
  return std::string(1, tag) + static_cast<char>(content.size()) + content;  // short contents only
}

std::string integer(const BIGNUM* n) {
  std::string body(static_cast<std::size_t>(BN_num_bytes(n)), '\0');
  BN_bn2bin(n, reinterpret_cast<unsigned char*>(body.data()));
  if (body.empty() || (static_cast<unsigned char>(body[0]) & 0x80)) body.insert(body.begin(), '\0');
  return tlv(0x02, body);
}

const sorvimend::demo::ElGamalSecretKey& key() {
  using namespace sorvimend;
  static const demo::ElGamalSecretKey k = [] {
    BIGNUM* p = nullptr;
    BN_hex2bn(&p, "FFFFFFFFFFFFFFC5");  // 2^64 - 59, prime
    BignumPtr pp(p), g(BN_new()), x(BN_new()), y(BN_new());
    BnCtxPtr ctx(BN_CTX_new());
    BN_set_word(g.get(), 2);
    BN_set_word(x.get(), 123456789);
    BN_mod_exp(y.get(), g.get(), x.get(), pp.get(), ctx.get());
    const std::string params = tlv(0x30, integer(pp.get()) + integer(g.get()) + tlv(0x1B, "FUZZ"));
    const std::string alg = tlv(0x30, std::string(demo::kElGamalOidDer) + params);
    const std::string spki = tlv(0x30, alg + tlv(0x03, std::string(1, '\0') + tlv(0x30, integer(y.get()))));
    auto loaded = demo::ElGamalSecretKey::load(spki, "75BCD15");
    if (!loaded) std::abort();
    return std::move(*loaded);
  }();
  return k;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  (void)key().decrypt(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
