// bundle-tool probe against our own TLS server, directly and through a proxy.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "tests/net/proxy_test_support.h"
#include "tests/net/tls_test_server.h"

namespace sorvimend::test {
namespace {

std::string buildDir() {
  const char* build = std::getenv("SV_BUILD_DIR");
  return build ? build : ".";
}

ServerIdentity identity(const std::string& name) { return {pkiFile(name + ".pem"), pkiFile(name + ".key.pem")}; }

struct ProbeRun {
  int status = -1;
  std::string output;
};

class ProbeCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = std::make_unique<TlsTestServer>(std::map<std::string, ServerIdentity>{
        {"", identity("server-voting")},
        {"mid.sorvimend.test", identity("server-mid")},
        {"smartid.sorvimend.test", identity("server-smartid")},
        {"choices.sorvimend.test", identity("server-choices")},
        {"voting.sorvimend.test", identity("server-voting")}});
  }
  void TearDown() override { unsetenv("SV_PROBE_TEST_PROXY"); }

  // The demo bundle with our server and pinned sets; midPin names the certificate pinned for MID.
  std::string writeBundle(const std::string& midPin) {
    const char* source = std::getenv("SV_SOURCE_DIR");
    rapidjson::Document bundle;
    bundle.Parse(readFile(std::string(source ? source : ".") + "/demo/bundle.json").c_str());
    EXPECT_FALSE(bundle.HasParseError());
    auto& alloc = bundle.GetAllocator();
    rapidjson::Value servers(rapidjson::kArrayType);
    servers.PushBack(rapidjson::Value(server_->hostPort().c_str(), alloc), alloc);
    bundle["RES_APP"]["EVOTE_SERVER"] = servers;
    const std::pair<const char*, std::string> pins[] = {
        {"MID_CERTS", midPin}, {"SMARTID_CERTS", "server-smartid"}, {"CHOICES_CERTS", "root-ca"}, {"VOTING_CERTS", "root-ca"}};
    for (const auto& [key, name] : pins) {
      rapidjson::Value list(rapidjson::kArrayType);
      list.PushBack(rapidjson::Value(readFile(pkiFile(name + ".pem")).c_str(), alloc), alloc);
      bundle["RES_DATA"][key] = list;
    }
    bundle["RES_TECH"]["HTTPS_PROXY"] = rapidjson::Value("SV_PROBE_TEST_PROXY", alloc);
    rapidjson::StringBuffer text;
    rapidjson::Writer<rapidjson::StringBuffer> writer(text);
    bundle.Accept(writer);
    const std::string path = buildDir() + "/net-probe-bundle.json";
    std::ofstream(path) << text.GetString();
    return path;
  }

  static ProbeRun probe(const std::string& bundlePath) {
    ProbeRun run;
    const std::string command = "'" + buildDir() + "/bin/bundle-tool' probe '" + bundlePath + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[512];
    while (std::fgets(buffer, sizeof(buffer), pipe) != nullptr) run.output += buffer;
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
  }

  std::unique_ptr<TlsTestServer> server_;
};

TEST_F(ProbeCommandTest, AllFourKindsConnect) {
  const ProbeRun run = probe(writeBundle("server-mid"));
  const std::string at = server_->hostPort();
  EXPECT_EQ(run.output, "MID " + at + " 0 connected\nSMARTID " + at + " 0 connected\nCHOICES " + at +
                            " 0 connected\nVOTING " + at + " 0 connected\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(server_->requests(), (std::vector<std::string>(4, "")));  // nothing was sent
  EXPECT_EQ(server_->serverNames(), (std::vector<std::string>{"mid.sorvimend.test", "smartid.sorvimend.test",
                                                              "choices.sorvimend.test", "voting.sorvimend.test"}));
}

TEST_F(ProbeCommandTest, WrongPinIsNamedAndFailsTheRun) {
  const ProbeRun run = probe(writeBundle("server-voting"));
  EXPECT_EQ(run.output.substr(0, run.output.find('\n')),
            "MID " + server_->hostPort() + " 22 no server answered with a pinned certificate");
  EXPECT_NE(run.output.find("VOTING " + server_->hostPort() + " 0 connected\n"), std::string::npos);
  EXPECT_EQ(run.status, 1);
}

TEST_F(ProbeCommandTest, ThroughTheProxyOfTheEnvironment) {
  FakeProxy proxy({"HTTP/1.1 200 Connection established\r\n\r\n"}, AfterAnswers::Tunnel);
  setenv("SV_PROBE_TEST_PROXY", ("127.0.0.1:" + std::to_string(proxy.port())).c_str(), 1);
  const ProbeRun run = probe(writeBundle("server-mid"));
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output.rfind("proxy 127.0.0.1:" + std::to_string(proxy.port()) + "\n", 0), 0u) << run.output;
  EXPECT_EQ(proxy.requests().size(), 4u);
}

TEST_F(ProbeCommandTest, UnreadableFile) {
  const std::string path = buildDir() + "/net-probe-broken.json";
  std::ofstream(path) << "{ not json";
  const ProbeRun run = probe(path);
  EXPECT_EQ(run.status, 1);
}

}  // namespace
}  // namespace sorvimend::test
