#pragma once
// Regular expressions over PCRE2. UTF-8 mode by default; invalid UTF-8 in a subject never errors,
// it only fails to match where it stands.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct pcre2_real_code_8;

namespace sorvimend {

class Regex {
 public:
  struct Options {
    bool utf8 = true;
    bool caseless = false;
  };

  explicit Regex(std::string_view pattern) : Regex(pattern, Options{}) {}
  Regex(std::string_view pattern, Options options);
  ~Regex();
  Regex(Regex&&) noexcept;
  Regex& operator=(Regex&&) noexcept;
  Regex(const Regex&) = delete;
  Regex& operator=(const Regex&) = delete;

  // False when the pattern did not compile; such a Regex matches nothing.
  [[nodiscard]] bool ok() const { return code_ != nullptr; }
  [[nodiscard]] const std::string& pattern() const { return pattern_; }

  // The whole text must match. groups, when given, receives the capture groups 1..n
  // (an unset group is the empty text).
  [[nodiscard]] bool fullMatch(std::string_view text, std::vector<std::string>* groups = nullptr) const;

  // A match anywhere in the text.
  [[nodiscard]] bool partialMatch(std::string_view text, std::vector<std::string>* groups = nullptr) const;

  // Finds the first match in input and moves input past it. An empty match still consumes one
  // character, and at the end of the input counts as no match, so a loop over it always ends.
  [[nodiscard]] bool findAndConsume(std::string_view& input, std::vector<std::string>* groups = nullptr) const;

  // Escapes every character that is special in a pattern, so that text matches literally.
  [[nodiscard]] static std::string quote(std::string_view text);

 private:
  bool match(std::string_view text, bool anchoredWhole, std::vector<std::string>* groups, std::size_t* start,
             std::size_t* end) const;

  std::string pattern_;
  bool utf8_ = true;
  pcre2_real_code_8* code_ = nullptr;
};

}  // namespace sorvimend
