#include "tools/demo-service/wire.h"

#include <cstdio>
#include <set>

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

namespace sorvimend::demo {

RequestScanner::State RequestScanner::feed(std::string_view buffer) {
  if (state_ != State::NeedMore) return state_;
  for (; scanned_ < buffer.size(); ++scanned_) {
    const char c = buffer[scanned_];
    if (!started_) {
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
      if (c != '{') return state_ = State::Invalid;
      started_ = true;
      depth_ = 1;
      continue;
    }
    if (inString_) {
      if (escaped_) {
        escaped_ = false;
      } else if (c == '\\') {
        escaped_ = true;
      } else if (c == '"') {
        inString_ = false;
      }
      continue;
    }
    if (c == '"') {
      inString_ = true;
    } else if (c == '{' || c == '[') {
      if (++depth_ > kMaxDepth) return state_ = State::Invalid;
    } else if (c == '}' || c == ']') {
      if (--depth_ == 0) {
        length_ = scanned_ + 1;
        return state_ = State::Complete;
      }
    }
  }
  return state_;
}

std::optional<Request> parseRequest(std::string_view text) {
  rapidjson::Document doc;
  // Iterative parsing: nesting depth cannot exhaust the stack.
  doc.Parse<rapidjson::kParseIterativeFlag | rapidjson::kParseStopWhenDoneFlag>(text.data(), text.size());
  if (doc.HasParseError() || !doc.IsObject()) return std::nullopt;
  const auto method = doc.FindMember("method");
  const auto params = doc.FindMember("params");
  if (method == doc.MemberEnd() || !method->value.IsString()) return std::nullopt;
  if (params == doc.MemberEnd() || !params->value.IsArray() || params->value.Size() != 1 ||
      !params->value[0].IsObject())
    return std::nullopt;
  std::string_view name(method->value.GetString(), method->value.GetStringLength());
  constexpr std::string_view prefix = "RPC.";
  if (name.substr(0, prefix.size()) != prefix || name.size() == prefix.size()) return std::nullopt;
  Request request;
  request.method = std::string(name.substr(prefix.size()));
  for (const auto& member : params->value[0].GetObject()) {
    if (!member.value.IsString()) return std::nullopt;
    std::string key(member.name.GetString(), member.name.GetStringLength());
    std::string value(member.value.GetString(), member.value.GetStringLength());
    if (!request.params.emplace(std::move(key), std::move(value)).second) return std::nullopt;
  }
  return request;
}

std::string jsonQuote(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out.push_back('"');
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\f': out += "\\f"; break;
      case '\r': out += "\\r"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out.push_back(ch);
        }
    }
  }
  out.push_back('"');
  return out;
}

ReplyBuilder& ReplyBuilder::add(std::string_view name, std::string_view value) {
  if (!members_.empty()) members_.push_back(',');
  members_ += jsonQuote(name) + ":" + jsonQuote(value);
  return *this;
}

ReplyBuilder& ReplyBuilder::addBool(std::string_view name, bool value) {
  if (!members_.empty()) members_.push_back(',');
  members_ += jsonQuote(name) + (value ? ":true" : ":false");
  return *this;
}

ReplyBuilder& ReplyBuilder::addObject(std::string_view name, const ReplyBuilder& members) {
  if (!members_.empty()) members_.push_back(',');
  members_ += jsonQuote(name) + ":{" + members.members_ + "}";
  return *this;
}

std::string ReplyBuilder::text() const { return "{\"error\":null,\"result\":{" + members_ + "},\"id\":0}"; }

std::string errorReply(std::string_view code) { return "{\"error\":" + jsonQuote(code) + ",\"result\":null,\"id\":0}"; }

}  // namespace sorvimend::demo
