#pragma once
// A reply of the voting service, parsed once and read member by member. Reading never fails
// loudly: each accessor answers whether the member was there with the expected type.

#include <memory>
#include <string>
#include <string_view>

namespace sorvimend {

class ReplyDocument {
 public:
  // Null when the text is not exactly one JSON value (surrounding whitespace allowed): empty text,
  // invalid JSON, a value cut off, or anything after the first value.
  [[nodiscard]] static std::unique_ptr<ReplyDocument> parse(std::string_view text);

  ~ReplyDocument();
  ReplyDocument(const ReplyDocument&) = delete;
  ReplyDocument& operator=(const ReplyDocument&) = delete;

  // The root has a member "error" whose value is not null.
  [[nodiscard]] bool hasError() const;
  // "error" is a string: copied to out.
  [[nodiscard]] bool errorText(std::string& out) const;
  // "result" is an object with a string member name: copied to out; otherwise out is untouched.
  [[nodiscard]] bool resultString(std::string_view name, std::string& out) const;
  // "result" has a boolean member name: out becomes its value; otherwise out is untouched.
  [[nodiscard]] bool resultBool(std::string_view name, bool& out) const;
  // "result" is an object with a member name, whatever its value.
  [[nodiscard]] bool resultHas(std::string_view name) const;
  // "result".outer is an object with a string member inner.
  [[nodiscard]] bool resultNestedString(std::string_view outer, std::string_view inner, std::string& out) const;

 private:
  struct Impl;
  explicit ReplyDocument(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace sorvimend
