#include "vote/vote_encryption.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/vote/test_files.h"
#include "util/base64.h"
#include "vote/elgamal_ciphertext.h"
#include "vote/elgamal_decryption.h"

namespace sorvimend {
namespace {

struct KeyPair {
  ElGamalPublicKey key;
  SecretBignumPtr x;
};

class VoteEncryption : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const auto pki = testing::testPkiDir();
    ASSERT_FALSE(pki.empty()) << "test PKI not made";
    for (int bits : {2048, 3072}) {
      const std::string stem = (pki / ("election-" + std::to_string(bits))).string();
      auto key = parseElectionKey(testing::readFile(stem + ".pub.der"));
      ASSERT_TRUE(key) << stem;
      KeyPair pair{std::move(*key), parseElGamalSecretKey(testing::readFile(stem + ".secret"))};
      ASSERT_TRUE(pair.x) << stem;
      keys().push_back(std::move(pair));
    }
  }
  static void TearDownTestSuite() { keys().clear(); }
  static std::vector<KeyPair>& keys() {
    static std::vector<KeyPair> k;
    return k;
  }
};

// The padded block of a plaintext, as an integer, and whether it is a residue modulo p.
bool isResidue(const ElGamalPublicKey& key, const std::string& plaintext) {
  const std::size_t k = static_cast<std::size_t>(BN_num_bytes(key.p.get()));
  std::string block("\x00\x01", 2);
  block.append(k - 3 - plaintext.size(), '\xFF');
  block += '\0';
  block += plaintext;
  BignumPtr m(BN_bin2bn(asUnsigned(block), static_cast<int>(block.size()), nullptr));
  BignumPtr q(BN_dup(key.p.get()));
  BN_rshift1(q.get(), q.get());
  BignumPtr s(BN_new());
  BnCtxPtr ctx(BN_CTX_new());
  BN_mod_exp(s.get(), m.get(), q.get(), key.p.get(), ctx.get());
  return BN_is_one(s.get());
}

TEST_F(VoteEncryption, DecryptsBackForBothKeySizesResiduesAndNonResidues) {
  for (const KeyPair& pair : keys()) {
    const std::size_t k = static_cast<std::size_t>(BN_num_bytes(pair.key.p.get()));
    SCOPED_TRACE(k);
    bool sawResidue = false;
    bool sawNonResidue = false;
    std::vector<std::string> plaintexts = {"", "0482.101\x1FList A\x1FName One", std::string(k - 3, 'x'),
                                           std::string(k - 3, '\0')};
    for (int i = 0; i < 40 && !(sawResidue && sawNonResidue); ++i) plaintexts.push_back("1.2\x1F\x1F" + std::to_string(i));
    for (const std::string& plaintext : plaintexts) {
      const bool residue = isResidue(pair.key, plaintext);
      (residue ? sawResidue : sawNonResidue) = true;
      std::string randomness = "old";
      const Bytes ballot = encryptVote(pair.key, plaintext, randomness);
      ASSERT_FALSE(ballot.empty()) << plaintext.size();
      EXPECT_NE(randomness, "old");
      Bytes decrypted;
      BignumPtr element;
      ASSERT_EQ(decryptVote(pair.key, pair.x.get(), ballot, decrypted, &element), DecryptStatus::Ok);
      EXPECT_EQ(decrypted, plaintext);
      // A non-residue m travels as p - m: the raw decryption is then above q.
      BignumPtr q(BN_dup(pair.key.p.get()));
      BN_rshift1(q.get(), q.get());
      EXPECT_EQ(BN_cmp(element.get(), q.get()) > 0, !residue);
    }
    EXPECT_TRUE(sawResidue);
    EXPECT_TRUE(sawNonResidue);
  }
}

TEST_F(VoteEncryption, PlaintextLengthLimit) {
  for (const KeyPair& pair : keys()) {
    const std::size_t k = static_cast<std::size_t>(BN_num_bytes(pair.key.p.get()));
    std::string randomness;
    EXPECT_FALSE(encryptVote(pair.key, std::string(k - 3, 'a'), randomness).empty());
    randomness = "kept";
    EXPECT_TRUE(encryptVote(pair.key, std::string(k - 2, 'a'), randomness).empty());
    EXPECT_EQ(randomness, "kept") << "no randomness is drawn for a plaintext that cannot fit";
    EXPECT_TRUE(encryptVote(pair.key, std::string(k + 10, 'a'), randomness).empty());
  }
}

TEST_F(VoteEncryption, FreshRandomnessEveryTime) {
  const KeyPair& pair = keys().front();
  std::string r1;
  std::string r2;
  const Bytes c1 = encryptVote(pair.key, "1.1\x1FL\x1FN", r1);
  const Bytes c2 = encryptVote(pair.key, "1.1\x1FL\x1FN", r2);
  EXPECT_NE(c1, c2);
  EXPECT_NE(r1, r2);
  // One line of Base64 whose bytes are r, 1 <= r < q, with no leading zero byte.
  for (const std::string& r : {r1, r2}) {
    EXPECT_EQ(r.find('\n'), std::string::npos);
    const Bytes raw = base64Decode(r);
    ASSERT_FALSE(raw.empty());
    EXPECT_NE(raw[0], '\0');
    BignumPtr value(BN_bin2bn(asUnsigned(raw), static_cast<int>(raw.size()), nullptr));
    BignumPtr q(BN_dup(pair.key.p.get()));
    BN_rshift1(q.get(), q.get());
    EXPECT_LT(BN_cmp(value.get(), q.get()), 0);
    EXPECT_FALSE(BN_is_zero(value.get()));
  }
}

