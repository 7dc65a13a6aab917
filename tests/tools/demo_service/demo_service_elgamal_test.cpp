// The collector's decryption of ballots, against an encryption written here from the ballot
// format (not the application's): plaintexts come back exactly, damaged ciphertexts are refused.
#include <gtest/gtest.h>

#include <openssl/bn.h>
#include <openssl/rand.h>

#include "tests/tools/demo_service/harness.h"
#include "tools/demo-service/der_reader.h"
#include "tools/demo-service/elgamal_secret_key.h"
#include "util/bytes.h"
#include "util/openssl_ptr.h"

namespace sorvimend::demo {
namespace {

std::string derLength(std::size_t n) {
  if (n < 0x80) return std::string(1, static_cast<char>(n));
  std::string body;
  for (; n; n >>= 8) body.insert(body.begin(), static_cast<char>(n & 0xFF));
  return std::string(1, static_cast<char>(0x80 | body.size())) + body;
}
std::string tlv(char tag, const std::string& content) { return std::string(1, tag) + derLength(content.size()) + content; }
std::string derInteger(const BIGNUM* n) {
  std::string body(static_cast<std::size_t>(BN_num_bytes(n)), '\0');
  BN_bn2bin(n, reinterpret_cast<unsigned char*>(body.data()));
  if (body.empty() || (static_cast<unsigned char>(body[0]) & 0x80)) body.insert(body.begin(), '\0');
  return tlv(0x02, body);
}

struct KeyFiles {
  std::string publicDer;
  std::string secretHex;
};

KeyFiles keyFiles(const std::string& bits) {
  const std::string pki = testing::electionDir() + "/pki/election-" + bits;
  return {testing::readText(pki + ".pub.der"), testing::readText(pki + ".secret")};
}

// p and y from the public key, by the same DER layout the application reads.
void publicNumbers(const std::string& spki, BignumPtr& p, BignumPtr& g, BignumPtr& y) {
  std::string_view all = spki;
  auto outer = readDer(all);
  std::string_view in = outer->content;
  auto alg = readDer(in);
  auto bits = readDer(in);
  std::string_view a = alg->content;
  if (!readDer(a)) return;  // the object identifier
  auto params = readDer(a);
  std::string_view pr = params->content;
  auto pe = readDer(pr);
  auto ge = readDer(pr);
  std::string_view pub = bits->content.substr(1);
  auto seq = readDer(pub);
  std::string_view ys = seq->content;
  auto ye = readDer(ys);
  p.reset(BN_bin2bn(asUnsigned(pe->content), static_cast<int>(pe->content.size()), nullptr));
  g.reset(BN_bin2bn(asUnsigned(ge->content), static_cast<int>(ge->content.size()), nullptr));
  y.reset(BN_bin2bn(asUnsigned(ye->content), static_cast<int>(ye->content.size()), nullptr));
}

// Pads, encodes into the quadratic residues and encrypts with fresh randomness. wantResidue
// picks plaintexts until the block's residuosity is the one asked for.
std::string encrypt(const std::string& spki, const std::string& plaintext, bool* residue = nullptr) {
  BignumPtr p, g, y;
  publicNumbers(spki, p, g, y);
  BnCtxPtr ctx(BN_CTX_new());
  const int k = BN_num_bytes(p.get());
  std::string block = std::string("\x00\x01", 2) + std::string(k - 3 - plaintext.size(), '\xFF') + '\0' + plaintext;
  BignumPtr m(BN_bin2bn(asUnsigned(block), k, nullptr));
  BignumPtr q(BN_dup(p.get()));
  BN_sub_word(q.get(), 1);
  BN_rshift1(q.get(), q.get());
  BignumPtr s(BN_new());
  BN_mod_exp(s.get(), m.get(), q.get(), p.get(), ctx.get());
  if (residue) *residue = BN_is_one(s.get());
  if (!BN_is_one(s.get())) BN_sub(m.get(), p.get(), m.get());
  BignumPtr r(BN_new()), a(BN_new()), b(BN_new());
  BN_rand_range(r.get(), q.get());
  BN_add_word(r.get(), 1);
  BN_mod_exp(a.get(), g.get(), r.get(), p.get(), ctx.get());
  BN_mod_exp(b.get(), y.get(), r.get(), p.get(), ctx.get());
  BN_mod_mul(b.get(), b.get(), m.get(), p.get(), ctx.get());
  const std::string alg = tlv(0x30, std::string(kElGamalOidDer));
  return tlv(0x30, alg + tlv(0x30, derInteger(a.get()) + derInteger(b.get())));
}

class DemoServiceElGamal : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(testing::electionDir().empty()) << "demo/make-election failed";
    files_ = keyFiles("2048");
    auto key = ElGamalSecretKey::load(files_.publicDer, files_.secretHex);
    ASSERT_TRUE(key);
    key_ = std::make_unique<ElGamalSecretKey>(std::move(*key));
  }
  KeyFiles files_;
  std::unique_ptr<ElGamalSecretKey> key_;
};

