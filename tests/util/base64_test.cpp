#include "util/base64.h"

#include <gtest/gtest.h>

namespace sorvimend {
namespace {

// Test vectors of RFC 4648, section 10.
struct Vector {
  const char* plain;
  const char* encoded;
};
constexpr Vector kRfc4648[] = {
    {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
    {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
};

TEST(Base64, Rfc4648VectorsRoundTrip) {
  for (const auto& v : kRfc4648) {
    EXPECT_EQ(base64EncodeLine(v.plain), v.encoded) << v.plain;
    EXPECT_EQ(base64EncodeLines(v.plain), v.encoded) << v.plain;
    EXPECT_EQ(base64Decode(v.encoded), v.plain) << v.encoded;
  }
}

TEST(Base64, LinesBreakAfterEvery64CharactersWithoutFinalLineFeed) {
  const std::string data(96, '\xAB');  // exactly 128 characters of output
  const Bytes lines = base64EncodeLines(data);
  ASSERT_EQ(lines.size(), 129u);
  EXPECT_EQ(lines[64], '\n');
  EXPECT_NE(lines.back(), '\n');
  EXPECT_EQ(lines.find('\n', 65), std::string::npos);
  EXPECT_EQ(base64EncodeLine(data).find('\n'), std::string::npos);
  EXPECT_EQ(base64Decode(lines), data);
}

TEST(Base64, LenientDecoder) {
  struct Case {
    const char* text;
    Bytes expected;
  };
  const Case cases[] = {
      {"Zm9v\nYmFy", "foobar"},     // line breaks skipped
      {" Z m 9 v ", "foo"},         // any foreign character skipped
      {"Zm9v=YmFy", "foo"},         // stops at the first "="
      {"Zm8", "fo"},                // unpadded final group of three
      {"Zg", "f"},                  // unpadded final group of two
      {"Zm9vY", "foo"},             // a lone final character gives nothing
      {"!!!", ""},
      {"/+/+", Bytes("\xFF\xEF\xFE", 3)},
  };
  for (const auto& c : cases) EXPECT_EQ(base64Decode(c.text), c.expected) << c.text;
}

TEST(Base64, AllByteValuesRoundTrip) {
  Bytes all;
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
  EXPECT_EQ(base64Decode(base64EncodeLines(all)), all);
}

}  // namespace
}  // namespace sorvimend
