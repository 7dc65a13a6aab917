#pragma once
// What the wizard asks of the user interface. The session controller talks only to this
// interface, so its state machine runs in tests without a display; ui/ViewManager implements it
// on the toolkit. The view operations read what they show from the application model and the
// resources; they never decide which view comes next.

#include <functional>
#include <string>

namespace sorvimend {

// net/proxy_prompt.h: the proxy dialog's fields and answer.
struct ProxyDialogFields;
enum class ProxyPromptResult;

// The numbers that reach the controller's single event entry. Buttons and the window send 0, 1,
// 2 and 6; 3 to 5 belong to the controller's own timers.
enum class UiEvent : int {
  LeftButton = 0,    // in the authentication view: ID card
  RightButton = 1,   // in the authentication view: Mobile-ID
  ThirdButton = 2,   // only in the authentication view: Smart-ID
  SendTimer = 3,     // 200 ms after entering an operation state: send the request
  StepTimer = 4,     // 200 ms: one step of the exchange
  PollTimer = 5,     // 5000 ms: the next poll request
  CloseRequest = 6,  // window-manager close, or Escape in the window
};

using UiEventHandler = std::function<void(UiEvent)>;
// A one-shot timer callback; it gets no user data (always null).
using TimerCallback = void (*)(void*);

// Roadmap stages of the network-wait view.
inline constexpr int kStageIdentification = 0;
inline constexpr int kStageSigning = 3;

class ViewPort {
 public:
  virtual ~ViewPort() = default;

  virtual void startTimer(int milliseconds, TimerCallback callback) = 0;
  // Hides the main window; the event loop then ends and the program with it.
  virtual void closeWindow() = 0;
  // Asks whether to abandon the voting; closes the window when the voter confirms.
  virtual void confirmQuit() = 0;
  // Hides every widget of the current view and disables the navigation buttons.
  virtual void clearView() = 0;
  // Attaches the button and window callbacks; called once after construction.
  virtual void connectControls(UiEventHandler handler) = 0;

  virtual void showResult() = 0;
  virtual void showReview() = 0;
  virtual void showChoices() = 0;
  virtual void showNextQuestion() = 0;
  virtual void showIdentifierEntry(bool mobileId) = 0;
  virtual void showError(const std::string& text, bool offerRetry) = 0;
  virtual void showAuthMethods() = 0;
  virtual void showIntro() = 0;
  virtual void showAuthCode() = 0;
  virtual void showSignCode() = 0;
  // stage is kStageIdentification or kStageSigning.
  virtual void showNetworkWait(int stage) = 0;
  virtual void startWaitAnimation() = 0;
  virtual void stopWaitAnimation() = 0;
  // The proxy dialog, fields edited in place.
  [[nodiscard]] virtual ProxyPromptResult askProxy(ProxyDialogFields& fields, bool modal) = 0;
};

}  // namespace sorvimend
