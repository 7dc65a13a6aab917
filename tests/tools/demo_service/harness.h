#pragma once
// Test helpers for the demo voting service: the demo election made once per build folder, the
// service run as a child process, and a blocking TLS client that sends one request and reads
// the reply until the server closes.

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace sorvimend::demo::testing {

// SV_BUILD_DIR/demo-election, made by demo/make-election when it is missing. Empty on failure.
const std::string& electionDir();

std::string readText(const std::string& path);
std::string shell(const std::string& command, int* status = nullptr);  // stdout of sh -c

class ServiceProcess {
 public:
  // Starts demo-service on a free loopback port with a fresh state folder.
  explicit ServiceProcess(std::vector<std::string> extraArgs = {}, const std::string& election = electionDir());
  ~ServiceProcess();
  ServiceProcess(const ServiceProcess&) = delete;
  ServiceProcess& operator=(const ServiceProcess&) = delete;

  bool running() const { return port_ > 0; }
  int port() const { return port_; }
  const std::string& stateDir() const { return stateDir_; }
  // SIGTERM and wait; the exit status, or -1 when it did not exit normally.
  int stop();
  bool alive() const;

 private:
  pid_t pid_ = -1;
  int port_ = 0;
  std::string stateDir_;
};

struct ClientIdentity {
  std::string certificatePem;  // file names
  std::string keyPem;
};

// One exchange: nothing when the connection or handshake fails. The server certificate is
// checked against the demo root CA and the server name.
std::optional<std::string> exchange(int port, const std::string& serverName, const std::string& request,
                                    const ClientIdentity* client = nullptr);

// The request envelope of the application: {"method":"RPC.M","params":[{...}],"id":0}.
std::string request(const std::string& method, const std::vector<std::pair<std::string, std::string>>& params);

}  // namespace sorvimend::demo::testing
