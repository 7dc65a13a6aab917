#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "command.h"
#include "net/proxy_discovery.h"
#include "net/tls_channel.h"
#include "program_image.h"
#include "resources/bundle_storage.h"
#include "resources/resource_access.h"
#include "resources/resource_bundle.h"
#include "resources/resource_catalogue.h"

namespace sorvimend::bundletool {
namespace {

struct ProbeKind {
  const char* name;
  ServiceKind kind;
  ResourceId serverName;
};

const ProbeKind kKinds[] = {
    {"MID", ServiceKind::MID, ResourceId::RES_TECH_MID_SNI},
    {"SMARTID", ServiceKind::SMARTID, ResourceId::RES_TECH_SMARTID_SNI},
    {"CHOICES", ServiceKind::CHOICES, ResourceId::RES_TECH_CHOICES_SNI},
    {"VOTING", ServiceKind::VOTING, ResourceId::RES_TECH_VOTING_SNI},
};

// Steps four times as often as the program and gives four times as many steps, so the budgets
// keep their length in seconds while a handshake takes less waiting.
constexpr int kSpeedUp = 4;
constexpr auto kStepPause = std::chrono::milliseconds(200 / kSpeedUp);

bool isElf(const Bytes& content) { return content.compare(0, 4, "\x7f" "ELF") == 0; }

ErrorPtr loadFrom(const std::string& path, const Bytes& content) {
  std::string message;
  if (const auto at = findBundleRegion(content, &message)) {
    return loadScrambledBundle(std::string_view(content).substr(*at, kBundleRegionSize));
  }
  if (isElf(content)) return makeError(ErrorClass::Internal, "cannot read the bundle of " + path + ": " + message);
  return loadBundleText(content);
}

std::string explain(TransportCode code, bool pinRejected) {
  if (code == TransportCode::HandshakeFailed && pinRejected) return "pinned certificate not matched";
  if (code == TransportCode::AllServersFailed) {
    return pinRejected ? "no server answered with a pinned certificate" : "no server answered";
  }
  return std::string(transportCodeText(code));
}

// Connects with the kind's server name and pinned set and completes the handshake; sends nothing.
bool probeKind(const ProbeKind& probe, const std::vector<ServerEndpoint>& configured, const ServerEndpoint& proxy) {
  TlsChannel channel(configured, static_cast<std::uint64_t>(resourceInteger(ResourceId::RES_TECH_MSG_SIZE)));
  channel.configure(resourceTextList(ResourceId::RES_DATA_MID_CERTS), resourceTextList(ResourceId::RES_DATA_SMARTID_CERTS),
                    resourceTextList(ResourceId::RES_DATA_CHOICES_CERTS),
                    resourceTextList(ResourceId::RES_DATA_VOTING_CERTS),
                    resourceText(ResourceId::RES_TECH_SSL_CIPHER_LIST));
  channel.setTimeouts(std::int64_t{kSpeedUp} * resourceInteger(ResourceId::RES_TECH_SSL_TIMEOUT),
                      std::int64_t{kSpeedUp} * resourceInteger(ResourceId::RES_TECH_SSL_RETRY_TIMEOUT));
  if (proxy.hasHost()) channel.setProxy(proxy);
  channel.setSniName(resourceText(probe.serverName));
  channel.beginExchange(probe.kind, std::string());

  TransportCode code = TransportCode::Pending;
  bool pinRejected = false;
  std::string tried = "-";
  std::string reply;
  // Connecting never blocks for long, but a sticky-less channel with a zero budget would wait
  // forever on a silent server: give up after ten minutes.
  const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(10);
  while (std::chrono::steady_clock::now() < end) {
    const Exchange* exchange = channel.exchange();
    if (exchange->serverIndex < channel.servers().size()) tried = channel.servers()[exchange->serverIndex].hostPort;
    code = channel.step(reply);
    pinRejected = pinRejected || channel.pinRejected();
    if (code != TransportCode::Pending) break;
    if (channel.exchange()->state == ExchangeState::Sending) {
      code = TransportCode::Done;
      break;
    }
    std::this_thread::sleep_for(kStepPause);
  }
  if (code == TransportCode::Done && channel.stickyServer() != nullptr) tried = channel.stickyServer()->hostPort;
  std::printf("%s %s %d %s\n", probe.name, tried.c_str(), codeNumber(code), explain(code, pinRejected).c_str());
  std::fflush(stdout);
  channel.close();
  return code == TransportCode::Done;
}

}  // namespace

// probe FILE: for each service kind, a TLS handshake with the bundle's servers, server name and
// pinned set (through the proxy named by the bundle's HTTPS_PROXY variable when it is set). One
// line per kind: kind, server tried, transport code, explanation. Exit 0 when all four succeed.
int probeCommand(const Arguments& args) {
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: bundle-tool probe FILE\n");
    return kExitUsage;
  }
  const auto content = readFile(args[0]);
  if (!content) return kExitFailure;
  registerCatalogue();
  if (ErrorPtr error = loadFrom(args[0], *content)) {
    std::fprintf(stderr, "bundle-tool: %s\n", error->message().c_str());
    resetBundle();
    return kExitFailure;
  }
  std::vector<ServerEndpoint> configured;
  for (const std::string& text : resourceTextList(ResourceId::RES_APP_EVOTE_SERVER)) {
    configured.push_back(ServerEndpoint::fromText(text));
  }
  const ServerEndpoint proxy = discoverProxy(resourceText(ResourceId::RES_TECH_HTTPS_PROXY), nullptr);
  if (proxy.hasHost()) std::printf("proxy %s\n", proxy.hostPort.c_str());
  bool allDone = true;
  for (const ProbeKind& probe : kKinds) allDone = probeKind(probe, configured, proxy) && allDone;
  resetBundle();
  return allDone ? kExitOk : kExitFailure;
}

}  // namespace sorvimend::bundletool
