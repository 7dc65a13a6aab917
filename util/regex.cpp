#include "util/regex.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <utility>

namespace sorvimend {
namespace {

struct MatchDataFree {
  void operator()(pcre2_match_data* p) const noexcept { pcre2_match_data_free(p); }
};
using MatchDataPtr = std::unique_ptr<pcre2_match_data, MatchDataFree>;

}  // namespace

Regex::Regex(std::string_view pattern, Options options) : pattern_(pattern), utf8_(options.utf8) {
  std::uint32_t flags = 0;
  if (options.utf8) flags |= PCRE2_UTF | PCRE2_MATCH_INVALID_UTF;
  if (options.caseless) flags |= PCRE2_CASELESS;
  int errorCode = 0;
  PCRE2_SIZE errorOffset = 0;
  code_ = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(), flags, &errorCode,
                        &errorOffset, nullptr);
}

Regex::~Regex() { pcre2_code_free(code_); }

Regex::Regex(Regex&& other) noexcept
    : pattern_(std::move(other.pattern_)), utf8_(other.utf8_), code_(std::exchange(other.code_, nullptr)) {}

Regex& Regex::operator=(Regex&& other) noexcept {
  if (this != &other) {
    pcre2_code_free(code_);
    pattern_ = std::move(other.pattern_);
    utf8_ = other.utf8_;
    code_ = std::exchange(other.code_, nullptr);
  }
  return *this;
}

bool Regex::match(std::string_view text, bool anchoredWhole, std::vector<std::string>* groups,
                  std::size_t* start, std::size_t* end) const {
  if (code_ == nullptr) return false;
  MatchDataPtr data(pcre2_match_data_create_from_pattern(code_, nullptr));
  if (!data) return false;
  const std::uint32_t flags = anchoredWhole ? (PCRE2_ANCHORED | PCRE2_ENDANCHORED) : 0;
  const int rc = pcre2_match(code_, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0, flags,
                             data.get(), nullptr);
  if (rc < 0) return false;
  const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data.get());
  if (start) *start = ovector[0];
  if (end) *end = ovector[1];
  if (groups) {
    std::uint32_t captureCount = 0;
    pcre2_pattern_info(code_, PCRE2_INFO_CAPTURECOUNT, &captureCount);
    groups->clear();
    for (std::uint32_t i = 1; i <= captureCount; ++i) {
      const PCRE2_SIZE b = ovector[2 * i];
      const PCRE2_SIZE e = ovector[2 * i + 1];
      if (static_cast<int>(i) < rc && b != PCRE2_UNSET && e >= b) {
        groups->emplace_back(text.substr(b, e - b));
      } else {
        groups->emplace_back();
      }
    }
  }
  return true;
}

bool Regex::fullMatch(std::string_view text, std::vector<std::string>* groups) const {
  // With invalid UTF-8 allowed, a bad byte acts as a barrier and the end anchor can be met
  // before it: insist that the match covers the whole subject.
  std::size_t start = 0;
  std::size_t end = 0;
  if (!match(text, true, groups, &start, &end)) return false;
  if (start == 0 && end == text.size()) return true;
  if (groups) groups->clear();
  return false;
}

bool Regex::partialMatch(std::string_view text, std::vector<std::string>* groups) const {
  return match(text, false, groups, nullptr, nullptr);
}

bool Regex::findAndConsume(std::string_view& input, std::vector<std::string>* groups) const {
  std::size_t start = 0;
  std::size_t end = 0;
  if (!match(input, false, groups, &start, &end)) return false;
  if (end == start) {
    if (end >= input.size()) return false;
    ++end;
    // Keep whole UTF-8 sequences together when stepping over an empty match.
    while (utf8_ && end < input.size() && (static_cast<unsigned char>(input[end]) & 0xC0) == 0x80) ++end;
  }
  input.remove_prefix(end);
  return true;
}

std::string Regex::quote(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    const bool plain = u >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '_';
    if (c == '\0') {
      out += "\\x00";
      continue;
    }
    if (!plain) out.push_back('\\');
    out.push_back(c);
  }
  return out;
}

}  // namespace sorvimend
