// The AppModel's vote building: encryption of the picks, the signed container and its export.
#include "protocol/app_model.h"

#include "util/base64.h"
#include "vote/vote_container.h"
#include "vote/vote_encryption.h"

namespace sorvimend {

AppModel::AppModel() : container_(std::make_unique<VoteContainer>()) {}
AppModel::~AppModel() = default;

int AppModel::setSignerCertificate(std::string_view der) {
  return static_cast<int>(container_->setSignerCertificate(der));
}

Bytes AppModel::signerCertificate() const { return container_->signerCertificate(); }

int AppModel::buildAndDigest(Bytes& digest) {
  for (const auto& [name, choice] : picks_) {
    Bytes ciphertext;
    if (electionKey_) ciphertext = encryptVote(*electionKey_, votePlaintext(*choice), randomness_);
    // An empty ciphertext (plaintext too long for the key, or not encodable) must never be
    // signed and submitted as the voter's ballot.
    if (ciphertext.empty()) return static_cast<int>(VoteBuildCode::EmptyCiphertext);
    container_->addDataFile(kBallotMediaType, std::move(ciphertext), name);
  }
  if (const ContainerResult result = container_->buildSignedInformation(); result != ContainerResult::Ok) {
    return static_cast<int>(result);
  }
  digest = container_->digestToSign();
  return 0;
}

int AppModel::prepareMobileSigning(std::string& hashType, std::string& digestText) {
  Bytes digest;
  if (const int result = buildAndDigest(digest); result != 0) return result;
  hashType = "SHA256";
  digestText = base64EncodeLines(digest);
  if (!mobileSession_.start(std::string(), SessionPurpose::Signing, digestText)) {
    return static_cast<int>(VoteBuildCode::NoVerificationCode);
  }
  return 0;
}

void AppModel::setSignatureValue(std::string_view base64) { container_->setSignatureValue(std::string(base64)); }

std::string AppModel::signatureElement() const { return container_->signatureValueElement(); }

int AppModel::serialise(std::string& out) {
  if (verifyBeforeExport()) {
    if (const ContainerResult result = container_->checkSignature(); result != ContainerResult::Ok) {
      return static_cast<int>(result);
    }
  }
  return static_cast<int>(container_->writeContainer(out));
}

}  // namespace sorvimend
