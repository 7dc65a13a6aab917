// demo-service --election DIR --listen 127.0.0.1:PORT --state DIR [--polls N] [options]
// Runs until SIGTERM or SIGINT, then exits 0. See demo/README.md.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/demo-service/election.h"
#include "tools/demo-service/service.h"
#include "tools/demo-service/tls_server.h"

namespace {

std::atomic<bool> stopRequested{false};

extern "C" void onSignal(int) { stopRequested.store(true); }

constexpr const char* kUsage =
    "usage: demo-service --election DIR --listen HOST:PORT --state DIR [--polls N]\n"
    "         [--io-timeout-ms MS] [--max-connections N] [--max-request-bytes N]\n"
    "         [--delay METHOD:MS] [--close-early METHOD] [--oversized-reply METHOD:BYTES]\n"
    "  METHOD is a method name such as Vote, or * for every method; fault options may repeat.\n";

bool parseNumber(const std::string& text, long minimum, long& out) {
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0 || value < minimum) return false;
  out = value;
  return true;
}

bool parseMethodValue(const std::string& text, std::string& method, long& value) {
  const auto colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0) return false;
  method = text.substr(0, colon);
  return parseNumber(text.substr(colon + 1), 0, value);
}

int usage(const char* problem) {
  std::fprintf(stderr, "demo-service: %s\n%s", problem, kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace sorvimend::demo;
  std::string electionDir, listen, stateDir;
  long polls = 1;
  ServerOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (i + 1 >= argc) return usage(("missing value after " + arg).c_str());
    const std::string value = argv[++i];
    long number = 0;
    Fault fault;
    if (arg == "--election") {
      electionDir = value;
    } else if (arg == "--listen") {
      listen = value;
    } else if (arg == "--state") {
      stateDir = value;
    } else if (arg == "--polls") {
      if (!parseNumber(value, 0, polls) || polls > 1000) return usage("--polls takes 0 to 1000");
    } else if (arg == "--io-timeout-ms") {
      if (!parseNumber(value, 1, number) || number > 3600000) return usage("bad --io-timeout-ms");
      options.ioTimeoutMs = static_cast<int>(number);
    } else if (arg == "--max-connections") {
      if (!parseNumber(value, 1, number) || number > 1024) return usage("bad --max-connections");
      options.maxConnections = static_cast<int>(number);
    } else if (arg == "--max-request-bytes") {
      if (!parseNumber(value, 64, number) || number > (1L << 30)) return usage("bad --max-request-bytes");
      options.maxRequestBytes = static_cast<std::size_t>(number);
    } else if (arg == "--delay") {
      fault.kind = Fault::Kind::Delay;
      if (!parseMethodValue(value, fault.method, fault.value) || fault.value > 600000) return usage("bad --delay");
      options.faults.push_back(fault);
    } else if (arg == "--close-early") {
      fault.kind = Fault::Kind::CloseEarly;
      fault.method = value;
      options.faults.push_back(fault);
    } else if (arg == "--oversized-reply") {
      fault.kind = Fault::Kind::Oversize;
      if (!parseMethodValue(value, fault.method, fault.value) || fault.value > (1L << 28))
        return usage("bad --oversized-reply");
      options.faults.push_back(fault);
    } else {
      return usage(("unknown option " + arg).c_str());
    }
  }
  if (electionDir.empty() || listen.empty() || stateDir.empty())
    return usage("--election, --listen and --state are required");
  const auto colon = listen.rfind(':');
  long port = 0;
  if (colon == std::string::npos || !parseNumber(listen.substr(colon + 1), 0, port) || port > 65535)
    return usage("--listen takes HOST:PORT");
  options.host = listen.substr(0, colon);
  options.port = static_cast<int>(port);

  std::string problem;
  auto election = loadElection(electionDir, problem);
  if (!election) {
    std::fprintf(stderr, "demo-service: %s\n", problem.c_str());
    return 1;
  }
  Service service(*election, stateDir, static_cast<int>(polls));
  if (!service.openState(problem)) {
    std::fprintf(stderr, "demo-service: %s\n", problem.c_str());
    return 1;
  }
  TlsServer server(*election, service, options);
  if (!server.start(problem)) {
    std::fprintf(stderr, "demo-service: %s\n", problem.c_str());
    return 1;
  }
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  std::printf("demo-service listening on %s:%d\n", options.host.c_str(), server.port());
  std::fflush(stdout);
  server.run(stopRequested);
  std::fprintf(stderr, "demo-service: stopped\n");
  return 0;
}
