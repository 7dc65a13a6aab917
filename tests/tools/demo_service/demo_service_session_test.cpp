// The running service, driven over TLS like the application drives it: identification with
// Mobile-ID, Smart-ID and the card, provider sessions with their polls, the phone's signatures,
// the demo scenarios, and refusals of every malformed request without the service stopping.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <chrono>
#include <thread>

#include <openssl/ssl.h>

#include "tests/tools/demo_service/client.h"
#include "util/base64.h"
#include "util/cert_set.h"
#include "util/openssl_ptr.h"
#include "util/sha256.h"

namespace sorvimend::demo::testing {
namespace {

constexpr const char* kDemoVoter = "38001010008";

std::string pki(const std::string& name) { return electionDir() + "/pki/" + name; }

ClientIdentity card(const std::string& name) { return {pki(name + ".pem"), pki(name + ".key.pem")}; }

class DemoServiceSession : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { service_ = std::make_unique<ServiceProcess>(); }
  static void TearDownTestSuite() {
    if (service_) {
      EXPECT_EQ(service_->stop(), 0);
    }
    service_.reset();
  }
  void SetUp() override { ASSERT_TRUE(service_ && service_->running()) << "demo-service did not start"; }
  int port() const { return service_->port(); }

  static std::unique_ptr<ServiceProcess> service_;
};
std::unique_ptr<ServiceProcess> DemoServiceSession::service_;

// A signature from the simulated phone verifies over the digest with the handed-out certificate.
bool phoneSignatureVerifies(const std::string& certificateBase64, const std::string& digest,
                            const std::string& signatureBase64) {
  X509Ptr cert = certificateFromDer(base64Decode(certificateBase64));
  if (!cert) return false;
  EVP_PKEY* key = X509_get0_pubkey(cert.get());
  std::string sig = base64Decode(signatureBase64);
  if (EVP_PKEY_base_id(key) == EVP_PKEY_EC) {
    const int half = static_cast<int>(sig.size() / 2);
    EcdsaSigPtr ecdsa(ECDSA_SIG_new());
    ECDSA_SIG_set0(ecdsa.get(), BN_bin2bn(reinterpret_cast<const unsigned char*>(sig.data()), half, nullptr),
                   BN_bin2bn(reinterpret_cast<const unsigned char*>(sig.data()) + half, half, nullptr));
    unsigned char* der = nullptr;
    const int len = i2d_ECDSA_SIG(ecdsa.get(), &der);
    sig.assign(reinterpret_cast<char*>(der), static_cast<std::size_t>(len));
    OPENSSL_free(der);
  }
  EvpPkeyCtxPtr ctx(EVP_PKEY_CTX_new(key, nullptr));
  return ctx && EVP_PKEY_verify_init(ctx.get()) == 1 &&
         (EVP_PKEY_base_id(key) != EVP_PKEY_RSA || EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) == 1) &&
         EVP_PKEY_CTX_set_signature_md(ctx.get(), EVP_sha256()) == 1 &&
         EVP_PKEY_verify(ctx.get(), reinterpret_cast<const unsigned char*>(sig.data()), sig.size(),
                         reinterpret_cast<const unsigned char*>(digest.data()), digest.size()) == 1;
}

TEST_F(DemoServiceSession, MobileIdIdentifiesAfterPollingAndGivesTheDistrictsChoices) {
  Reply start = call(port(), kMidName, "Authenticate",
                     {{"OS", "Linux"}, {"phoneno", "+37255500008"}, {"idcode", kDemoVoter}});
  ASSERT_TRUE(start.ok()) << start.text;
  EXPECT_EQ(base64Decode(start.result("Challenge")).size(), 32u);
  const std::string sessionId = start.result("SessionID");
  int polls = 0;
  Reply final = pollUntilDone(port(), kMidName, "AuthenticateStatus", start.result("SessionCode"), sessionId, &polls);
  ASSERT_TRUE(final.ok()) << final.text;
  EXPECT_EQ(polls, 1);  // the default of --polls
  EXPECT_EQ(final.result("Status"), "OK");
  EXPECT_EQ(final.result("GivenName"), "MARI-LIIS");
  EXPECT_EQ(final.result("Surname"), "M\xC3\x84NNIK");
  EXPECT_EQ(final.result("PersonalCode"), kDemoVoter);
  // The finished session is gone.
  EXPECT_EQ(call(port(), kMidName, "AuthenticateStatus",
                 {{"OS", "Linux"}, {"SessionCode", start.result("SessionCode")}, {"SessionID", sessionId}})
                .error,
            "BAD_REQUEST");

  Reply choices = call(port(), kChoicesName, "VoterChoices",
                       {{"OS", "Linux"}, {"AuthMethod", "ticket"}, {"AuthToken", final.result("AuthToken")},
                        {"SessionID", sessionId}});
  ASSERT_TRUE(choices.ok()) << choices.text;
  EXPECT_EQ(choices.result("Choices"), "0001.1");
  EXPECT_FALSE(choices.has("Voted"));
  EXPECT_EQ(base64Decode(choices.result("List")), readText(electionDir() + "/choices/0001.1.json"));
}

