// vote-tool: builds a signed vote container with the program's own vote code, and decrypts a
// ballot with the election's secret key. Outside scripts rely on this command line:
//
//   vote-tool build --election-key PUBKEY.der --election-id ID --question-id Q --district-code D
//       --choice-number N --list-name L --choice-name C --signer-cert CERT.pem --signer-key KEY.pem
//       --out VOTE.asice
//     writes the archive bytes to VOTE.asice and the randomness (Base64, one line) to standard output.
//   vote-tool decrypt --election-key PUBKEY.der --secret-key SECRET BALLOT
//     writes the vote plaintext (no line feed added) to standard output.
//
// Exit status: 0 done, 1 a bad input file or a failed step (with a message), 2 a bad command line.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tools/vote-tool/digest_signer.h"
#include "util/base64.h"
#include "util/cert_set.h"
#include "util/elgamal_public_key.h"
#include "util/regex.h"
#include "vote/ballot.h"
#include "vote/elgamal_decryption.h"
#include "vote/vote_container.h"
#include "vote/vote_encryption.h"

namespace sorvimend {
namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

constexpr char kUsageText[] =
    "usage: vote-tool build --election-key PUBKEY.der --election-id ID --question-id Q --district-code D\n"
    "                       --choice-number N --list-name L --choice-name C --signer-cert CERT.pem\n"
    "                       --signer-key KEY.pem --out VOTE.asice\n"
    "       vote-tool decrypt --election-key PUBKEY.der --secret-key SECRET BALLOT\n";

int usage(const std::string& problem) {
  std::fprintf(stderr, "vote-tool: %s\n%s", problem.c_str(), kUsageText);
  return kUsage;
}

int fail(const std::string& problem) {
  std::fprintf(stderr, "vote-tool: %s\n", problem.c_str());
  return kFailed;
}

std::optional<std::string> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return bytes;
}

struct Arguments {
  std::map<std::string, std::string> options;
  std::vector<std::string> positional;
};

// "--name value" pairs and positional arguments; every option is named once.
std::optional<std::string> parseArguments(int argc, char** argv, const std::set<std::string>& known, Arguments& out) {
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--", 0) != 0) {
      out.positional.push_back(arg);
      continue;
    }
    const std::string name = arg.substr(2);
    if (known.count(name) == 0) return "unknown option " + arg;
    if (i + 1 >= argc) return "option " + arg + " needs a value";
    if (!out.options.emplace(name, argv[++i]).second) return "option " + arg + " given twice";
  }
  for (const std::string& name : known) {
    if (out.options.count(name) == 0) return "missing option --" + name;
  }
  return std::nullopt;
}

std::optional<ElGamalPublicKey> readElectionKey(const std::string& path, std::string& problem) {
  const auto der = readFile(path);
  if (!der) {
    problem = "cannot read the election key " + path;
    return std::nullopt;
  }
  auto key = parseElectionKey(*der);
  if (!key) problem = "the election key " + path + " is not a DER ElGamal SubjectPublicKeyInfo";
  return key;
}

