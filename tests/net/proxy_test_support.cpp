#include "tests/net/proxy_test_support.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "tests/net/tls_test_server.h"

namespace sorvimend::test {
namespace {

int connectLoopback(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool readRequest(int fd, std::string& request) {
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos) {
    const ssize_t got = ::read(fd, buffer, sizeof(buffer));
    if (got <= 0) return false;
    request.append(buffer, static_cast<std::size_t>(got));
  }
  return true;
}

bool writeAll(int fd, const std::string& text) {
  std::size_t at = 0;
  while (at < text.size()) {
    const ssize_t sent = ::send(fd, text.data() + at, text.size() - at, MSG_NOSIGNAL);
    if (sent <= 0) return false;
    at += static_cast<std::size_t>(sent);
  }
  return true;
}

void relay(int a, int b) {
  char buffer[16384];
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < end) {
    pollfd fds[2] = {{a, POLLIN, 0}, {b, POLLIN, 0}};
    if (poll(fds, 2, 100) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].revents == 0) continue;
      const ssize_t got = ::read(fds[i].fd, buffer, sizeof(buffer));
      if (got <= 0) return;
      if (!writeAll(fds[1 - i].fd, std::string(buffer, static_cast<std::size_t>(got)))) return;
    }
  }
}

}  // namespace

FakeProxy::FakeProxy(std::vector<std::string> answers, AfterAnswers after)
    : answers_(std::move(answers)), after_(after) {
  listenFd_ = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || listen(listenFd_, 8) != 0) {
    throw std::runtime_error("fake proxy cannot listen");
  }
  socklen_t length = sizeof(address);
  getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { run(); });
}

FakeProxy::~FakeProxy() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
  ::close(listenFd_);
}

std::vector<std::string> FakeProxy::requests() {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

void FakeProxy::run() {
  while (!stopping_) {
    pollfd entry{listenFd_, POLLIN, 0};
    if (poll(&entry, 1, 20) <= 0) continue;
    const int fd = accept(listenFd_, nullptr, nullptr);
    if (fd < 0) continue;
    serve(fd);
  }
}

void FakeProxy::serve(int fd) {
  timeval timeout{2, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
  std::string target;
  for (const std::string& answer : answers_) {
    std::string request;
    if (!readRequest(fd, request)) {
      ::close(fd);
      return;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(request);
    }
    const std::size_t space = request.find(' ');
    const std::size_t colon = request.find(':', space);
    const std::size_t end = request.find(' ', colon);
    if (space != std::string::npos && colon != std::string::npos && end != std::string::npos) {
      target = request.substr(colon + 1, end - colon - 1);
    }
    if (!writeAll(fd, answer)) {
      ::close(fd);
      return;
    }
  }
  if (after_ == AfterAnswers::Tunnel && !target.empty()) {
    const int server = connectLoopback(std::atoi(target.c_str()));
    if (server >= 0) {
      relay(fd, server);
      ::close(server);
    }
  } else if (after_ == AfterAnswers::Reset) {
    // Let the answer reach the client before the reset.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    linger abort{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof(abort));
  }
  ::close(fd);
}

SquidProxy::SquidProxy(const std::string& directory, SquidAuth auth, const std::string& user,
                       const std::string& password) {
  if (access("/usr/sbin/squid", X_OK) != 0) {
    failure_ = "squid is not installed";
    return;
  }
  if (std::system(("rm -rf '" + directory + "' && mkdir -p '" + directory + "'").c_str()) != 0) {
    failure_ = "cannot make " + directory;
    return;
  }
  const std::string users = directory + "/users";
  if (auth == SquidAuth::Basic) {
    if (std::system(("htpasswd -b -c '" + users + "' '" + user + "' '" + password + "' >/dev/null 2>&1").c_str()) != 0) {
      failure_ = "htpasswd failed";
      return;
    }
  } else {
    std::ofstream(users) << user << ":" << password << "\n";
  }
  port_ = refusingPort();
  const std::string conf = directory + "/squid.conf";
  {
    std::ofstream out(conf);
    out << "http_port 127.0.0.1:" << port_ << "\n"
        << "pid_filename " << directory << "/squid.pid\n"
        << "cache_log " << directory << "/cache.log\n"
        << "access_log stdio:" << directory << "/access.log\n"
        << "coredump_dir " << directory << "\n"
        << "cache deny all\npinger_enable off\nshutdown_lifetime 0 seconds\n";
    if (auth == SquidAuth::Basic) {
      out << "auth_param basic program /usr/lib/squid/basic_ncsa_auth " << users << "\n";
    } else {
      out << "auth_param digest program /usr/lib/squid/digest_file_auth " << users << "\n"
          << "auth_param digest realm sorvimend-test\n";
    }
    out << "acl CONNECT method CONNECT\nacl authed proxy_auth REQUIRED\n"
        << "http_access allow CONNECT authed\nhttp_access deny all\n";
  }
  // Started as root, squid runs as user proxy: its files must be proxy's.
  if (geteuid() == 0 && std::system(("chown -R proxy:proxy '" + directory + "'").c_str()) != 0) {
    failure_ = "cannot give " + directory + " to user proxy";
    return;
  }
  const std::string name = "svnet" + std::to_string(getpid()) + (auth == SquidAuth::Basic ? "b" : "d");
  pid_ = fork();
  if (pid_ == 0) {
    const std::string log = directory + "/stderr.log";
    if (freopen(log.c_str(), "w", stderr) == nullptr) _exit(127);
    if (freopen("/dev/null", "w", stdout) == nullptr) _exit(127);
    execl("/usr/sbin/squid", "squid", "-N", "-n", name.c_str(), "-f", conf.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  if (pid_ < 0) {
    failure_ = "fork failed";
    return;
  }
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (std::chrono::steady_clock::now() < end) {
    const int fd = connectLoopback(port_);
    if (fd >= 0) {
      ::close(fd);
      return;
    }
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      failure_ = "squid exited; see " + directory + "/stderr.log";
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  failure_ = "squid did not start listening";
}

SquidProxy::~SquidProxy() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  int status = 0;
  while (std::chrono::steady_clock::now() < end) {
    if (waitpid(pid_, &status, WNOHANG) == pid_) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  kill(pid_, SIGKILL);
  waitpid(pid_, &status, 0);
}

}  // namespace sorvimend::test
