#include "net/channel.h"

#include <utility>

namespace sorvimend {
namespace {

std::uint64_t ticksFor(std::int64_t seconds) {
  // Unsigned on purpose: the budget is a counter of steps, and a negative setting wraps to a
  // budget that never runs out, as 0 does.
  return Channel::kTicksPerSecond * static_cast<std::uint64_t>(seconds);
}

}  // namespace

Channel::Channel(std::vector<ServerEndpoint> servers, std::uint64_t maxReplySize)
    : maxReplySize_(maxReplySize), servers_(std::move(servers)) {}

Channel::~Channel() { wipeEndpoint(proxy_); }

void Channel::setTimeouts(std::int64_t first, std::int64_t retry) {
  firstPassTimeout_ = first;
  retryPassTimeout_ = retry;
}

void Channel::setProxy(const ServerEndpoint& proxy) {
  wipeEndpoint(proxy_);
  proxy_ = proxy;
}

const ServerEndpoint* Channel::stickyServer() const {
  return stickyServer_ ? &servers_[*stickyServer_] : nullptr;
}

void Channel::beginExchange(ServiceKind kind, std::string request) {
  exchange_.reset();
  close();
  auto exchange = std::make_unique<Exchange>();
  exchange->kind = kind;
  exchange->request = std::move(request);
  exchange->serverCount = servers_.size();
  exchange->ticksLeft = ticksFor(firstPassTimeout_);
  exchange->firstPassTimeout = firstPassTimeout_;
  exchange->retryPassTimeout = retryPassTimeout_;
  exchange_ = std::move(exchange);
}

TransportCode Channel::connectWithFailover(Exchange& exchange) {
  if (stickyServer_) return connect(exchange.kind, servers_[*stickyServer_], proxy_);
  if (exchange.serverIndex >= exchange.serverCount) return TransportCode::AllServersFailed;

  --exchange.ticksLeft;
  const TransportCode result = connect(exchange.kind, servers_[exchange.serverIndex], proxy_);
  if (result == TransportCode::Done) {
    stickyServer_ = exchange.serverIndex;
    return result;
  }
  const bool budgetSpent = exchange.ticksLeft == 0;
  if (result != TransportCode::Pending && result != TransportCode::ConnectFailed &&
      result != TransportCode::HandshakeFailed) {
    return result;  // a set-up failure: another server would fail the same way
  }
  if (!budgetSpent && result == TransportCode::Pending) return result;

  ++exchange.serverIndex;
  if (exchange.serverIndex == exchange.serverCount && !exchange.retryPass) {
    exchange.serverIndex = 0;
    exchange.retryPass = true;
  }
  exchange.ticksLeft = ticksFor(exchange.retryPass ? exchange.retryPassTimeout : exchange.firstPassTimeout);
  close();
  return exchange.serverIndex < exchange.serverCount ? TransportCode::Pending : TransportCode::AllServersFailed;
}

TransportCode Channel::step(std::string& reply) {
  if (!exchange_) return TransportCode::NoExchange;
  if (servers_.empty()) return TransportCode::NoServers;
  Exchange& exchange = *exchange_;
  switch (exchange.state) {
    case ExchangeState::Connecting: {
      const TransportCode result = connectWithFailover(exchange);
      if (result != TransportCode::Done) return result;
      exchange.state = proxy_.hasHost() ? ExchangeState::Tunnelling : ExchangeState::Sending;
      return TransportCode::Pending;
    }
    case ExchangeState::Tunnelling: {
      const TransportCode result = runTunnel();
      if (result != TransportCode::Done) return result;
      exchange.state = ExchangeState::TunnelHandshake;
      return TransportCode::Pending;
    }
    case ExchangeState::TunnelHandshake: {
      const TransportCode result = finishHandshake();
      if (result != TransportCode::Done) return result;
      exchange.state = ExchangeState::Sending;
      return TransportCode::Pending;
    }
    case ExchangeState::Sending: {
      const TransportCode result = write(exchange.request, StreamRole::Tls);
      if (result != TransportCode::Done) return result;
      exchange.state = ExchangeState::Reading;
      return TransportCode::Pending;
    }
    case ExchangeState::Reading: {
      const TransportCode result = read(exchange.reply, StreamRole::Tls);
      if (exchange.reply.size() > maxReplySize_) return TransportCode::ReplyTooLong;
      if (result != TransportCode::Done) return result;
      exchange.state = ExchangeState::Completed;
      reply = exchange.reply;
      close();
      return TransportCode::Done;
    }
    case ExchangeState::Completed:
      return TransportCode::AlreadyComplete;
  }
  return TransportCode::Done;
}

}  // namespace sorvimend
