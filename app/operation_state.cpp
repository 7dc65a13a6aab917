#include "app/session_controller.h"
#include "app/wizard_states.h"

namespace sorvimend {

void OperationState::enter(SessionController& controller) {
  showView(controller);
  controller.view().startWaitAnimation();
  awaiting_ = Awaiting::Send;
  controller.startTimer(UiEvent::SendTimer);
}

void OperationState::leave(SessionController& controller) { controller.view().stopWaitAnimation(); }

void OperationState::handle(UiEvent event, SessionController& controller) {
  switch (event) {
    case UiEvent::LeftButton:
      // Nothing may touch this state after the dialog: the exchange keeps stepping meanwhile and
      // may have moved the wizard on.
      controller.view().confirmQuit();
      return;
    case UiEvent::SendTimer:
      if (awaiting_ != Awaiting::Send) return;
      awaiting_ = Awaiting::Nothing;
      afterRequest(send(controller), controller);
      return;
    case UiEvent::PollTimer:
      if (awaiting_ != Awaiting::Poll) return;
      awaiting_ = Awaiting::Nothing;
      afterRequest(controller.pollSend(), controller);
      return;
    case UiEvent::StepTimer:
      if (awaiting_ != Awaiting::Step) return;
      awaiting_ = Awaiting::Nothing;
      afterStep(controller);
      return;
    default: return;
  }
}

void OperationState::afterRequest(ErrorPtr error, SessionController& controller) {
  // A send may open the PIN dialog, whose nested loop can end this visit (a confirmed quit); its
  // outcome then belongs to nobody.
  if (!controller.isCurrent(*this)) return;
  if (error) {
    controller.setNextState(makeErrorState(std::move(error)));
    return;
  }
  awaiting_ = Awaiting::Step;
  controller.startTimer(UiEvent::StepTimer);
}

void OperationState::afterStep(SessionController& controller) {
  bool done = false;
  bool final = false;
  ErrorPtr error;
  if (polling_) {
    error = controller.pollStep(done, final);
  } else {
    error = controller.step(done, final);
  }
  if (!controller.isCurrent(*this)) return;
  // The view shows what the first answer brought (a verification code) before polling starts.
  if (!polling_ && done && !error) showView(controller);
  if (error) {
    controller.setNextState(makeErrorState(std::move(error)));
  } else if (!done) {
    awaiting_ = Awaiting::Step;
    controller.startTimer(UiEvent::StepTimer);
  } else if (final) {
    controller.view().stopWaitAnimation();
    controller.setNextState(nextState());
  } else {
    polling_ = true;
    awaiting_ = Awaiting::Poll;
    controller.startTimer(UiEvent::PollTimer);
  }
}

}  // namespace sorvimend
