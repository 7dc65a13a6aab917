#include <cstdio>

#include "command.h"
#include "program_image.h"
#include "resources/bundle_storage.h"
#include "resources/resource_access.h"
#include "resources/resource_bundle.h"
#include "resources/resource_catalogue.h"

namespace sorvimend::bundletool {
namespace {

bool isElf(const Bytes& content) { return content.compare(0, 4, "\x7f" "ELF") == 0; }

}  // namespace

// check FILE: runs the program's own loader over a bundle JSON or over the bundle embedded in a
// built program. Prints the loader's message and exits 1 on failure; silent on success.
int checkCommand(const Arguments& args) {
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: bundle-tool check FILE\n");
    return kExitUsage;
  }
  const auto content = readFile(args[0]);
  if (!content) return kExitFailure;

  registerCatalogue();
  ErrorPtr error;
  std::string message;
  if (const auto at = findBundleRegion(*content, &message)) {
    error = loadScrambledBundle(std::string_view(*content).substr(*at, kBundleRegionSize));
  } else if (isElf(*content)) {
    std::fprintf(stderr, "bundle-tool: cannot check %s: %s\n", args[0].c_str(), message.c_str());
    return kExitFailure;
  } else {
    error = loadBundleText(*content);
  }
  resetBundle();
  if (!error) return kExitOk;
  // Names from the bundle may hold zero bytes: write the message whole.
  const std::string line = error->message() + "\n";
  std::fwrite(line.data(), 1, line.size(), stdout);
  return kExitFailure;
}

}  // namespace sorvimend::bundletool
