#include "resources/resource_validator.h"

#include <set>
#include <string>
#include <string_view>

#include "resources/period.h"
#include "util/base64.h"
#include "util/cert_set.h"
#include "util/elgamal_public_key.h"

namespace sorvimend {
namespace {

// A JSON string as the program reads it: up to its first zero character.
std::string_view textOf(const rapidjson::Value& value) {
  std::string_view text(value.GetString(), value.GetStringLength());
  return text.substr(0, text.find('\0'));
}

// Each kind serves a fixed set of types and rejects the rest.
class TypedValidator : public ResourceValidator {
 public:
  explicit TypedValidator(std::initializer_list<ResourceType> served) : served_(served) {}
  bool validate(const CatalogueEntry& entry, const rapidjson::Value& value) const final {
    return served_.count(entry.type) != 0 && accepts(entry, value);
  }

 private:
  virtual bool accepts(const CatalogueEntry& entry, const rapidjson::Value& value) const = 0;
  std::set<ResourceType> served_;
};

class AlwaysValid final : public TypedValidator {
 public:
  AlwaysValid() : TypedValidator({ResourceType::Image, ResourceType::Json}) {}

 private:
  bool accepts(const CatalogueEntry&, const rapidjson::Value&) const override { return true; }
};

class KeyValidator final : public TypedValidator {
 public:
  KeyValidator() : TypedValidator({ResourceType::Key}) {}

 private:
  bool accepts(const CatalogueEntry&, const rapidjson::Value& value) const override {
    return value.IsString() && parseElectionKey(base64Decode(textOf(value))).has_value();
  }
};

class NumberValidator final : public TypedValidator {
 public:
  NumberValidator() : TypedValidator({ResourceType::Integer, ResourceType::Colour}) {}

 private:
  bool accepts(const CatalogueEntry&, const rapidjson::Value& value) const override { return value.IsNumber(); }
};

class BooleanValidator final : public TypedValidator {
 public:
  BooleanValidator() : TypedValidator({ResourceType::Boolean}) {}

 private:
  bool accepts(const CatalogueEntry&, const rapidjson::Value& value) const override { return value.IsBool(); }
};

class TextValidator final : public TypedValidator {
 public:
  TextValidator() : TypedValidator({ResourceType::Text}) {}

 private:
  bool accepts(const CatalogueEntry& entry, const rapidjson::Value& value) const override {
    if (!value.IsString()) return false;
    const std::string_view text = textOf(value);
    for (int i = 1; i <= entry.placeholders; ++i) {
      if (text.find("%" + std::to_string(i) + "%") == std::string_view::npos) return false;
    }
    return true;
  }
};

bool allStrings(const rapidjson::Value& array) {
  for (const auto& element : array.GetArray()) {
    if (!element.IsString()) return false;
  }
  return true;
}

class TextListValidator final : public TypedValidator {
 public:
  TextListValidator() : TypedValidator({ResourceType::TextList}) {}

 private:
  bool accepts(const CatalogueEntry&, const rapidjson::Value& value) const override {
    return value.IsArray() && !value.Empty() && allStrings(value);
  }
};

class CertificateListValidator final : public TypedValidator {
 public:
  CertificateListValidator() : TypedValidator({ResourceType::CertificateList}) {}

 private:
  bool accepts(const CatalogueEntry&, const rapidjson::Value& value) const override {
    if (value.IsNull()) return true;
    if (!value.IsArray() || !allStrings(value)) return false;
    for (const auto& element : value.GetArray()) {
      if (!certificateFromPem(std::string(element.GetString(), element.GetStringLength()))) return false;
    }
    return true;
  }
};

class QuestionsValidator final : public TypedValidator {
 public:
  QuestionsValidator() : TypedValidator({ResourceType::Questions}) {}

 private:
  bool accepts(const CatalogueEntry&, const rapidjson::Value& value) const override {
    if (!value.IsObject() || value.MemberCount() == 0) return false;
    std::set<std::string_view> names;
    for (const auto& member : value.GetObject()) {
      if (!member.value.IsString()) return false;
      if (!names.emplace(member.name.GetString(), member.name.GetStringLength()).second) return false;
    }
    return true;
  }
};

class PeriodValidator final : public TypedValidator {
 public:
  PeriodValidator() : TypedValidator({ResourceType::Period}) {}

 private:
  bool accepts(const CatalogueEntry&, const rapidjson::Value& value) const override {
    return value.IsString() && periodPoints(textOf(value)).has_value();
  }
};

}  // namespace

void ValidatorRegistry::add(ResourceType type, std::unique_ptr<ResourceValidator> validator) {
  byType_[type] = std::move(validator);
}

const ResourceValidator* ValidatorRegistry::find(ResourceType type) const {
  auto it = byType_.find(type);
  return it == byType_.end() ? nullptr : it->second.get();
}

void ValidatorRegistry::clear() { byType_.clear(); }

ValidatorRegistry& validatorRegistry() {
  static ValidatorRegistry registry;
  return registry;
}

void registerValidators() {
  ValidatorRegistry& registry = validatorRegistry();
  registry.add(ResourceType::Text, std::make_unique<TextValidator>());
  registry.add(ResourceType::TextList, std::make_unique<TextListValidator>());
  registry.add(ResourceType::Integer, std::make_unique<NumberValidator>());
  registry.add(ResourceType::Boolean, std::make_unique<BooleanValidator>());
  registry.add(ResourceType::Key, std::make_unique<KeyValidator>());
  registry.add(ResourceType::Image, std::make_unique<AlwaysValid>());
  registry.add(ResourceType::CertificateList, std::make_unique<CertificateListValidator>());
  registry.add(ResourceType::Json, std::make_unique<AlwaysValid>());
  registry.add(ResourceType::Questions, std::make_unique<QuestionsValidator>());
  registry.add(ResourceType::Colour, std::make_unique<NumberValidator>());
  registry.add(ResourceType::Period, std::make_unique<PeriodValidator>());
}

void releaseValidators() { validatorRegistry().clear(); }

}  // namespace sorvimend
