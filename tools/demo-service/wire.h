#pragma once
// The service side of the wire format: one JSON request text in, one JSON reply text out, over
// a connection that has no other framing. The end of a request is therefore found by scanning
// for the end of its root object.

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace sorvimend::demo {

// Finds where the root object of a request ends, fed the bytes as they arrive.
class RequestScanner {
 public:
  enum class State { NeedMore, Complete, Invalid };

  // Nesting deeper than this is refused before the JSON parser sees it.
  static constexpr int kMaxDepth = 32;

  // Scans the bytes appended since the last call (the whole buffer is passed each time).
  State feed(std::string_view buffer);
  // Length of the request once Complete.
  std::size_t length() const { return length_; }

 private:
  std::size_t scanned_ = 0;
  std::size_t length_ = 0;
  int depth_ = 0;
  bool started_ = false;
  bool inString_ = false;
  bool escaped_ = false;
  State state_ = State::NeedMore;
};

struct Request {
  std::string method;                         // without the "RPC." prefix
  std::map<std::string, std::string> params;  // all values are strings
};

// Nothing when the text is not one JSON object with a "method" string "RPC.<name>" and a
// "params" array of exactly one object of string members (no member name twice).
[[nodiscard]] std::optional<Request> parseRequest(std::string_view text);

// Builders of the compact reply texts. Result members are written in the order given.
class ReplyBuilder {
 public:
  ReplyBuilder& add(std::string_view name, std::string_view value);
  ReplyBuilder& addBool(std::string_view name, bool value);
  ReplyBuilder& addObject(std::string_view name, const ReplyBuilder& members);
  std::string text() const;  // {"error":null,"result":{...},"id":0}

 private:
  std::string members_;
};

[[nodiscard]] std::string errorReply(std::string_view code);

// JSON string literal with the required escapes; other bytes pass unchanged.
[[nodiscard]] std::string jsonQuote(std::string_view text);

}  // namespace sorvimend::demo
