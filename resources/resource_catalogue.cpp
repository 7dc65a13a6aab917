#include "resources/resource_catalogue.h"

#include "resources/catalogue_table.h"
#include "resources/resource_validator.h"

namespace sorvimend {

void ResourceCatalogue::registerEntry(CatalogueEntry entry) {
  // Replacing an id must not leave its old full name pointing at it, nor a reused full name at
  // the id it had before.
  if (auto old = byId_.find(entry.id); old != byId_.end()) byFullName_.erase(old->second.fullName());
  std::string fullName = entry.fullName();
  if (auto old = byFullName_.find(fullName); old != byFullName_.end()) byId_.erase(old->second);
  byFullName_[fullName] = entry.id;
  const ResourceId id = entry.id;
  byId_[id] = std::move(entry);
}

void ResourceCatalogue::clear() {
  byId_.clear();
  byFullName_.clear();
}

const CatalogueEntry* ResourceCatalogue::entry(ResourceId id) const {
  auto it = byId_.find(id);
  return it == byId_.end() ? nullptr : &it->second;
}

ResourceId ResourceCatalogue::idOfFullName(std::string_view fullName) const {
  auto it = byFullName_.find(fullName);
  return it == byFullName_.end() ? ResourceId::None : it->second;
}

ResourceId ResourceCatalogue::idOf(std::string_view group, std::string_view key) const {
  std::string fullName;
  fullName.reserve(group.size() + 1 + key.size());
  fullName.append(group).append("_").append(key);
  return idOfFullName(fullName);
}

ResourceId ResourceCatalogue::serviceErrorMessageId(std::string_view code) const {
  return idOf("RES_SERVER", code);
}

ResourceCatalogue& resourceCatalogue() {
  static ResourceCatalogue catalogue;
  return catalogue;
}

void registerCatalogue() {
  ResourceCatalogue& catalogue = resourceCatalogue();
  for (const CatalogueRow& row : kCatalogueRows) {
    catalogue.registerEntry(CatalogueEntry{row.id, row.group, row.key, row.type, row.placeholders, row.optional});
  }
  registerValidators();
}

}  // namespace sorvimend
