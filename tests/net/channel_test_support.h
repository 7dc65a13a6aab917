#pragma once
// Driving a channel the way the program does, without the 200 ms pause between steps.

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "net/tls_channel.h"

namespace sorvimend::test {

inline constexpr const char* kCipherList = "HIGH:!aNULL:!MD5";

struct ExchangeResult {
  TransportCode code = TransportCode::Pending;
  std::string reply;
  int steps = 0;
};

// Steps until something other than Pending, pausing briefly between steps; gives up (Pending)
// after the time limit.
inline ExchangeResult stepUntilDone(Channel& channel, std::chrono::milliseconds limit = std::chrono::seconds(10),
                                    std::chrono::microseconds pause = std::chrono::microseconds(200)) {
  ExchangeResult result;
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    ++result.steps;
    result.code = channel.step(result.reply);
    if (result.code != TransportCode::Pending) return result;
    std::this_thread::sleep_for(pause);
  }
  return result;
}

inline ExchangeResult runExchange(Channel& channel, ServiceKind kind, const std::string& request,
                                  std::chrono::milliseconds limit = std::chrono::seconds(10),
                                  std::chrono::microseconds pause = std::chrono::microseconds(200)) {
  channel.beginExchange(kind, request);
  return stepUntilDone(channel, limit, pause);
}

inline std::vector<ServerEndpoint> loopbackServers(const std::vector<int>& ports) {
  std::vector<ServerEndpoint> list;
  for (int port : ports) list.push_back(ServerEndpoint::fromText("127.0.0.1:" + std::to_string(port)));
  return list;
}

// A channel over the given ports in this order, every pinned set the same.
inline std::unique_ptr<TlsChannel> makeChannel(const std::vector<int>& ports, const std::vector<std::string>& pinned,
                                               std::uint64_t maxReply = 1 << 20) {
  auto channel = std::make_unique<TlsChannel>(TlsChannel::ConcreteServers{loopbackServers(ports)}, maxReply);
  channel->configure(pinned, pinned, pinned, pinned, kCipherList);
  // Budgets count steps, and tests step without the 200 ms pause: leave room for slow handshakes.
  channel->setTimeouts(2000, 2000);
  return channel;
}

}  // namespace sorvimend::test
