#include "tools/demo-service/tls_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>

#include <openssl/err.h>
#include <openssl/pem.h>

#include "tools/demo-service/wire.h"
#include "util/cert_set.h"
#include "util/openssl_error.h"

namespace sorvimend::demo {
namespace {

using Clock = std::chrono::steady_clock;

// Every certificate is accepted during the handshake: whether a method needs a verified card
// certificate is the service's decision, made per request.
int acceptAnyClient(int, X509_STORE_CTX*) { return 1; }

SslCtxPtr makeContext(const ServerIdentity& identity, std::string& problem) {
  SslCtxPtr ctx(SSL_CTX_new(TLS_server_method()));
  if (!ctx) {
    problem = "cannot create a TLS context";
    return nullptr;
  }
  SSL_CTX_set_min_proto_version(ctx.get(), TLS1_2_VERSION);
  SSL_CTX_set_max_proto_version(ctx.get(), TLS1_2_VERSION);
  SSL_CTX_set_options(ctx.get(), SSL_OP_NO_TICKET);
  SSL_CTX_set_session_cache_mode(ctx.get(), SSL_SESS_CACHE_OFF);
  SSL_CTX_set_verify(ctx.get(), SSL_VERIFY_PEER, acceptAnyClient);
  X509Ptr cert = certificateFromPem(identity.certificatePem);
  BioPtr keyBio(BIO_new_mem_buf(identity.keyPem.data(), static_cast<int>(identity.keyPem.size())));
  EvpPkeyPtr key(keyBio ? PEM_read_bio_PrivateKey(keyBio.get(), nullptr, nullptr, nullptr) : nullptr);
  if (!cert || !key || SSL_CTX_use_certificate(ctx.get(), cert.get()) != 1 ||
      SSL_CTX_use_PrivateKey(ctx.get(), key.get()) != 1 || SSL_CTX_check_private_key(ctx.get()) != 1) {
    clearOpenSslErrors();
    problem = "the certificate or key of " + identity.name + " is unusable";
    return nullptr;
  }
  return ctx;
}

// Waits until the socket is ready for what the TLS layer wants, within the deadline.
bool waitFor(int fd, int sslError, Clock::time_point deadline, const std::atomic<bool>& stop) {
  while (!stop.load()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd p{fd, static_cast<short>(sslError == SSL_ERROR_WANT_WRITE ? POLLOUT : POLLIN), 0};
    const int n = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, 200)));
    if (n > 0) return true;
    if (n < 0 && errno != EINTR) return false;
  }
  return false;
}

// Runs one TLS operation to completion or failure; op returns the SSL result.
template <class Op>
int drive(SSL* ssl, int fd, Clock::time_point deadline, const std::atomic<bool>& stop, Op op) {
  for (;;) {
    const int result = op();
    if (result > 0) return result;
    const int error = SSL_get_error(ssl, result);
    if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE) return result;
    if (!waitFor(fd, error, deadline, stop)) return -1;
  }
}

bool faultApplies(const Fault& f, const std::string& method) { return f.method == "*" || f.method == method; }

}  // namespace

TlsServer::TlsServer(const Election& election, Service& service, ServerOptions options)
    : election_(election), service_(service), options_(std::move(options)) {}

TlsServer::~TlsServer() {
  if (listenFd_ >= 0) ::close(listenFd_);
}

int TlsServer::selectServerName(SSL* ssl, int*, void* arg) {
  auto* self = static_cast<TlsServer*>(arg);
  const char* name = SSL_get_servername(ssl, TLSEXT_NAMETYPE_host_name);
  if (!name) return SSL_TLSEXT_ERR_OK;
  for (const auto& [serverName, ctx] : self->contexts_) {
    if (serverName == name) {
      SSL_set_SSL_CTX(ssl, ctx.get());
      return SSL_TLSEXT_ERR_OK;
    }
  }
  // An unknown name gets the default certificate; the client's pin check decides.
  return SSL_TLSEXT_ERR_OK;
}

bool TlsServer::start(std::string& problem) {
  for (const auto& identity : election_.servers) {
    SslCtxPtr ctx = makeContext(identity, problem);
    if (!ctx) return false;
    contexts_.emplace_back(identity.name, std::move(ctx));
  }
  defaultContext_ = makeContext(election_.servers.front(), problem);
  if (!defaultContext_) return false;
  SSL_CTX_set_tlsext_servername_callback(defaultContext_.get(), selectServerName);
  SSL_CTX_set_tlsext_servername_arg(defaultContext_.get(), this);

  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) {
    problem = std::string("socket: ") + std::strerror(errno);
    return false;
  }
  const int on = 1;
  ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(options_.port));
  if (::inet_pton(AF_INET, options_.host.c_str(), &address.sin_addr) != 1) {
    problem = "not an IPv4 address: " + options_.host;
    return false;
  }
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listenFd_, 64) != 0) {
    problem = "cannot listen on " + options_.host + ":" + std::to_string(options_.port) + ": " + std::strerror(errno);
    return false;
  }
  socklen_t length = sizeof address;
  ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
  boundPort_ = ntohs(address.sin_port);
  return true;
}

