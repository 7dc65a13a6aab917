// Drives the built vote-tool program: containers it builds pass xmlsec1 and decrypt back to
// the plaintext; every bad input gives a message and a non-zero exit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/vote/test_files.h"

namespace sorvimend {
namespace {

namespace fs = std::filesystem;
using testing::run;

std::string q(const fs::path& path) { return "'" + path.string() + "'"; }

class VoteTool : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    pki() = testing::testPkiDir();
    ASSERT_FALSE(pki().empty()) << "test PKI not made";
    const char* build = std::getenv("SV_BUILD_DIR");
    ASSERT_NE(build, nullptr);
    tool() = fs::path(build) / "bin" / "vote-tool";
    ASSERT_TRUE(fs::exists(tool())) << tool() << " not built";
  }
  static fs::path& pki() {
    static fs::path p;
    return p;
  }
  static fs::path& tool() {
    static fs::path p;
    return p;
  }

  static std::string buildCommand(const std::string& keyBits, const std::string& signer, const fs::path& out,
                                  const std::string& extra = "") {
    return q(tool()) + " build --election-key " + q(pki() / ("election-" + keyBits + ".pub.der")) +
           " --election-id DEMO2026 --question-id Q1 --district-code 0482 --choice-number 101"
           " --list-name 'Erakond Ü' --choice-name 'Mari Maasikas' --signer-cert " +
           q(pki() / (signer + ".pem")) + " --signer-key " + q(pki() / (signer + ".key.pem")) + " --out " + q(out) +
           extra;
  }
  static std::string decryptCommand(const std::string& keyBits, const fs::path& ballot,
                                    const std::string& secretBits = "") {
    return q(tool()) + " decrypt --election-key " + q(pki() / ("election-" + keyBits + ".pub.der")) +
           " --secret-key " + q(pki() / ("election-" + (secretBits.empty() ? keyBits : secretBits) + ".secret")) +
           " " + q(ballot);
  }
};

TEST_F(VoteTool, BuildsVerifiableContainersThatDecryptBack) {
  for (const auto& [bits, signer, ca] : std::vector<std::tuple<std::string, std::string, std::string>>{
           {"2048", "voter1-sign-rsa", "voter-ca"}, {"3072", "voter1-sign-ec", "voter-ca"}}) {
    SCOPED_TRACE(signer);
    testing::ScratchDir dir("vote-tool-" + signer);
    const fs::path vote = dir.path() / "vote.asice";
    const auto built = run(buildCommand(bits, signer, vote), false);
    ASSERT_EQ(built.status, 0) << built.output;
    // One line of Base64: the randomness.
    ASSERT_FALSE(built.output.empty());
    EXPECT_EQ(built.output.find('\n'), built.output.size() - 1);
    EXPECT_EQ(built.output.find_first_not_of(
                  "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=\n"),
              std::string::npos);

    const auto verified = run("cd " + q(dir.path()) + " && unzip -q vote.asice && xmlsec1 --verify --trusted-pem " +
                              q(pki() / "root-ca.pem") + " --untrusted-pem " + q(pki() / (ca + ".pem")) +
                              " META-INF/signatures0.xml");
    EXPECT_EQ(verified.status, 0) << verified.output;

    const auto decrypted = run(decryptCommand(bits, dir.path() / "DEMO2026.Q1.ballot"), false);
    ASSERT_EQ(decrypted.status, 0);
    EXPECT_EQ(decrypted.output, "0482.101\x1F" "Erakond \xC3\x9C\x1FMari Maasikas");
  }
}

TEST_F(VoteTool, BadCommandLinesAndFiles) {
  testing::ScratchDir dir("vote-tool-bad");
  const fs::path out = dir.path() / "out.asice";
  testing::writeFile(dir.path() / "garbage", "not anything");
  testing::writeFile(dir.path() / "bad.secret", "xyz\n");
  const std::string garbage = q(dir.path() / "garbage");
  const std::string good = buildCommand("2048", "voter1-sign-rsa", out);
  auto replaced = [&](const std::string& from, const std::string& to) {
    std::string command = good;
    command.replace(command.find(from), from.size(), to);
    return command;
  };

  // A good ballot to decrypt wrongly.
  ASSERT_EQ(run(good).status, 0);
  ASSERT_EQ(run("cd " + q(dir.path()) + " && unzip -q -o out.asice DEMO2026.Q1.ballot").status, 0);
  const fs::path ballot = dir.path() / "DEMO2026.Q1.ballot";
  std::string damaged = testing::readFile(ballot);
  damaged[damaged.size() - 3] ^= 0x40;
  testing::writeFile(dir.path() / "damaged.ballot", damaged);

  struct Case {
    std::string name;
    std::string command;
    int status;
  };
  const std::vector<Case> cases = {
      {"no command", q(tool()), 2},
      {"unknown command", q(tool()) + " sign", 2},
      {"missing option", replaced(" --out " + q(out), ""), 2},
      {"unknown option", good + " --colour red", 2},
      {"option twice", good + " --out x", 2},
      {"option without value", q(tool()) + " decrypt --election-key", 2},
      {"letters in district", replaced("--district-code 0482", "--district-code 04a2"), 1},
      {"choice number too long", replaced("--choice-number 101", "--choice-number 123456789012"), 1},
      {"key not DER", replaced(q(pki() / "election-2048.pub.der"), garbage), 1},
      {"key file missing", replaced(q(pki() / "election-2048.pub.der"), q(dir.path() / "none")), 1},
      {"another election", replaced("--election-id DEMO2026", "--election-id OTHER"), 1},
      {"certificate not PEM", replaced(q(pki() / "voter1-sign-rsa.pem"), garbage), 1},
      {"key not PEM", replaced(q(pki() / "voter1-sign-rsa.key.pem"), garbage), 1},
      {"key of another person", replaced(q(pki() / "voter1-sign-rsa.key.pem"), q(pki() / "voter2-sign-rsa.key.pem")), 1},
      {"choice name too long", replaced("'Mari Maasikas'", std::string(300, 'x')), 1},
      {"output not writable", replaced(q(out), q(dir.path() / "no" / "such" / "dir")), 1},
      {"decrypt garbage", decryptCommand("2048", dir.path() / "garbage"), 1},
      {"decrypt damaged", decryptCommand("2048", dir.path() / "damaged.ballot"), 1},
      {"decrypt missing file", decryptCommand("2048", dir.path() / "none"), 1},
      {"decrypt with another key", decryptCommand("3072", ballot), 1},
      {"secret of another key", decryptCommand("2048", ballot, "3072"), 1},
      {"secret not hex", q(tool()) + " decrypt --election-key " + q(pki() / "election-2048.pub.der") +
                             " --secret-key " + q(dir.path() / "bad.secret") + " " + q(ballot), 1},
      {"election key not DER", q(tool()) + " decrypt --election-key " + garbage + " --secret-key " +
                                   q(pki() / "election-2048.secret") + " " + q(ballot), 1},
      {"two ballots", decryptCommand("2048", ballot) + " " + q(ballot), 2},
  };
  for (const Case& c : cases) {
    fs::remove(out);
    const auto result = run(c.command);
    EXPECT_EQ(result.status, c.status) << c.name << ": " << result.output;
    EXPECT_NE(result.output.find("vote-tool: "), std::string::npos) << c.name << ": " << result.output;
    if (c.status != 0 && c.command.find(" build ") != std::string::npos) {
      EXPECT_FALSE(fs::exists(out)) << c.name << ": no archive is left behind";
    }
  }
}

}  // namespace
}  // namespace sorvimend
