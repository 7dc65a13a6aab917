#include "app/error_text.h"
#include "app/session_controller.h"
#include "app/wizard_states.h"

namespace sorvimend {

namespace {

// Owns the failure it shows until the program closes.
class ErrorState final : public SessionState {
 public:
  ErrorState(ErrorPtr error, StatePtr retry) : error_(std::move(error)), retry_(std::move(retry)) {}

  void enter(SessionController& controller) override {
    controller.view().showError(errorViewText(error_.get()), retry_ != nullptr);
  }
  void handle(UiEvent event, SessionController& controller) override {
    if (event == UiEvent::LeftButton) controller.view().closeWindow();
    if (event == UiEvent::RightButton && retry_) controller.setNextState(std::move(retry_));
  }
  bool quitsWithoutAsking() const override { return true; }

 private:
  ErrorPtr error_;
  StatePtr retry_;
};

}  // namespace

StatePtr makeErrorState(ErrorPtr error, StatePtr retry) {
  return std::make_unique<ErrorState>(std::move(error), std::move(retry));
}

}  // namespace sorvimend
