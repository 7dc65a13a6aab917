#include "protocol/reply_document.h"

#include <rapidjson/document.h>
#include <rapidjson/memorystream.h>

namespace sorvimend {

struct ReplyDocument::Impl {
  rapidjson::Document document;
};

namespace {

bool isJsonWhitespace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

const rapidjson::Value* member(const rapidjson::Value& object, std::string_view name) {
  if (!object.IsObject()) return nullptr;
  // FindMember by pointer and length, so that names with zero bytes compare correctly.
  const rapidjson::Value key(rapidjson::StringRef(name.data(), name.size()));
  const auto it = object.FindMember(key);
  return it == object.MemberEnd() ? nullptr : &it->value;
}

}  // namespace

std::unique_ptr<ReplyDocument> ReplyDocument::parse(std::string_view text) {
  auto impl = std::make_unique<Impl>();
  // Iterative parsing keeps deeply nested input off the call stack; stopping after the root lets
  // us see what follows it, including a zero byte that would otherwise end the text silently.
  rapidjson::MemoryStream stream(text.data(), text.size());
  impl->document.ParseStream<rapidjson::kParseIterativeFlag | rapidjson::kParseStopWhenDoneFlag>(stream);
  if (impl->document.HasParseError()) return nullptr;
  for (std::size_t i = stream.Tell(); i < text.size(); ++i) {
    if (!isJsonWhitespace(text[i])) return nullptr;
  }
  return std::unique_ptr<ReplyDocument>(new ReplyDocument(std::move(impl)));
}

ReplyDocument::ReplyDocument(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
ReplyDocument::~ReplyDocument() = default;

bool ReplyDocument::hasError() const {
  const auto* error = member(impl_->document, "error");
  return error != nullptr && !error->IsNull();
}

bool ReplyDocument::errorText(std::string& out) const {
  const auto* error = member(impl_->document, "error");
  if (error == nullptr || !error->IsString()) return false;
  out.assign(error->GetString(), error->GetStringLength());
  return true;
}

bool ReplyDocument::resultString(std::string_view name, std::string& out) const {
  const auto* result = member(impl_->document, "result");
  const auto* value = result ? member(*result, name) : nullptr;
  if (value == nullptr || !value->IsString()) return false;
  out.assign(value->GetString(), value->GetStringLength());
  return true;
}

bool ReplyDocument::resultBool(std::string_view name, bool& out) const {
  const auto* result = member(impl_->document, "result");
  const auto* value = result ? member(*result, name) : nullptr;
  if (value == nullptr || !value->IsBool()) return false;
  out = value->IsTrue();
  return true;
}

bool ReplyDocument::resultHas(std::string_view name) const {
  const auto* result = member(impl_->document, "result");
  return result != nullptr && member(*result, name) != nullptr;
}

bool ReplyDocument::resultNestedString(std::string_view outer, std::string_view inner, std::string& out) const {
  const auto* result = member(impl_->document, "result");
  const auto* object = result ? member(*result, outer) : nullptr;
  const auto* value = object ? member(*object, inner) : nullptr;
  if (value == nullptr || !value->IsString()) return false;
  out.assign(value->GetString(), value->GetStringLength());
  return true;
}

}  // namespace sorvimend
