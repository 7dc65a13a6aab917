#include "util/elgamal_public_key.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sorvimend {
namespace {

// Hand-built DER, so that the parser is checked against encodings it did not produce itself.
std::string tlv(unsigned char tag, const std::string& content) {
  std::string out(1, static_cast<char>(tag));
  const std::size_t n = content.size();
  if (n < 0x80) {
    out.push_back(static_cast<char>(n));
  } else if (n < 0x100) {
    out += "\x81";
    out.push_back(static_cast<char>(n));
  } else {
    out += "\x82";
    out.push_back(static_cast<char>(n >> 8));
    out.push_back(static_cast<char>(n & 0xff));
  }
  return out + content;
}
std::string seq(const std::string& content) { return tlv(0x30, content); }
std::string integer(const std::string& bigEndian) { return tlv(0x02, bigEndian); }
std::string generalString(const std::string& text) { return tlv(0x1b, text); }
std::string bitString(const std::string& content) { return tlv(0x03, std::string(1, '\0') + content); }

// 1.3.6.1.4.1.3029.2.1
const std::string kElGamalOid = tlv(0x06, std::string("\x2b\x06\x01\x04\x01\x97\x55\x02\x01", 9));
// 1.2.840.113549.1.1.1 (rsaEncryption)
const std::string kRsaOid = tlv(0x06, std::string("\x2a\x86\x48\x86\xf7\x0d\x01\x01\x01", 9));

const std::string kP = integer(std::string("\x00\xff\xff\xff\xff\xff\xff\xff\xc5", 9));  // 2^64 - 59
const std::string kG = integer("\x02");
const std::string kY = integer(std::string("\x12\x34\x56\x78", 4));

std::string params(const std::string& electionId) { return seq(kP + kG + generalString(electionId)); }
std::string publicValue() { return bitString(seq(kY)); }
std::string spki(const std::string& algorithm, const std::string& pub) { return seq(algorithm + pub); }
std::string goodKey(const std::string& electionId = "DEMO2026") {
  return spki(seq(kElGamalOid + params(electionId)), publicValue());
}

std::string decimal(const BignumPtr& n) {
  char* text = BN_bn2dec(n.get());
  std::string out(text);
  OPENSSL_free(text);
  return out;
}

TEST(ElectionKeyTest, GoodKeyGivesItsNumbersAndElection) {
  const auto key = parseElectionKey(goodKey());
  ASSERT_TRUE(key.has_value());
  EXPECT_EQ(decimal(key->p), "18446744073709551557");
  EXPECT_EQ(decimal(key->g), "2");
  EXPECT_EQ(decimal(key->y), "305419896");
  EXPECT_EQ(key->electionId, "DEMO2026");
  EXPECT_TRUE(keyMatchesElection(key, "DEMO2026"));
  EXPECT_FALSE(keyMatchesElection(key, "DEMO2027"));
  EXPECT_FALSE(keyMatchesElection(key, "DEMO202"));
  EXPECT_FALSE(keyMatchesElection(key, ""));
}

TEST(ElectionKeyTest, ElectionIdsCompareAsNulTerminatedTexts) {
  const auto empty = parseElectionKey(goodKey(""));
  ASSERT_TRUE(empty.has_value());
  EXPECT_TRUE(keyMatchesElection(empty, ""));
  EXPECT_FALSE(keyMatchesElection(empty, "DEMO2026"));

  const auto withNul = parseElectionKey(goodKey(std::string("DEMO\0X", 6)));
  ASSERT_TRUE(withNul.has_value());
  EXPECT_TRUE(keyMatchesElection(withNul, "DEMO"));
  EXPECT_TRUE(keyMatchesElection(withNul, std::string("DEMO\0Y", 6)));

  EXPECT_FALSE(keyMatchesElection(std::nullopt, ""));
}

TEST(ElectionKeyTest, BadEncodingsGiveNothing) {
  const std::string good = goodKey();
  const struct {
    const char* name;
    std::string der;
  } cases[] = {
      {"empty", ""},
      {"not DER", "hello, world"},
      {"truncated", good.substr(0, good.size() - 1)},
      {"trailing byte", good + std::string(1, '\0')},
      {"other algorithm", spki(seq(kRsaOid + params("DEMO2026")), publicValue())},
      {"OID as text", spki(seq(tlv(0x04, "1.3.6.1.4.1.3029.2.1") + params("DEMO2026")), publicValue())},
      {"parameters absent", spki(seq(kElGamalOid), publicValue())},
      {"parameters NULL", spki(seq(kElGamalOid + tlv(0x05, "")), publicValue())},
      {"parameters an INTEGER", spki(seq(kElGamalOid + kP), publicValue())},
      {"parameters a SET", spki(seq(kElGamalOid + tlv(0x31, kP + kG + generalString("DEMO2026"))), publicValue())},
      {"parameters lack election", spki(seq(kElGamalOid + seq(kP + kG)), publicValue())},
      {"election id a UTF8String", spki(seq(kElGamalOid + seq(kP + kG + tlv(0x0c, "DEMO2026"))), publicValue())},
      {"g an OCTET STRING", spki(seq(kElGamalOid + seq(kP + tlv(0x04, "\x02") + generalString("E"))), publicValue())},
      {"parameters with extra member", spki(seq(kElGamalOid + seq(kP + kG + generalString("E") + kG)), publicValue())},
      {"public value empty", spki(seq(kElGamalOid + params("DEMO2026")), bitString(""))},
      {"public value not a SEQUENCE", spki(seq(kElGamalOid + params("DEMO2026")), bitString(kY))},
      {"public value an OCTET STRING", spki(seq(kElGamalOid + params("DEMO2026")), tlv(0x04, seq(kY)))},
      {"public value with trailing byte", spki(seq(kElGamalOid + params("DEMO2026")), bitString(seq(kY) + "x"))},
      {"no public value", seq(seq(kElGamalOid + params("DEMO2026")))},
  };
  for (const auto& c : cases) {
    const auto key = parseElectionKey(c.der);
    EXPECT_FALSE(key.has_value()) << c.name;
    EXPECT_FALSE(keyMatchesElection(key, "DEMO2026")) << c.name;
  }
}

TEST(ElectionKeyTest, LargeModulusWithLongLengths) {
  // A 2048-bit p needs the two-byte length form at every level.
  std::string p(257, '\xab');
  p[0] = '\0';
  const std::string der =
      spki(seq(kElGamalOid + seq(integer(p) + kG + generalString("E"))), bitString(seq(integer(p.substr(1, 100)))));
  const auto key = parseElectionKey(der);
  ASSERT_TRUE(key.has_value());
  EXPECT_EQ(BN_num_bits(key->p.get()), 2048);
  EXPECT_TRUE(keyMatchesElection(key, "E"));
}

}  // namespace
}  // namespace sorvimend
