#include "resources/scrambler.h"

#include <gtest/gtest.h>

#include <string>

namespace sorvimend {
namespace {

TEST(ScramblerTest, RoundTripsEvenOddAndHighBytes) {
  std::string all;
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(255 - i));
  const std::string inputs[] = {"",    "{",      "{}",       "{\"a\"",  std::string(1, '\x80'),
                                "\xff\x7f\x80\x01", "\xc3\xa4\xc3\xb5\xc3", all, all + "x"};
  for (const auto& plain : inputs) {
    const Bytes scrambled = scrambleBytes(plain, ScrambleMode::Scramble);
    EXPECT_EQ(scrambled.size(), plain.size());
    EXPECT_EQ(scrambleBytes(scrambled, ScrambleMode::Unscramble), plain) << plain.size();
    if (plain.size() > 1) {
      EXPECT_NE(scrambled, plain);
    }
  }
}

TEST(ScramblerTest, KnownAnswer) {
  // Computed with a separate Python transcription of the generator (seed 0x5a3c); the plain text
  // has bytes at and above 0x80 in the feedback positions, so sign extension shows.
  const std::string plain("{\"\xc3\xa4\x80\xff" "ab", 8);
  const std::string expected("\xbe\xc1\xba\x7b\x45\x7b\xfb\xe5", 8);
  EXPECT_EQ(scrambleBytes(plain, ScrambleMode::Scramble), expected);
  EXPECT_EQ(scrambleBytes(expected, ScrambleMode::Unscramble), plain);
}

TEST(ScramblerTest, OnlyTheLow16BitsOfTheSeedMatter) {
  const std::string plain = "{\"RES_APP\":{}}";
  EXPECT_EQ(scrambleBytes(plain, ScrambleMode::Scramble, 0x12345a3c),
            scrambleBytes(plain, ScrambleMode::Scramble, 0x5a3c));
  EXPECT_NE(scrambleBytes(plain, ScrambleMode::Scramble, 0x5a3d), scrambleBytes(plain, ScrambleMode::Scramble, 0x5a3c));
}

}  // namespace
}  // namespace sorvimend
