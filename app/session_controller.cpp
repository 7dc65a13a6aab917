#include "app/session_controller.h"

#include <cstdlib>
#include <utility>

namespace sorvimend {

namespace {

std::unique_ptr<SessionController>& controllerSingleton() {
  static std::unique_ptr<SessionController> controller;
  return controller;
}

void dispatchToController(UiEvent event) {
  if (SessionController* controller = sessionController()) controller->dispatch(event);
}

// The view's timers carry no user data, so each event has its own callback.
void onSendTimer(void*) { dispatchToController(UiEvent::SendTimer); }
void onStepTimer(void*) { dispatchToController(UiEvent::StepTimer); }
void onPollTimer(void*) { dispatchToController(UiEvent::PollTimer); }

}  // namespace

SessionController* sessionController() { return controllerSingleton().get(); }

void registerSessionController(std::unique_ptr<SessionController> controller) {
  // The old controller goes only after the new one is reachable: its states may still start
  // timers while they are destroyed, and those must find a live controller or none.
  std::unique_ptr<SessionController> old = std::move(controllerSingleton());
  controllerSingleton() = std::move(controller);
  old.reset();
}

SessionController::SessionController(ViewPort& view, OperationFactory factory)
    : view_(view), factory_(std::move(factory)) {}

SessionController::~SessionController() = default;

void SessionController::start(StatePtr state) {
  if (current_) current_->leave(*this);
  current_ = std::move(state);
  if (current_) current_->enter(*this);
}

void SessionController::dispatch(UiEvent event) {
  if (!current_) return;
  ++dispatchDepth_;
  if (event == UiEvent::CloseRequest) {
    if (current_->quitsWithoutAsking()) {
      view_.closeWindow();
    } else {
      view_.confirmQuit();
    }
  } else {
    current_->handle(event, *this);
  }
  // A nested dispatch inside the handler may already have switched; only a next state set and
  // not yet taken over counts.
  if (next_) switchState();
  if (--dispatchDepth_ == 0) retired_.clear();
}

void SessionController::setNextState(StatePtr state) { next_ = std::move(state); }

void SessionController::switchState() {
  view_.clearView();
  StatePtr old = std::move(current_);
  old->leave(*this);
  current_ = std::move(next_);
  // Handlers further up the stack may belong to the old state (or to states retired before it).
  if (dispatchDepth_ > 1) retired_.push_back(std::move(old));
  old.reset();
  current_->enter(*this);
}

void SessionController::prepare(IdentificationMethod method) {
  appModel().setMethod(static_cast<int>(method));
  operations_ = factory_ ? factory_(method) : OperationSet{};
  currentSlot_ = 0;
}

SessionOperation* SessionController::currentOperation() {
  if (currentSlot_ < 1 || currentSlot_ > static_cast<int>(kOperationSlots)) return nullptr;
  return operations_[static_cast<std::size_t>(currentSlot_ - 1)].get();
}

ErrorPtr SessionController::sendOperation(int slot) {
  currentSlot_ = slot;
  SessionOperation* operation = currentOperation();
  // A slot the chosen method does not fill: the wizard's paths never get here.
  if (!operation) return makeError(ErrorClass::Internal);
  return operation->send(appModel());
}

ErrorPtr SessionController::step(bool& done, bool& final) {
  SessionOperation* operation = currentOperation();
  if (!operation) return makeError(ErrorClass::Internal);
  return operation->step(appModel(), done, final);
}

ErrorPtr SessionController::pollStep(bool& done, bool& final) {
  SessionOperation* operation = currentOperation();
  if (!operation) return makeError(ErrorClass::Internal);
  return operation->pollStep(appModel(), done, final);
}

ErrorPtr SessionController::pollSend() {
  SessionOperation* operation = currentOperation();
  if (!operation) return makeError(ErrorClass::Internal);
  return operation->pollSend(appModel());
}

AppModel& SessionController::appModel() {
  // The assembly registers the model before the event loop runs, and no state reachable before
  // then asks for it; a missing model is a broken assembly.
  AppModel* model = sorvimend::appModel();
  if (!model) std::abort();
  return *model;
}

void SessionController::startTimer(UiEvent event) {
  switch (event) {
    case UiEvent::SendTimer: view_.startTimer(kStepMilliseconds, onSendTimer); return;
    case UiEvent::StepTimer: view_.startTimer(kStepMilliseconds, onStepTimer); return;
    case UiEvent::PollTimer: view_.startTimer(kPollMilliseconds, onPollTimer); return;
    default: return;
  }
}

}  // namespace sorvimend
