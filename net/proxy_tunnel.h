#pragma once
// The HTTP CONNECT tunnel through an HTTPS proxy: composes the request, reads the proxy's answer
// and answers one Basic or Digest challenge. It does no I/O itself; the channel writes `outgoing`
// and hands every chunk it reads to handleAnswer.

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "net/server_endpoint.h"

namespace sorvimend {

enum class TunnelState : int {
  Open = 0,     // the proxy connected us; TLS runs through the tunnel now
  Sending = 1,  // `outgoing` still has bytes to send
  Reading = 2,  // waiting for the rest of the proxy's answer
  Refused = 3,  // final: the answer was refused or could not be answered
};

class ProxyTunnel {
 public:
  // A proxy answer longer than this is refused: no proxy needs more to say yes or to challenge,
  // and an endless answer must not grow without bound.
  static constexpr std::size_t kMaxAnswerSize = 32 * 1024;

  // Composes the tunnel request at once; state Sending.
  ProxyTunnel(ServerEndpoint target, ServerEndpoint proxy);
  ~ProxyTunnel();
  // The tunnel holds credentials; a copy would leave an unwiped duplicate.
  ProxyTunnel(const ProxyTunnel&) = delete;
  ProxyTunnel& operator=(const ProxyTunnel&) = delete;

  // Appends the chunk and, once the answer is complete, decides: Open on 200, Sending after a
  // first 407 that could be answered (request recomposed), Refused otherwise; Reading while the
  // answer is incomplete.
  void handleAnswer(std::string_view chunk);

  // The channel removes what it has written from the front.
  std::string& outgoing() { return outgoing_; }
  void setState(TunnelState state) { state_ = state; }
  [[nodiscard]] TunnelState state() const { return state_; }

  [[nodiscard]] const ServerEndpoint& target() const { return target_; }
  [[nodiscard]] const std::string& authScheme() const { return authScheme_; }
  [[nodiscard]] const std::string& authorization() const { return authorization_; }
  [[nodiscard]] const std::string& answer() const { return answer_; }

 private:
  void composeRequest();
  [[nodiscard]] bool answerBasic();
  [[nodiscard]] bool answerDigest();

  ServerEndpoint target_;
  ServerEndpoint proxy_;
  std::string authScheme_;
  std::string authorization_;
  std::string answer_;
  std::string outgoing_;
  TunnelState state_ = TunnelState::Sending;
};

// Helpers of answer handling, exposed for tests.

// True when the answer holds its empty line and, if a Content-Length header is present, exactly
// that many bytes after it (counted up to a zero byte).
[[nodiscard]] bool proxyAnswerComplete(std::string_view answer);

// The first header line (cut at CRLF, the final piece without CRLF ignored) that matches the
// pattern as a whole, with its capture groups.
[[nodiscard]] std::optional<std::string> firstHeaderMatch(std::string_view answer, std::string_view pattern);

// The quoted key="value" parameters of a challenge (a later key overwrites an earlier one);
// nullopt when the scan cannot continue.
[[nodiscard]] std::optional<std::map<std::string, std::string>> digestParameters(std::string_view challenge);

enum class DigestHash { Md5, Sha256 };

// hex(H(hex(H(user:realm:password)) ":" nonce ":" nc ":" cnonce ":auth:" hex(H(method ":" uri))))
[[nodiscard]] std::string digestResponse(DigestHash hash, std::string_view user, std::string_view realm,
                                         std::string_view password, std::string_view nonce, std::string_view nc,
                                         std::string_view cnonce, std::string_view method, std::string_view uri);

}  // namespace sorvimend
