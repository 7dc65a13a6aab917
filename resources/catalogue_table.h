#pragma once
// The compiled-in rows of the catalogue, registered at start by registerCatalogue().

#include <array>

#include "resources/resource_id.h"
#include "resources/resource_type.h"

namespace sorvimend {

struct CatalogueRow {
  ResourceId id;
  const char* group;
  const char* key;
  ResourceType type;
  int placeholders;
  bool optional;
};

extern const std::array<CatalogueRow, kResourceCount> kCatalogueRows;

}  // namespace sorvimend
