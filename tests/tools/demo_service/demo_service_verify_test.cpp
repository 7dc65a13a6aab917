// The vote check of a second device: containers built by vote-tool with the program's own
// encryption verify with the randomness vote-tool printed, and nothing else does. Also drives the
// demo-verify program for its output and exit codes.
#include <gtest/gtest.h>

#include <openssl/bn.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/tools/demo_service/harness.h"
#include "tests/vote/test_files.h"
#include "tools/demo-service/der_reader.h"
#include "tools/demo-service/vote_verifier.h"
#include "util/base64.h"
#include "util/bytes.h"
#include "util/openssl_ptr.h"

namespace sorvimend::demo {
namespace {

namespace fs = std::filesystem;
namespace files = sorvimend::testing;
namespace harness = sorvimend::demo::testing;

std::string q(const fs::path& path) { return "'" + path.string() + "'"; }
fs::path buildDir() { return std::getenv("SV_BUILD_DIR") ? fs::path(std::getenv("SV_BUILD_DIR")) : fs::path(); }
fs::path pki(const std::string& name) { return fs::path(harness::electionDir()) / "pki" / name; }

// p of the election key: the first INTEGER of the algorithm parameters.
BignumPtr electionModulus() {
  const std::string spki = harness::readText(pki("election-2048.pub.der").string());
  std::string_view in = spki;
  auto outer = readDer(in);
  if (!outer) return nullptr;
  std::string_view body = outer->content;
  auto alg = readDer(body);
  if (!alg) return nullptr;
  std::string_view a = alg->content;
  if (!readDer(a)) return nullptr;
  auto params = readDer(a);
  if (!params) return nullptr;
  std::string_view pr = params->content;
  auto p = readDer(pr);
  if (!p) return nullptr;
  return BignumPtr(BN_bin2bn(asUnsigned(p->content), static_cast<int>(p->content.size()), nullptr));
}

std::string base64Of(const BIGNUM* n) {
  std::string bytes(static_cast<std::size_t>(BN_num_bytes(n)), '\0');
  BN_bn2bin(n, reinterpret_cast<unsigned char*>(bytes.data()));
  return base64EncodeLine(bytes);
}

// One vote as a voter's program would have cast it.
struct Cast {
  std::string voteId;
  std::string randomness;  // what vote-tool printed, without the line feed
  std::string plaintext;
};

class DemoServiceVerify : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (harness::electionDir().empty()) return;
    state_ = std::make_unique<files::ScratchDir>("demo-verify-state");
    fs::create_directories(state_->path() / "containers");
    std::string problem;
    verifier_ = VoteVerifier::open(harness::electionDir(), problem);
    EXPECT_TRUE(verifier_) << problem;
    first_ = cast("00112233445566778899aabbccddeeff", "RK2026", "101", "Erakond \xC3\x9C", "Mari Maasikas");
    second_ = cast("ffeeddccbbaa99887766554433221100", "RK2026", "102", "Üksikkandidaadid", "Jaan Tamm");
    // A well-formed container whose ballot belongs to another question.
    cast("0000000000000000000000000000000a", "OTHER", "101", "L", "N");
    files::writeFile(state_->path() / "containers" / "0000000000000000000000000000000b.asice", "not a zip archive");
  }
  static void TearDownTestSuite() {
    verifier_.reset();
    state_.reset();
  }
  void SetUp() override {
    ASSERT_FALSE(harness::electionDir().empty()) << "demo/make-election failed";
    ASSERT_TRUE(verifier_);
    ASSERT_FALSE(first_.randomness.empty()) << "vote-tool build failed";
    ASSERT_FALSE(second_.randomness.empty()) << "vote-tool build failed";
  }

  static Cast cast(const std::string& voteId, const std::string& question, const std::string& number,
                   const std::string& list, const std::string& name) {
    const fs::path out = state_->path() / "containers" / (voteId + ".asice");
    const std::string command =
        q(buildDir() / "bin" / "vote-tool") + " build --election-key " + q(pki("election-2048.pub.der")) +
        " --election-id DEMO2026 --question-id " + question + " --district-code 0001 --choice-number " + number +
        " --list-name '" + list + "' --choice-name '" + name + "' --signer-cert " + q(pki("voter1-sign-rsa.pem")) +
        " --signer-key " + q(pki("voter1-sign-rsa.key.pem")) + " --out " + q(out);
    const auto built = files::run(command, false);
    EXPECT_EQ(built.status, 0) << command;
    Cast c{voteId, built.output, "0001." + number + "\x1F" + list + "\x1F" + name};
    if (built.status != 0 || c.randomness.empty() || c.randomness.back() != '\n') return Cast{};
    c.randomness.pop_back();
    return c;
  }

