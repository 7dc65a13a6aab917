#include "vote/vote_encryption.h"

#include "util/base64.h"
#include "util/openssl_error.h"
#include "vote/elgamal_ciphertext.h"

namespace sorvimend {
namespace {

// Wipes the padded block (it holds the vote) whatever path leaves the function.
struct WipedBytes {
  Bytes bytes;
  ~WipedBytes() { secureWipe(bytes); }
};

Bytes encrypt(const ElGamalPublicKey& key, std::string_view plaintext, std::string& randomness) {
  const BIGNUM* p = key.p.get();
  const BIGNUM* g = key.g.get();
  const BIGNUM* y = key.y.get();
  // Nothing below works without a modulus that leaves room for q - 1 >= 1.
  if (p == nullptr || g == nullptr || y == nullptr || BN_is_negative(p) || BN_num_bits(p) < 3) return {};
  BnCtxPtr ctx(BN_CTX_secure_new());
  if (!ctx) return {};

  const std::size_t k = static_cast<std::size_t>(BN_num_bytes(p));
  if (k < 3 || plaintext.size() > k - 3) return {};
  WipedBytes block;
  block.bytes.reserve(k);
  block.bytes += '\x00';
  block.bytes += '\x01';
  block.bytes.append(k - 3 - plaintext.size(), '\xFF');
  block.bytes += '\x00';
  block.bytes += plaintext;

  SecretBignumPtr m(BN_bin2bn(asUnsigned(block.bytes), static_cast<int>(block.bytes.size()), nullptr));
  BignumPtr q(BN_new());
  BignumPtr pMinusOne(BN_dup(p));
  SecretBignumPtr s(BN_new());
  if (!m || !q || !pMinusOne || !s || !BN_sub_word(pMinusOne.get(), 1) || !BN_rshift1(q.get(), pMinusOne.get())) {
    return {};
  }

  // Euler's criterion sorts m into residues (s = 1) and non-residues (s = p - 1).
  if (!BN_mod_exp(s.get(), m.get(), q.get(), p, ctx.get())) return {};
  SecretBignumPtr encoded;
  if (BN_is_one(s.get())) {
    encoded = std::move(m);
  } else if (BN_cmp(s.get(), pMinusOne.get()) == 0) {
    encoded.reset(BN_new());
    if (!encoded || !BN_sub(encoded.get(), p, m.get())) return {};
  } else {
    return {};
  }

  // r uniform in 1..q-1: a draw from 0..q-2 plus one.
  BignumPtr qMinusOne(BN_dup(q.get()));
  SecretBignumPtr r(BN_new());
  if (!qMinusOne || !r || !BN_sub_word(qMinusOne.get(), 1) || BN_is_zero(qMinusOne.get()) ||
      BN_is_negative(qMinusOne.get())) {
    return {};
  }
  if (!BN_priv_rand_range(r.get(), qMinusOne.get()) || !BN_add_word(r.get(), 1)) return {};
  BN_set_flags(r.get(), BN_FLG_CONSTTIME);

  WipedBytes rBytes;
  rBytes.bytes.resize(static_cast<std::size_t>(BN_num_bytes(r.get())));
  BN_bn2bin(r.get(), reinterpret_cast<unsigned char*>(rBytes.bytes.data()));
  randomness = base64EncodeLine(rBytes.bytes);

  BignumPtr a(BN_new());
  SecretBignumPtr yr(BN_new());
  BignumPtr b(BN_new());
  if (!a || !yr || !b) return {};
  if (!BN_mod_exp(a.get(), g, r.get(), p, ctx.get()) || !BN_mod_exp(yr.get(), y, r.get(), p, ctx.get()) ||
      !BN_mod_mul(b.get(), encoded.get(), yr.get(), p, ctx.get())) {
    return {};
  }
  return encodeElGamalCipher(a.get(), b.get());
}

}  // namespace

Bytes encryptVote(const ElGamalPublicKey& key, std::string_view plaintext, std::string& randomness) {
  Bytes der = encrypt(key, plaintext, randomness);
  clearOpenSslErrors();
  return der;
}

}  // namespace sorvimend
