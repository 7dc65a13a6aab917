#include "net/tls_channel.h"

#include <poll.h>
#include <sys/ioctl.h>

#include <csignal>
#include <cstdint>
#include <ctime>
#include <utility>

#include <openssl/ssl.h>

#include "net/pin_check.h"
#include "util/openssl_error.h"

namespace sorvimend {
namespace {

// What a card key can sign: PKCS #1 v1.5 (no PSS) for RSA. TLS 1.2 would otherwise ask an RSA
// key for PSS, which the card's mechanism cannot produce.
constexpr const char* kCardSignatureAlgorithms =
    "RSA+SHA256:RSA+SHA384:RSA+SHA512:ECDSA+SHA256:ECDSA+SHA384:ECDSA+SHA512";

enum WaitFor : short { kReadable = POLLIN, kWritable = POLLOUT };

// Waits at most 500 microseconds, so a step never stalls the interface. poll, not select: a
// descriptor number above FD_SETSIZE must not write past an fd_set.
int waitForSocket(BIO* bio, short events) {
  const int fd = static_cast<int>(BIO_get_fd(bio, nullptr));
  if (fd < 0) return fd;
  pollfd entry{};
  entry.fd = fd;
  entry.events = events;
  const timespec timeout{0, 500 * 1000};
  return ppoll(&entry, 1, &timeout, nullptr);
}

// Bytes already waiting, decrypted or on the socket, so that draining never blocks and never
// consumes an end of stream that a later step should see.
bool moreWaiting(BIO* bio, StreamRole role) {
  if (role == StreamRole::Tls) {
    SSL* ssl = nullptr;
    BIO_get_ssl(bio, &ssl);
    if (ssl != nullptr && SSL_pending(ssl) > 0) return true;
  }
  const int fd = static_cast<int>(BIO_get_fd(bio, nullptr));
  if (fd < 0) return false;
  int waiting = 0;
  return ioctl(fd, FIONREAD, &waiting) == 0 && waiting > 0;
}

void ignoreBrokenPipes() {
  // A write on a connection the peer has reset must fail with a code, not end the program.
  struct sigaction current {};
  if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
    std::signal(SIGPIPE, SIG_IGN);
  }
}

}  // namespace

TlsChannel::TlsChannel(const std::vector<ServerEndpoint>& configured, std::uint64_t maxReplySize)
    : TlsChannel(ConcreteServers{concreteServerList(configured, resolveIpv4,
                                                    static_cast<unsigned>(std::time(nullptr)))},
                 maxReplySize) {}

TlsChannel::TlsChannel(ConcreteServers servers, std::uint64_t maxReplySize)
    : Channel(std::move(servers.list), maxReplySize), cardLookup_(std::make_unique<ClientKeyLookup>()) {
  ignoreBrokenPipes();
}

TlsChannel::~TlsChannel() {
  close();
  tlsConfig_.clientKey.reset();
}

void TlsChannel::configure(std::vector<std::string> midCerts, std::vector<std::string> smartIdCerts,
                           std::vector<std::string> choicesCerts, std::vector<std::string> votingCerts,
                           std::string cipherList) {
  tlsConfig_.pinnedSets[static_cast<std::size_t>(ServiceKind::MID)] = std::move(midCerts);
  tlsConfig_.pinnedSets[static_cast<std::size_t>(ServiceKind::SMARTID)] = std::move(smartIdCerts);
  tlsConfig_.pinnedSets[static_cast<std::size_t>(ServiceKind::CHOICES)] = std::move(choicesCerts);
  tlsConfig_.pinnedSets[static_cast<std::size_t>(ServiceKind::VOTING)] = std::move(votingCerts);
  tlsConfig_.cipherList = std::move(cipherList);
}

void TlsChannel::requireClientCertificate(ClientKeyLookup lookup) {
  *cardLookup_ = std::move(lookup);
  switchOnClientCertificate();
}

TransportCode TlsChannel::loadClientCertificate() {
  ClientKeySource* card = *cardLookup_ ? (*cardLookup_)() : nullptr;
  Bytes der = card != nullptr ? card->authenticationCertificate() : Bytes();
  CardKey cardKey = makeCardKey(der, cardLookup_.get());
  if (cardKey.code != TransportCode::Done) return cardKey.code;
  tlsConfig_.clientCertificateDer = std::move(der);
  tlsConfig_.clientKey = std::move(cardKey.key);
  tlsConfig_.clientKeyIsRsa = cardKey.rsa;
  return TransportCode::Done;
}