TEST_F(DemoServiceSession, SmartIdChoosesACertificateAndThePhoneSignsWithIt) {
  Identified id = identify(port(), false, kDemoVoter);
  ASSERT_EQ(id.error, "");
  const std::vector<std::pair<std::string, std::string>> ticket = {
      {"OS", "Linux"}, {"AuthMethod", "ticket"}, {"AuthToken", id.authToken}, {"SessionID", id.sessionId}};
  Reply choice = call(port(), kSmartIdName, "GetCertificateChoice", ticket);
  ASSERT_TRUE(choice.ok()) << choice.text;
  Reply chosen = pollUntilDone(port(), kSmartIdName, "GetCertificateChoiceStatus", choice.result("SessionCode"),
                               id.sessionId);
  ASSERT_TRUE(chosen.ok()) << chosen.text;
  EXPECT_EQ(base64Decode(chosen.result("Certificate")), readText(pki("voter1-sign-rsa.der")));
  ASSERT_NE(chosen.result("DataToken"), "");

  const std::string digest = sha256("signed information");
  Reply sign = call(port(), kSmartIdName, "Sign",
                    {{"OS", "Linux"}, {"AuthMethod", "ticket"}, {"AuthToken", id.authToken},
                     {"Hash", base64EncodeLine(digest)}, {"HashType", "SHA256"},
                     {"DataToken", chosen.result("DataToken")}, {"SessionID", id.sessionId}});
  ASSERT_TRUE(sign.ok()) << sign.text;
  Reply signature = pollUntilDone(port(), kSmartIdName, "SignStatus", sign.result("SessionCode"), id.sessionId);
  ASSERT_TRUE(signature.ok()) << signature.text;
  EXPECT_EQ(base64Decode(signature.result("Signature")).size(), 256u);
  EXPECT_TRUE(phoneSignatureVerifies(chosen.result("Certificate"), digest, signature.result("Signature")));
}

TEST_F(DemoServiceSession, MobileIdHandsOutTheCertificateAndSignsWithRawEcdsa) {
  Identified id = identify(port(), true, kDemoVoter);
  ASSERT_EQ(id.error, "");
  Reply cert = call(port(), kMidName, "GetCertificate",
                    {{"OS", "Linux"}, {"AuthMethod", "ticket"}, {"AuthToken", id.authToken},
                     {"PhoneNo", "+37255500008"}, {"SessionID", id.sessionId}});
  ASSERT_TRUE(cert.ok()) << cert.text;
  const std::string digest = sha256("another signed information");
  auto signRequest = [&](const std::string& hash, const std::string& type) {
    return call(port(), kMidName, "Sign",
                {{"OS", "Linux"}, {"AuthMethod", "ticket"}, {"AuthToken", id.authToken}, {"Hash", hash},
                 {"HashType", type}, {"PhoneNo", "+37255500008"}, {"SessionID", id.sessionId}});
  };
  // Only a SHA-256 digest in Base64 is signed.
  EXPECT_EQ(signRequest(base64EncodeLine(digest), "SHA1").error, "BAD_REQUEST");
  EXPECT_EQ(signRequest(base64EncodeLine(digest.substr(1)), "SHA256").error, "BAD_REQUEST");
  Reply sign = signRequest(base64EncodeLine(digest), "SHA256");
  ASSERT_TRUE(sign.ok()) << sign.text;
  Reply signature = pollUntilDone(port(), kMidName, "SignStatus", sign.result("SessionCode"), id.sessionId);
  ASSERT_TRUE(signature.ok()) << signature.text;
  EXPECT_EQ(base64Decode(signature.result("Signature")).size(), 96u);  // P-384 r || s
  EXPECT_TRUE(phoneSignatureVerifies(cert.result("Certificate"), digest, signature.result("Signature")));
}