  static std::unique_ptr<files::ScratchDir> state_;
  static std::unique_ptr<VoteVerifier> verifier_;
  static Cast first_;
  static Cast second_;
};
std::unique_ptr<files::ScratchDir> DemoServiceVerify::state_;
std::unique_ptr<VoteVerifier> DemoServiceVerify::verifier_;
Cast DemoServiceVerify::first_;
Cast DemoServiceVerify::second_;

TEST_F(DemoServiceVerify, AVoteVerifiesWithTheRandomnessItWasEncryptedWith) {
  for (const Cast& c : {first_, second_}) {
    const Verification v = verifier_->verifyStored(state_->path().string(), c.voteId, c.randomness);
    EXPECT_EQ(v.outcome, VerifyOutcome::Verified) << c.voteId << ": " << v.problem;
    EXPECT_EQ(v.plaintext, c.plaintext);
    // The container bytes alone give the same answer.
    const std::string archive = files::readFile(state_->path() / "containers" / (c.voteId + ".asice"));
    EXPECT_EQ(verifier_->verify(archive, c.randomness).outcome, VerifyOutcome::Verified);
  }
}

TEST_F(DemoServiceVerify, OtherRandomnessOrAnotherVoteIsRefused) {
  BignumPtr p = electionModulus();
  ASSERT_TRUE(p);
  BignumPtr qValue(BN_dup(p.get()));
  ASSERT_TRUE(BN_sub_word(qValue.get(), 1) && BN_rshift1(qValue.get(), qValue.get()));
  const std::string rBytes = base64Decode(first_.randomness);
  BignumPtr rPlusOne(BN_bin2bn(asUnsigned(rBytes), static_cast<int>(rBytes.size()), nullptr));
  ASSERT_TRUE(rPlusOne && BN_add_word(rPlusOne.get(), 1));
  std::string lineBroken = first_.randomness;
  lineBroken.insert(8, "\n");
  std::string strayCharacter = first_.randomness;
  strayCharacter.insert(8, "!");

  struct Case {
    const char* name;
    std::string voteId;
    std::string randomness;
    VerifyOutcome outcome;
  };
  const std::string id = first_.voteId;
  const std::vector<Case> cases = {
      {"randomness of another vote", id, second_.randomness, VerifyOutcome::Mismatch},
      {"r + 1", id, base64Of(rPlusOne.get()), VerifyOutcome::Mismatch},
      {"r = 1", id, "AQ==", VerifyOutcome::Mismatch},
      {"r = 0", id, "AA==", VerifyOutcome::BadInput},
      {"r = q", id, base64Of(qValue.get()), VerifyOutcome::BadInput},
      {"r = p", id, base64Of(p.get()), VerifyOutcome::BadInput},
      {"empty randomness", id, "", VerifyOutcome::BadInput},
      {"not Base64", id, "not Base64 at all", VerifyOutcome::BadInput},
      {"a line break inside", id, lineBroken, VerifyOutcome::BadInput},
      {"a stray character inside", id, strayCharacter, VerifyOutcome::BadInput},
      {"unused bits set", id, "AB==", VerifyOutcome::BadInput},
      {"unknown vote id", "0123456789abcdef0123456789abcdef", first_.randomness, VerifyOutcome::BadInput},
      {"vote id leaving the folder", "../containers/" + id, first_.randomness, VerifyOutcome::BadInput},
      {"empty vote id", "", first_.randomness, VerifyOutcome::BadInput},
      {"container not a zip", "0000000000000000000000000000000b", first_.randomness, VerifyOutcome::BadInput},
      {"ballot of another question", "0000000000000000000000000000000a", first_.randomness, VerifyOutcome::BadInput},
  };
  for (const Case& c : cases) {
    const Verification v = verifier_->verifyStored(state_->path().string(), c.voteId, c.randomness);
    EXPECT_EQ(v.outcome, c.outcome) << c.name << ": " << v.problem;
    EXPECT_EQ(v.plaintext, "") << c.name << ": the vote is shown only to the right randomness";
    EXPECT_EQ(v.problem.empty(), c.outcome != VerifyOutcome::BadInput) << c.name;
    EXPECT_EQ(v.problem.find('\n'), std::string::npos) << c.name;
  }
}

