#pragma once
// What the service knows of one election, read from the folder that demo/make-election writes
// (its election.json names every other file, relative to the folder).

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "tools/demo-service/elgamal_secret_key.h"
#include "tools/demo-service/receipt.h"
#include "util/openssl_ptr.h"

namespace sorvimend::demo {

// How the service treats one voter; chosen by personal code the way a provider's demo
// environment does (demo/README.md lists the codes).
enum class Scenario {
  Normal,
  NotUser,             // Authenticate: MID_NOT_USER / SMARTID_ACCOUNT
  AuthCancelled,       // AuthenticateStatus: cancelled after two polls
  VotedBefore,         // VoterChoices carries Voted
  Ineligible,          // VoterChoices: INELIGIBLE_VOTER
  OutdatedChoices,     // Vote: OUTDATED_CHOICES
  SignCancelled,       // SignStatus: cancelled after two polls
  BrokenTimeStamp,     // receipt: time stamp over other data
  BrokenRegistration,  // receipt: nonce signed over other data
  BrokenOcsp,          // receipt: OCSP response for another certificate
  TestVote,            // Vote: TestVote true
  VotingEnd,           // Vote: VOTING_END
};

[[nodiscard]] std::optional<Scenario> scenarioByName(const std::string& name);

struct Voter {
  std::string personalCode;
  std::string givenName;
  std::string surname;
  std::string phone;  // Mobile-ID, "+372..."
  std::string district;
  Scenario scenario = Scenario::Normal;
  // The keys the service's simulated phone signs with.
  std::shared_ptr<Signer> midSigner;
  std::shared_ptr<Signer> smartIdSigner;
};

struct ServerIdentity {
  std::string name;  // the TLS server name (SNI)
  std::string certificatePem;
  std::string keyPem;
};

struct Election {
  std::string electionId;
  std::string questionId;
  std::vector<ServerIdentity> servers;
  X509StorePtr voterCas;  // client certificates and signer certificates chain to these
  std::vector<X509Ptr> issuers;
  Signer ocspResponder;
  Signer tsa;
  Signer registration;
  std::unique_ptr<ElGamalSecretKey> secretKey;
  std::map<std::string, std::string> choices;  // district -> choices document (JSON text)
  // district -> the vote plaintext of each of its choices ("id" 0x1F "list" 0x1F "name")
  std::map<std::string, std::set<std::string>> plaintexts;
  std::map<std::string, Voter> voters;         // by personal code

  std::string ballotName() const { return electionId + "." + questionId + ".ballot"; }
};

// Loads DIR/election.json and everything it names; on failure returns nothing and sets problem.
[[nodiscard]] std::unique_ptr<Election> loadElection(const std::string& dir, std::string& problem);

[[nodiscard]] std::optional<std::string> readFile(const std::string& path);

// True when the bytes are well-formed UTF-8 (no overlong forms, surrogates or values above
// U+10FFFF).
[[nodiscard]] bool isUtf8(std::string_view text);

}  // namespace sorvimend::demo
