#pragma once
// Reading the small HTML subset of the program's texts: tokens, attributes, entities, colours,
// lengths and font sizes. Lenient by design: nothing here fails, malformed input takes defaults.
// No toolkit code: the layout and the fuzz targets use it without a display.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sorvimend::richtext {

// Longest tag name, attribute value, title and word kept (a 1024-byte buffer with its terminator).
inline constexpr std::size_t kMaxNameBytes = 1023;
inline constexpr std::size_t kMaxWordBytes = 1023;

// The toolkit's black (FL_BLACK) and its default font numbers, kept here so that this file needs
// no toolkit header.
inline constexpr std::uint32_t kToolkitBlack = 56;
inline constexpr int kFontHelvetica = 0;
inline constexpr int kFontCourier = 4;
inline constexpr int kFontCourierBold = 5;
inline constexpr int kFontCourierItalic = 6;
inline constexpr int kFontTimes = 8;
inline constexpr int kFontSymbol = 12;

inline constexpr std::uint32_t rgbColour(unsigned r, unsigned g, unsigned b) {
  return (static_cast<std::uint32_t>(r & 0xFF) << 24) | (static_cast<std::uint32_t>(g & 0xFF) << 16) |
         (static_cast<std::uint32_t>(b & 0xFF) << 8);
}

enum class Align { Left, Center, Right };

struct Token {
  enum class Kind { End, Word, Space, Tab, LineFeed, Tag };
  Kind kind = Kind::End;
  std::string text;        // the word (entities decoded) or the upper-cased tag name
  bool closing = false;    // "</NAME>"
  std::string attributes;  // raw text between the tag name and ">"
  std::size_t position = 0;
};

// Walks a text token by token. White space collapses to one Space token unless the caller asks
// for pre-formatted reading, where each space, tab and line feed is a token of its own.
class MarkupReader {
 public:
  explicit MarkupReader(std::string_view text, std::size_t start = 0);

  Token next(bool preformatted);
  // The raw text up to the next "<" (at most kMaxNameBytes kept), for TITLE.
  std::string readUpToTag();
  void skipWhiteSpace();
  std::size_t position() const { return pos_; }

 private:
  void readTag(Token& token);
  void readWord(Token& token, bool preformatted);
  bool readEntity(std::string& word);

  std::string_view text_;
  std::size_t pos_;
  std::size_t lastSemicolon_;  // an entity needs a ";" somewhere after its "&"
};

// The code of the named entity that starts `afterAmp` (the name including its ";"); `length` is
// the length of that name. Names are searched in table order, case-sensitively.
std::optional<std::uint32_t> lookupEntity(std::string_view afterAmp, std::size_t& length);
std::size_t entityCount();

// Appends the UTF-8 form of a code point; invalid code points become U+FFFD.
void appendUtf8(std::string& out, std::uint32_t code);

// The value of attribute `name` (caseless) in a tag's attribute text; a name without "=" has an
// empty value. Values are cut to kMaxNameBytes.
std::optional<std::string> attributeValue(std::string_view attributes, std::string_view name);

std::uint32_t parseColour(std::string_view value, std::uint32_t fallback);
// Pixels, or a percentage (clamped to 0..100) of `reference`; the fallback when unparsable.
int parseLength(std::string_view value, int fallback, int reference);
// The SIZE of FONT: relative (+1, -2), pixels (20px) or an HTML size 1..7 around `textSize`.
int parseFontSize(std::string_view value, int currentSize, int textSize);
int parseFontFace(std::string_view value, int fallback);
Align parseAlign(const std::optional<std::string>& value, Align fallback);

bool equalsCaseless(std::string_view a, std::string_view b);
bool startsWithCaseless(std::string_view text, std::string_view prefix);
// Number of UTF-8 characters (lead bytes) in a byte string.
std::size_t utf8Length(std::string_view text);

}  // namespace sorvimend::richtext
