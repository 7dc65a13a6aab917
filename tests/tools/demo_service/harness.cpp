#include "tests/tools/demo_service/harness.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include <openssl/err.h>
#include <openssl/ssl.h>

#include "tools/demo-service/wire.h"
#include "util/openssl_ptr.h"

namespace sorvimend::demo::testing {

namespace fs = std::filesystem;

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::string shell(const std::string& command, int* status) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) {
    if (status) *status = -1;
    return out;
  }
  std::array<char, 4096> buf{};
  std::size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), pipe)) > 0) out.append(buf.data(), n);
  const int rc = ::pclose(pipe);
  if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return out;
}

const std::string& electionDir() {
  static std::once_flag once;
  static std::string dir;
  std::call_once(once, [] {
    const char* build = std::getenv("SV_BUILD_DIR");
    const char* source = std::getenv("SV_SOURCE_DIR");
    if (!build || !source) return;
    const std::string target = std::string(build) + "/demo-election";
    if (!fs::exists(target + "/election.json")) {
      int status = 0;
      shell("bash '" + std::string(source) + "/demo/make-election' '" + target + "' >/dev/null 2>&1", &status);
      if (status != 0) return;
    }
    dir = target;
  });
  return dir;
}

ServiceProcess::ServiceProcess(std::vector<std::string> extraArgs, const std::string& election) {
  const char* build = std::getenv("SV_BUILD_DIR");
  if (!build || election.empty()) return;
  char pattern[] = "/tmp/demo-service-state-XXXXXX";
  if (!::mkdtemp(pattern)) return;
  stateDir_ = pattern;
  int out[2];
  if (::pipe(out) != 0) return;
  std::vector<std::string> args = {std::string(build) + "/bin/demo-service", "--election", election, "--listen",
                                   "127.0.0.1:0", "--state", stateDir_};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(out[1], 1);
    ::close(out[0]);
    ::close(out[1]);
    const int quiet = ::open("/dev/null", O_WRONLY);
    if (!std::getenv("DEMO_SERVICE_VERBOSE")) ::dup2(quiet, 2);
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
    char c[256];
    const ssize_t n = ::read(out[0], c, sizeof c);
    if (n <= 0) break;
    line.append(c, static_cast<std::size_t>(n));
  }
  ::close(out[0]);
  const auto colon = line.rfind(':');
  if (line.rfind("demo-service listening on ", 0) == 0 && colon != std::string::npos)
    port_ = std::atoi(line.c_str() + colon + 1);
}

bool ServiceProcess::alive() const {
  if (pid_ <= 0) return false;
  int status = 0;
  return ::waitpid(pid_, &status, WNOHANG) == 0;
}

int ServiceProcess::stop() {
  if (pid_ <= 0) return -1;
  ::kill(pid_, SIGTERM);
  int status = 0;
  const pid_t pid = pid_;
  pid_ = -1;
  if (::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

ServiceProcess::~ServiceProcess() {
  stop();
  if (!stateDir_.empty() && !std::getenv("DEMO_SERVICE_KEEP_STATE")) {
    std::error_code ec;
    fs::remove_all(stateDir_, ec);
  }
}

std::optional<std::string> exchange(int port, const std::string& serverName, const std::string& requestText,
                                    const ClientIdentity* client) {
  // A service that drops the connection must fail the exchange, not kill the test.
  static const bool ignored = ::signal(SIGPIPE, SIG_IGN) != SIG_ERR;
  (void)ignored;
  SslCtxPtr ctx(SSL_CTX_new(TLS_client_method()));
  if (!ctx) return std::nullopt;
  SSL_CTX_set_min_proto_version(ctx.get(), TLS1_2_VERSION);
  SSL_CTX_set_max_proto_version(ctx.get(), TLS1_2_VERSION);
  // The card signs with PKCS #1 v1.5 or ECDSA only.
  SSL_CTX_set1_client_sigalgs_list(ctx.get(), "RSA+SHA256:ECDSA+SHA256:ECDSA+SHA384");
  const std::string ca = electionDir() + "/pki/root-ca.pem";
  if (SSL_CTX_load_verify_locations(ctx.get(), ca.c_str(), nullptr) != 1) return std::nullopt;
  SSL_CTX_set_verify(ctx.get(), SSL_VERIFY_PEER, nullptr);
  if (client && (SSL_CTX_use_certificate_file(ctx.get(), client->certificatePem.c_str(), SSL_FILETYPE_PEM) != 1 ||
                 SSL_CTX_use_PrivateKey_file(ctx.get(), client->keyPem.c_str(), SSL_FILETYPE_PEM) != 1))
    return std::nullopt;
  BioPtr bio(BIO_new_ssl_connect(ctx.get()));
  SSL* ssl = nullptr;
  BIO_get_ssl(bio.get(), &ssl);
  if (!ssl) return std::nullopt;
  SSL_set_tlsext_host_name(ssl, serverName.c_str());
  SSL_set1_host(ssl, serverName.c_str());
  const std::string target = "127.0.0.1:" + std::to_string(port);
  BIO_set_conn_hostname(bio.get(), target.c_str());
  if (BIO_do_connect(bio.get()) <= 0 || BIO_do_handshake(bio.get()) <= 0) {
    ERR_clear_error();
    return std::nullopt;
  }
  std::size_t sent = 0;
  while (sent < requestText.size()) {
    const int n = BIO_write(bio.get(), requestText.data() + sent, static_cast<int>(requestText.size() - sent));
    if (n <= 0) break;
    sent += static_cast<std::size_t>(n);
  }
  std::string reply;
  char buf[4096];
  for (;;) {
    const int n = BIO_read(bio.get(), buf, sizeof buf);
    if (n <= 0) break;
    reply.append(buf, static_cast<std::size_t>(n));
  }
  ERR_clear_error();
  return reply;
}

std::string request(const std::string& method, const std::vector<std::pair<std::string, std::string>>& params) {
  std::string text = "{\"method\":" + jsonQuote("RPC." + method) + ",\"params\":[{";
  bool first = true;
  for (const auto& [name, value] : params) {
    if (!first) text += ",";
    first = false;
    text += jsonQuote(name) + ":" + jsonQuote(value);
  }
  return text + "}],\"id\":0}";
}

}  // namespace sorvimend::demo::testing