void TlsServer::run(const std::atomic<bool>& stop) {
  while (!stop.load()) {
    pollfd p{listenFd_, POLLIN, 0};
    if (::poll(&p, 1, 200) <= 0) continue;
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) continue;
    if (active_.load() >= options_.maxConnections) {
      ::close(fd);
      continue;
    }
    ++active_;
    std::thread([this, fd, &stop] {
      serve(fd, stop);
      ::close(fd);
      ERR_clear_error();
      --active_;
    }).detach();
  }
  while (active_.load() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

void TlsServer::serve(int fd, const std::atomic<bool>& stop) {
  SslPtr ssl(SSL_new(defaultContext_.get()));
  if (!ssl || SSL_set_fd(ssl.get(), fd) != 1) return;
  SSL* s = ssl.get();
  const auto deadline = Clock::now() + std::chrono::milliseconds(options_.ioTimeoutMs);
  if (drive(s, fd, deadline, stop, [s] { return SSL_accept(s); }) <= 0) return;

  std::string buffer;
  RequestScanner scanner;
  RequestScanner::State state = RequestScanner::State::NeedMore;
  char chunk[4096];
  while (state == RequestScanner::State::NeedMore && buffer.size() <= options_.maxRequestBytes) {
    const int n = drive(s, fd, deadline, stop, [&] { return SSL_read(s, chunk, sizeof chunk); });
    if (n <= 0) break;
    buffer.append(chunk, static_cast<std::size_t>(n));
    state = scanner.feed(buffer);
  }
  if (state == RequestScanner::State::NeedMore && buffer.size() <= options_.maxRequestBytes) {
    // Timed out or closed before a whole request arrived.
    std::fprintf(stderr, "demo-service: connection dropped before a complete request (%zu bytes)\n", buffer.size());
    return;
  }

  Peer peer;
  if (const char* name = SSL_get_servername(s, TLSEXT_NAMETYPE_host_name)) peer.serverName = name;
  if (X509Ptr cert{SSL_get1_peer_certificate(s)}) peer.clientCertificate = certificateDer(cert.get());

  std::string reply;
  std::string method = "-";
  std::optional<Request> request;
  if (state == RequestScanner::State::Complete && scanner.length() <= options_.maxRequestBytes)
    request = parseRequest(std::string_view(buffer).substr(0, scanner.length()));
  if (request) {
    method = request->method;
    reply = service_.handle(*request, peer);
  } else {
    reply = errorReply("BAD_REQUEST");
  }
  std::fprintf(stderr, "demo-service: %s via %s -> %.80s\n", method.c_str(),
               peer.serverName.empty() ? "(no SNI)" : peer.serverName.c_str(), reply.c_str());

  for (const Fault& f : options_.faults) {
    if (!faultApplies(f, method)) continue;
    if (f.kind == Fault::Kind::CloseEarly) return;
    if (f.kind == Fault::Kind::Delay) {
      const auto until = Clock::now() + std::chrono::milliseconds(f.value);
      while (!stop.load() && Clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (f.kind == Fault::Kind::Oversize && reply.size() < static_cast<std::size_t>(f.value))
      reply.append(static_cast<std::size_t>(f.value) - reply.size(), ' ');
  }

  // The application reads only at its step timer (what the socket holds, every 200 ms), and a
  // client behind a slow link may take longer still, so the time limit applies to each piece
  // written rather than to the whole reply.
  const auto idle = std::chrono::milliseconds(options_.ioTimeoutMs);
  std::size_t sent = 0;
  while (sent < reply.size()) {
    const int chunkSize = static_cast<int>(std::min<std::size_t>(reply.size() - sent, 1 << 14));
    const int n = drive(s, fd, Clock::now() + idle, stop, [&] { return SSL_write(s, reply.data() + sent, chunkSize); });
    if (n <= 0) return;
    sent += static_cast<std::size_t>(n);
  }
  // The reply ends where the connection does.
  drive(s, fd, Clock::now() + idle, stop, [s] {
    const int r = SSL_shutdown(s);
    return r == 0 ? 1 : r;
  });
}

}  // namespace sorvimend::demo
