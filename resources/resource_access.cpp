#include "resources/resource_access.h"

#include <cmath>
#include <limits>

#include "resources/resource_bundle.h"
#include "resources/resource_catalogue.h"
#include "util/base64.h"

namespace sorvimend {
namespace {

// The value of the entry's key in its group, or null when either is absent.
const rapidjson::Value* valueOf(ResourceId id, const CatalogueEntry** entryOut = nullptr) {
  const CatalogueEntry* entry = resourceCatalogue().entry(id);
  if (entryOut != nullptr) *entryOut = entry;
  if (entry == nullptr) return nullptr;
  const rapidjson::Document& doc = bundleDocument();
  if (!doc.IsObject()) return nullptr;
  auto group = doc.FindMember(rapidjson::StringRef(entry->group.data(), entry->group.size()));
  if (group == doc.MemberEnd() || !group->value.IsObject()) return nullptr;
  auto member = group->value.FindMember(rapidjson::StringRef(entry->key.data(), entry->key.size()));
  return member == group->value.MemberEnd() ? nullptr : &member->value;
}

std::string stringOf(const rapidjson::Value& value) {
  if (!value.IsString()) return {};
  std::string text(value.GetString(), value.GetStringLength());
  const auto zero = text.find('\0');
  if (zero != std::string::npos) text.resize(zero);
  return text;
}

// The number as a 64-bit integer: fractions truncated, out of range saturated, NaN is 0.
std::int64_t wholeNumber(const rapidjson::Value& value) {
  if (value.IsInt64()) return value.GetInt64();
  if (value.IsUint64()) return std::numeric_limits<std::int64_t>::max();
  if (!value.IsNumber()) return 0;
  const double d = value.GetDouble();
  if (std::isnan(d)) return 0;
  if (d >= 9.2e18) return std::numeric_limits<std::int64_t>::max();
  if (d <= -9.2e18) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(d);
}

}  // namespace

bool resourcePresent(ResourceId id) { return valueOf(id) != nullptr; }

Bytes resourceText(ResourceId id) {
  const CatalogueEntry* entry = nullptr;
  const rapidjson::Value* value = valueOf(id, &entry);
  if (value == nullptr) return {};
  if (entry->type == ResourceType::Key || entry->type == ResourceType::Image) {
    return value->IsString() ? base64Decode(std::string_view(value->GetString(), value->GetStringLength())) : Bytes();
  }
  return stringOf(*value);
}

Bytes resourceTextOrEmpty(ResourceId id) { return resourcePresent(id) ? resourceText(id) : Bytes(); }

std::int32_t resourceInteger(ResourceId id) {
  const rapidjson::Value* value = valueOf(id);
  if (value == nullptr) return 0;
  const std::int64_t n = wholeNumber(*value);
  if (n > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (n < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(n);
}

std::uint32_t resourceColour(ResourceId id) {
  const rapidjson::Value* value = valueOf(id);
  if (value == nullptr) return 0;
  // Colours such as 0xFFFFFF00 lie above the signed range; keep their bit pattern.
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(wholeNumber(*value)) & 0xffffffffu);
}

bool resourceBoolean(ResourceId id) {
  const rapidjson::Value* value = valueOf(id);
  return value != nullptr && value->IsTrue();
}

std::vector<std::string> resourceTextList(ResourceId id) {
  const CatalogueEntry* entry = nullptr;
  const rapidjson::Value* value = valueOf(id, &entry);
  std::vector<std::string> list;
  if (value == nullptr || !value->IsArray()) return list;
  if (entry->type != ResourceType::TextList && entry->type != ResourceType::CertificateList) return list;
  for (const auto& element : value->GetArray()) list.push_back(stringOf(element));
  return list;
}

std::map<std::string, std::string> resourceQuestions(ResourceId id) {
  const CatalogueEntry* entry = nullptr;
  const rapidjson::Value* value = valueOf(id, &entry);
  std::map<std::string, std::string> questions;
  if (value == nullptr || !value->IsObject() || entry->type != ResourceType::Questions) return questions;
  for (const auto& member : value->GetObject()) {
    questions.emplace(std::string(member.name.GetString(), member.name.GetStringLength()), stringOf(member.value));
  }
  return questions;
}

void replaceAll(std::string& text, std::string_view placeholder, std::string_view replacement) {
  if (placeholder.empty() || text.empty()) return;
  std::size_t position = 0;
  while ((position = text.find(placeholder, position)) != std::string::npos) {
    text.replace(position, placeholder.size(), replacement);
    position += replacement.size();
  }
}

std::string fillMask(std::string mask, std::initializer_list<std::string_view> values) {
  int number = 1;
  for (std::string_view value : values) {
    replaceAll(mask, "%" + std::to_string(number) + "%", value);
    ++number;
  }
  return mask;
}

}  // namespace sorvimend
