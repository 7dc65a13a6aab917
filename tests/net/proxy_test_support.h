#pragma once
// Proxies for the tunnel tests: a scripted fake for answers a real proxy never gives, and squid
// run privately on a loopback port with Basic or Digest authentication. Test-only code.

#include <sys/types.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace sorvimend::test {

enum class AfterAnswers {
  Tunnel,  // relay bytes to the CONNECT target
  Close,   // close normally
  Reset,   // close with a TCP reset
};

// Answers each CONNECT request of a connection with the next answer of the script, then does
// `after`. One connection at a time.
class FakeProxy {
 public:
  FakeProxy(std::vector<std::string> answers, AfterAnswers after);
  ~FakeProxy();
  FakeProxy(const FakeProxy&) = delete;
  FakeProxy& operator=(const FakeProxy&) = delete;

  int port() const { return port_; }
  std::vector<std::string> requests();

 private:
  void run();
  void serve(int fd);

  std::vector<std::string> answers_;
  AfterAnswers after_;
  int listenFd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

enum class SquidAuth { Basic, Digest };

// squid on 127.0.0.1 with one user; stopped (SIGTERM, about 3.5 s) by the destructor.
class SquidProxy {
 public:
  SquidProxy(const std::string& directory, SquidAuth auth, const std::string& user, const std::string& password);
  ~SquidProxy();
  SquidProxy(const SquidProxy&) = delete;
  SquidProxy& operator=(const SquidProxy&) = delete;

  bool running() const { return pid_ > 0 && port_ > 0; }
  int port() const { return port_; }
  const std::string& failure() const { return failure_; }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
  std::string failure_;
};

}  // namespace sorvimend::test
