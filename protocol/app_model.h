#pragma once
// What the voting process accumulates from view to view: the election key, the identification
// method, the voter's identity and the service's token, the picks, the signed vote container,
// the Mobile-ID or Smart-ID session and what the last view reports. Service operations write it,
// views read it. It decides nothing about the order of steps (the session controller does) and
// does not own the Ballot (the question cursor does): picks refer into it.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "identity/mobile_session.h"
#include "util/bytes.h"
#include "util/elgamal_public_key.h"
#include "util/error_info.h"
#include "vote/ballot.h"

namespace sorvimend {

class VoteContainer;

// Results of the vote-building operations besides the container's own codes.
enum class VoteBuildCode : int {
  Ok = 0,
  NoVerificationCode = 1,  // the digest gave no verification code for the signing view
  EmptyCiphertext = 8,     // a pick could not be encrypted: never sign an empty ballot
};

class AppModel {
 public:
  AppModel();
  virtual ~AppModel();
  AppModel(const AppModel&) = delete;
  AppModel& operator=(const AppModel&) = delete;

  // Whether serialise checks the container's own signature before writing it.
  [[nodiscard]] virtual bool verifyBeforeExport() const { return true; }

  // Reads the election configuration: the default question must be in QUESTIONS and the key of
  // PUBLIC_ENC_KEY must parse and carry ELECTION_ID. Otherwise a SYSTEM error with ELEC_RES.
  [[nodiscard]] ErrorPtr initialise();
  [[nodiscard]] const std::string& systemDescription() const { return systemDescription_; }
  // "Linux", the distribution word when the kernel version names Debian or Ubuntu, the release.
  [[nodiscard]] static std::string describeSystem(std::string_view version, std::string_view release);
  [[nodiscard]] const std::optional<ElGamalPublicKey>& electionKey() const { return electionKey_; }

  // 0 ID card, 1 Mobile-ID, 2 Smart-ID; also sets the mobile session's kind.
  void setMethod(int method);
  [[nodiscard]] int method() const { return method_; }

  void setIdentity(std::string voterName, std::string voterCode);
  [[nodiscard]] const std::string& voterName() const { return voterName_; }
  [[nodiscard]] const std::string& voterCode() const { return voterCode_; }
  void setAuthToken(std::string token) { authToken_ = std::move(token); }
  [[nodiscard]] const std::string& authToken() const { return authToken_; }
  void setVotedBefore(bool votedBefore) { votedBefore_ = votedBefore; }
  [[nodiscard]] bool votedBefore() const { return votedBefore_; }
  void setTestVote(bool testVote) { testVote_ = testVote; }
  [[nodiscard]] bool testVote() const { return testVote_; }

  // Stores the choice under its ballot's name unless that ballot already has a pick.
  void pick(const Choice& choice);
  // Removes whatever pick its ballot has.
  void unpick(const Choice& choice);
  [[nodiscard]] const Choice* pickOf(const Ballot& ballot) const;
  // The only pick when there is exactly one, else null.
  [[nodiscard]] const Choice* singlePick() const;
  // District identifier of the first pick's ballot (empty without picks).
  [[nodiscard]] std::string districtOfPick() const;
  // The mask filled per pick (%1% question, %2% number, %3% name, %4% list), joined.
  [[nodiscard]] std::string reviewText(std::string_view mask) const;

  // 0, or 2 when the bytes are not an X.509 certificate.
  [[nodiscard]] int setSignerCertificate(std::string_view der);
  [[nodiscard]] Bytes signerCertificate() const;
  // Encrypts every pick into the container, builds the signed information and returns its
  // SHA-256 digest. 0, a container code, or VoteBuildCode::EmptyCiphertext.
  [[nodiscard]] int buildAndDigest(Bytes& digest);
  // Build and digest, then "SHA256" and the Base64 digest; starts the mobile session for signing
  // so that its verification code can be shown. 1 when no verification code can be derived.
  [[nodiscard]] int prepareMobileSigning(std::string& hashType, std::string& digestText);
  void setSignatureValue(std::string_view base64);
  [[nodiscard]] std::string signatureElement() const;
  // Checks the signature first when verifyBeforeExport(); then the Base64 of the archive.
  [[nodiscard]] int serialise(std::string& out);

  // Written by the encryption: Base64 of the last randomness used.
  [[nodiscard]] const std::string& randomness() const { return randomness_; }
  // Session id, line feed, randomness, line feed, vote id.
  void setVerificationText(std::string_view sessionId, std::string_view voteId);
  [[nodiscard]] const std::string& verificationText() const { return verificationText_; }

  [[nodiscard]] MobileSession& mobileSession() { return mobileSession_; }
  [[nodiscard]] const MobileSession& mobileSession() const { return mobileSession_; }

 private:
  std::unique_ptr<VoteContainer> container_;
  std::map<std::string, const Choice*> picks_;
  std::string verificationText_;
  std::string randomness_;
  std::optional<ElGamalPublicKey> electionKey_;
  MobileSession mobileSession_;
  std::string systemDescription_;
  int method_ = 0;
  std::string voterName_;
  std::string voterCode_;
  std::string authToken_;
  bool testVote_ = false;
  bool votedBefore_ = false;
};

// The process-wide model; registering a new one destroys the one held before.
[[nodiscard]] AppModel* appModel();
void registerAppModel(std::unique_ptr<AppModel> model);

}  // namespace sorvimend
