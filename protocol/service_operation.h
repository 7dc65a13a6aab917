#pragma once
// One step of the voting sequence that needs the voting service. send() starts the request;
// step() is called (every 200 ms in the program) until it reports done. A polled operation is
// done but not final after its start reply: then pollSend() and pollStep() repeat until the
// final answer. Every failure comes back as an ErrorInfo and ends the operation.
//
// Done/final are reported through out-parameters because "still running" and "poll again" are
// states, not errors.

#include <memory>
#include <string>
#include <string_view>

#include "protocol/app_model.h"
#include "protocol/question_cursor.h"
#include "protocol/rpc_client.h"
#include "protocol/service_reply.h"
#include "resources/resource_id.h"
#include "util/error_info.h"

namespace sorvimend {

class IdCard;

class ServiceOperation {
 public:
  virtual ~ServiceOperation() = default;
  ServiceOperation(const ServiceOperation&) = delete;
  ServiceOperation& operator=(const ServiceOperation&) = delete;

  [[nodiscard]] virtual ParseCode parseReply(ServiceReply& reply, std::string_view text) = 0;
  [[nodiscard]] virtual ErrorPtr send(AppModel& model) = 0;
  [[nodiscard]] virtual ErrorPtr step(AppModel& model, bool& done, bool& final);
  [[nodiscard]] virtual ErrorPtr pollSend(AppModel& model) = 0;
  [[nodiscard]] virtual ErrorPtr pollStep(AppModel& model, bool& done, bool& final);
  [[nodiscard]] virtual ErrorPtr applyReply(AppModel& model) = 0;
  [[nodiscard]] virtual ErrorPtr applyFinalReply(AppModel& model);

  [[nodiscard]] const ServiceReply& reply() const { return reply_; }
  [[nodiscard]] bool polled() const { return polled_; }
  [[nodiscard]] const std::string& networkMessage() const { return networkMessage_; }

 protected:
  // networkMessage is the STR_ERR text of the operation's network errors.
  ServiceOperation(RpcClient& rpc, ResourceId networkMessage, bool polled);

  // A refused request becomes a NETWORK error.
  [[nodiscard]] ErrorPtr requested(RequestResult result) const;

  RpcClient& rpc_;
  ServiceReply reply_;
  std::string networkMessage_;
  bool polled_;
};

// Mobile-ID, Smart-ID and ticket operations.
class ChoicesOperation final : public ServiceOperation {
 public:
  ChoicesOperation(RpcClient& rpc, QuestionCursor& cursor);
  ParseCode parseReply(ServiceReply& reply, std::string_view text) override;
  ErrorPtr send(AppModel& model) override;
  ErrorPtr pollSend(AppModel& model) override;
  ErrorPtr applyReply(AppModel& model) override;

 private:
  QuestionCursor& cursor_;
};

class AuthenticateOperation final : public ServiceOperation {
 public:
  explicit AuthenticateOperation(RpcClient& rpc);
  ParseCode parseReply(ServiceReply& reply, std::string_view text) override;
  ErrorPtr send(AppModel& model) override;
  ErrorPtr pollSend(AppModel& model) override;
  ErrorPtr applyReply(AppModel& model) override;
  ErrorPtr applyFinalReply(AppModel& model) override;
};

class CertificateOperation final : public ServiceOperation {
 public:
  explicit CertificateOperation(RpcClient& rpc);
  ParseCode parseReply(ServiceReply& reply, std::string_view text) override;
  ErrorPtr send(AppModel& model) override;
  ErrorPtr pollSend(AppModel& model) override;
  ErrorPtr applyReply(AppModel& model) override;
};

class CertificateChoiceOperation final : public ServiceOperation {
 public:
  explicit CertificateChoiceOperation(RpcClient& rpc);
  ParseCode parseReply(ServiceReply& reply, std::string_view text) override;
  ErrorPtr send(AppModel& model) override;
  ErrorPtr pollSend(AppModel& model) override;
  ErrorPtr applyReply(AppModel& model) override;
  ErrorPtr applyFinalReply(AppModel& model) override;
};

class SignOperation final : public ServiceOperation {
 public:
  explicit SignOperation(RpcClient& rpc);
  ParseCode parseReply(ServiceReply& reply, std::string_view text) override;
  ErrorPtr send(AppModel& model) override;
  ErrorPtr pollSend(AppModel& model) override;
  ErrorPtr applyReply(AppModel& model) override;
  ErrorPtr applyFinalReply(AppModel& model) override;
};

class VoteOperation final : public ServiceOperation {
 public:
  explicit VoteOperation(RpcClient& rpc);
  ParseCode parseReply(ServiceReply& reply, std::string_view text) override;
  ErrorPtr send(AppModel& model) override;
  ErrorPtr pollSend(AppModel& model) override;
  ErrorPtr applyReply(AppModel& model) override;
};

// ID-card operations: a failure pending with the card wins over anything else.
class CardChoicesOperation final : public ServiceOperation {
 public:
  CardChoicesOperation(RpcClient& rpc, QuestionCursor& cursor, IdCard& card);
  ParseCode parseReply(ServiceReply& reply, std::string_view text) override;
  ErrorPtr send(AppModel& model) override;
  ErrorPtr step(AppModel& model, bool& done, bool& final) override;
  ErrorPtr pollSend(AppModel& model) override;
  ErrorPtr applyReply(AppModel& model) override;

 private:
  QuestionCursor& cursor_;
  IdCard& card_;
};

class CardVoteOperation final : public ServiceOperation {
 public:
  CardVoteOperation(RpcClient& rpc, IdCard& card);
  ParseCode parseReply(ServiceReply& reply, std::string_view text) override;
  ErrorPtr send(AppModel& model) override;
  ErrorPtr step(AppModel& model, bool& done, bool& final) override;
  ErrorPtr pollSend(AppModel& model) override;
  ErrorPtr applyReply(AppModel& model) override;

 private:
  IdCard& card_;
};

// The receipt of an accepted vote checked against the bundle's certificate sets; on success the
// test-vote flag and the verification text are stored. A failure is a VERIFY error.
[[nodiscard]] ErrorPtr applyReceipt(const ServiceReply& reply, AppModel& model);

}  // namespace sorvimend
