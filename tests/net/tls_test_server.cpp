#include "tests/net/tls_test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <openssl/err.h>
#include <openssl/ssl.h>

namespace sorvimend::test {
namespace {

int listenOnLoopback(int* port, int backlog) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) throw std::runtime_error("socket");
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || listen(fd, backlog) != 0) {
    ::close(fd);
    throw std::runtime_error("bind/listen");
  }
  socklen_t length = sizeof(address);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  *port = ntohs(address.sin_port);
  return fd;
}

int acceptEverything(int, X509_STORE_CTX*) { return 1; }

int selectByName(SSL* ssl, int*, void* arg) {
  auto* contexts = static_cast<std::map<std::string, SslCtxPtr>*>(arg);
  const char* name = SSL_get_servername(ssl, TLSEXT_NAMETYPE_host_name);
  const auto it = contexts->find(name ? name : "");
  if (it != contexts->end() && it->second.get() != SSL_get_SSL_CTX(ssl)) SSL_set_SSL_CTX(ssl, it->second.get());
  return SSL_TLSEXT_ERR_OK;
}

}  // namespace

const std::string& pkiDir() {
  static const std::string dir = [] {
    const char* source = std::getenv("SV_SOURCE_DIR");
    const char* build = std::getenv("SV_BUILD_DIR");
    const std::string sourceDir = source ? source : ".";
    const std::string out = std::string(build ? build : ".") + "/pki";
    const std::string command = "bash '" + sourceDir + "/tests/pki/make-pki.sh' '" + out + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("make-pki.sh failed");
    return out;
  }();
  return dir;
}

std::string pkiFile(const std::string& name) { return pkiDir() + "/" + name; }

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

int refusingPort() {
  int port = 0;
  const int fd = listenOnLoopback(&port, 1);
  ::close(fd);
  return port;
}

TlsTestServer::TlsTestServer(std::map<std::string, ServerIdentity> identities, bool requestClientCertificate) {
  if (identities.find("") == identities.end()) throw std::runtime_error("no default identity");
  for (const auto& [name, identity] : identities) {
    SslCtxPtr ctx(SSL_CTX_new(TLS_server_method()));
    if (!ctx || SSL_CTX_use_certificate_chain_file(ctx.get(), identity.chainFile.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(ctx.get(), identity.keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
      throw std::runtime_error("server identity " + identity.chainFile);
    }
    SSL_CTX_set_min_proto_version(ctx.get(), TLS1_2_VERSION);
    SSL_CTX_set_max_proto_version(ctx.get(), TLS1_2_VERSION);
    if (requestClientCertificate) {
      SSL_CTX_set_verify(ctx.get(), SSL_VERIFY_PEER | SSL_VERIFY_FAIL_IF_NO_PEER_CERT, acceptEverything);
    }
    contexts_[name] = std::move(ctx);
  }
  SSL_CTX_set_tlsext_servername_callback(contexts_[""].get(), selectByName);
  SSL_CTX_set_tlsext_servername_arg(contexts_[""].get(), &contexts_);
  listenFd_ = listenOnLoopback(&port_, 16);
  thread_ = std::thread([this] { run(); });
}

TlsTestServer::~TlsTestServer() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
  if (listenFd_ >= 0) ::close(listenFd_);
}

void TlsTestServer::stop() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
  if (listenFd_ >= 0) ::close(listenFd_);
  listenFd_ = -1;
}

void TlsTestServer::setReply(std::string reply, ServerBehaviour behaviour) {
  std::lock_guard<std::mutex> lock(mutex_);
  reply_ = std::move(reply);
  behaviour_ = behaviour;
}

void TlsTestServer::setTrickle(std::size_t pieceSize, std::chrono::milliseconds pause) {
  std::lock_guard<std::mutex> lock(mutex_);
  pieceSize_ = pieceSize;
  pause_ = pause;
}

std::vector<std::string> TlsTestServer::serverNames() {
  std::lock_guard<std::mutex> lock(mutex_);
  return serverNames_;
}

std::vector<std::string> TlsTestServer::requests() {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

std::string TlsTestServer::lastClientCertificateDer() {
  std::lock_guard<std::mutex> lock(mutex_);
  return clientCertificateDer_;
}

void TlsTestServer::run() {
  while (!stopping_) {
    pollfd entry{listenFd_, POLLIN, 0};
    if (poll(&entry, 1, 20) <= 0) continue;
    const int fd = accept(listenFd_, nullptr, nullptr);
    if (fd < 0) continue;
    ++connections_;
    serve(fd);
    ::close(fd);
    ERR_clear_error();
  }
}

void TlsTestServer::serve(int fd) {
  // Nothing in a test waits long: a stuck client must not hold the server.
  timeval timeout{2, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout));
  SslPtr ssl(SSL_new(contexts_[""].get()));
  if (!ssl) return;
  SSL_set_fd(ssl.get(), fd);
  if (SSL_accept(ssl.get()) != 1) return;
  ++handshakes_;
  std::string reply;
  ServerBehaviour behaviour;
  std::size_t pieceSize;
  std::chrono::milliseconds pause;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const char* name = SSL_get_servername(ssl.get(), TLSEXT_NAMETYPE_host_name);
    serverNames_.emplace_back(name ? name : "");
    X509* peer = SSL_get0_peer_certificate(ssl.get());
    if (peer != nullptr) {
      unsigned char* der = nullptr;
      const int length = i2d_X509(peer, &der);
      if (length > 0) clientCertificateDer_.assign(reinterpret_cast<char*>(der), static_cast<std::size_t>(length));
      OPENSSL_free(der);
    }
    reply = reply_;
    behaviour = behaviour_;
    pieceSize = pieceSize_;
    pause = pause_;
  }
  // The request is one small write by the client: one record.
  char buffer[16384];
  const int got = SSL_read(ssl.get(), buffer, sizeof(buffer));
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.emplace_back(got > 0 ? std::string(buffer, static_cast<std::size_t>(got)) : std::string());
  }
  if (behaviour == ServerBehaviour::Trickle) {
    for (std::size_t at = 0; at < reply.size() && !stopping_; at += pieceSize) {
      const std::string piece = reply.substr(at, pieceSize);
      if (SSL_write(ssl.get(), piece.data(), static_cast<int>(piece.size())) <= 0) return;
      std::this_thread::sleep_for(pause);
    }
  } else if (behaviour != ServerBehaviour::CloseWithoutAnswer) {
    std::size_t at = 0;
    while (at < reply.size()) {
      const int sent = SSL_write(ssl.get(), reply.data() + at, static_cast<int>(std::min<std::size_t>(reply.size() - at, 1 << 20)));
      if (sent <= 0) return;
      at += static_cast<std::size_t>(sent);
    }
  }
  if (behaviour != ServerBehaviour::AnswerAbruptly) SSL_shutdown(ssl.get());
}

SilentListener::SilentListener() { fd_ = listenOnLoopback(&port_, 16); }

SilentListener::~SilentListener() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace sorvimend::test
