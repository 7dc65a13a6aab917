#pragma once
// The channel over OpenSSL: TLS 1.2 only, every server checked against the pinned set of the
// service kind, optional client authentication with the ID card, optional CONNECT tunnel through
// an HTTPS proxy. Not copyable or movable: the TLS context and the card key point back into it.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <openssl/bio.h>

#include "net/card_key.h"
#include "net/channel.h"
#include "net/proxy_tunnel.h"
#include "net/server_list.h"
#include "net/tls_config.h"
#include "util/openssl_ptr.h"

namespace sorvimend {

class TlsChannel final : public Channel {
 public:
  // The largest piece one read step takes from the connection.
  static constexpr std::size_t kMaxReadPerStep = 64 * 1024;

  // Resolves the configured servers (blocking) and shuffles them by the current time.
  TlsChannel(const std::vector<ServerEndpoint>& configured, std::uint64_t maxReplySize);
  // Takes the concrete list as it is, in this order (for tools and tests).
  struct ConcreteServers {
    std::vector<ServerEndpoint> list;
  };
  TlsChannel(ConcreteServers servers, std::uint64_t maxReplySize);
  ~TlsChannel() override;
  TlsChannel(const TlsChannel&) = delete;
  TlsChannel& operator=(const TlsChannel&) = delete;

  void configure(std::vector<std::string> midCerts, std::vector<std::string> smartIdCerts,
                 std::vector<std::string> choicesCerts, std::vector<std::string> votingCerts,
                 std::string cipherList) override;
  [[nodiscard]] TransportCode connect(ServiceKind kind, const ServerEndpoint& server,
                                      const ServerEndpoint& proxy) override;
  [[nodiscard]] TransportCode write(std::string& buffer, StreamRole stream) override;
  [[nodiscard]] TransportCode read(std::string& buffer, StreamRole stream) override;
  [[nodiscard]] TransportCode runTunnel() override;
  [[nodiscard]] TransportCode finishHandshake() override;
  void close() override;

  // From now on every connection presents the card's authentication certificate. lookup finds
  // the card when the certificate is first needed and at every signature.
  void requireClientCertificate(ClientKeyLookup lookup);

  [[nodiscard]] const ProxyTunnel* tunnel() const { return tunnel_.get(); }
  // Whether the pin check refused a server since the last call to connect that began a connection.
  [[nodiscard]] bool pinRejected() const { return tlsConfig_.pinRejected; }

 private:
  [[nodiscard]] TransportCode loadClientCertificate();
  [[nodiscard]] TransportCode waitAndDrive(BIO* bio);
  [[nodiscard]] BIO* streamFor(StreamRole role) const;

  std::unique_ptr<ClientKeyLookup> cardLookup_;  // stable address: the card key points at it
  TlsConfig tlsConfig_;
  SslCtxPtr context_;
  BioPtr stream_;        // TLS filter over the socket connector
  BIO* raw_ = nullptr;   // the socket connector beneath stream_ when a proxy is used
  std::unique_ptr<ProxyTunnel> tunnel_;
};

}  // namespace sorvimend
