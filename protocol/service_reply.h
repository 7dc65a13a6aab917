#pragma once
// Reading the voting service's replies into one record. A reading writes only the fields it reads,
// so a polled operation keeps the start reply's fields (SessionID) beside the final reply's.

#include <functional>
#include <string>
#include <string_view>

namespace sorvimend {

// What an accepted reply means. A service error and "poll again" are answers, not parse failures.
enum class ReplyStatus : int {
  Accepted = 0,
  ServiceError = 1,
  PollAgain = 2,
};

// Result of reading a reply; the number becomes the detail of a SERVER error.
enum class ParseCode : int {
  Read = 0,
  NotJson = 1,
  ErrorNotString = 2,
  MissingMember = 3,
  UnknownStatus = 4,
};

struct ServiceReply {
  ReplyStatus status = ReplyStatus::Accepted;
  std::string sessionCode;
  std::string challenge;
  std::string errorCode;
  bool testVote = false;
  std::string voterName;
  std::string authToken;
  std::string personalCode;
  std::string certificate;
  std::string dataToken;
  std::string signature;
  std::string sessionId;
  std::string voteId;
  std::string ocspResponse;
  std::string registration;
  bool alreadyVoted = false;  // set when the result has "Voted", never cleared
  std::string districtId;
  std::string choicesList;
};

// The polled methods share one reading for their start, status and final replies.
enum class SessionMethod {
  Authenticate,         // Authenticate / AuthenticateStatus: Challenge required in the start reply
  CertificateChoice,    // GetCertificateChoice / GetCertificateChoiceStatus
  Sign,                 // Sign / SignStatus
};

// VoterChoices over "ticket": Choices, List; Voted optional.
[[nodiscard]] ParseCode readVoterChoicesReply(ServiceReply& reply, std::string_view text);

// VoterChoices over "tls": SessionID, then takeCardIdentity fills voterName and personalCode from
// the ID card, then Choices, List, Voted. A card failure stays pending with the card.
[[nodiscard]] ParseCode readCardVoterChoicesReply(ServiceReply& reply, std::string_view text,
                                                  const std::function<void(ServiceReply&)>& takeCardIdentity);

// Vote (both forms): SessionID, VoteID, Qualification.ocsp (else .ocsptm), Qualification.tspreg;
// TestVote read only when it is a boolean.
[[nodiscard]] ParseCode readVoteReply(ServiceReply& reply, std::string_view text);

// GetCertificate: Certificate.
[[nodiscard]] ParseCode readCertificateReply(ServiceReply& reply, std::string_view text);

// A polled method's reply: no Status is a start reply, "OK" the final one, "POLL" poll again.
[[nodiscard]] ParseCode readSessionReply(ServiceReply& reply, std::string_view text, SessionMethod method);

}  // namespace sorvimend
