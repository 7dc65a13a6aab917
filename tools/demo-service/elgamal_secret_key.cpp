#include "tools/demo-service/elgamal_secret_key.h"

#include <cctype>
#include <cstddef>
#include <vector>

#include "tools/demo-service/der_reader.h"
#include "util/bytes.h"

namespace sorvimend::demo {
namespace {

// Positive INTEGER only: the ciphertext and the key never carry negative numbers.
BignumPtr readInteger(std::string_view& input) {
  auto element = readDer(input);
  if (!element || element->tag != kDerInteger || element->content.empty()) return nullptr;
  if (static_cast<std::uint8_t>(element->content[0]) & 0x80) return nullptr;
  return BignumPtr(BN_bin2bn(asUnsigned(element->content), static_cast<int>(element->content.size()), nullptr));
}

}  // namespace

std::optional<ElGamalSecretKey> ElGamalSecretKey::load(std::string_view publicDer, std::string_view secretHex) {
  auto spki = readOnlyDer(publicDer, kDerSequence);
  if (!spki) return std::nullopt;
  std::string_view rest = *spki;
  auto algorithm = readDer(rest);
  auto bits = readDer(rest);
  if (!algorithm || algorithm->tag != kDerSequence || !bits || bits->tag != kDerBitString || !rest.empty())
    return std::nullopt;
  std::string_view alg = algorithm->content;
  if (alg.substr(0, kElGamalOidDer.size()) != kElGamalOidDer) return std::nullopt;
  alg.remove_prefix(kElGamalOidDer.size());
  auto params = readOnlyDer(alg, kDerSequence);
  if (!params) return std::nullopt;
  std::string_view paramRest = *params;
  ElGamalSecretKey key;
  key.p_ = readInteger(paramRest);
  key.g_ = readInteger(paramRest);
  auto id = readDer(paramRest);
  if (!key.p_ || !key.g_ || !id || id->tag != kDerGeneralString || !paramRest.empty()) return std::nullopt;
  key.electionId_ = std::string(id->content);
  if (bits->content.empty() || bits->content[0] != 0) return std::nullopt;
  auto pub = readOnlyDer(bits->content.substr(1), kDerSequence);
  if (!pub) return std::nullopt;
  std::string_view pubRest = *pub;
  BignumPtr y = readInteger(pubRest);
  if (!y || !pubRest.empty()) return std::nullopt;

  std::string hex;
  for (char c : secretHex) {
    if (std::isspace(static_cast<unsigned char>(c))) continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
    hex.push_back(c);
  }
  if (hex.empty() || hex.size() > 4096) return std::nullopt;
  BIGNUM* x = nullptr;
  if (BN_hex2bn(&x, hex.c_str()) == 0) return std::nullopt;
  key.x_.reset(x);
  secureWipe(hex);

  BnCtxPtr ctx(BN_CTX_new());
  BignumPtr check(BN_new());
  if (!ctx || !check || BN_is_zero(key.p_.get()) || !BN_mod_exp(check.get(), key.g_.get(), key.x_.get(), key.p_.get(), ctx.get()) ||
      BN_cmp(check.get(), y.get()) != 0)
    return std::nullopt;
  return key;
}

std::optional<std::string> ElGamalSecretKey::decrypt(std::string_view cipherDer) const {
  auto outer = readOnlyDer(cipherDer, kDerSequence);
  if (!outer) return std::nullopt;
  std::string_view rest = *outer;
  // The algorithm identifier carries the object identifier alone: no parameters, not even NULL.
  auto alg = readDer(rest);
  if (!alg || alg->tag != kDerSequence || alg->content != kElGamalOidDer) return std::nullopt;
  auto inner = readDer(rest);
  if (!inner || inner->tag != kDerSequence || !rest.empty()) return std::nullopt;
  std::string_view pair = inner->content;
  BignumPtr a = readInteger(pair);
  BignumPtr b = readInteger(pair);
  if (!a || !b || !pair.empty()) return std::nullopt;
  if (BN_is_zero(a.get()) || BN_is_zero(b.get()) || BN_cmp(a.get(), p_.get()) >= 0 || BN_cmp(b.get(), p_.get()) >= 0)
    return std::nullopt;

  BnCtxPtr ctx(BN_CTX_new());
  SecretBignumPtr s(BN_new());
  SecretBignumPtr sInverse(BN_new());
  SecretBignumPtr m(BN_new());
  if (!ctx || !s || !sInverse || !m) return std::nullopt;
  if (!BN_mod_exp(s.get(), a.get(), x_.get(), p_.get(), ctx.get())) return std::nullopt;
  if (!BN_mod_inverse(sInverse.get(), s.get(), p_.get(), ctx.get())) return std::nullopt;
  if (!BN_mod_mul(m.get(), b.get(), sInverse.get(), p_.get(), ctx.get())) return std::nullopt;
  // The encoding moved a non-residue to p - m; the padded block is always the smaller of the two
  // because it starts with 00 01 and so lies far below p / 2.
  SecretBignumPtr other(BN_new());
  if (!other || !BN_sub(other.get(), p_.get(), m.get())) return std::nullopt;
  if (BN_cmp(other.get(), m.get()) < 0) std::swap(m, other);

  const int k = BN_num_bytes(p_.get());
  std::vector<unsigned char> block(static_cast<std::size_t>(k));
  if (BN_bn2binpad(m.get(), block.data(), k) != k) return std::nullopt;
  std::optional<std::string> plaintext;
  if (k >= 3 && block[0] == 0x00 && block[1] == 0x01) {
    std::size_t i = 2;
    while (i < block.size() && block[i] == 0xFF) ++i;
    if (i < block.size() && block[i] == 0x00) plaintext = bytesFrom(block.data() + i + 1, block.size() - i - 1);
  }
  secureWipe(block.data(), block.size());
  return plaintext;
}

}  // namespace sorvimend::demo
