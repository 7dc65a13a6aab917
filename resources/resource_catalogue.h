#pragma once
// The fixed list of every resource the program knows, with two indexes that live for the whole
// run: by id (ascending id is the loader's presence order) and by full name (group "_" key).
// Keys alone are not unique (FONT_NAME is in RES_UI and RES_ROADMAP); full names are.

#include <map>
#include <string>
#include <string_view>

#include "resources/resource_id.h"
#include "resources/resource_type.h"

namespace sorvimend {

struct CatalogueEntry {
  ResourceId id = ResourceId::None;
  std::string group;
  std::string key;
  ResourceType type = ResourceType::Text;
  int placeholders = 0;  // for a text: "%1%" .. "%n%" must all occur
  bool optional = false;  // the bundle may omit the key (only the three images)

  [[nodiscard]] std::string fullName() const { return group + "_" + key; }
};

class ResourceCatalogue {
 public:
  // Registering an id or a full name again replaces the earlier entry.
  void registerEntry(CatalogueEntry entry);
  void clear();

  // Null for an id that is not registered.
  [[nodiscard]] const CatalogueEntry* entry(ResourceId id) const;
  // None when no entry has the full name group "_" key (so RES + APP_ELECTION_ID finds
  // RES_APP_ELECTION_ID).
  [[nodiscard]] ResourceId idOf(std::string_view group, std::string_view key) const;
  [[nodiscard]] ResourceId idOfFullName(std::string_view fullName) const;
  // The RES_SERVER entry whose key is the service's error code word, or None.
  [[nodiscard]] ResourceId serviceErrorMessageId(std::string_view code) const;

  // Ascending id order.
  [[nodiscard]] const std::map<ResourceId, CatalogueEntry>& entries() const { return byId_; }

 private:
  std::map<ResourceId, CatalogueEntry> byId_;
  std::map<std::string, ResourceId, std::less<>> byFullName_;
};

// The process-wide catalogue.
[[nodiscard]] ResourceCatalogue& resourceCatalogue();

// Registers the 180 entries in ascending id order, then the value validators.
void registerCatalogue();

}  // namespace sorvimend
