#include <cstdio>

#include "command.h"
#include "program_image.h"
#include "resources/bundle_storage.h"

namespace sorvimend::bundletool {

// extract PROGRAM: the embedded bundle text on standard output, without its padding.
int extractCommand(const Arguments& args) {
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: bundle-tool extract PROGRAM\n");
    return kExitUsage;
  }
  const auto image = readFile(args[0]);
  if (!image) return kExitFailure;
  std::string message;
  const auto at = findBundleRegion(*image, &message);
  if (!at) {
    std::fprintf(stderr, "bundle-tool: cannot extract from %s: %s\n", args[0].c_str(), message.c_str());
    return kExitFailure;
  }
  const Bytes text = bundleFromRegion(std::string_view(*image).substr(*at, kBundleRegionSize));
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) return kExitFailure;
  return kExitOk;
}

}  // namespace sorvimend::bundletool
