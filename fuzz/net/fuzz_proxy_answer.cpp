// The proxy's answer, cut into chunks as the network may deliver it: the first byte picks the
// chunk size, the rest is the answer. A second 407 goes through the same path as the first.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "net/proxy_tunnel.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sorvimend;
  if (size == 0) return 0;
  const std::size_t chunk = 1 + data[0] % 64;
  const std::string_view answer(reinterpret_cast<const char*>(data + 1), size - 1);
  ProxyTunnel tunnel(ServerEndpoint::fromText("10.0.0.1:443"), ServerEndpoint::fromText("joe:pw@proxy:3128"));
  for (std::size_t at = 0; at < answer.size(); at += chunk) {
    if (tunnel.state() == TunnelState::Sending) tunnel.setState(TunnelState::Reading);
    if (tunnel.state() != TunnelState::Reading) break;
    tunnel.handleAnswer(answer.substr(at, chunk));
    if (tunnel.answer().size() > ProxyTunnel::kMaxAnswerSize + chunk) std::abort();
  }
  (void)digestParameters(answer);
  return 0;
}
