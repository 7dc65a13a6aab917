#include "ui/rich_text_markup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sorvimend::richtext {
namespace {

std::vector<std::string> words(std::string_view text) {
  MarkupReader reader(text);
  std::vector<std::string> result;
  for (Token t = reader.next(false); t.kind != Token::Kind::End; t = reader.next(false)) {
    if (t.kind == Token::Kind::Word) result.push_back(t.text);
  }
  return result;
}

TEST(RichTextEntities, DecodeAsWords) {
  struct Case {
    const char* text;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"a&amp;b", {"a&b"}},
      {"&bogus; x", {"&bogus;", "x"}},                    // unknown name stays as written
      {"&#8364; &euro;", {"\xE2\x82\xAC", "\xE2\x82\xAC"}},  // euro both ways
      {"&#x41;&#X41;", {"AA"}},
      {"&amp no semicolon", {"&amp", "no", "semicolon"}},  // no ";" anywhere after the "&"
      {"eins&nbsp;zwei", {"eins zwei"}},                   // nbsp is part of the word
      {"&#65abc; d", {"A", "d"}},                           // reading continues after the ";"
      {"&#; &#x;", {"&#;", "&#x;"}},                        // no digits: not an entity
      {"&#0;", {"&#0;"}},
      {"&#1114112;", {"\xEF\xBF\xBD"}},  // past the last code point
      {"&Auml;&auml;&Yuml;", {"\xC3\x84\xC3\xA4\xC5\xB8"}},
      {"&AMP;", {"&AMP;"}},  // names are case-sensitive
  };
  for (const Case& c : cases) EXPECT_EQ(words(c.text), c.expected) << c.text;
}

TEST(RichTextEntities, TableHasEveryNameWithItsSemicolon) {
  EXPECT_EQ(entityCount(), 105u);
  std::size_t length = 0;
  EXPECT_EQ(lookupEntity("permil;", length), 8240u);
  EXPECT_EQ(length, 7u);
  EXPECT_EQ(lookupEntity("nbsp;", length), 32u);
  EXPECT_FALSE(lookupEntity("permil", length).has_value());
}

TEST(RichTextMarkup, TagsAttributesAndComments) {
  MarkupReader reader("<Font  Color='#f00' size=+1 face=\"times new\" bare>x</FONT><!-- <b> -->y<br/>");
  Token font = reader.next(false);
  ASSERT_EQ(font.kind, Token::Kind::Tag);
  EXPECT_EQ(font.text, "FONT");
  EXPECT_FALSE(font.closing);
  EXPECT_EQ(attributeValue(font.attributes, "color"), "#f00");
  EXPECT_EQ(attributeValue(font.attributes, "SIZE"), "+1");
  EXPECT_EQ(attributeValue(font.attributes, "face"), "times new");
  EXPECT_EQ(attributeValue(font.attributes, "bare"), "");
  EXPECT_FALSE(attributeValue(font.attributes, "missing").has_value());
  EXPECT_EQ(reader.next(false).text, "x");
  Token close = reader.next(false);
  EXPECT_TRUE(close.closing);
  EXPECT_EQ(close.text, "FONT");
  EXPECT_EQ(reader.next(false).text, "y");  // the comment is skipped whole
  EXPECT_EQ(reader.next(false).text, "BR");
  EXPECT_EQ(reader.next(false).kind, Token::Kind::End);
}

TEST(RichTextMarkup, UnterminatedConstructsEndTheText) {
  EXPECT_EQ(words("a <!-- never closed b c"), std::vector<std::string>{"a"});
  EXPECT_EQ(words("a <b never closed"), std::vector<std::string>{"a"});
  EXPECT_EQ(words("a <"), std::vector<std::string>{"a"});
}

TEST(RichTextMarkup, LongNamesValuesAndWordsAreCut) {
  std::string longName(5000, 'q');
  const std::string tag = "<" + longName + " v='" + std::string(3000, 'z') + "'>";
  MarkupReader reader(tag);
  Token t = reader.next(false);
  EXPECT_EQ(t.text.size(), kMaxNameBytes);
  EXPECT_EQ(attributeValue(t.attributes, "v")->size(), kMaxNameBytes);

  // A cut never leaves half a character: 1023 bytes of two-byte letters keep 511 letters.
  std::string umlauts;
  for (int i = 0; i < 1000; ++i) umlauts += "\xC3\xA4";
  std::vector<std::string> cut = words(umlauts + " next");
  ASSERT_EQ(cut.size(), 2u);
  EXPECT_EQ(cut[0].size(), 1022u);
  EXPECT_EQ(cut[1], "next");
}

