#include <cstdio>

#include "command.h"
#include "program_image.h"
#include "resources/scrambler.h"

namespace sorvimend::bundletool {

// scramble IN OUT: the bytes of IN scrambled with the program's seed, no padding.
int scrambleCommand(const Arguments& args) {
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: bundle-tool scramble IN OUT\n");
    return kExitUsage;
  }
  const auto input = readFile(args[0]);
  if (!input) return kExitFailure;
  return replaceFile(args[1], scrambleBytes(*input, ScrambleMode::Scramble)) ? kExitOk : kExitFailure;
}

}  // namespace sorvimend::bundletool