TEST_F(DemoServiceSession, TheCardIdentifiesByItsTlsClientCertificate) {
  const ClientIdentity voter = card("voter1-auth-ec");
  Reply choices = call(port(), kChoicesName, "VoterChoices", {{"OS", "Linux"}, {"AuthMethod", "tls"}}, &voter);
  ASSERT_TRUE(choices.ok()) << choices.text;
  EXPECT_NE(choices.result("SessionID"), "");
  EXPECT_EQ(choices.result("Choices"), "0001.1");
  const ClientIdentity rsa = card("voter2-auth-rsa");
  EXPECT_EQ(call(port(), kChoicesName, "VoterChoices", {{"OS", "Linux"}, {"AuthMethod", "tls"}}, &rsa)
                .result("Choices"),
            "0002.1");

  struct Case {
    const char* what;
    const ClientIdentity* client;
    const char* error;
  };
  const ClientIdentity server = card("server-choices");   // chains, but not for client use
  const ClientIdentity odd = card("odd-voter-sign-ec");   // issued by a CA the election lacks
  const Case cases[] = {
      {"no certificate", nullptr, "UNAUTHENTICATED"},
      {"server certificate", &server, "BAD_CERTIFICATE"},
      {"foreign CA", &odd, "BAD_CERTIFICATE"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(call(port(), kChoicesName, "VoterChoices", {{"OS", "Linux"}, {"AuthMethod", "tls"}}, c.client).error,
              c.error)
        << c.what;
}

TEST_F(DemoServiceSession, ScenariosAnswerAsTheDemoEnvironmentPromises) {
  struct Case {
    const char* code;
    bool mobileId;
    const char* phone;
    const char* error;
    int polls;
  };
  const Case cases[] = {
      {"38001010016", true, "", "MID_NOT_USER", 0},
      {"38001010016", false, "", "SMARTID_ACCOUNT", 0},
      {"38001019999", true, "", "MID_NOT_USER", 0},  // not in the election
      {kDemoVoter, true, "+37255509999", "MID_NOT_USER", 0},  // another phone
      {"38001010024", true, "", "MID_CANCELED", 2},
      {"38001010024", false, "", "SMARTID_CANCELED", 2},
  };
  for (const auto& c : cases) {
    Identified id = identify(port(), c.mobileId, c.code, c.phone);
    EXPECT_EQ(id.error, c.error) << c.code;
    EXPECT_EQ(id.polls, c.polls) << c.code;
  }

  auto choicesOf = [&](const char* code) {
    Identified id = identify(port(), true, code);
    EXPECT_EQ(id.error, "") << code;
    return call(port(), kChoicesName, "VoterChoices",
                {{"OS", "Linux"}, {"AuthMethod", "ticket"}, {"AuthToken", id.authToken}, {"SessionID", id.sessionId}});
  };
  EXPECT_TRUE(choicesOf("38001010032").has("Voted"));
  EXPECT_EQ(choicesOf("38001010040").error, "INELIGIBLE_VOTER");
  EXPECT_EQ(choicesOf("38001010121").result("Choices"), "0003.1");

  // Signing cancelled on the phone after two polls.
  Identified id = identify(port(), true, "38001010067");
  ASSERT_EQ(id.error, "");
  ASSERT_TRUE(call(port(), kMidName, "GetCertificate",
                   {{"OS", "Linux"}, {"AuthMethod", "ticket"}, {"AuthToken", id.authToken},
                    {"PhoneNo", phoneOf("38001010067")}, {"SessionID", id.sessionId}})
                  .ok());
  Reply sign = call(port(), kMidName, "Sign",
                    {{"OS", "Linux"}, {"AuthMethod", "ticket"}, {"AuthToken", id.authToken},
                     {"Hash", base64EncodeLine(sha256("x"))}, {"HashType", "SHA256"},
                     {"PhoneNo", phoneOf("38001010067")}, {"SessionID", id.sessionId}});
  int polls = 0;
  EXPECT_EQ(pollUntilDone(port(), kMidName, "SignStatus", sign.result("SessionCode"), id.sessionId, &polls).error,
            "MID_CANCELED");
  EXPECT_EQ(polls, 2);
}

TEST_F(DemoServiceSession, TicketsAndSessionsMustBelongTogether) {
  Identified a = identify(port(), true, kDemoVoter);
  Identified b = identify(port(), false, "49002020002");
  ASSERT_EQ(a.error, "");
  ASSERT_EQ(b.error, "");
  struct Case {
    const char* what;
    std::string token, session;
    const char* error;
  };
  const Case cases[] = {
      {"unknown token", "00", a.sessionId, "UNAUTHENTICATED"},
      {"another voter's session", a.authToken, b.sessionId, "UNAUTHENTICATED"},
      {"empty token", "", a.sessionId, "UNAUTHENTICATED"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(call(port(), kChoicesName, "VoterChoices",
                   {{"OS", "Linux"}, {"AuthMethod", "ticket"}, {"AuthToken", c.token}, {"SessionID", c.session}})
                  .error,
              c.error)
        << c.what;
  // Mobile-ID methods refuse a Smart-ID session and the other way round; signing needs a
  // certificate first.
  EXPECT_EQ(call(port(), kMidName, "GetCertificate",
                 {{"OS", "Linux"}, {"AuthMethod", "ticket"}, {"AuthToken", b.authToken},
                  {"PhoneNo", phoneOf("49002020002")}, {"SessionID", b.sessionId}})
                .error,
            "BAD_REQUEST");
  EXPECT_EQ(call(port(), kSmartIdName, "GetCertificateChoice",
                 {{"OS", "Linux"}, {"AuthMethod", "ticket"}, {"AuthToken", a.authToken}, {"SessionID", a.sessionId}})
                .error,
            "BAD_REQUEST");
  EXPECT_EQ(call(port(), kMidName, "Sign",
                 {{"OS", "Linux"}, {"AuthMethod", "ticket"}, {"AuthToken", a.authToken},
                  {"Hash", base64EncodeLine(sha256("x"))}, {"HashType", "SHA256"}, {"PhoneNo", "+37255500008"},
                  {"SessionID", a.sessionId}})
                .error,
            "BAD_REQUEST");
  // A status request with another session's identifier.
  Reply start = call(port(), kMidName, "Authenticate",
                     {{"OS", "Linux"}, {"phoneno", "+37255500008"}, {"idcode", kDemoVoter}});
  EXPECT_EQ(call(port(), kMidName, "AuthenticateStatus",
                 {{"OS", "Linux"}, {"SessionCode", start.result("SessionCode")}, {"SessionID", a.sessionId}})
                .error,
            "BAD_REQUEST");
}

TEST_F(DemoServiceSession, MalformedRequestsGetBadRequestAndTheServiceGoesOn) {
  const std::string cases[] = {
      "not json at all",
      "[\"RPC.Authenticate\"]",
      "{\"method\":\"RPC.Authenticate\"}",
      "{\"method\":\"RPC.NoSuchMethod\",\"params\":[{\"OS\":\"Linux\"}],\"id\":0}",
      "{\"method\":\"RPC.Authenticate\",\"params\":[{\"phoneno\":\"+37255500008\",\"idcode\":\"38001010008\"}]}",
      "{\"method\":\"RPC.Authenticate\",\"params\":[{\"OS\":\"Linux\",\"phoneno\":\"+37255500008\"}]}",
      "{\"method\":\"RPC.Authenticate\",\"params\":[{\"OS\":\"Linux\",\"phoneno\":\"+372\",\"idcode\":\"1\","
      "\"Identifier\":\"1\"}]}",
      "{\"method\":\"RPC.VoterChoices\",\"params\":[{\"OS\":\"Linux\",\"AuthMethod\":\"password\"}]}",
      "{\"method\":\"RPC.Vote\",\"params\":[{\"OS\":\"Linux\",\"AuthMethod\":\"ticket\"}]}",
      "{\"method\":\"RPC.Authenticate\",\"params\":[{\"OS\":7}]}",
      "{\"method\":\"RPC.Authenticate\",\"params\":[{\"OS\":\"" + std::string(100, '[') + "\"}]," +
          std::string(100, '[') + "}",
  };
  for (const auto& text : cases) {
    auto reply = exchange(port(), kMidName, text);
    ASSERT_TRUE(reply) << text;
    EXPECT_EQ(*reply, "{\"error\":\"BAD_REQUEST\",\"result\":null,\"id\":0}") << text;
  }
  // A request larger than the service takes: an error or a closed connection, nothing more.
  auto huge = exchange(port(), kMidName,
                       "{\"method\":\"RPC.Authenticate\",\"params\":[{\"OS\":\"" + std::string(3 << 20, 'A') + "\"}]}");
  if (huge && !huge->empty()) {
    EXPECT_EQ(*huge, "{\"error\":\"BAD_REQUEST\",\"result\":null,\"id\":0}");
  }
  EXPECT_TRUE(identify(port(), true, kDemoVoter).error.empty());
}

TEST_F(DemoServiceSession, BytesThatAreNotTlsCloseTheConnection) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port()));
  ::inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
  ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  const char junk[] = "GET / HTTP/1.1\r\nHost: x\r\n\r\n";
  ASSERT_GT(::write(fd, junk, sizeof junk - 1), 0);
  char buf[512];
  ssize_t n;
  std::size_t total = 0;
  while ((n = ::read(fd, buf, sizeof buf)) > 0) total += static_cast<std::size_t>(n);
  ::close(fd);
  EXPECT_LT(total, 512u);  // at most a TLS alert
  EXPECT_TRUE(identify(port(), true, kDemoVoter).error.empty());
}

// A slow client holds only its own connection; after the I/O time limit it is dropped.
TEST(DemoServiceSlowClients, DoNotStopTheServiceServingOthers) {
  ServiceProcess service({"--io-timeout-ms", "1500"});
  ASSERT_TRUE(service.running());
  std::vector<int> idle;
  for (int i = 0; i < 4; ++i) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(service.port()));
    ::inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    idle.push_back(fd);  // never says a word
  }
  // A client that completes the handshake and sends half a request, then waits.
  std::thread half([&] {
    SslCtxPtr ctx(SSL_CTX_new(TLS_client_method()));
    BioPtr bio(BIO_new_ssl_connect(ctx.get()));
    const std::string target = "127.0.0.1:" + std::to_string(service.port());
    BIO_set_conn_hostname(bio.get(), target.c_str());
    if (BIO_do_handshake(bio.get()) <= 0) return;
    BIO_write(bio.get(), "{\"method\":\"RPC.Authe", 20);
    char c;
    BIO_read(bio.get(), &c, 1);  // returns when the service drops the connection
  });
  const auto before = std::chrono::steady_clock::now();
  EXPECT_TRUE(identify(service.port(), true, kDemoVoter).error.empty());
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(1400));
  half.join();
  for (int fd : idle) {
    char c;
    EXPECT_EQ(::read(fd, &c, 1), 0);  // closed by the service
    ::close(fd);
  }
  EXPECT_EQ(service.stop(), 0);
}