TEST(RichTextMarkup, PreformattedKeepsEverySpace) {
  MarkupReader reader("a  b\tc\nd");
  std::vector<Token::Kind> kinds;
  for (Token t = reader.next(true); t.kind != Token::Kind::End; t = reader.next(true)) kinds.push_back(t.kind);
  using K = Token::Kind;
  EXPECT_EQ(kinds, (std::vector<K>{K::Word, K::Space, K::Space, K::Word, K::Tab, K::Word, K::LineFeed, K::Word}));
}

TEST(RichTextValues, Colours) {
  const std::uint32_t fallback = 1234;
  struct Case {
    const char* value;
    std::uint32_t expected;
  };
  const Case cases[] = {
      {"#F00", rgbColour(255, 0, 0)},    {"#FF0000", rgbColour(255, 0, 0)}, {"#ff0400", rgbColour(255, 4, 0)},
      {"black", kToolkitBlack},          {"#000000", kToolkitBlack},        {"#000", kToolkitBlack},
      {"Navy", rgbColour(0, 0, 128)},    {"GREY", rgbColour(128, 128, 128)}, {"fuchsia", rgbColour(255, 0, 255)},
      {"", fallback},                    {"notacolour", fallback},           {"#12", rgbColour(17, 34, 0)},
  };
  for (const Case& c : cases) EXPECT_EQ(parseColour(c.value, fallback), c.expected) << c.value;
}

TEST(RichTextValues, FontSizesLengthsFacesAlignment) {
  EXPECT_EQ(parseFontSize("+1", 14, 14), 17);  // 16.8
  EXPECT_EQ(parseFontSize("-1", 14, 14), 12);  // 11.67
  EXPECT_EQ(parseFontSize("3", 20, 14), 14);   // HTML size 3 is the text size
  EXPECT_EQ(parseFontSize("5", 20, 14), 20);   // 14 * 1.44 = 20.16
  EXPECT_EQ(parseFontSize("20px", 9, 14), 20);
  EXPECT_EQ(parseFontSize("2.5px", 9, 14), 3);
  EXPECT_EQ(parseFontSize("+99999999", 14, 14), 400);  // bounded, no overflow
  EXPECT_EQ(parseFontSize("-99999999", 14, 14), 1);
  EXPECT_EQ(parseFontSize("big", 14, 14), 14);

  EXPECT_EQ(parseLength("50%", 7, 400), 200);
  EXPECT_EQ(parseLength("250%", 7, 400), 400);
  EXPECT_EQ(parseLength("-5%", 7, 400), 0);
  EXPECT_EQ(parseLength("120", 7, 400), 120);
  EXPECT_EQ(parseLength("99999999999", 7, 400), 32000);
  EXPECT_EQ(parseLength("wide", 7, 400), 7);

  EXPECT_EQ(parseFontFace("Arial Black", 3), kFontHelvetica);
  EXPECT_EQ(parseFontFace("sans-serif", 3), kFontHelvetica);
  EXPECT_EQ(parseFontFace("Times New Roman", 3), kFontTimes);
  EXPECT_EQ(parseFontFace("serif", 3), kFontTimes);
  EXPECT_EQ(parseFontFace("Symbol", 3), kFontSymbol);
  EXPECT_EQ(parseFontFace("Comic", 3), kFontCourier);

  EXPECT_EQ(parseAlign(std::string("center"), Align::Left), Align::Center);
  EXPECT_EQ(parseAlign(std::string("Right"), Align::Left), Align::Right);
  EXPECT_EQ(parseAlign(std::string("justify"), Align::Center), Align::Left);
  EXPECT_EQ(parseAlign(std::nullopt, Align::Center), Align::Center);
}

}  // namespace
}  // namespace sorvimend::richtext
