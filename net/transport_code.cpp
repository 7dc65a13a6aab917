#include "net/transport_code.h"

namespace sorvimend {

std::string_view transportCodeText(TransportCode code) {
  switch (code) {
    case TransportCode::Done: return "connected";
    case TransportCode::ClientCertNoMemory: return "no memory for the client certificate";
    case TransportCode::ClientCertUndecodable: return "client certificate does not decode";
    case TransportCode::ClientCertNoPublicKey: return "client certificate has no usable public key";
    case TransportCode::ClientKeyObjectFailed: return "client key object could not be made";
    case TransportCode::ClientCertNoRsaKey: return "client certificate RSA key unreadable";
    case TransportCode::ClientCertNoEcKey: return "client certificate EC key unreadable";
    case TransportCode::ClientCertKeyType: return "client key is neither RSA nor EC";
    case TransportCode::ContextFailed: return "TLS context could not be made";
    case TransportCode::CipherListRefused: return "cipher list refused";
    case TransportCode::CertificateRefused: return "client certificate refused by the TLS layer";
    case TransportCode::PrivateKeyRefused: return "client key refused by the TLS layer";
    case TransportCode::NoTlsObject: return "no TLS connection object";
    case TransportCode::ConnectFailed: return "connection refused";
    case TransportCode::HandshakeFailed: return "connection or handshake failed (pinned certificate not matched?)";
    case TransportCode::WriteFailed: return "sending the request failed";
    case TransportCode::ReplyTooLong: return "reply too long";
    case TransportCode::ReadFailed: return "reading the reply failed";
    case TransportCode::AllServersFailed: return "no server answered";
    case TransportCode::ProxyNoSocket: return "no socket beneath the TLS stream";
    case TransportCode::ProxyWriteFailed: return "sending the tunnel request to the proxy failed";
    case TransportCode::ProxyReadFailed: return "reading the proxy's answer failed";
    case TransportCode::ProxyClosed: return "proxy closed the connection before the tunnel opened";
    case TransportCode::ProxyRefused: return "proxy refused the tunnel";
    case TransportCode::NoExchange: return "no exchange started";
    case TransportCode::NoServers: return "server list is empty";
    case TransportCode::AlreadyComplete: return "exchange already complete";
    case TransportCode::Pending: return "pending";
  }
  return "unknown transport code";
}

}  // namespace sorvimend
