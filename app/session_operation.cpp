#include "app/session_operation.h"

#include "identity/id_card.h"
#include "protocol/question_cursor.h"
#include "protocol/rpc_client.h"
#include "protocol/service_operation.h"

namespace sorvimend {

namespace {

class ServiceOperationAdapter final : public SessionOperation {
 public:
  explicit ServiceOperationAdapter(std::unique_ptr<ServiceOperation> operation) : operation_(std::move(operation)) {}
  ErrorPtr send(AppModel& model) override { return operation_->send(model); }
  ErrorPtr step(AppModel& model, bool& done, bool& final) override { return operation_->step(model, done, final); }
  ErrorPtr pollSend(AppModel& model) override { return operation_->pollSend(model); }
  ErrorPtr pollStep(AppModel& model, bool& done, bool& final) override {
    return operation_->pollStep(model, done, final);
  }

 private:
  std::unique_ptr<ServiceOperation> operation_;
};

template <class Operation, class... Args>
std::unique_ptr<SessionOperation> make(Args&... args) {
  return adaptOperation(std::make_unique<Operation>(args...));
}

}  // namespace

std::unique_ptr<SessionOperation> adaptOperation(std::unique_ptr<ServiceOperation> operation) {
  if (!operation) return nullptr;
  return std::make_unique<ServiceOperationAdapter>(std::move(operation));
}

OperationSet serviceOperations(IdentificationMethod method) {
  OperationSet set;
  RpcClient* rpc = RpcClient::instance();
  QuestionCursor* cursor = questionCursor();
  if (!rpc || !cursor) return set;
  switch (method) {
    case IdentificationMethod::IdCard: {
      IdCard* card = idCard();
      if (!card) return set;
      set[0] = make<CardChoicesOperation>(*rpc, *cursor, *card);
      set[4] = make<CardVoteOperation>(*rpc, *card);
      return set;
    }
    case IdentificationMethod::MobileId:
      set[0] = make<AuthenticateOperation>(*rpc);
      set[1] = make<ChoicesOperation>(*rpc, *cursor);
      set[2] = make<CertificateOperation>(*rpc);
      set[3] = make<SignOperation>(*rpc);
      set[4] = make<VoteOperation>(*rpc);
      return set;
    case IdentificationMethod::SmartId:
      set[0] = make<AuthenticateOperation>(*rpc);
      set[1] = make<ChoicesOperation>(*rpc, *cursor);
      set[2] = make<CertificateChoiceOperation>(*rpc);
      set[3] = make<SignOperation>(*rpc);
      set[4] = make<VoteOperation>(*rpc);
      return set;
  }
  return set;
}

}  // namespace sorvimend
