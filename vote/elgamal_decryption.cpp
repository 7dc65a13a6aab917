#include "vote/elgamal_decryption.h"

#include <cctype>

#include "util/openssl_error.h"
#include "vote/elgamal_ciphertext.h"

namespace sorvimend {

const char* decryptStatusText(DecryptStatus status) {
  switch (status) {
    case DecryptStatus::Ok:
      return "decrypted";
    case DecryptStatus::NotCiphertext:
      return "the ballot is not a DER ElGamal ciphertext";
    case DecryptStatus::WrongAlgorithm:
      return "the ballot's algorithm identifier is not ElGamal without parameters";
    case DecryptStatus::OutOfRange:
      return "the ballot's numbers are not in the key's group";
    case DecryptStatus::WrongKey:
      return "the secret key does not belong to the election key";
    case DecryptStatus::NotPadded:
      return "the decrypted block is not a padded vote (wrong key or damaged ballot)";
    case DecryptStatus::Failed:
      return "the key cannot be computed with";
  }
  return "unknown failure";
}

SecretBignumPtr parseElGamalSecretKey(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  const std::string digits(text.substr(begin, end - begin));
  // Bounded so that a huge file cannot turn into a huge exponent.
  if (digits.empty() || digits.size() > 4096) return nullptr;
  for (char c : digits) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return nullptr;
  }
  BIGNUM* raw = nullptr;
  const int used = BN_hex2bn(&raw, digits.c_str());
  SecretBignumPtr x(raw);
  clearOpenSslErrors();
  if (!x || used != static_cast<int>(digits.size())) return nullptr;
  return x;
}

namespace {

DecryptStatus decrypt(const ElGamalPublicKey& key, const BIGNUM* x, std::string_view cipherDer, Bytes& plaintext,
                      BignumPtr* groupElement) {
  const BIGNUM* p = key.p.get();
  if (p == nullptr || key.g == nullptr || key.y == nullptr || x == nullptr || BN_is_negative(p) ||
      BN_num_bits(p) < 3 || !BN_is_odd(p)) {
    return DecryptStatus::Failed;
  }
  BnCtxPtr ctx(BN_CTX_new());
  BignumPtr check(BN_new());
  if (!ctx || !check || !BN_mod_exp(check.get(), key.g.get(), x, p, ctx.get())) return DecryptStatus::Failed;
  if (BN_cmp(check.get(), key.y.get()) != 0) return DecryptStatus::WrongKey;

  ElGamalCiphertext cipher;
  switch (decodeElGamalCipher(cipherDer, cipher)) {
    case CipherDecodeStatus::Ok:
      break;
    case CipherDecodeStatus::WrongAlgorithm:
      return DecryptStatus::WrongAlgorithm;
    case CipherDecodeStatus::NotDer:
    case CipherDecodeStatus::NegativeInteger:
      return DecryptStatus::NotCiphertext;
  }
  for (const BIGNUM* n : {cipher.a.get(), cipher.b.get()}) {
    if (BN_is_zero(n) || BN_cmp(n, p) >= 0) return DecryptStatus::OutOfRange;
  }

  SecretBignumPtr shared(BN_new());
  SecretBignumPtr v(BN_new());
  BignumPtr q(BN_dup(p));
  if (!shared || !v || !q || !BN_rshift1(q.get(), q.get())) return DecryptStatus::Failed;
  if (!BN_mod_exp(shared.get(), cipher.a.get(), x, p, ctx.get())) return DecryptStatus::Failed;
  // a is in 1..p-1 and p is odd; a non-prime p may still leave it without an inverse.
  if (BN_mod_inverse(shared.get(), shared.get(), p, ctx.get()) == nullptr) return DecryptStatus::OutOfRange;
  if (!BN_mod_mul(v.get(), cipher.b.get(), shared.get(), p, ctx.get())) return DecryptStatus::Failed;
  if (groupElement) groupElement->reset(BN_dup(v.get()));
  if (BN_cmp(v.get(), q.get()) > 0 && !BN_sub(v.get(), p, v.get())) return DecryptStatus::Failed;

  const int k = BN_num_bytes(p);
  Bytes block(static_cast<std::size_t>(k), '\0');
  if (BN_bn2binpad(v.get(), reinterpret_cast<unsigned char*>(block.data()), k) != k) return DecryptStatus::Failed;
  DecryptStatus status = DecryptStatus::NotPadded;
  if (block.size() >= 3 && block[0] == '\x00' && block[1] == '\x01') {
    std::size_t i = 2;
    while (i < block.size() && block[i] == '\xFF') ++i;
    if (i < block.size() && block[i] == '\x00') {
      plaintext = block.substr(i + 1);
      status = DecryptStatus::Ok;
    }
  }
  secureWipe(block);
  return status;
}

}  // namespace

DecryptStatus decryptVote(const ElGamalPublicKey& key, const BIGNUM* x, std::string_view cipherDer, Bytes& plaintext,
                          BignumPtr* groupElement) {
  plaintext.clear();
  const DecryptStatus status = decrypt(key, x, cipherDer, plaintext, groupElement);
  clearOpenSslErrors();
  return status;
}

}  // namespace sorvimend
