// The wizard against a recording view and scripted operations: no display, no network.

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "app/session_controller.h"
#include "net/proxy_prompt.h"
#include "app/wizard_states.h"
#include "resources/resource_access.h"
#include "resources/resource_catalogue.h"

namespace sorvimend {
namespace {

struct Timer {
  int milliseconds;
  TimerCallback callback;
};

// Records every call as a word; timers wait in a queue until the test fires them.
class RecordingView final : public ViewPort {
 public:
  void startTimer(int milliseconds, TimerCallback callback) override {
    timers.push_back({milliseconds, callback});
    calls.push_back("timer" + std::to_string(milliseconds));
  }
  void closeWindow() override { calls.push_back("close"); }
  void confirmQuit() override {
    calls.push_back("confirmQuit");
    if (onConfirmQuit) onConfirmQuit();
  }
  void clearView() override {}
  void connectControls(UiEventHandler) override {}
  void showResult() override { calls.push_back("result"); }
  void showReview() override { calls.push_back("review"); }
  void showChoices() override { calls.push_back("choices"); }
  void showNextQuestion() override { calls.push_back("nextQuestion"); }
  void showIdentifierEntry(bool mobileId) override { calls.push_back(mobileId ? "entryMid" : "entrySid"); }
  void showError(const std::string& text, bool offerRetry) override {
    errorText = text;
    calls.push_back(offerRetry ? "errorRetry" : "error");
  }
  void showAuthMethods() override { calls.push_back("authMethods"); }
  void showIntro() override { calls.push_back("intro"); }
  void showAuthCode() override { calls.push_back("authCode"); }
  void showSignCode() override { calls.push_back("signCode"); }
  void showNetworkWait(int stage) override { calls.push_back("wait" + std::to_string(stage)); }
  void startWaitAnimation() override { ++animations; }
  void stopWaitAnimation() override {
    if (animations > 0) --animations;
  }
  ProxyPromptResult askProxy(ProxyDialogFields&, bool) override { return ProxyPromptResult{}; }

  // Fires the oldest timer; false when none is waiting.
  bool fire() {
    if (timers.empty()) return false;
    const Timer timer = timers.front();
    timers.pop_front();
    timer.callback(nullptr);
    return true;
  }

  std::vector<std::string> calls;
  std::deque<Timer> timers;
  std::string errorText;
  int animations = 0;
  std::function<void()> onConfirmQuit;
};

// One exchange: steps pending before the reply, then the reply is final or asks for polls.
struct Script {
  int pendingSteps = 0;
  int polls = 0;        // "poll again" answers before the final one
  bool failSend = false;
  bool failStep = false;
};

class ScriptedOperation final : public SessionOperation {
 public:
  explicit ScriptedOperation(Script script) : script_(script) {}
  ErrorPtr send(AppModel&) override {
    if (script_.failSend) return makeError(ErrorClass::Network, std::string("offline"), 22);
    pending_ = script_.pendingSteps;
    return nullptr;
  }
  ErrorPtr step(AppModel&, bool& done, bool& final) override {
    done = false;
    if (pending_-- > 0) return nullptr;
    done = true;
    final = script_.polls == 0;
    if (script_.failStep) return makeError(ErrorClass::Server, std::uint64_t{3});
    return nullptr;
  }
  ErrorPtr pollSend(AppModel&) override { return nullptr; }
  ErrorPtr pollStep(AppModel&, bool& done, bool& final) override {
    done = true;
    final = --script_.polls <= 0;
    return nullptr;
  }

 private:
  Script script_;
  int pending_ = 0;
};

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class SessionControllerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    registerCatalogue();
    const char* source = std::getenv("SV_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    ASSERT_EQ(loadBundleText(readFile(std::string(source) + "/demo/bundle.json")), nullptr);
  }
  static void TearDownTestSuite() { resetBundle(); }