TEST_F(DemoServiceVerify, AnElectionFolderThatCannotBeUsedIsRefused) {
  files::ScratchDir dir("demo-verify-election");
  // The demo configuration with its key files named by absolute path, so that a copy elsewhere
  // still finds them.
  std::string good = harness::readText(harness::electionDir() + "/election.json");
  const std::string pkiDir = pki("").string();
  for (auto at = good.find("\"pki/"); at != std::string::npos; at = good.find("\"pki/", at))
    good.replace(at + 1, 4, pkiDir);
  auto electionWith = [&](const std::string& name, const std::string& from, const std::string& to) {
    std::string text = good;
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << name;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    fs::create_directories(dir.path() / name);
    files::writeFile(dir.path() / name / "election.json", text);
    return (dir.path() / name).string();
  };
  std::string problem;
  EXPECT_TRUE(VoteVerifier::open(electionWith("copy", "{", "{"), problem)) << problem;

  struct Case {
    const char* name;
    std::string folder;
    const char* problem;
  };
  const std::vector<Case> cases = {
      {"no such folder", (dir.path() / "none").string(), "cannot read"},
      {"not JSON", electionWith("not-json", "{", "["), "electionPublicKey and electionSecretKey needed"},
      {"no question", electionWith("no-question", "\"questionId\"", "\"question\""), "questionId"},
      {"secret key of another pair", electionWith("other-secret", "election-2048.secret", "election-3072.secret"),
       "does not load or does not match"},
      {"public key missing", electionWith("no-public", "election-2048.pub.der", "none.der"),
       "cannot read the election public key"},
      {"another election id", electionWith("other-id", "\"DEMO2026\"", "\"OTHER2026\""), "belongs to election"},
  };
  for (const Case& c : cases) {
    problem.clear();
    EXPECT_FALSE(VoteVerifier::open(c.folder, problem)) << c.name;
    EXPECT_NE(problem.find(c.problem), std::string::npos) << c.name << ": " << problem;
  }
}

TEST(DemoServiceVerifyText, PlaintextsAreShownWithoutControlBytes) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"0001.101\x1F" "Erakond \xC3\x9C\x1FMari", "0001.101|Erakond \xC3\x9C|Mari"},
      {"a\x1B[2Jb\n", "a\\x1B[2Jb\\x0A"},
      {"\x7F", "\\x7F"},
      {"\xC3(", "\\xC3("},  // not UTF-8: its high bytes are shown as numbers
  };
  for (const auto& [plaintext, shown] : cases) EXPECT_EQ(shownPlaintext(plaintext), shown);
}

TEST_F(DemoServiceVerify, TheProgramPrintsItsVerdictAndExitCode) {
  const fs::path tool = buildDir() / "bin" / "demo-verify";
  ASSERT_TRUE(fs::exists(tool)) << tool << " not built";
  const std::string base = q(tool) + " --election " + q(harness::electionDir()) + " --state " + q(state_->path());
  struct Case {
    const char* name;
    std::string arguments;
    int status;
    std::string standardOutput;  // exactly; the errors only begin with "demo-verify: " on stderr
  };
  const std::vector<Case> cases = {
      {"verified", base + " --vote-id " + first_.voteId + " --randomness " + first_.randomness, 0,
       "verified " + first_.voteId + ": 0001.101|Erakond \xC3\x9C|Mari Maasikas\n"},
      {"mismatch", base + " --vote-id " + first_.voteId + " --randomness " + second_.randomness, 1,
       "randomness does not match the ballot\n"},
      {"unknown vote", base + " --vote-id 0123456789abcdef0123456789abcdef --randomness " + first_.randomness, 1, ""},
      {"bad Base64", base + " --vote-id " + first_.voteId + " --randomness '@@@'", 1, ""},
      {"bad election", q(tool) + " --election /nonexistent --state /tmp --vote-id x --randomness AQ==", 1, ""},
      {"missing option", base + " --vote-id " + first_.voteId, 2, ""},
      {"unknown option", base + " --vote-id x --randomness AQ== --colour red", 2, ""},
      {"option twice", base + " --vote-id x --vote-id y --randomness AQ==", 2, ""},
      {"option without value", base + " --vote-id x --randomness", 2, ""},
  };
  for (const Case& c : cases) {
    const auto out = files::run(c.arguments + " 2>/dev/null", false);
    EXPECT_EQ(out.status, c.status) << c.name;
    EXPECT_EQ(out.output, c.standardOutput) << c.name;
    if (c.status != 0 && c.standardOutput.empty()) {
      const auto err = files::run(c.arguments + " 2>&1 >/dev/null", false);
      EXPECT_EQ(err.output.rfind("demo-verify: ", 0), 0u) << c.name << ": " << err.output;
    }
  }
}

}  // namespace
}  // namespace sorvimend::demo
