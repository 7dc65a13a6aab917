#pragma once
// What the wizard needs of a service operation, and the operations prepared for each
// identification method. The controller sees only this interface, so tests can script the
// exchanges; the program adapts the protocol's ServiceOperation objects to it.

#include <array>
#include <functional>
#include <memory>

#include "identity/mobile_session.h"
#include "protocol/app_model.h"
#include "util/error_info.h"

namespace sorvimend {

class ServiceOperation;

class SessionOperation {
 public:
  virtual ~SessionOperation() = default;
  [[nodiscard]] virtual ErrorPtr send(AppModel& model) = 0;
  // done: the reply has been read; final: no poll follows.
  [[nodiscard]] virtual ErrorPtr step(AppModel& model, bool& done, bool& final) = 0;
  [[nodiscard]] virtual ErrorPtr pollSend(AppModel& model) = 0;
  [[nodiscard]] virtual ErrorPtr pollStep(AppModel& model, bool& done, bool& final) = 0;
};

inline constexpr std::size_t kOperationSlots = 5;
// Slots 1 to 5 at indices 0 to 4; the ID card leaves slots 2 to 4 empty.
using OperationSet = std::array<std::unique_ptr<SessionOperation>, kOperationSlots>;
using OperationFactory = std::function<OperationSet(IdentificationMethod)>;

// Wraps a protocol operation.
[[nodiscard]] std::unique_ptr<SessionOperation> adaptOperation(std::unique_ptr<ServiceOperation> operation);

// The program's operations on the process-wide protocol client, question cursor and ID card. Each
// must exist when the factory is called (in the authentication-choice state, after assembly); a
// missing one leaves the set empty, and sending an empty slot is an internal error.
[[nodiscard]] OperationSet serviceOperations(IdentificationMethod method);

}  // namespace sorvimend
