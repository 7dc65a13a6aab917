#pragma once
// The commands of bundle-tool: one file each, listed in the dispatch table of main.cpp.
// A command gets the arguments after its name and returns the exit status; it writes its
// results to standard output and its complaints to standard error.

#include <string>
#include <vector>

namespace sorvimend::bundletool {

using Arguments = std::vector<std::string>;

struct Command {
  const char* name;
  const char* usage;  // the arguments, for the usage text
  int (*run)(const Arguments& args);
};

int scrambleCommand(const Arguments& args);
int unscrambleCommand(const Arguments& args);
int embedCommand(const Arguments& args);
int extractCommand(const Arguments& args);
int checkCommand(const Arguments& args);
int catalogueCommand(const Arguments& args);
int probeCommand(const Arguments& args);

// Exit statuses shared by the commands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

}  // namespace sorvimend::bundletool
