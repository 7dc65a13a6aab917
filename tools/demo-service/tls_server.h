#pragma once
// One listening port speaking TLS 1.2; the certificate is chosen by the server name the client
// announces. A client certificate is requested from every client and checked by the service
// where a method needs it. Each connection is served by its own thread, at most maxConnections
// at a time, and every read and write has a deadline, so a slow client holds only its own
// thread.

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "tools/demo-service/election.h"
#include "tools/demo-service/service.h"

namespace sorvimend::demo {

// Misbehaviour on purpose, for testing the client's error paths. method "*" matches every method.
struct Fault {
  enum class Kind { Delay, CloseEarly, Oversize };
  Kind kind = Kind::Delay;
  std::string method;
  long value = 0;  // milliseconds for Delay, reply bytes for Oversize
};

struct ServerOptions {
  std::string host = "127.0.0.1";
  int port = 0;  // 0: any free port
  int ioTimeoutMs = 10000;
  int maxConnections = 32;
  std::size_t maxRequestBytes = 1 << 20;
  std::vector<Fault> faults;
};

class TlsServer {
 public:
  TlsServer(const Election& election, Service& service, ServerOptions options);
  ~TlsServer();
  TlsServer(const TlsServer&) = delete;
  TlsServer& operator=(const TlsServer&) = delete;

  // Binds and listens; false with a reason on failure. port() then gives the bound port.
  [[nodiscard]] bool start(std::string& problem);
  int port() const { return boundPort_; }

  // Serves until stop becomes true; then waits for the open connections to finish.
  void run(const std::atomic<bool>& stop);

 private:
  void serve(int fd, const std::atomic<bool>& stop);
  static int selectServerName(SSL* ssl, int* alert, void* arg);

  const Election& election_;
  Service& service_;
  ServerOptions options_;
  int listenFd_ = -1;
  int boundPort_ = 0;
  SslCtxPtr defaultContext_;
  std::vector<std::pair<std::string, SslCtxPtr>> contexts_;
  std::atomic<int> active_{0};
};

}  // namespace sorvimend::demo