TEST_F(VoteEncryption, CiphertextLayout) {
  const KeyPair& pair = keys().front();
  std::string r;
  const Bytes der = encryptVote(pair.key, "x", r);
  ASSERT_GT(der.size(), 20U);
  // SEQUENCE, long-form length, then the AlgorithmIdentifier holding only the object identifier.
  EXPECT_EQ(der[0], '\x30');
  EXPECT_EQ(der.substr(4, 13), std::string("\x30\x0B\x06\x09\x2B\x06\x01\x04\x01\x97\x55\x02\x01", 13));
  EXPECT_EQ(der[17], '\x30');

  // openssl asn1parse reads it as the same structure with two positive integers.
  testing::ScratchDir dir("cipher-layout");
  testing::writeFile(dir.path() / "ballot.der", der);
  const auto parsed = testing::run("openssl asn1parse -inform DER -in '" + (dir.path() / "ballot.der").string() + "'");
  ASSERT_EQ(parsed.status, 0) << parsed.output;
  EXPECT_NE(parsed.output.find(":1.3.6.1.4.1.3029.2.1"), std::string::npos) << parsed.output;
  EXPECT_EQ(parsed.output.find("NULL"), std::string::npos) << parsed.output;
  EXPECT_EQ(parsed.output.find("INTEGER           :-"), std::string::npos) << "no negative integers";
  EXPECT_EQ(parsed.output.find("OBJECT"), parsed.output.rfind("OBJECT"));
}

TEST_F(VoteEncryption, KeysThatCannotBeUsed) {
  struct Case {
    const char* name;
    const char* p;
    const char* g;
    const char* y;
  };
  // Small moduli: p = 7 has k = 1, too short for any padding; 0, 1 and negative values; an even p.
  const std::vector<Case> cases = {
      {"zero modulus", "0", "2", "3"},          {"one", "1", "2", "3"},
      {"seven", "7", "2", "3"},                 {"negative", "-FFFFFFFFFFFFFFFFC5", "2", "3"},
      {"even", "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF00", "2", "3"},
  };
  for (const Case& c : cases) {
    ElGamalPublicKey key;
    BIGNUM* raw = nullptr;
    BN_hex2bn(&raw, c.p);
    key.p.reset(raw);
    raw = nullptr;
    BN_hex2bn(&raw, c.g);
    key.g.reset(raw);
    raw = nullptr;
    BN_hex2bn(&raw, c.y);
    key.y.reset(raw);
    std::string r;
    EXPECT_TRUE(encryptVote(key, "", r).empty()) << c.name;
  }
  ElGamalPublicKey missing;
  std::string r;
  EXPECT_TRUE(encryptVote(missing, "", r).empty());
}

TEST_F(VoteEncryption, DecryptionRefusesBadInput) {
  const KeyPair& pair = keys().front();
  const KeyPair& other = keys().back();
  std::string r;
  const Bytes good = encryptVote(pair.key, "1.1\x1FL\x1FN", r);
  BignumPtr one(BN_new());
  BN_one(one.get());
  BignumPtr p(BN_dup(pair.key.p.get()));
  Bytes damaged = good;
  damaged[damaged.size() - 1] ^= 0x01;
  Bytes withNull = good;
  withNull.insert(17, "\x05\x00", 2);  // a NULL parameter, lengths not fixed up: not DER

  // The same ciphertext under another AlgorithmIdentifier, lengths fixed up.
  const Bytes inner = good.substr(17);
  auto rewrap = [&inner](const Bytes& algorithm) {
    const std::size_t n = algorithm.size() + inner.size();
    return Bytes("\x30\x82", 2) + static_cast<char>(n >> 8) + static_cast<char>(n & 0xFF) + algorithm + inner;
  };
  const Bytes oid("\x06\x09\x2B\x06\x01\x04\x01\x97\x55\x02\x01", 11);
  const Bytes otherOid("\x06\x09\x2B\x06\x01\x04\x01\x97\x55\x02\x02", 11);
  ASSERT_EQ(rewrap(Bytes("\x30\x0B", 2) + oid), good);

  const std::vector<std::pair<Bytes, DecryptStatus>> cases = {
      {rewrap(Bytes("\x30\x0D", 2) + oid + Bytes("\x05\x00", 2)), DecryptStatus::WrongAlgorithm},
      {rewrap(Bytes("\x30\x0B", 2) + otherOid), DecryptStatus::WrongAlgorithm},
      {"", DecryptStatus::NotCiphertext},
      {"garbage", DecryptStatus::NotCiphertext},
      {good + "x", DecryptStatus::NotCiphertext},
      {withNull, DecryptStatus::NotCiphertext},
      {encodeElGamalCipher(p.get(), one.get()), DecryptStatus::OutOfRange},
      {encodeElGamalCipher(one.get(), BignumPtr(BN_new()).get()), DecryptStatus::OutOfRange},
      {damaged, DecryptStatus::NotPadded},
  };
  for (const auto& [der, status] : cases) {
    Bytes plaintext = "stale";
    EXPECT_EQ(decryptVote(pair.key, pair.x.get(), der, plaintext), status) << der.size();
    EXPECT_TRUE(plaintext.empty());
  }
  Bytes plaintext;
  EXPECT_EQ(decryptVote(pair.key, other.x.get(), good, plaintext), DecryptStatus::WrongKey);
}

TEST(ElGamalSecretKey, FileText) {
  EXPECT_TRUE(parseElGamalSecretKey("1A2b\n"));
  EXPECT_TRUE(parseElGamalSecretKey("  FF  "));
  for (const char* bad : {"", "\n", "xyz", "12 34", "-12", "0x12"}) EXPECT_FALSE(parseElGamalSecretKey(bad)) << bad;
  EXPECT_FALSE(parseElGamalSecretKey(std::string(5000, 'F')));
}

}  // namespace
}  // namespace sorvimend
