#include <cstdio>

#include "command.h"
#include "program_image.h"
#include "resources/scrambler.h"

namespace sorvimend::bundletool {

// unscramble IN OUT: the inverse of scramble.
int unscrambleCommand(const Arguments& args) {
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: bundle-tool unscramble IN OUT\n");
    return kExitUsage;
  }
  const auto input = readFile(args[0]);
  if (!input) return kExitFailure;
  return replaceFile(args[1], scrambleBytes(*input, ScrambleMode::Unscramble)) ? kExitOk : kExitFailure;
}

}  // namespace sorvimend::bundletool
