#include "ui/rich_text_markup.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace sorvimend::richtext {
namespace {

struct Entity {
  std::string_view name;  // including the ";"
  std::uint32_t code;
};

// Searched in this order; the first name that the text after "&" starts with wins.
constexpr std::array<Entity, 105> kEntities{{
    {"Aacute;", 193}, {"aacute;", 225}, {"Acirc;", 194},   {"acirc;", 226},   {"acute;", 180},
    {"AElig;", 198},  {"aelig;", 230},  {"Agrave;", 192},  {"agrave;", 224},  {"amp;", 38},
    {"Aring;", 197},  {"aring;", 229},  {"Atilde;", 195},  {"atilde;", 227},  {"Auml;", 196},
    {"auml;", 228},   {"brvbar;", 166}, {"bull;", 8226},   {"Ccedil;", 199},  {"ccedil;", 231},
    {"cedil;", 184},  {"cent;", 162},   {"copy;", 169},    {"curren;", 164},  {"deg;", 176},
    {"divide;", 247}, {"Eacute;", 201}, {"eacute;", 233},  {"Ecirc;", 202},   {"ecirc;", 234},
    {"Egrave;", 200}, {"egrave;", 232}, {"ETH;", 208},     {"eth;", 240},     {"Euml;", 203},
    {"euml;", 235},   {"euro;", 8364},  {"frac12;", 189},  {"frac14;", 188},  {"frac34;", 190},
    {"gt;", 62},      {"Iacute;", 205}, {"iacute;", 237},  {"Icirc;", 206},   {"icirc;", 238},
    {"iexcl;", 161},  {"Igrave;", 204}, {"igrave;", 236},  {"iquest;", 191},  {"Iuml;", 207},
    {"iuml;", 239},   {"laquo;", 171},  {"lt;", 60},       {"macr;", 175},    {"micro;", 181},
    {"middot;", 183}, {"nbsp;", 32},    {"not;", 172},     {"Ntilde;", 209},  {"ntilde;", 241},
    {"Oacute;", 211}, {"oacute;", 243}, {"Ocirc;", 212},   {"ocirc;", 244},   {"Ograve;", 210},
    {"ograve;", 242}, {"ordf;", 170},   {"ordm;", 186},    {"Oslash;", 216},  {"oslash;", 248},
    {"Otilde;", 213}, {"otilde;", 245}, {"Ouml;", 214},    {"ouml;", 246},    {"para;", 182},
    {"permil;", 8240}, {"plusmn;", 177}, {"pound;", 163},  {"quot;", 34},     {"raquo;", 187},
    {"reg;", 174},    {"sect;", 167},   {"shy;", 173},     {"sup1;", 185},    {"sup2;", 178},
    {"sup3;", 179},   {"szlig;", 223},  {"THORN;", 222},   {"thorn;", 254},   {"times;", 215},
    {"trade;", 8482}, {"Uacute;", 218}, {"uacute;", 250},  {"Ucirc;", 219},   {"ucirc;", 251},
    {"Ugrave;", 217}, {"ugrave;", 249}, {"uml;", 168},     {"Uuml;", 220},    {"uuml;", 252},
    {"Yacute;", 221}, {"yacute;", 253}, {"yen;", 165},     {"Yuml;", 376},    {"yuml;", 255},
}};

struct NamedColour {
  std::string_view name;
  std::uint32_t rgb;
};

constexpr std::array<NamedColour, 19> kColourNames{{
    {"black", rgbColour(0, 0, 0)},         {"red", rgbColour(255, 0, 0)},
    {"green", rgbColour(0, 128, 0)},       {"yellow", rgbColour(255, 255, 0)},
    {"blue", rgbColour(0, 0, 255)},        {"magenta", rgbColour(255, 0, 255)},
    {"fuchsia", rgbColour(255, 0, 255)},   {"cyan", rgbColour(0, 255, 255)},
    {"aqua", rgbColour(0, 255, 255)},      {"white", rgbColour(255, 255, 255)},
    {"gray", rgbColour(128, 128, 128)},    {"grey", rgbColour(128, 128, 128)},
    {"lime", rgbColour(0, 255, 0)},        {"maroon", rgbColour(128, 0, 0)},
    {"navy", rgbColour(0, 0, 128)},        {"olive", rgbColour(128, 128, 0)},
    {"purple", rgbColour(128, 0, 128)},    {"silver", rgbColour(192, 192, 192)},
    {"teal", rgbColour(0, 128, 128)},
}};

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Appends byte by byte up to the limit, then drops a multi-byte character that the cut split.
void appendLimited(std::string& out, std::string_view bytes, std::size_t limit) {
  for (char c : bytes) {
    if (out.size() >= limit) break;
    out.push_back(c);
  }
}

void trimBrokenUtf8Tail(std::string& text) {
  // Walk back over continuation bytes to the last lead byte and check its sequence is whole.
  std::size_t i = text.size();
  std::size_t continuation = 0;
  while (i > 0 && (static_cast<unsigned char>(text[i - 1]) & 0xC0) == 0x80 && continuation < 4) {
    --i;
    ++continuation;
  }
  if (i == 0) return;
  unsigned char lead = static_cast<unsigned char>(text[i - 1]);
  std::size_t need = 0;
  if ((lead & 0xE0) == 0xC0) need = 1;
  else if ((lead & 0xF0) == 0xE0) need = 2;
  else if ((lead & 0xF8) == 0xF0) need = 3;
  else return;
  if (continuation < need) text.resize(i - 1);
}

// A decimal number with an optional fraction; `end` is where reading stopped (0 when none).
double readNumber(std::string_view text, std::size_t& end) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  double value = 0;
  bool any = false;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    if (value < 1e9) value = value * 10 + (text[i] - '0');
    ++i;
    any = true;
  }
  if (i < text.size() && text[i] == '.') {
    ++i;
    double scale = 0.1;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      value += (text[i] - '0') * scale;
      scale /= 10;
      ++i;
      any = true;
    }
  }
  end = any ? i : 0;
  return negative ? -value : value;
}

