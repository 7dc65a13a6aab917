#include "protocol/service_operation.h"

#include "identity/id_card.h"
#include "protocol/service_error.h"
#include "resources/resource_access.h"
#include "util/base64.h"
#include "vote/receipt_verifier.h"

namespace sorvimend {

namespace {

constexpr std::string_view kVoteType = "bdoc";

ErrorPtr internalError(int code) { return makeError(ErrorClass::Internal, static_cast<std::uint64_t>(code)); }

// Builds the voter's ballot from the reply and hands it to the cursor.
ErrorPtr applyChoices(const ServiceReply& reply, AppModel& model, QuestionCursor& cursor) {
  BallotSource source;
  source.electionId = resourceText(ResourceId::RES_APP_ELECTION_ID);
  source.questionId = resourceText(ResourceId::RES_APP_DEFAULT_QUESTION_ID);
  source.questions = resourceQuestions(ResourceId::RES_APP_QUESTIONS);
  source.districts = resourceText(ResourceId::RES_APP_VOTE_DISTRICTS);
  source.errorMessage = resourceText(ResourceId::STR_ERR_ELEC_RES);
  std::unique_ptr<Ballot> ballot;
  if (auto error = buildBallot(reply.districtId, reply.choicesList, source, ballot)) return error;
  model.setVotedBefore(reply.alreadyVoted);
  cursor.setBallot(std::move(ballot));
  return nullptr;
}

ErrorPtr applyCertificate(const ServiceReply& reply, AppModel& model) {
  const int result = model.setSignerCertificate(base64Decode(reply.certificate));
  return result == 0 ? nullptr : internalError(result);
}

}  // namespace

ServiceOperation::ServiceOperation(RpcClient& rpc, ResourceId networkMessage, bool polled)
    : rpc_(rpc), networkMessage_(resourceText(networkMessage)), polled_(polled) {}

ErrorPtr ServiceOperation::requested(RequestResult result) const {
  return result == RequestResult::Started ? nullptr : networkError(networkMessage_, result);
}

ErrorPtr ServiceOperation::step(AppModel& model, bool& done, bool& final) {
  done = false;
  std::string text;
  const TransportCode code = rpc_.step(text);
  if (code == TransportCode::Pending) return nullptr;
  if (code != TransportCode::Done) return networkError(networkMessage_, code);
  done = true;
  final = !polled_;
  if (const ParseCode parsed = parseReply(reply_, text); parsed != ParseCode::Read) return serverError(parsed);
  if (reply_.status != ReplyStatus::Accepted) return serviceError(reply_);
  return applyReply(model);
}

ErrorPtr ServiceOperation::pollStep(AppModel& model, bool& done, bool& final) {
  done = false;
  final = false;
  std::string text;
  const TransportCode code = rpc_.step(text);
  if (code == TransportCode::Pending) return nullptr;
  if (code != TransportCode::Done) return networkError(networkMessage_, code);
  done = true;
  if (const ParseCode parsed = parseReply(reply_, text); parsed != ParseCode::Read) return serverError(parsed);
  switch (reply_.status) {
    case ReplyStatus::Accepted:
      final = true;
      return applyFinalReply(model);
    case ReplyStatus::PollAgain: return nullptr;
    case ReplyStatus::ServiceError: break;
  }
  return serviceError(reply_);
}

ErrorPtr ServiceOperation::applyFinalReply(AppModel&) { return nullptr; }

ErrorPtr applyReceipt(const ServiceReply& reply, AppModel& model) {
  ReceiptTrust trust;
  trust.ocspCerts = resourceTextList(ResourceId::RES_DATA_OCSP_CERTS);
  trust.issuerCerts = resourceTextList(ResourceId::RES_DATA_ISSUER_CERTS);
  trust.tsaCerts = resourceTextList(ResourceId::RES_DATA_TSA_CERTS);
  trust.regCerts = resourceTextList(ResourceId::RES_DATA_REG_CERTS);
  const Bytes signer = model.signerCertificate();
  const std::string element = model.signatureElement();
  const ReceiptCode code = verifyReceipt({reply.ocspResponse, reply.registration, signer, element}, trust);
  if (code != ReceiptCode::Verified) return makeError(ErrorClass::Verify, static_cast<std::uint64_t>(code));
  model.setVerificationText(reply.sessionId, reply.voteId);
  model.setTestVote(reply.testVote);
  return nullptr;
}

// --- ChoicesOperation -------------------------------------------------------------------------

ChoicesOperation::ChoicesOperation(RpcClient& rpc, QuestionCursor& cursor)
    : ServiceOperation(rpc, ResourceId::STR_ERR_HTTPS_NETWORK_MID, false), cursor_(cursor) {}

ParseCode ChoicesOperation::parseReply(ServiceReply& reply, std::string_view text) {
  return readVoterChoicesReply(reply, text);
}

ErrorPtr ChoicesOperation::send(AppModel& model) { return requested(rpc_.requestVoterChoices(model.authToken())); }

ErrorPtr ChoicesOperation::pollSend(AppModel&) { return nullptr; }

ErrorPtr ChoicesOperation::applyReply(AppModel& model) { return applyChoices(reply_, model, cursor_); }

// --- AuthenticateOperation --------------------------------------------------------------------

AuthenticateOperation::AuthenticateOperation(RpcClient& rpc)
    : ServiceOperation(rpc, ResourceId::STR_ERR_HTTPS_NETWORK_MID, true) {}

ParseCode AuthenticateOperation::parseReply(ServiceReply& reply, std::string_view text) {
  return readSessionReply(reply, text, SessionMethod::Authenticate);
}

ErrorPtr AuthenticateOperation::send(AppModel& model) {
  rpc_.applyProxyEnvironment();
  return requested(rpc_.requestAuthenticate(model.mobileSession()));
}

ErrorPtr AuthenticateOperation::pollSend(AppModel& model) {
  return requested(rpc_.requestStatus(model.mobileSession(), SessionPurpose::Identification));
}

ErrorPtr AuthenticateOperation::applyReply(AppModel& model) {
  // A challenge too short for a code leaves the view without one; the session still runs.
  (void)model.mobileSession().start(reply_.sessionCode, SessionPurpose::Identification, reply_.challenge);
  rpc_.setSessionId(reply_.sessionId);
  return nullptr;
}

ErrorPtr AuthenticateOperation::applyFinalReply(AppModel& model) {
  model.setIdentity(reply_.voterName, reply_.personalCode);
  model.setAuthToken(reply_.authToken);
  model.setVotedBefore(reply_.alreadyVoted);
  return nullptr;
}

// --- CertificateOperation ---------------------------------------------------------------------

CertificateOperation::CertificateOperation(RpcClient& rpc)
    : ServiceOperation(rpc, ResourceId::STR_ERR_HTTPS_NETWORK_MID, false) {}

ParseCode CertificateOperation::parseReply(ServiceReply& reply, std::string_view text) {
  return readCertificateReply(reply, text);
}

ErrorPtr CertificateOperation::send(AppModel& model) {
  return requested(rpc_.requestCertificate(model.mobileSession(), model.authToken()));
}

ErrorPtr CertificateOperation::pollSend(AppModel&) { return nullptr; }

ErrorPtr CertificateOperation::applyReply(AppModel& model) { return applyCertificate(reply_, model); }

// --- CertificateChoiceOperation ---------------------------------------------------------------

CertificateChoiceOperation::CertificateChoiceOperation(RpcClient& rpc)
    : ServiceOperation(rpc, ResourceId::STR_ERR_HTTPS_NETWORK_MID, true) {}

ParseCode CertificateChoiceOperation::parseReply(ServiceReply& reply, std::string_view text) {
  return readSessionReply(reply, text, SessionMethod::CertificateChoice);
}

ErrorPtr CertificateChoiceOperation::send(AppModel& model) {
  return requested(rpc_.requestCertificate(model.mobileSession(), model.authToken()));
}

ErrorPtr CertificateChoiceOperation::pollSend(AppModel& model) {
  return requested(rpc_.requestStatus(model.mobileSession(), SessionPurpose::CertificateChoice));
}

ErrorPtr CertificateChoiceOperation::applyReply(AppModel& model) {
  model.mobileSession().setSessionCode(reply_.sessionCode, SessionPurpose::CertificateChoice);
  return nullptr;
}

ErrorPtr CertificateChoiceOperation::applyFinalReply(AppModel& model) {
  if (auto error = applyCertificate(reply_, model)) return error;
  model.mobileSession().setDataToken(reply_.dataToken);
  return nullptr;
}

// --- SignOperation ----------------------------------------------------------------------------

SignOperation::SignOperation(RpcClient& rpc) : ServiceOperation(rpc, ResourceId::STR_ERR_HTTPS_NETWORK_MID, true) {}

ParseCode SignOperation::parseReply(ServiceReply& reply, std::string_view text) {
  return readSessionReply(reply, text, SessionMethod::Sign);
}

ErrorPtr SignOperation::send(AppModel& model) {
  std::string hashType;
  std::string digest;
  if (const int result = model.prepareMobileSigning(hashType, digest); result != 0) return internalError(result);
  return requested(rpc_.requestSign(model.mobileSession(), model.authToken(), hashType, digest));
}

ErrorPtr SignOperation::pollSend(AppModel& model) {
  return requested(rpc_.requestStatus(model.mobileSession(), SessionPurpose::Signing));
}

ErrorPtr SignOperation::applyReply(AppModel& model) {
  model.mobileSession().setSessionCode(reply_.sessionCode, SessionPurpose::Signing);
  return nullptr;
}

ErrorPtr SignOperation::applyFinalReply(AppModel& model) {
  model.setSignatureValue(reply_.signature);
  return nullptr;
}

// --- VoteOperation ----------------------------------------------------------------------------

VoteOperation::VoteOperation(RpcClient& rpc) : ServiceOperation(rpc, ResourceId::STR_ERR_HTTPS_NETWORK_MID, false) {}

ParseCode VoteOperation::parseReply(ServiceReply& reply, std::string_view text) { return readVoteReply(reply, text); }

ErrorPtr VoteOperation::send(AppModel& model) {
  std::string container;
  if (const int result = model.serialise(container); result != 0) return internalError(result);
  return requested(rpc_.requestVote(model.authToken(), model.districtOfPick(), kVoteType, container));
}

ErrorPtr VoteOperation::pollSend(AppModel&) { return nullptr; }

ErrorPtr VoteOperation::applyReply(AppModel& model) { return applyReceipt(reply_, model); }

// --- CardChoicesOperation ---------------------------------------------------------------------

CardChoicesOperation::CardChoicesOperation(RpcClient& rpc, QuestionCursor& cursor, IdCard& card)
    : ServiceOperation(rpc, ResourceId::STR_ERR_HTTPS_NETWORK_ID, false), cursor_(cursor), card_(card) {}

ParseCode CardChoicesOperation::parseReply(ServiceReply& reply, std::string_view text) {
  return readCardVoterChoicesReply(reply, text, [this](ServiceReply& r) {
    r.voterName = card_.holderName();
    r.personalCode = card_.personalCode();
  });
}

ErrorPtr CardChoicesOperation::send(AppModel&) {
  rpc_.applyProxyEnvironment();
  (void)card_.authenticationToken();
  if (auto error = card_.takePendingError()) return error;
  return requested(rpc_.requestCardVoterChoices());
}

ErrorPtr CardChoicesOperation::step(AppModel& model, bool& done, bool& final) {
  ErrorPtr error = ServiceOperation::step(model, done, final);
  if (auto cardError = card_.takePendingError()) return cardError;
  return error;
}

ErrorPtr CardChoicesOperation::pollSend(AppModel&) { return nullptr; }

ErrorPtr CardChoicesOperation::applyReply(AppModel& model) {
  rpc_.setSessionId(reply_.sessionId);
  model.setIdentity(reply_.voterName, reply_.personalCode);
  model.setAuthToken(reply_.authToken);
  model.setVotedBefore(reply_.alreadyVoted);
  return applyChoices(reply_, model, cursor_);
}

// --- CardVoteOperation ------------------------------------------------------------------------

CardVoteOperation::CardVoteOperation(RpcClient& rpc, IdCard& card)
    : ServiceOperation(rpc, ResourceId::STR_ERR_HTTPS_NETWORK_ID, false), card_(card) {}

ParseCode CardVoteOperation::parseReply(ServiceReply& reply, std::string_view text) { return readVoteReply(reply, text); }

ErrorPtr CardVoteOperation::send(AppModel& model) {
  (void)card_.signingToken();
  if (auto error = card_.takePendingError()) return error;

  const Bytes certificate = card_.signingCertificate();
  if (auto error = card_.takePendingError()) return error;
  if (const int result = model.setSignerCertificate(certificate); result != 0) return internalError(result);

  Bytes digest;
  if (const int result = model.buildAndDigest(digest); result != 0) return internalError(result);

  const std::string signature = card_.signDigest(digest);
  if (auto error = card_.takePendingError()) return error;
  model.setSignatureValue(signature);

  std::string container;
  if (const int result = model.serialise(container); result != 0) return internalError(result);

  (void)card_.authenticationToken();
  if (auto error = card_.takePendingError()) return error;
  return requested(rpc_.requestCardVote(model.districtOfPick(), kVoteType, container));
}

ErrorPtr CardVoteOperation::step(AppModel& model, bool& done, bool& final) {
  ErrorPtr error = ServiceOperation::step(model, done, final);
  if (auto cardError = card_.takePendingError()) return cardError;
  return error;
}

ErrorPtr CardVoteOperation::pollSend(AppModel&) { return nullptr; }

ErrorPtr CardVoteOperation::applyReply(AppModel& model) { return applyReceipt(reply_, model); }

}  // namespace sorvimend
