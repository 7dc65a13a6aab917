#pragma once
// The voting wizard: a state machine whose current state decides which view is shown, what each
// button does and which service operation runs next. Every button, the window's close request and
// the controller's own one-shot timers arrive at dispatch as one UiEvent.
//
// Re-entrance: a modal dialog opened by a handler (the quit question, the PIN dialogs) runs a
// nested event loop in which timer events are dispatched again, so the controller may switch state
// while the old state's handler is still on the stack. A state switched away from inside a nested
// dispatch is therefore only retired, and freed when the outermost dispatch returns.

#include <memory>
#include <vector>

#include "app/session_operation.h"
#include "app/session_state.h"
#include "app/view_port.h"
#include "protocol/app_model.h"
#include "protocol/question_cursor.h"

namespace sorvimend {

class SessionController {
 public:
  inline static constexpr int kStepMilliseconds = 200;
  inline static constexpr int kPollMilliseconds = 5000;

  // The view outlives the controller. The factory makes the operations of the chosen method.
  SessionController(ViewPort& view, OperationFactory factory);
  virtual ~SessionController();
  SessionController(const SessionController&) = delete;
  SessionController& operator=(const SessionController&) = delete;

  // Makes state current and enters it (the assembly's start; the controller starts with none).
  void start(StatePtr state);
  void dispatch(UiEvent event);
  // Taken over after the running handler returns; a next state set before is dropped.
  void setNextState(StatePtr state);

  void prepareIdCard() { prepare(IdentificationMethod::IdCard); }
  void prepareMobileId() { prepare(IdentificationMethod::MobileId); }
  void prepareSmartId() { prepare(IdentificationMethod::SmartId); }
  // slot is 1 to 5. Makes that operation the current one, then sends it.
  [[nodiscard]] ErrorPtr sendOperation(int slot);
  [[nodiscard]] ErrorPtr pollStep(bool& done, bool& final);
  [[nodiscard]] ErrorPtr step(bool& done, bool& final);
  [[nodiscard]] ErrorPtr pollSend();
  // The process-wide model (registered by the assembly after the first state is entered).
  [[nodiscard]] AppModel& appModel();

  [[nodiscard]] ViewPort& view() { return view_; }
  [[nodiscard]] bool isCurrent(const SessionState& state) const { return current_.get() == &state; }
  [[nodiscard]] const SessionState* currentState() const { return current_.get(); }
  // One-shot timer that dispatches event to the registered controller when it fires.
  void startTimer(UiEvent event);

 private:
  void prepare(IdentificationMethod method);
  void switchState();
  SessionOperation* currentOperation();

  ViewPort& view_;
  OperationFactory factory_;
  OperationSet operations_;
  int currentSlot_ = 0;  // 0: nothing sent yet
  StatePtr current_;
  StatePtr next_;
  // States switched away from inside a nested dispatch, freed by the outermost one.
  std::vector<StatePtr> retired_;
  int dispatchDepth_ = 0;
};

// The process-wide controller; registering a new one destroys the one held before. Timers that
// fire when none is registered do nothing.
[[nodiscard]] SessionController* sessionController();
void registerSessionController(std::unique_ptr<SessionController> controller);

}  // namespace sorvimend
