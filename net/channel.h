#pragma once
// One exchange = one request over a fresh TLS 1.2 connection and one reply read until the server
// closes. The channel is non-blocking: the caller calls step() (every 200 ms in the program)
// until it returns something other than Pending. Channel holds the server choice, failover, time
// budgets and the exchange states; TlsChannel does the OpenSSL work.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/server_endpoint.h"
#include "net/service_kind.h"
#include "net/transport_code.h"

namespace sorvimend {

enum class ExchangeState : int {
  Connecting = 0,       // with failover
  Tunnelling = 1,       // proxy CONNECT being negotiated
  TunnelHandshake = 2,  // TLS handshake through the open tunnel
  Sending = 3,
  Reading = 4,
  Completed = 5,
};

struct Exchange {
  ExchangeState state = ExchangeState::Connecting;
  ServiceKind kind = ServiceKind::CHOICES;
  std::string request;  // what is still to be sent
  std::string reply;    // what has been received so far
  std::size_t serverIndex = 0;
  std::size_t serverCount = 0;
  // Connection steps left for the current server; decremented before it is tested, so a
  // timeout of 0 never runs out.
  std::uint64_t ticksLeft = 0;
  bool retryPass = false;
  std::int64_t firstPassTimeout = 0;
  std::int64_t retryPassTimeout = 0;
};

// Which connector an I/O operation drives: the TLS stream or, with a proxy, the raw socket
// beneath it.
enum class StreamRole { Tls, Raw };

class Channel {
 public:
  // Steps per second at the caller's cadence: timeouts are given in seconds.
  static constexpr std::uint64_t kTicksPerSecond = 5;

  Channel(std::vector<ServerEndpoint> servers, std::uint64_t maxReplySize);
  virtual ~Channel();
  Channel(const Channel&) = delete;
  Channel& operator=(const Channel&) = delete;

  // Advances the current exchange by one move. Pending (34) while it goes on; Done (0) with the
  // reply in `reply` once the server has closed; NoExchange (31), NoServers (32),
  // AlreadyComplete (33), or the failure of the move. A failure leaves the state as it was.
  [[nodiscard]] virtual TransportCode step(std::string& reply);

  // The four pinned sets (PEM texts) by ServiceKind, and the cipher list.
  virtual void configure(std::vector<std::string> midCerts, std::vector<std::string> smartIdCerts,
                         std::vector<std::string> choicesCerts, std::vector<std::string> votingCerts,
                         std::string cipherList) = 0;

  // Seconds per server in the first and in the second pass.
  virtual void setTimeouts(std::int64_t first, std::int64_t retry);

  // Starts or continues connecting to server (directly or through proxy). Pending while the
  // connection (and, without a proxy, the handshake) is under way.
  [[nodiscard]] virtual TransportCode connect(ServiceKind kind, const ServerEndpoint& server,
                                              const ServerEndpoint& proxy) = 0;
  // Sends buffer; written bytes are removed from its front.
  [[nodiscard]] virtual TransportCode write(std::string& buffer, StreamRole stream) = 0;
  // Appends what the connection holds; Done once the peer has closed.
  [[nodiscard]] virtual TransportCode read(std::string& buffer, StreamRole stream) = 0;
  [[nodiscard]] virtual TransportCode runTunnel() = 0;
  [[nodiscard]] virtual TransportCode finishHandshake() = 0;
  virtual void close() = 0;

  void setSniName(std::string name) { sniName_ = std::move(name); }
  // The proxy for every later connection; an address without a host means a direct connection.
  void setProxy(const ServerEndpoint& proxy);
  // Drops the previous exchange and its connection and starts a new one.
  void beginExchange(ServiceKind kind, std::string request);

  [[nodiscard]] const std::string& sniName() const { return sniName_; }
  [[nodiscard]] bool useClientCertificate() const { return useClientCertificate_; }
  [[nodiscard]] std::uint64_t maxReplySize() const { return maxReplySize_; }
  [[nodiscard]] const std::vector<ServerEndpoint>& servers() const { return servers_; }
  [[nodiscard]] const ServerEndpoint* stickyServer() const;
  [[nodiscard]] const Exchange* exchange() const { return exchange_.get(); }
  [[nodiscard]] const ServerEndpoint& proxy() const { return proxy_; }

 protected:
  void switchOnClientCertificate() { useClientCertificate_ = true; }

 private:
  [[nodiscard]] TransportCode connectWithFailover(Exchange& exchange);

  std::string sniName_;
  bool useClientCertificate_ = false;
  std::uint64_t maxReplySize_;
  std::vector<ServerEndpoint> servers_;
  std::optional<std::size_t> stickyServer_;
  std::unique_ptr<Exchange> exchange_;
  ServerEndpoint proxy_;
  std::int64_t firstPassTimeout_ = 50;
  std::int64_t retryPassTimeout_ = 100;
};

}  // namespace sorvimend
