#include <cstdio>

#include "command.h"
#include "resources/resource_catalogue.h"

namespace sorvimend::bundletool {

// catalogue: one entry a line, tab-separated: id, group, key, type code, placeholder count,
// optional ("yes" or "no").
int catalogueCommand(const Arguments& args) {
  if (!args.empty()) {
    std::fprintf(stderr, "usage: bundle-tool catalogue\n");
    return kExitUsage;
  }
  registerCatalogue();
  for (const auto& [id, entry] : resourceCatalogue().entries()) {
    std::printf("%d\t%s\t%s\t%d\t%d\t%s\n", static_cast<int>(id), entry.group.c_str(), entry.key.c_str(),
                static_cast<int>(entry.type), entry.placeholders, entry.optional ? "yes" : "no");
  }
  return std::fflush(stdout) == 0 ? kExitOk : kExitFailure;
}

}  // namespace sorvimend::bundletool
