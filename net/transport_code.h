#pragma once
// The result of every channel operation. The numbers reach the voter in the technical error code
// of a network error, so they never change.

#include <string_view>

namespace sorvimend {

enum class TransportCode : int {
  Done = 0,
  ClientCertNoMemory = 1,
  ClientCertUndecodable = 2,
  ClientCertNoPublicKey = 3,
  ClientKeyObjectFailed = 4,
  ClientCertNoRsaKey = 5,
  ClientCertNoEcKey = 6,
  ClientCertKeyType = 7,
  ContextFailed = 8,
  CipherListRefused = 9,
  CertificateRefused = 10,
  PrivateKeyRefused = 11,
  NoTlsObject = 12,
  ConnectFailed = 13,
  HandshakeFailed = 16,
  WriteFailed = 17,
  ReplyTooLong = 19,
  ReadFailed = 20,
  AllServersFailed = 22,
  ProxyNoSocket = 26,
  ProxyWriteFailed = 27,
  ProxyReadFailed = 28,
  ProxyClosed = 29,
  ProxyRefused = 30,
  NoExchange = 31,
  NoServers = 32,
  AlreadyComplete = 33,
  Pending = 34,
};

[[nodiscard]] constexpr int codeNumber(TransportCode code) { return static_cast<int>(code); }

// A short English explanation, for tools and diagnostics (the voter sees only the number).
[[nodiscard]] std::string_view transportCodeText(TransportCode code);

}  // namespace sorvimend