TEST(DemoServiceFaults, InjectedFaultsReachTheClient) {
  ServiceProcess service({"--close-early", "Authenticate", "--oversized-reply", "VoterChoices:100000", "--delay",
                          "AuthenticateStatus:400"});
  ASSERT_TRUE(service.running());
  auto closed = exchange(service.port(), kMidName,
                         request("Authenticate", {{"OS", "Linux"}, {"Identifier", kDemoVoter}}));
  ASSERT_TRUE(closed);
  EXPECT_EQ(*closed, "");
  auto big = exchange(service.port(), kChoicesName, request("VoterChoices", {{"OS", "Linux"}, {"AuthMethod", "tls"}}));
  ASSERT_TRUE(big);
  EXPECT_EQ(big->size(), 100000u);
  EXPECT_EQ(big->rfind("{\"error\":\"UNAUTHENTICATED\"", 0), 0u);
  const auto before = std::chrono::steady_clock::now();
  auto delayed = exchange(service.port(), kMidName,
                          request("AuthenticateStatus", {{"OS", "Linux"}, {"SessionCode", "x"}, {"SessionID", "y"}}));
  EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(400));
  ASSERT_TRUE(delayed);
  EXPECT_EQ(*delayed, "{\"error\":\"BAD_REQUEST\",\"result\":null,\"id\":0}");
  EXPECT_EQ(service.stop(), 0);
}

TEST(DemoServiceCommandLine, RefusesBadArgumentsAndElections) {
  const std::string bin = std::string(std::getenv("SV_BUILD_DIR")) + "/bin/demo-service";
  struct Case {
    std::string args;
    int status;
  };
  const Case cases[] = {
      {"", 2},
      {"--election " + electionDir() + " --listen 127.0.0.1 --state /tmp/x", 2},
      {"--election " + electionDir() + " --listen 127.0.0.1:0 --state /tmp/x --polls -1", 2},
      {"--election " + electionDir() + " --listen 127.0.0.1:0 --state /tmp/x --delay Vote", 2},
      {"--election " + electionDir() + " --listen 127.0.0.1:0 --state /tmp/x --frobnicate 1", 2},
      {"--election /nonexistent --listen 127.0.0.1:0 --state /tmp/x", 1},
      {"--election " + electionDir() + " --listen 999.0.0.1:0 --state /tmp/demo-service-cli", 1},
  };
  for (const auto& c : cases) {
    int status = 0;
    shell(bin + " " + c.args + " 2>/dev/null", &status);
    EXPECT_EQ(status, c.status) << c.args;
  }
}

}  // namespace
}  // namespace sorvimend::demo::testing