// Font sizes far outside what a screen shows would overflow the toolkit's integer metrics.
constexpr int kMinFontSize = 1;
constexpr int kMaxFontSize = 400;

int clampSize(double size) {
  if (!(size >= kMinFontSize)) return kMinFontSize;  // also NaN
  if (size > kMaxFontSize) return kMaxFontSize;
  return static_cast<int>(std::lround(size));
}

}  // namespace

std::size_t entityCount() { return kEntities.size(); }

std::optional<std::uint32_t> lookupEntity(std::string_view afterAmp, std::size_t& length) {
  for (const Entity& entity : kEntities) {
    if (afterAmp.substr(0, entity.name.size()) == entity.name) {
      length = entity.name.size();
      return entity.code;
    }
  }
  return std::nullopt;
}

void appendUtf8(std::string& out, std::uint32_t code) {
  if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

bool equalsCaseless(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (upper(a[i]) != upper(b[i])) return false;
  }
  return true;
}

bool startsWithCaseless(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && equalsCaseless(text.substr(0, prefix.size()), prefix);
}

std::size_t utf8Length(std::string_view text) {
  std::size_t count = 0;
  for (char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  }
  return count;
}

MarkupReader::MarkupReader(std::string_view text, std::size_t start)
    : text_(text), pos_(std::min(start, text.size())), lastSemicolon_(text.rfind(';')) {}

void MarkupReader::skipWhiteSpace() {
  while (pos_ < text_.size() && isSpace(text_[pos_])) ++pos_;
}

std::string MarkupReader::readUpToTag() {
  std::size_t end = text_.find('<', pos_);
  if (end == std::string_view::npos) end = text_.size();
  std::string result;
  appendLimited(result, text_.substr(pos_, end - pos_), kMaxNameBytes);
  trimBrokenUtf8Tail(result);
  pos_ = end;
  return result;
}

