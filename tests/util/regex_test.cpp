#include "util/regex.h"

#include <gtest/gtest.h>

namespace sorvimend {
namespace {

TEST(Regex, FullMatchIsWholeString) {
  const Regex re("^(\\d{4}-\\d{2}-\\d{2}) - (\\d{4}-\\d{2}-\\d{2})$");
  std::vector<std::string> groups;
  ASSERT_TRUE(re.fullMatch("2024-03-01 - 2024-03-08", &groups));
  ASSERT_EQ(groups.size(), 2u);
  EXPECT_EQ(groups[0], "2024-03-01");
  EXPECT_EQ(groups[1], "2024-03-08");
  EXPECT_FALSE(re.fullMatch("2024-3-01 - 2024-03-08"));
  EXPECT_FALSE(re.fullMatch("2024-03-01 \xE2\x80\x93 2024-03-08"));  // en dash

  const Regex digits("\\d+");
  EXPECT_TRUE(digits.fullMatch("123"));
  EXPECT_FALSE(digits.fullMatch("123a"));  // no implicit anchor at the end is enough
  EXPECT_FALSE(digits.fullMatch("a123"));
  EXPECT_TRUE(digits.partialMatch("a123"));
}

TEST(Regex, FindAndConsumeWalksEveryMatch) {
  const Regex param("(\\w+)=\"([^\"]*)\"");
  std::string_view input = "realm=\"squid\", nonce=\"abc\", qop=\"auth\"";
  std::vector<std::string> groups;
  std::vector<std::string> names;
  while (param.findAndConsume(input, &groups)) names.push_back(groups[0] + ":" + groups[1]);
  EXPECT_EQ(names, (std::vector<std::string>{"realm:squid", "nonce:abc", "qop:auth"}));
}

TEST(Regex, EmptyMatchesStillEnd) {
  const Regex maybe("x*");
  std::string_view input = "a\xC3\xA4" "b";
  int rounds = 0;
  while (maybe.findAndConsume(input) && rounds < 100) ++rounds;
  EXPECT_LT(rounds, 100);
  EXPECT_TRUE(input.empty());
}

TEST(Regex, CaselessUtf8) {
  const Regex re("\xC3\xA4rA", Regex::Options{true, true});  // "ärA"
  EXPECT_TRUE(re.partialMatch("S\xC3\x84RA"));                // "SÄRA"
  EXPECT_TRUE(re.partialMatch("\xC3\xA4ra"));
  EXPECT_FALSE(Regex("\xC3\xA4rA").partialMatch("\xC3\x84RA"));
  // Invalid UTF-8 in the subject is not an error.
  EXPECT_FALSE(re.partialMatch("\xFF\xFE"));
  EXPECT_TRUE(Regex("b").partialMatch("\xFF" "b"));
}

TEST(Regex, FullMatchNeverStopsAtAnInvalidByte) {
  const Regex pair("[a-z]=[a-z]+");
  for (const char* text : {"a=b\xFF", "a=b\xFF" "c", "\xFF" "a=b", "a=b\xC3"}) {
    std::vector<std::string> groups{"stale"};
    EXPECT_FALSE(pair.fullMatch(text, &groups)) << text;
    EXPECT_TRUE(groups.empty());
  }
  EXPECT_TRUE(Regex(".+").fullMatch("L\xC3\xB5una"));
}

TEST(Regex, QuoteMakesTextLiteral) {
  for (const char* text : {".", "a.b", "(x)", "[", "\\", "*+?{}^$|", "L\xC3\xB5una"}) {
    const Regex re(Regex::quote(text));
    ASSERT_TRUE(re.ok()) << text;
    EXPECT_TRUE(re.fullMatch(text)) << text;
  }
  EXPECT_FALSE(Regex(Regex::quote("a.b")).fullMatch("axb"));
}

TEST(Regex, BadPatternMatchesNothing) {
  const Regex bad("(unclosed");
  EXPECT_FALSE(bad.ok());
  EXPECT_FALSE(bad.fullMatch("(unclosed"));
  std::string_view input = "x";
  EXPECT_FALSE(bad.findAndConsume(input));
}

}  // namespace
}  // namespace sorvimend
