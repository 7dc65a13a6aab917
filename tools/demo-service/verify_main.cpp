// demo-verify --election DIR --state DIR --vote-id ID --randomness B64
// Checks the randomness of a vote's QR code against the ballot the service stored for it.
//
// Standard output: "verified ID: PLAINTEXT" (0x1F separators shown as '|'), exit 0; or
// "randomness does not match the ballot", exit 1. Any other failure: one line "demo-verify: ..."
// on standard error, exit 1 (bad input) or 2 (bad command line).
#include <cstdio>
#include <map>
#include <string>

#include "tools/demo-service/vote_verifier.h"

namespace {

constexpr int kVerified = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

constexpr const char* kUsageText = "usage: demo-verify --election DIR --state DIR --vote-id ID --randomness B64\n";

int usage(const std::string& problem) {
  std::fprintf(stderr, "demo-verify: %s\n%s", problem.c_str(), kUsageText);
  return kUsage;
}

int fail(const std::string& problem) {
  std::fprintf(stderr, "demo-verify: %s\n", problem.c_str());
  return kFailed;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace sorvimend::demo;
  std::map<std::string, std::string> options = {
      {"--election", ""}, {"--state", ""}, {"--vote-id", ""}, {"--randomness", ""}};
  std::map<std::string, bool> seen;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help") {
      std::fputs(kUsageText, stdout);
      return kVerified;
    }
    if (options.count(arg) == 0) return usage("unknown argument " + arg);
    if (seen[arg]) return usage(arg + " given twice");
    if (i + 1 >= argc) return usage("missing value after " + arg);
    seen[arg] = true;
    options[arg] = argv[++i];
  }
  for (const auto& [name, value] : options) {
    if (!seen[name]) return usage(name + " is required");
  }

  std::string problem;
  const auto verifier = VoteVerifier::open(options["--election"], problem);
  if (!verifier) return fail(problem);
  const Verification result = verifier->verifyStored(options["--state"], options["--vote-id"], options["--randomness"]);
  switch (result.outcome) {
    case VerifyOutcome::Verified:
      std::printf("verified %s: %s\n", options["--vote-id"].c_str(), shownPlaintext(result.plaintext).c_str());
      return kVerified;
    case VerifyOutcome::Mismatch:
      std::printf("%.*s\n", static_cast<int>(kRandomnessMismatch.size()), kRandomnessMismatch.data());
      return kFailed;
    case VerifyOutcome::BadInput:
      break;
  }
  return fail(result.problem);
}