int build(int argc, char** argv) {
  Arguments args;
  const std::set<std::string> known = {"election-key", "election-id",  "question-id", "district-code",
                                       "choice-number", "list-name",   "choice-name", "signer-cert",
                                       "signer-key",   "out"};
  if (auto problem = parseArguments(argc, argv, known, args)) return usage(*problem);
  if (!args.positional.empty()) return usage("unexpected argument " + args.positional.front());
  auto& o = args.options;

  if (!Regex(R"(\d{1,10})").fullMatch(o["district-code"])) return fail("the district code must be 1 to 10 digits");
  if (!Regex(R"(\d{1,11})").fullMatch(o["choice-number"])) return fail("the choice number must be 1 to 11 digits");

  std::string problem;
  auto key = readElectionKey(o["election-key"], problem);
  if (!key) return fail(problem);
  if (!keyMatchesElection(key, o["election-id"])) {
    return fail("the election key belongs to election \"" + key->electionId + "\", not \"" + o["election-id"] + "\"");
  }

  const auto certPem = readFile(o["signer-cert"]);
  if (!certPem) return fail("cannot read the signer certificate " + o["signer-cert"]);
  X509Ptr certificate = certificateFromPem(*certPem);
  if (!certificate) return fail("the signer certificate " + o["signer-cert"] + " holds no PEM certificate");
  auto keyPem = readFile(o["signer-key"]);
  if (!keyPem) return fail("cannot read the signer key " + o["signer-key"]);
  EvpPkeyPtr signerKey = privateKeyFromPem(*keyPem);
  secureWipe(*keyPem);
  if (!signerKey) return fail("the signer key " + o["signer-key"] + " holds no readable PEM private key");

  Ballot ballot(o["election-id"], o["question-id"], "", "", "");
  const Choice& choice = ballot.addList(o["list-name"]).addChoice(o["district-code"], o["choice-number"], o["choice-name"]);
  std::string randomness;
  const Bytes cipher = encryptVote(*key, votePlaintext(choice), randomness);
  if (cipher.empty()) return fail("the vote cannot be encrypted under this key (plaintext too long or unusable key)");

  VoteContainer container;
  if (container.setSignerCertificate(certificateDer(certificate.get())) != ContainerResult::Ok) {
    return fail("the signer certificate cannot be used");
  }
  container.addDataFile(kBallotMediaType, cipher, ballotName(ballot));
  if (const ContainerResult result = container.buildSignedInformation(); result != ContainerResult::Ok) {
    return fail("building the signed information failed with result " + std::to_string(static_cast<int>(result)));
  }
  const Bytes signature = signDigestRaw(signerKey.get(), container.digestToSign());
  if (signature.empty()) return fail("the signer key cannot sign (it must be RSA or EC)");
  container.setSignatureValue(base64EncodeLines(signature));
  if (container.checkSignature() != ContainerResult::Ok) {
    return fail("the signature does not verify: the signer key does not belong to the certificate");
  }
  std::string base64;
  if (const ContainerResult result = container.writeContainer(base64); result != ContainerResult::Ok) {
    return fail("writing the container failed with result " + std::to_string(static_cast<int>(result)));
  }

  std::ofstream out(o["out"], std::ios::binary | std::ios::trunc);
  out.write(container.archive().data(), static_cast<std::streamsize>(container.archive().size()));
  out.close();
  if (!out) return fail("cannot write " + o["out"]);
  std::printf("%s\n", randomness.c_str());
  return kDone;
}

int decrypt(int argc, char** argv) {
  Arguments args;
  if (auto problem = parseArguments(argc, argv, {"election-key", "secret-key"}, args)) return usage(*problem);
  if (args.positional.size() != 1) return usage("name exactly one ballot file");

  std::string problem;
  auto key = readElectionKey(args.options["election-key"], problem);
  if (!key) return fail(problem);
  auto secretText = readFile(args.options["secret-key"]);
  if (!secretText) return fail("cannot read the secret key " + args.options["secret-key"]);
  SecretBignumPtr x = parseElGamalSecretKey(*secretText);
  secureWipe(*secretText);
  if (!x) return fail("the secret key " + args.options["secret-key"] + " is not one line of hexadecimal digits");
  const auto ballot = readFile(args.positional.front());
  if (!ballot) return fail("cannot read the ballot " + args.positional.front());

  Bytes plaintext;
  const DecryptStatus status = decryptVote(*key, x.get(), *ballot, plaintext);
  if (status != DecryptStatus::Ok) return fail(args.positional.front() + ": " + decryptStatusText(status));
  if (std::fwrite(plaintext.data(), 1, plaintext.size(), stdout) != plaintext.size() || std::fflush(stdout) != 0) {
    return fail("cannot write the plaintext");
  }
  return kDone;
}

}  // namespace
}  // namespace sorvimend

int main(int argc, char** argv) {
  if (argc < 2) return sorvimend::usage("name a command");
  const std::string command = argv[1];
  if (command == "build") return sorvimend::build(argc, argv);
  if (command == "decrypt") return sorvimend::decrypt(argc, argv);
  return sorvimend::usage("unknown command " + command);
}