Token MarkupReader::next(bool preformatted) {
  Token token;
  while (pos_ < text_.size()) {
    token.position = pos_;
    char c = text_[pos_];
    if (c == '<') {
      if (text_.substr(pos_ + 1, 3) == "!--") {
        std::size_t end = text_.find("-->", pos_ + 4);
        pos_ = end == std::string_view::npos ? text_.size() : end + 3;
        continue;
      }
      readTag(token);
      return token;
    }
    if (isSpace(c)) {
      if (preformatted) {
        ++pos_;
        if (c == ' ') token.kind = Token::Kind::Space;
        else if (c == '\t') token.kind = Token::Kind::Tab;
        else if (c == '\n') token.kind = Token::Kind::LineFeed;
        else continue;  // carriage returns and form feeds count for nothing in pre-formatted text
        return token;
      }
      skipWhiteSpace();
      token.kind = Token::Kind::Space;
      return token;
    }
    readWord(token, preformatted);
    return token;
  }
  token.position = text_.size();
  token.kind = Token::Kind::End;
  return token;
}

void MarkupReader::readTag(Token& token) {
  token.kind = Token::Kind::Tag;
  ++pos_;  // "<"
  if (pos_ < text_.size() && text_[pos_] == '/') {
    token.closing = true;
    ++pos_;
  }
  while (pos_ < text_.size() && !isSpace(text_[pos_]) && text_[pos_] != '>') {
    if (token.text.size() < kMaxNameBytes) token.text.push_back(upper(text_[pos_]));
    ++pos_;
  }
  // "<BR/>" reads as BR.
  if (!token.text.empty() && token.text.back() == '/') token.text.pop_back();
  std::size_t end = text_.find('>', pos_);
  if (end == std::string_view::npos) end = text_.size();
  token.attributes.assign(text_.substr(pos_, end - pos_));
  pos_ = end < text_.size() ? end + 1 : end;
}

bool MarkupReader::readEntity(std::string& word) {
  // pos_ stands on "&"
  if (lastSemicolon_ == std::string_view::npos || lastSemicolon_ <= pos_) return false;
  std::string_view rest = text_.substr(pos_ + 1);
  if (!rest.empty() && rest[0] == '#') {
    std::size_t i = 1;
    bool hex = i < rest.size() && (rest[i] == 'x' || rest[i] == 'X');
    if (hex) ++i;
    std::uint32_t code = 0;
    bool any = false;
    while (i < rest.size()) {
      int digit = hex ? hexValue(rest[i]) : (rest[i] >= '0' && rest[i] <= '9' ? rest[i] - '0' : -1);
      if (digit < 0) break;
      // Saturate: anything past the last code point becomes the replacement character anyway.
      if (code <= 0x10FFFF) code = code * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
      any = true;
      ++i;
    }
    if (!any || code == 0) return false;
    std::string encoded;
    appendUtf8(encoded, code);
    appendLimited(word, encoded, kMaxWordBytes);
    std::size_t semicolon = text_.find(';', pos_);
    pos_ = semicolon + 1;  // a ";" exists after pos_ (checked above)
    return true;
  }
  std::size_t length = 0;
  if (auto code = lookupEntity(rest, length)) {
    std::string encoded;
    appendUtf8(encoded, *code);
    appendLimited(word, encoded, kMaxWordBytes);
    pos_ += 1 + length;
    return true;
  }
  return false;
}

void MarkupReader::readWord(Token& token, bool preformatted) {
  token.kind = Token::Kind::Word;
  (void)preformatted;  // both forms end a word at white space and at "<"
  while (pos_ < text_.size()) {
    char c = text_[pos_];
    if (c == '<' || isSpace(c)) break;
    if (c == '&' && readEntity(token.text)) continue;
    if (token.text.size() < kMaxWordBytes) token.text.push_back(c);
    ++pos_;
  }
  trimBrokenUtf8Tail(token.text);
}

