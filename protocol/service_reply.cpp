#include "protocol/service_reply.h"

#include <initializer_list>
#include <memory>
#include <utility>

#include "protocol/reply_document.h"

namespace sorvimend {

namespace {

using Field = std::pair<const char*, std::string ServiceReply::*>;

// Reads required string members in order; the first one missing ends the reading.
bool readRequired(const ReplyDocument& document, ServiceReply& reply, std::initializer_list<Field> fields) {
  for (const auto& [name, field] : fields) {
    if (!document.resultString(name, reply.*field)) return false;
  }
  return true;
}

// Parses the text and handles the service error. Returns null with code set when reading is over.
std::unique_ptr<ReplyDocument> open(ServiceReply& reply, std::string_view text, ParseCode& code) {
  auto document = ReplyDocument::parse(text);
  if (!document) {
    code = ParseCode::NotJson;
    return nullptr;
  }
  if (document->hasError()) {
    reply.status = ReplyStatus::ServiceError;
    code = document->errorText(reply.errorCode) ? ParseCode::Read : ParseCode::ErrorNotString;
    return nullptr;
  }
  code = ParseCode::Read;
  return document;
}

ParseCode readChoicesMembers(const ReplyDocument& document, ServiceReply& reply) {
  if (!readRequired(document, reply, {{"Choices", &ServiceReply::districtId}, {"List", &ServiceReply::choicesList}})) {
    return ParseCode::MissingMember;
  }
  if (document.resultHas("Voted")) reply.alreadyVoted = true;
  reply.status = ReplyStatus::Accepted;
  return ParseCode::Read;
}

}  // namespace

ParseCode readVoterChoicesReply(ServiceReply& reply, std::string_view text) {
  ParseCode code;
  auto document = open(reply, text, code);
  if (!document) return code;
  return readChoicesMembers(*document, reply);
}

ParseCode readCardVoterChoicesReply(ServiceReply& reply, std::string_view text,
                                    const std::function<void(ServiceReply&)>& takeCardIdentity) {
  ParseCode code;
  auto document = open(reply, text, code);
  if (!document) return code;
  if (!document->resultString("SessionID", reply.sessionId)) return ParseCode::MissingMember;
  if (takeCardIdentity) takeCardIdentity(reply);
  return readChoicesMembers(*document, reply);
}

ParseCode readVoteReply(ServiceReply& reply, std::string_view text) {
  ParseCode code;
  auto document = open(reply, text, code);
  if (!document) return code;
  if (!readRequired(*document, reply, {{"SessionID", &ServiceReply::sessionId}, {"VoteID", &ServiceReply::voteId}})) {
    return ParseCode::MissingMember;
  }
  if (!document->resultNestedString("Qualification", "ocsp", reply.ocspResponse) &&
      !document->resultNestedString("Qualification", "ocsptm", reply.ocspResponse)) {
    return ParseCode::MissingMember;
  }
  if (!document->resultNestedString("Qualification", "tspreg", reply.registration)) return ParseCode::MissingMember;
  (void)document->resultBool("TestVote", reply.testVote);  // optional; another type leaves it as it was
  reply.status = ReplyStatus::Accepted;
  return ParseCode::Read;
}

ParseCode readCertificateReply(ServiceReply& reply, std::string_view text) {
  ParseCode code;
  auto document = open(reply, text, code);
  if (!document) return code;
  if (!document->resultString("Certificate", reply.certificate)) return ParseCode::MissingMember;
  reply.status = ReplyStatus::Accepted;
  return ParseCode::Read;
}

ParseCode readSessionReply(ServiceReply& reply, std::string_view text, SessionMethod method) {
  ParseCode code;
  auto document = open(reply, text, code);
  if (!document) return code;

  std::string status;
  if (!document->resultString("Status", status)) {
    if (!readRequired(*document, reply,
                      {{"SessionID", &ServiceReply::sessionId}, {"SessionCode", &ServiceReply::sessionCode}})) {
      return ParseCode::MissingMember;
    }
    if (method == SessionMethod::Authenticate && !document->resultString("Challenge", reply.challenge)) {
      return ParseCode::MissingMember;
    }
    reply.status = ReplyStatus::Accepted;
    return ParseCode::Read;
  }
  if (status == "POLL") {
    reply.status = ReplyStatus::PollAgain;
    return ParseCode::Read;
  }
  if (status != "OK") return ParseCode::UnknownStatus;

  reply.status = ReplyStatus::Accepted;
  switch (method) {
    case SessionMethod::Authenticate: {
      std::string givenName;
      std::string surname;
      if (!document->resultString("GivenName", givenName) || !document->resultString("Surname", surname)) {
        return ParseCode::MissingMember;
      }
      reply.voterName = givenName + " " + surname;
      if (!readRequired(*document, reply,
                        {{"PersonalCode", &ServiceReply::personalCode}, {"AuthToken", &ServiceReply::authToken}})) {
        return ParseCode::MissingMember;
      }
      return ParseCode::Read;
    }
    case SessionMethod::CertificateChoice:
      return readRequired(*document, reply,
                          {{"Certificate", &ServiceReply::certificate}, {"DataToken", &ServiceReply::dataToken}})
                 ? ParseCode::Read
                 : ParseCode::MissingMember;
    case SessionMethod::Sign:
      return document->resultString("Signature", reply.signature) ? ParseCode::Read : ParseCode::MissingMember;
  }
  return ParseCode::UnknownStatus;
}

}  // namespace sorvimend
