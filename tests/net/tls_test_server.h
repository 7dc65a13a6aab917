#pragma once
// A TLS 1.2 server of our own on 127.0.0.1, run in a thread of the test, with certificates chosen
// by the server name the client announces and scripted behaviours. Test-only code.

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "util/openssl_ptr.h"

namespace sorvimend::test {

// The PKI of tests/pki, made once per build folder; returns its directory.
const std::string& pkiDir();
std::string pkiFile(const std::string& name);
std::string readFile(const std::string& path);

// A port on 127.0.0.1 where nothing listens (connections are refused).
int refusingPort();

enum class ServerBehaviour {
  Answer,              // read the request, send the reply, close with a TLS close alert
  AnswerAbruptly,      // the same, but close the TCP connection without the close alert
  CloseWithoutAnswer,  // read the request, close without sending anything
  Trickle,             // send the reply in small pieces with pauses
};

struct ServerIdentity {
  std::string chainFile;  // PEM, leaf first, further certificates sent along
  std::string keyFile;
};

class TlsTestServer {
 public:
  // identities: by server name; "" is the default when the name is unknown or absent.
  explicit TlsTestServer(std::map<std::string, ServerIdentity> identities, bool requestClientCertificate = false);
  ~TlsTestServer();
  TlsTestServer(const TlsTestServer&) = delete;
  TlsTestServer& operator=(const TlsTestServer&) = delete;

  void setReply(std::string reply, ServerBehaviour behaviour = ServerBehaviour::Answer);
  void setTrickle(std::size_t pieceSize, std::chrono::milliseconds pause);
  // Stops listening: later connections are refused.
  void stop();

  int port() const { return port_; }
  std::string hostPort() const { return "127.0.0.1:" + std::to_string(port_); }
  int connections() const { return connections_; }
  int completedHandshakes() const { return handshakes_; }
  std::vector<std::string> serverNames();
  std::vector<std::string> requests();
  std::string lastClientCertificateDer();

 private:
  void run();
  void serve(int fd);

  std::map<std::string, SslCtxPtr> contexts_;
  int listenFd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
  std::atomic<int> handshakes_{0};
  std::mutex mutex_;
  std::string reply_;
  ServerBehaviour behaviour_ = ServerBehaviour::Answer;
  std::size_t pieceSize_ = 100;
  std::chrono::milliseconds pause_{5};
  std::vector<std::string> serverNames_;
  std::vector<std::string> requests_;
  std::string clientCertificateDer_;
  std::thread thread_;
};

// A port that accepts TCP connections (the kernel completes them) but never speaks.
class SilentListener {
 public:
  SilentListener();
  ~SilentListener();
  SilentListener(const SilentListener&) = delete;
  SilentListener& operator=(const SilentListener&) = delete;
  int port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

}  // namespace sorvimend::test
