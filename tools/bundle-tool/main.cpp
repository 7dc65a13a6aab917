// bundle-tool: scrambles a resource bundle, writes it into a built program, reads it back and
// checks it with the program's own loader.

#include <cstdio>
#include <cstring>

#include "command.h"

namespace sorvimend::bundletool {
namespace {

const Command kCommands[] = {
    {"scramble", "IN OUT", scrambleCommand},
    {"unscramble", "IN OUT", unscrambleCommand},
    {"embed", "BUNDLE.json PROGRAM", embedCommand},
    {"extract", "PROGRAM", extractCommand},
    {"check", "FILE", checkCommand},
    {"catalogue", "", catalogueCommand},
    {"probe", "FILE", probeCommand},
};

int usage() {
  std::fprintf(stderr, "usage:\n");
  for (const Command& command : kCommands) std::fprintf(stderr, "  bundle-tool %s %s\n", command.name, command.usage);
  return kExitUsage;
}

}  // namespace
}  // namespace sorvimend::bundletool

int main(int argc, char** argv) {
  using namespace sorvimend::bundletool;
  if (argc < 2) return usage();
  for (const Command& command : kCommands) {
    if (std::strcmp(argv[1], command.name) == 0) return command.run(Arguments(argv + 2, argv + argc));
  }
  std::fprintf(stderr, "bundle-tool: unknown command '%s'\n", argv[1]);
  return usage();
}
