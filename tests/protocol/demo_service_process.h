#pragma once
// The demo voting service as a child process for the integration tests: the demo election made
// once per build folder (SV_BUILD_DIR/protocol-election), the service on a free loopback port
// with a fresh state folder, stopped with SIGTERM.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace sorvimend::protocol_test {

inline std::string electionDir() {
  const char* build = std::getenv("SV_BUILD_DIR");
  const char* source = std::getenv("SV_SOURCE_DIR");
  if (!build || !source) return {};
  const std::string dir = std::string(build) + "/protocol-election";
  if (!std::filesystem::exists(dir + "/bundle.json")) {
    const std::string command =
        "bash '" + std::string(source) + "/demo/make-election' '" + dir + "' --build '" + build + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return {};
  }
  return dir;
}

class DemoService {
 public:
  explicit DemoService(const std::string& election, std::vector<std::string> extra = {}) {
    const char* build = std::getenv("SV_BUILD_DIR");
    if (!build || election.empty()) return;
    state_ = election + "/state-" + std::to_string(::getpid());
    std::filesystem::remove_all(state_);
    std::filesystem::create_directories(state_);
    int out[2];
    if (::pipe(out) != 0) return;
    std::vector<std::string> args = {std::string(build) + "/bin/demo-service", "--election", election,
                                     "--listen",  "127.0.0.1:0", "--state", state_};
    args.insert(args.end(), extra.begin(), extra.end());
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], 1);
      ::close(out[0]);
      ::close(out[1]);
      const int quiet = ::open("/dev/null", O_WRONLY);
      ::dup2(quiet, 2);
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
      pollfd p{out[0], POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      char buffer[256];
      const ssize_t n = ::read(out[0], buffer, sizeof buffer);
      if (n <= 0) break;
      line.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(out[0]);
    const std::string prefix = "demo-service listening on ";
    const auto colon = line.rfind(':');
    if (line.rfind(prefix, 0) == 0 && colon != std::string::npos) port_ = std::atoi(line.c_str() + colon + 1);
  }

  ~DemoService() {
    stop();
    std::error_code ignored;
    if (!state_.empty()) std::filesystem::remove_all(state_, ignored);
  }
  DemoService(const DemoService&) = delete;
  DemoService& operator=(const DemoService&) = delete;

  [[nodiscard]] int port() const { return port_; }
  [[nodiscard]] const std::string& stateDir() const { return state_; }

  // The exit status after SIGTERM, -1 when it did not exit normally.
  int stop() {
    if (pid_ <= 0) return -1;
    ::kill(pid_, SIGTERM);
    int status = 0;
    const pid_t pid = pid_;
    pid_ = -1;
    if (::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
  std::string state_;
};

}  // namespace sorvimend::protocol_test
