#include <cstdio>

#include "command.h"
#include "program_image.h"

namespace sorvimend::bundletool {

// embed BUNDLE.json PROGRAM: writes the scrambled, padded bundle between the markers of a built
// program. The bundle is not checked here (that is the check command's work), so that a broken
// bundle can be embedded on purpose; the program then shows its start-up failure page.
int embedCommand(const Arguments& args) {
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: bundle-tool embed BUNDLE.json PROGRAM\n");
    return kExitUsage;
  }
  const auto bundle = readFile(args[0]);
  if (!bundle) return kExitFailure;
  auto image = readFile(args[1]);
  if (!image) return kExitFailure;

  std::string message;
  const auto region = regionFor(*bundle, &message);
  if (!region) {
    std::fprintf(stderr, "bundle-tool: cannot embed %s: %s\n", args[0].c_str(), message.c_str());
    return kExitFailure;
  }
  const auto at = findBundleRegion(*image, &message);
  if (!at) {
    std::fprintf(stderr, "bundle-tool: cannot embed in %s: %s\n", args[1].c_str(), message.c_str());
    return kExitFailure;
  }
  image->replace(*at, region->size(), *region);
  return replaceFile(args[1], *image) ? kExitOk : kExitFailure;
}

}  // namespace sorvimend::bundletool