TEST_F(DemoServiceElGamal, DecryptsResiduesAndNonResidues) {
  EXPECT_EQ(key_->electionId(), "DEMO2026");
  bool sawResidue = false, sawNonResidue = false;
  for (int i = 0; i < 40 && !(sawResidue && sawNonResidue); ++i) {
    const std::string plaintext = "0001." + std::to_string(101 + i) + "\x1f" + "Erakond\x1fNimi \xC3\x95ie";
    bool residue = false;
    const auto decrypted = key_->decrypt(encrypt(files_.publicDer, plaintext, &residue));
    ASSERT_TRUE(decrypted);
    EXPECT_EQ(*decrypted, plaintext);
    (residue ? sawResidue : sawNonResidue) = true;
  }
  EXPECT_TRUE(sawResidue && sawNonResidue);
  // The longest plaintext leaves no 0xFF bytes in the block; an empty one is allowed too.
  EXPECT_EQ(key_->decrypt(encrypt(files_.publicDer, std::string(253, 'x'))), std::string(253, 'x'));
  EXPECT_EQ(key_->decrypt(encrypt(files_.publicDer, "")), std::string());
}

TEST_F(DemoServiceElGamal, RefusesDamagedCiphertexts) {
  const std::string good = encrypt(files_.publicDer, "0001.101\x1fL\x1fN");
  std::string flipped = good;
  flipped[flipped.size() - 5] ^= 0x01;  // b changed: the block no longer unpads
  const std::string cases[] = {
      "",
      good.substr(0, good.size() - 1),
      good + std::string(1, '\0'),
      flipped,
      "\x30\x03\x02\x01\x01",
      // a = 0
      tlv(0x30, tlv(0x30, std::string(kElGamalOidDer)) + tlv(0x30, std::string("\x02\x01\x00\x02\x01\x01", 6))),
      // a negative
      tlv(0x30, tlv(0x30, std::string(kElGamalOidDer)) + tlv(0x30, std::string("\x02\x01\x80\x02\x01\x01", 6))),
      // a = p and beyond
      tlv(0x30, tlv(0x30, std::string(kElGamalOidDer)) +
                    tlv(0x30, tlv(0x02, std::string(1, '\0') + std::string(256, '\xFF')) + "\x02\x01\x01")),
      // another algorithm
      tlv(0x30, tlv(0x30, std::string("\x06\x03\x2A\x03\x04", 5)) + tlv(0x30, std::string("\x02\x01\x01\x02\x01\x01", 6))),
  };
  for (const auto& c : cases) EXPECT_FALSE(key_->decrypt(c)) << c.size();
}

TEST_F(DemoServiceElGamal, AKeyPairThatDoesNotMatchIsRefused) {
  const KeyFiles other = keyFiles("3072");
  EXPECT_FALSE(ElGamalSecretKey::load(files_.publicDer, other.secretHex));
  EXPECT_FALSE(ElGamalSecretKey::load(files_.publicDer, "not hex"));
  EXPECT_FALSE(ElGamalSecretKey::load(files_.publicDer, ""));
  EXPECT_FALSE(ElGamalSecretKey::load("", files_.secretHex));
  EXPECT_FALSE(ElGamalSecretKey::load(files_.publicDer.substr(0, 100), files_.secretHex));
  // A ciphertext for another election's key does not decrypt under this one.
  auto otherKey = ElGamalSecretKey::load(other.publicDer, other.secretHex);
  ASSERT_TRUE(otherKey);
  EXPECT_FALSE(key_->decrypt(encrypt(other.publicDer, "0001.101\x1fL\x1fN")));
}

}  // namespace
}  // namespace sorvimend::demo