  void SetUp() override {
    registerAppModel(std::make_unique<AppModel>());
    auto cursor = std::make_unique<SingleQuestionCursor>();
    auto ballot = std::make_unique<Ballot>("E", "Q", "Question", "0001.1", "District");
    choice_ = &ballot->addList("List").addChoice("0001.1", "101", "Name");
    cursor->setBallot(std::move(ballot));
    registerQuestionCursor(std::move(cursor));
    auto controller = std::make_unique<SessionController>(view_, [this](IdentificationMethod) {
      OperationSet set;
      for (std::size_t i = 0; i < kOperationSlots; ++i) set[i] = std::make_unique<ScriptedOperation>(scripts_[i]);
      return set;
    });
    controller_ = controller.get();
    registerSessionController(std::move(controller));
  }
  void TearDown() override {
    registerSessionController(nullptr);
    registerQuestionCursor(nullptr);
    registerAppModel(nullptr);
  }

  void send(UiEvent event) { controller_->dispatch(event); }
  // Fires timers until none is waiting or limit are spent; returns how many fired.
  int runTimers(int limit = 100) {
    int fired = 0;
    while (fired < limit && view_.fire()) ++fired;
    return fired;
  }
  void pick() { appModel()->pick(*choice_); }

  RecordingView view_;
  SessionController* controller_ = nullptr;
  Script scripts_[kOperationSlots];
  const Choice* choice_ = nullptr;
};

using Calls = std::vector<std::string>;

TEST_F(SessionControllerTest, MobileIdPathReachesTheResultWithPolling) {
  scripts_[0] = {1, 1};  // authentication polls once
  scripts_[3] = {0, 2};  // signing polls twice
  controller_->start(makeAuthChoiceState());
  send(UiEvent::RightButton);
  EXPECT_EQ(appModel()->method(), 1);
  send(UiEvent::RightButton);
  runTimers();
  send(UiEvent::RightButton);  // intro
  pick();
  send(UiEvent::RightButton);  // choice
  send(UiEvent::RightButton);  // review
  runTimers();
  const Calls expected = {
      "authMethods", "entryMid",
      // mobile authentication: send, a pending step, the start reply shown again, one poll
      "authCode", "timer200", "timer200", "timer200", "authCode", "timer5000", "timer200",
      // choices
      "authCode", "timer200", "timer200", "authCode", "intro", "choices", "review",
      // certificate, signing with two polls, vote
      "signCode", "timer200", "timer200", "signCode", "signCode", "timer200", "timer200", "signCode",
      "timer5000", "timer200", "timer5000", "timer200", "signCode", "timer200", "timer200", "signCode",
      "result"};
  EXPECT_EQ(view_.calls, expected);
  EXPECT_EQ(view_.animations, 0);
  ASSERT_NE(controller_->currentState(), nullptr);
  EXPECT_TRUE(controller_->currentState()->quitsWithoutAsking());
}

TEST_F(SessionControllerTest, IdCardPathIsShorter) {
  controller_->start(makeAuthChoiceState());
  send(UiEvent::LeftButton);
  EXPECT_EQ(appModel()->method(), 0);
  runTimers();
  pick();
  send(UiEvent::RightButton);
  send(UiEvent::RightButton);
  send(UiEvent::LeftButton);  // review back to choice
  send(UiEvent::RightButton);
  send(UiEvent::RightButton);
  runTimers();
  const Calls expected = {"authMethods", "wait0",  "timer200", "timer200", "wait0", "intro",    "choices",
                          "review",      "choices", "review",  "wait3",    "timer200", "timer200", "wait3",
                          "result"};
  EXPECT_EQ(view_.calls, expected);
}

TEST_F(SessionControllerTest, ChoiceWithoutAPickDoesNotContinue) {
  controller_->start(makeChoiceState());
  send(UiEvent::RightButton);
  EXPECT_EQ(view_.calls, (Calls{"choices"}));
}

TEST_F(SessionControllerTest, FailuresLeadToTheErrorViewWhichOnlyCloses) {
  struct Case {
    const char* name;
    Script script;
    const char* code;
  };
  const Case cases[] = {
      {"send", {0, 0, true, false}, "Tehnilise vea kood: 0x3-22"},
      {"step", {2, 0, false, true}, "Tehnilise vea kood: 0x4-3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    view_ = RecordingView();
    scripts_[0] = c.script;
    SetUp();
    controller_->start(makeAuthChoiceState());
    send(UiEvent::ThirdButton);
    send(UiEvent::RightButton);
    runTimers();
    EXPECT_EQ(view_.calls.back(), "error");
    EXPECT_NE(view_.errorText.find(c.code), std::string::npos) << view_.errorText;
    EXPECT_EQ(view_.animations, 0);
    EXPECT_FALSE(view_.fire());
    send(UiEvent::RightButton);  // no retry state: ignored
    EXPECT_EQ(view_.calls.back(), "error");
    send(UiEvent::LeftButton);
    EXPECT_EQ(view_.calls.back(), "close");
  }
}

TEST_F(SessionControllerTest, CloseRequestAsksExceptInDoneAndError) {
  struct Case {
    const char* name;
    std::function<StatePtr()> make;
    const char* expected;
  };
  const Case cases[] = {
      {"auth choice", makeAuthChoiceState, "confirmQuit"},
      {"intro", makeIntroState, "confirmQuit"},
      {"review", makeReviewState, "confirmQuit"},
      {"operation", makeSigningState, "confirmQuit"},
      {"done", makeDoneState, "close"},
      {"error", [] { return makeErrorState(makeError(ErrorClass::Internal)); }, "close"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    controller_->start(c.make());
    send(UiEvent::CloseRequest);
    EXPECT_EQ(view_.calls.back(), c.expected);
  }
}

TEST_F(SessionControllerTest, QuitDeclinedLeavesTheExchangeRunning) {
  scripts_[0] = {3, 0};
  controller_->start(makeAuthChoiceState());
  send(UiEvent::LeftButton);
  view_.fire();  // send
  send(UiEvent::LeftButton);
  EXPECT_EQ(view_.calls.back(), "confirmQuit");
  runTimers();
  EXPECT_EQ(view_.calls.back(), "intro");
}

TEST_F(SessionControllerTest, StrayTimerEventsAreIgnored) {
  controller_->start(makeSigningState());
  send(UiEvent::StepTimer);
  send(UiEvent::PollTimer);
  EXPECT_EQ(view_.calls, (Calls{"signCode", "timer200"}));
}

// The quit dialog's nested loop runs the exchange to its end: the state whose handler opened the
// dialog is switched away while still on the stack and must survive until dispatch returns.
TEST_F(SessionControllerTest, NestedDispatchInsideTheQuitDialogRetiresTheOldState) {
  scripts_[0] = {2, 0};
  scripts_[4] = {1, 0};
  controller_->start(makeAuthChoiceState());
  send(UiEvent::LeftButton);
  view_.onConfirmQuit = [this] {
    view_.onConfirmQuit = nullptr;
    runTimers(4);  // step, step, reply: the wizard moves to the introduction
  };
  view_.fire();
  send(UiEvent::LeftButton);
  EXPECT_EQ(view_.calls.back(), "intro");
  EXPECT_EQ(view_.animations, 0);

  pick();
  send(UiEvent::RightButton);
  send(UiEvent::RightButton);
  send(UiEvent::RightButton);  // card vote
  // A close request whose dialog sees the vote through to the result.
  view_.onConfirmQuit = [this] {
    view_.onConfirmQuit = nullptr;
    runTimers();
  };
  send(UiEvent::CloseRequest);
  EXPECT_EQ(view_.calls.back(), "result");
}

// A state that still writes to itself after its quit dialog returns, as a careless handler would.
class SelfTouchingState final : public SessionState {
 public:
  void enter(SessionController& controller) override { controller.startTimer(UiEvent::StepTimer); }
  void handle(UiEvent event, SessionController& controller) override {
    if (event == UiEvent::StepTimer) controller.setNextState(makeDoneState());
    if (event == UiEvent::LeftButton) {
      controller.view().confirmQuit();
      ++handledAfterDialog_;
    }
  }

 private:
  int handledAfterDialog_ = 0;
};

TEST_F(SessionControllerTest, AStateSwitchedAwayUnderItsHandlerStaysAliveUntilDispatchReturns) {
  controller_->start(std::make_unique<SelfTouchingState>());
  view_.onConfirmQuit = [this] { runTimers(); };
  send(UiEvent::LeftButton);  // under AddressSanitizer a freed state would be written here
  EXPECT_EQ(view_.calls.back(), "result");
}

}  // namespace
}  // namespace sorvimend
