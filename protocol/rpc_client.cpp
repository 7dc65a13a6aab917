#include "protocol/rpc_client.h"

#include "identity/id_card.h"
#include "net/proxy_discovery.h"

namespace sorvimend {

namespace {

std::unique_ptr<RpcClient>& currentClient() {
  static std::unique_ptr<RpcClient> client;
  return client;
}

std::vector<ServerEndpoint> parseServers(const std::vector<std::string>& texts) {
  std::vector<ServerEndpoint> servers;
  servers.reserve(texts.size());
  for (const auto& text : texts) servers.push_back(ServerEndpoint::fromText(text));
  return servers;
}

std::uint64_t replyLimit(std::int64_t size) { return size > 0 ? static_cast<std::uint64_t>(size) : 0; }

}  // namespace

RpcClient::RpcClient(const TransportConfig& config)
    : RpcClient(config, std::make_unique<TlsChannel>(parseServers(config.servers), replyLimit(config.maxMessageSize))) {}

RpcClient::RpcClient(const TransportConfig& config, std::unique_ptr<TlsChannel> channel)
    : channel_(std::move(channel)),
      choicesSni_(config.choicesSni),
      votingSni_(config.votingSni),
      midSni_(config.midSni),
      smartIdSni_(config.smartIdSni),
      proxyVariable_(config.proxyVariable) {
  configureChannel(config);
}

RpcClient::~RpcClient() = default;

void RpcClient::configureChannel(const TransportConfig& config) {
  channel_->configure(config.midCerts, config.smartIdCerts, config.choicesCerts, config.votingCerts, config.cipherList);
  channel_->setTimeouts(config.sslTimeout, config.sslRetryTimeout);
}

RequestResult RpcClient::send(ServiceKind kind, std::string_view method, RequestParams params, bool clientCertificate) {
  switch (kind) {
    case ServiceKind::CHOICES: channel_->setSniName(choicesSni_); break;
    case ServiceKind::VOTING: channel_->setSniName(votingSni_); break;
    case ServiceKind::MID: channel_->setSniName(midSni_); break;
    case ServiceKind::SMARTID: channel_->setSniName(smartIdSni_); break;
  }
  if (clientCertificate) {
    channel_->requireClientCertificate([]() -> ClientKeySource* { return idCard(); });
  }
  params.insert(params.begin(), {"OS", osDescription_});
  channel_->beginExchange(kind, buildRequest(method, params));
  return RequestResult::Started;
}

bool RpcClient::mobileKind(const MobileSession& session, ServiceKind& kind) const {
  switch (session.method()) {
    case MobileMethod::MobileId: kind = ServiceKind::MID; return true;
    case MobileMethod::SmartId: kind = ServiceKind::SMARTID; return true;
    case MobileMethod::IdCard: break;
  }
  return false;
}

RequestResult RpcClient::requestCardVoterChoices() {
  return send(ServiceKind::CHOICES, "VoterChoices", {{"AuthMethod", "tls"}}, true);
}

RequestResult RpcClient::requestCardVote(std::string_view districtId, std::string_view voteType,
                                         std::string_view container) {
  return send(ServiceKind::VOTING, "Vote",
              {{"AuthMethod", "tls"},
               {"Choices", std::string(districtId)},
               {"SessionID", sessionId_},
               {"Type", std::string(voteType)},
               {"Vote", std::string(container)}},
              true);
}

RequestResult RpcClient::requestAuthenticate(const MobileSession& session) {
  ServiceKind kind;
  if (!mobileKind(session, kind)) return RequestResult::Refused;
  if (kind == ServiceKind::MID) {
    return send(kind, "Authenticate", {{"phoneno", session.phoneNumber()}, {"idcode", session.personalCode()}}, false);
  }
  return send(kind, "Authenticate", {{"Identifier", session.personalCode()}}, false);
}

RequestResult RpcClient::requestVoterChoices(std::string_view authToken) {
  return send(ServiceKind::CHOICES, "VoterChoices",
              {{"AuthMethod", "ticket"}, {"AuthToken", std::string(authToken)}, {"SessionID", sessionId_}}, false);
}

RequestResult RpcClient::requestCertificate(const MobileSession& session, std::string_view authToken) {
  ServiceKind kind;
  if (!mobileKind(session, kind)) return RequestResult::Refused;
  if (kind == ServiceKind::MID) {
    return send(kind, "GetCertificate",
                {{"AuthMethod", "ticket"},
                 {"AuthToken", std::string(authToken)},
                 {"PhoneNo", session.phoneNumber()},
                 {"SessionID", sessionId_}},
                false);
  }
  return send(kind, "GetCertificateChoice",
              {{"AuthMethod", "ticket"}, {"AuthToken", std::string(authToken)}, {"SessionID", sessionId_}}, false);
}

RequestResult RpcClient::requestSign(const MobileSession& session, std::string_view authToken,
                                     std::string_view hashType, std::string_view hash) {
  ServiceKind kind;
  if (!mobileKind(session, kind)) return RequestResult::Refused;
  RequestParams params = {{"AuthMethod", "ticket"},
                          {"AuthToken", std::string(authToken)},
                          {"Hash", std::string(hash)},
                          {"HashType", std::string(hashType)}};
  if (kind == ServiceKind::SMARTID) {
    params.emplace_back("DataToken", session.dataToken());
  } else {
    params.emplace_back("PhoneNo", session.phoneNumber());
  }
  params.emplace_back("SessionID", sessionId_);
  return send(kind, "Sign", std::move(params), false);
}

RequestResult RpcClient::requestVote(std::string_view authToken, std::string_view districtId,
                                     std::string_view voteType, std::string_view container) {
  return send(ServiceKind::VOTING, "Vote",
              {{"AuthMethod", "ticket"},
               {"AuthToken", std::string(authToken)},
               {"Choices", std::string(districtId)},
               {"Type", std::string(voteType)},
               {"Vote", std::string(container)},
               {"SessionID", sessionId_}},
              false);
}

RequestResult RpcClient::requestStatus(const MobileSession& session, SessionPurpose purpose) {
  ServiceKind kind;
  if (!mobileKind(session, kind)) return RequestResult::Refused;
  const char* method = nullptr;
  switch (purpose) {
    case SessionPurpose::Identification: method = "AuthenticateStatus"; break;
    case SessionPurpose::CertificateChoice: method = "GetCertificateChoiceStatus"; break;
    case SessionPurpose::Signing: method = "SignStatus"; break;
    case SessionPurpose::None: break;
  }
  if (method == nullptr) return RequestResult::Refused;
  return send(kind, method, {{"SessionCode", session.sessionCode(purpose)}, {"SessionID", sessionId_}}, false);
}

TransportCode RpcClient::step(std::string& reply) { return channel_->step(reply); }

void RpcClient::applyProxyEnvironment() {
  ServerEndpoint proxy = discoverProxy(proxyVariable_, proxyPrompt_);
  if (proxy.hasHost()) channel_->setProxy(proxy);
  wipeEndpoint(proxy);
}

RpcClient& RpcClient::create(const TransportConfig& config) {
  install(std::make_unique<RpcClient>(config));
  return *currentClient();
}

void RpcClient::install(std::unique_ptr<RpcClient> client) {
  currentClient().reset();
  currentClient() = std::move(client);
}

RpcClient* RpcClient::instance() { return currentClient().get(); }

void RpcClient::destroy() { currentClient().reset(); }

}  // namespace sorvimend