std::optional<std::string> attributeValue(std::string_view attributes, std::string_view name) {
  std::size_t i = 0;
  const std::size_t n = attributes.size();
  while (i < n) {
    while (i < n && isSpace(attributes[i])) ++i;
    std::size_t nameStart = i;
    while (i < n && !isSpace(attributes[i]) && attributes[i] != '=') ++i;
    std::string_view attrName = attributes.substr(nameStart, i - nameStart);
    std::size_t look = i;
    while (look < n && isSpace(attributes[look])) ++look;
    std::string value;
    if (look < n && attributes[look] == '=') {
      i = look + 1;
      while (i < n && isSpace(attributes[i])) ++i;
      if (i < n && (attributes[i] == '\'' || attributes[i] == '"')) {
        char quote = attributes[i++];
        std::size_t end = attributes.find(quote, i);
        if (end == std::string_view::npos) end = n;
        appendLimited(value, attributes.substr(i, end - i), kMaxNameBytes);
        i = end < n ? end + 1 : n;
      } else {
        std::size_t start = i;
        while (i < n && !isSpace(attributes[i])) ++i;
        appendLimited(value, attributes.substr(start, i - start), kMaxNameBytes);
      }
    }
    if (attrName.empty()) {
      if (i == nameStart) ++i;  // a stray "=" or quote: step over it
      continue;
    }
    if (equalsCaseless(attrName, name)) {
      trimBrokenUtf8Tail(value);
      return value;
    }
  }
  return std::nullopt;
}

std::uint32_t parseColour(std::string_view value, std::uint32_t fallback) {
  if (value.empty()) return fallback;
  std::uint32_t rgb = 0;
  bool found = false;
  if (value[0] == '#') {
    auto digit = [&](std::size_t i) {
      int v = i < value.size() ? hexValue(value[i]) : 0;
      return static_cast<unsigned>(v < 0 ? 0 : v);
    };
    if (value.size() < 5) {
      rgb = rgbColour(digit(1) * 17, digit(2) * 17, digit(3) * 17);
    } else {
      rgb = rgbColour(digit(1) * 16 + digit(2), digit(3) * 16 + digit(4), digit(5) * 16 + digit(6));
    }
    found = true;
  } else {
    for (const NamedColour& named : kColourNames) {
      if (equalsCaseless(value, named.name)) {
        rgb = named.rgb;
        found = true;
        break;
      }
    }
  }
  if (!found) return fallback;
  return rgb == 0 ? kToolkitBlack : rgb;
}

int parseLength(std::string_view value, int fallback, int reference) {
  std::size_t end = 0;
  double number = readNumber(value, end);
  if (end == 0) return fallback;
  constexpr double kMaxPixels = 32000;  // X11 coordinates are 16-bit
  if (end < value.size() && value[end] == '%') {
    double percent = std::clamp(number, 0.0, 100.0);
    return static_cast<int>(percent * std::max(reference, 0) / 100.0);
  }
  return static_cast<int>(std::clamp(number, 0.0, kMaxPixels));
}

int parseFontSize(std::string_view value, int currentSize, int textSize) {
  if (value.empty()) return currentSize;
  std::size_t end = 0;
  double number = readNumber(value, end);
  if (end == 0) return currentSize;
  if (!(value[0] >= '0' && value[0] <= '9')) {
    return clampSize(currentSize * std::pow(1.2, std::clamp(number, -50.0, 50.0)));
  }
  if (value.substr(end, 2) == "px") return clampSize(number);
  return clampSize(textSize * std::pow(1.2, std::clamp(number - 3, -50.0, 50.0)));
}

int parseFontFace(std::string_view value, int fallback) {
  if (value.empty()) return fallback;
  if (startsWithCaseless(value, "helvetica") || startsWithCaseless(value, "arial") ||
      startsWithCaseless(value, "sans"))
    return kFontHelvetica;
  if (startsWithCaseless(value, "times") || startsWithCaseless(value, "serif")) return kFontTimes;
  if (startsWithCaseless(value, "symbol")) return kFontSymbol;
  return kFontCourier;
}

Align parseAlign(const std::optional<std::string>& value, Align fallback) {
  if (!value) return fallback;
  if (equalsCaseless(*value, "CENTER")) return Align::Center;
  if (equalsCaseless(*value, "RIGHT")) return Align::Right;
  return Align::Left;
}

}  // namespace sorvimend::richtext
