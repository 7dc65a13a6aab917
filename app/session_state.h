#pragma once
// The states of the voting wizard. A state is made for one visit: the controller calls enter once
// when it becomes current, hands it every event but the close request, and calls leave when it
// switches away. A handler changes state only by naming a next state on the controller.

#include <memory>

#include "app/view_port.h"
#include "util/error_info.h"

namespace sorvimend {

class SessionController;

class SessionState {
 public:
  virtual ~SessionState() = default;
  SessionState() = default;
  SessionState(const SessionState&) = delete;
  SessionState& operator=(const SessionState&) = delete;

  virtual void handle(UiEvent event, SessionController& controller) = 0;
  virtual void enter(SessionController& controller) = 0;
  // Called when the controller switches away. Undoes what enter started on the view (the wait
  // animation); the object itself may live on a little longer, see SessionController.
  virtual void leave(SessionController&) {}
  // Only the done and error states close on a close request without asking.
  [[nodiscard]] virtual bool quitsWithoutAsking() const { return false; }
};

using StatePtr = std::unique_ptr<SessionState>;

// A state that runs one service operation: send 200 ms after entering, a step every 200 ms until
// the reply is in, then a poll request every 5000 ms while the service answers "poll again".
class OperationState : public SessionState {
 public:
  void handle(UiEvent event, SessionController& controller) override;
  void enter(SessionController& controller) override;
  void leave(SessionController& controller) override;

  // The state's request (one of the controller's send operations).
  [[nodiscard]] virtual ErrorPtr send(SessionController& controller) = 0;
  // The state that follows success.
  [[nodiscard]] virtual StatePtr nextState() const = 0;
  virtual void showView(SessionController& controller) = 0;
  // Where a retry would go back to. The program never asks for it: its error states carry no
  // retry state.
  [[nodiscard]] virtual StatePtr returnState() const = 0;

  [[nodiscard]] bool polling() const { return polling_; }

 private:
  // What the state will accept next: one timer is outstanding at a time, and a timer event that
  // does not match it (nothing the state started) is ignored.
  enum class Awaiting { Nothing, Send, Step, Poll };

  void afterRequest(ErrorPtr error, SessionController& controller);
  void afterStep(SessionController& controller);

  bool polling_ = false;
  Awaiting awaiting_ = Awaiting::Nothing;
};

}  // namespace sorvimend