TransportCode TlsChannel::connect(ServiceKind kind, const ServerEndpoint& server, const ServerEndpoint& proxy) {
  if (!stream_) {
    const int kindIndex = static_cast<int>(kind);
    if (kindIndex >= 0 && kindIndex < kServiceKindCount) tlsConfig_.selected = kindIndex;
    tlsConfig_.pinRejected = false;
    if (useClientCertificate() && !tlsConfig_.clientKey) {
      const TransportCode loaded = loadClientCertificate();
      if (loaded != TransportCode::Done) return loaded;
    }
    clearOpenSslErrors();
    context_.reset(SSL_CTX_new(TLS_client_method()));
    if (!context_) return TransportCode::ContextFailed;
    SSL_CTX* ctx = context_.get();
    SSL_CTX_clear_options(ctx, SSL_CTX_get_options(ctx));
    if (SSL_CTX_set_cipher_list(ctx, tlsConfig_.cipherList.c_str()) != 1) {
      clearOpenSslErrors();
      return TransportCode::CipherListRefused;
    }
    // tlsConfig_ outlives every context made here.
    SSL_CTX_set_cert_verify_callback(ctx, pinCheckCallback, &tlsConfig_);
    SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
    if (useClientCertificate()) {
      const Bytes& der = tlsConfig_.clientCertificateDer;
      if (SSL_CTX_use_certificate_ASN1(ctx, static_cast<int>(der.size()), asUnsigned(der)) != 1) {
        clearOpenSslErrors();
        return TransportCode::CertificateRefused;
      }
      if (SSL_CTX_use_PrivateKey(ctx, tlsConfig_.clientKey.get()) != 1) {
        clearOpenSslErrors();
        return TransportCode::PrivateKeyRefused;
      }
      if (tlsConfig_.clientKeyIsRsa && SSL_CTX_set1_client_sigalgs_list(ctx, kCardSignatureAlgorithms) != 1) {
        clearOpenSslErrors();
        return TransportCode::PrivateKeyRefused;
      }
    }
    SSL_CTX_set_options(ctx, SSL_OP_NO_TICKET | SSL_OP_NO_COMPRESSION);
    // A server that closes the TCP connection without a TLS close alert ends its reply, as it
    // always has for this service; the reply is JSON, whose parser refuses a cut-off text.
    SSL_CTX_set_options(ctx, SSL_OP_IGNORE_UNEXPECTED_EOF);
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    SSL_CTX_set_max_proto_version(ctx, TLS1_2_VERSION);

    stream_.reset(BIO_new_ssl_connect(ctx));
    SSL* ssl = nullptr;
    if (stream_) BIO_get_ssl(stream_.get(), &ssl);
    if (ssl == nullptr) {
      clearOpenSslErrors();
      return TransportCode::NoTlsObject;
    }
    // A write retried after a pending step may come from a moved buffer.
    SSL_set_mode(ssl, SSL_MODE_AUTO_RETRY | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    if (!sniName().empty()) SSL_set_tlsext_host_name(ssl, sniName().c_str());

    BIO* driven = stream_.get();
    if (proxy.hasHost()) {
      BIO_set_conn_hostname(stream_.get(), proxy.hostPort.c_str());
      raw_ = BIO_find_type(stream_.get(), BIO_TYPE_DESCRIPTOR);
      if (raw_ == nullptr) return TransportCode::ProxyNoSocket;
      tunnel_ = std::make_unique<ProxyTunnel>(server, proxy);
      driven = raw_;
    } else {
      BIO_set_conn_hostname(stream_.get(), server.hostPort.c_str());
    }
    BIO_set_nbio(driven, 1);
    if (BIO_do_connect(driven) <= 0 && !BIO_should_retry(driven)) {
      clearOpenSslErrors();
      return TransportCode::ConnectFailed;
    }
  }
  return waitAndDrive(tunnel_ ? raw_ : stream_.get());
}

TransportCode TlsChannel::waitAndDrive(BIO* bio) {
  if (bio == nullptr) return TransportCode::HandshakeFailed;
  if (waitForSocket(bio, kReadable | kWritable) <= 0) return TransportCode::Pending;
  if (BIO_do_handshake(bio) > 0) return TransportCode::Done;
  if (BIO_should_retry(bio)) return TransportCode::Pending;
  clearOpenSslErrors();
  return TransportCode::HandshakeFailed;
}

TransportCode TlsChannel::finishHandshake() { return waitAndDrive(stream_.get()); }

BIO* TlsChannel::streamFor(StreamRole role) const { return role == StreamRole::Raw ? raw_ : stream_.get(); }

TransportCode TlsChannel::write(std::string& buffer, StreamRole role) {
  BIO* bio = streamFor(role);
  if (bio == nullptr) return TransportCode::WriteFailed;
  if (waitForSocket(bio, kWritable) <= 0) return TransportCode::Pending;
  if (buffer.empty()) return TransportCode::Done;
  const int size = buffer.size() > static_cast<std::size_t>(INT32_MAX) ? INT32_MAX : static_cast<int>(buffer.size());
  const int written = BIO_write(bio, buffer.data(), size);
  if (written == static_cast<int>(buffer.size())) {
    buffer.clear();
    return TransportCode::Done;
  }
  if (written > 0) {
    // Part is out: the rest goes on the next step. A partial write is progress, not a failure.
    buffer.erase(0, static_cast<std::size_t>(written));
    return TransportCode::Pending;
  }
  if (BIO_should_retry(bio)) return TransportCode::Pending;
  clearOpenSslErrors();
  return TransportCode::WriteFailed;
}

TransportCode TlsChannel::read(std::string& buffer, StreamRole role) {
  BIO* bio = streamFor(role);
  if (bio == nullptr) return TransportCode::ReadFailed;
  if (waitForSocket(bio, kReadable) <= 0) return TransportCode::Pending;
  // Drains what the connection already holds, up to kMaxReadPerStep, stopping as soon as the
  // reply is over its limit; the step stays non-blocking.
  char chunk[16 * 1024];
  std::size_t taken = 0;
  while (true) {
    const int got = BIO_read(bio, chunk, sizeof(chunk));
    if (got > 0) {
      buffer.append(chunk, static_cast<std::size_t>(got));
      taken += static_cast<std::size_t>(got);
      if (taken >= kMaxReadPerStep || buffer.size() > maxReplySize() || !moreWaiting(bio, role)) {
        return TransportCode::Pending;
      }
      continue;
    }
    if (BIO_should_retry(bio)) return TransportCode::Pending;
    if (got == 0) return TransportCode::Done;
    clearOpenSslErrors();
    return TransportCode::ReadFailed;
  }
}

TransportCode TlsChannel::runTunnel() {
  if (!tunnel_ || raw_ == nullptr) return TransportCode::ProxyNoSocket;
  switch (tunnel_->state()) {
    case TunnelState::Sending: {
      const TransportCode result = write(tunnel_->outgoing(), StreamRole::Raw);
      if (result == TransportCode::Done) {
        tunnel_->setState(TunnelState::Reading);
        return TransportCode::Pending;
      }
      return result == TransportCode::Pending ? result : TransportCode::ProxyWriteFailed;
    }
    case TunnelState::Reading: {
      std::string chunk;
      const TransportCode result = read(chunk, StreamRole::Raw);
      if (result == TransportCode::Pending) {
        tunnel_->handleAnswer(chunk);
        return TransportCode::Pending;
      }
      if (result == TransportCode::Done) {
        tunnel_->handleAnswer(chunk);
        if (tunnel_->state() == TunnelState::Open) return TransportCode::Done;
        if (tunnel_->state() == TunnelState::Sending) return TransportCode::Pending;
        return TransportCode::ProxyClosed;
      }
      return TransportCode::ProxyReadFailed;
    }
    case TunnelState::Refused:
      return TransportCode::ProxyRefused;
    case TunnelState::Open:
      return TransportCode::Done;
  }
  return TransportCode::ProxyRefused;
}

void TlsChannel::close() {
  tunnel_.reset();
  raw_ = nullptr;
  stream_.reset();
  context_.reset();
}

}  // namespace sorvimend
