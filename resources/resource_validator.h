#pragma once
// The checks the loader runs on every bundle member, one validator object per value type.

#include <map>
#include <memory>

#include <rapidjson/document.h>

#include "resources/resource_catalogue.h"

namespace sorvimend {

class ResourceValidator {
 public:
  virtual ~ResourceValidator() = default;
  // True when value is acceptable for entry. A validator asked about a type it does not serve
  // rejects the value.
  [[nodiscard]] virtual bool validate(const CatalogueEntry& entry, const rapidjson::Value& value) const = 0;
};

class ValidatorRegistry {
 public:
  // Registering a type again replaces (and destroys) the validator held before.
  void add(ResourceType type, std::unique_ptr<ResourceValidator> validator);
  // Null when the type has no validator.
  [[nodiscard]] const ResourceValidator* find(ResourceType type) const;
  void clear();

 private:
  std::map<ResourceType, std::unique_ptr<ResourceValidator>> byType_;
};

[[nodiscard]] ValidatorRegistry& validatorRegistry();

// Fills the registry in the order of type codes 1, 2, 4, 5, 0, 6, 7, 8, 3, 9, 10.
void registerValidators();
// Destroys every registered validator (teardown).
void releaseValidators();

}  // namespace sorvimend
