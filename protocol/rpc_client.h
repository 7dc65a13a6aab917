#pragma once
// The one client through which the program talks to the voting service and its Mobile-ID and
// Smart-ID front ends. Builds each request in the service's JSON envelope, picks the service kind
// (pinned set and server name) and starts the exchange on its channel; the service operations
// then step the exchange and read the reply. Only one exchange exists at a time: a new request
// abandons the one still running.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "identity/mobile_session.h"
#include "net/tls_channel.h"
#include "protocol/json_request.h"
#include "protocol/transport_config.h"

namespace sorvimend {

class ProxyPrompt;

// What a request operation answers. Network failures come later, from step().
enum class RequestResult : int {
  Started = 0,
  Refused = 31,  // the session kind or status purpose is not one of the service's; nothing sent
};

class RpcClient {
 public:
  // Resolves and shuffles the configured servers (blocking), configures the channel.
  explicit RpcClient(const TransportConfig& config);
  // With a channel made elsewhere (a fixed server list in tests and tools); it is configured here.
  RpcClient(const TransportConfig& config, std::unique_ptr<TlsChannel> channel);
  virtual ~RpcClient();
  RpcClient(const RpcClient&) = delete;
  RpcClient& operator=(const RpcClient&) = delete;

  [[nodiscard]] virtual RequestResult requestCardVoterChoices();
  [[nodiscard]] virtual RequestResult requestCardVote(std::string_view districtId, std::string_view voteType,
                                                      std::string_view container);
  [[nodiscard]] virtual RequestResult requestAuthenticate(const MobileSession& session);
  [[nodiscard]] virtual RequestResult requestVoterChoices(std::string_view authToken);
  // GetCertificate for Mobile-ID, GetCertificateChoice for Smart-ID.
  [[nodiscard]] virtual RequestResult requestCertificate(const MobileSession& session, std::string_view authToken);
  [[nodiscard]] virtual RequestResult requestSign(const MobileSession& session, std::string_view authToken,
                                                  std::string_view hashType, std::string_view hash);
  [[nodiscard]] virtual RequestResult requestVote(std::string_view authToken, std::string_view districtId,
                                                  std::string_view voteType, std::string_view container);
  // AuthenticateStatus, GetCertificateChoiceStatus or SignStatus by purpose.
  [[nodiscard]] virtual RequestResult requestStatus(const MobileSession& session, SessionPurpose purpose);
  // One step of the current exchange: Pending, Done with the reply text, or the failure.
  [[nodiscard]] virtual TransportCode step(std::string& reply);
  virtual void setSessionId(std::string sessionId) { sessionId_ = std::move(sessionId); }
  virtual void setOsDescription(std::string description) { osDescription_ = std::move(description); }
  // Reads the proxy variable and, when it names a proxy, asks prompt (may be null) to confirm it.
  virtual void applyProxyEnvironment();

  void setProxyPrompt(ProxyPrompt* prompt) { proxyPrompt_ = prompt; }
  [[nodiscard]] const std::string& sessionId() const { return sessionId_; }
  [[nodiscard]] const std::string& osDescription() const { return osDescription_; }
  [[nodiscard]] TlsChannel& channel() { return *channel_; }

  // The process-wide client. create() replaces (and destroys) any earlier one.
  static RpcClient& create(const TransportConfig& config);
  static void install(std::unique_ptr<RpcClient> client);
  [[nodiscard]] static RpcClient* instance();
  static void destroy();

 private:
  void configureChannel(const TransportConfig& config);
  RequestResult send(ServiceKind kind, std::string_view method, RequestParams params, bool clientCertificate);
  // The mobile service kind of the session, or false when it has none.
  bool mobileKind(const MobileSession& session, ServiceKind& kind) const;

  std::unique_ptr<TlsChannel> channel_;
  std::string choicesSni_;
  std::string votingSni_;
  std::string midSni_;
  std::string smartIdSni_;
  std::string proxyVariable_;
  std::string sessionId_;
  std::string osDescription_;
  ProxyPrompt* proxyPrompt_ = nullptr;
};

}  // namespace sorvimend
