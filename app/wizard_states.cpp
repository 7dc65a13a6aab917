// The states that show a view and wait for the voter.

#include "app/wizard_states.h"

#include "app/session_controller.h"

namespace sorvimend {

namespace {

QuestionCursor* cursor() { return questionCursor(); }

bool multiQuestion() {
  const QuestionCursor* c = cursor();
  return c && c->multiQuestion();
}

class AuthChoiceState final : public SessionState {
 public:
  void enter(SessionController& controller) override { controller.view().showAuthMethods(); }
  void handle(UiEvent event, SessionController& controller) override {
    switch (event) {
      case UiEvent::LeftButton:
        controller.prepareIdCard();
        controller.setNextState(makeCardAuthState());
        return;
      case UiEvent::RightButton:
        controller.prepareMobileId();
        controller.setNextState(makeIdentifierEntryState());
        return;
      case UiEvent::ThirdButton:
        controller.prepareSmartId();
        controller.setNextState(makeIdentifierEntryState());
        return;
      default: return;
    }
  }
};

class IdentifierEntryState final : public SessionState {
 public:
  void enter(SessionController& controller) override {
    controller.view().showIdentifierEntry(controller.appModel().method() ==
                                          static_cast<int>(IdentificationMethod::MobileId));
  }
  void handle(UiEvent event, SessionController& controller) override {
    if (event == UiEvent::LeftButton) controller.view().confirmQuit();
    if (event == UiEvent::RightButton) controller.setNextState(makeMobileAuthState());
  }
};

class IntroState final : public SessionState {
 public:
  void enter(SessionController& controller) override { controller.view().showIntro(); }
  void handle(UiEvent event, SessionController& controller) override {
    if (event == UiEvent::LeftButton) controller.view().confirmQuit();
    if (event == UiEvent::RightButton) {
      controller.setNextState(multiQuestion() ? makeNextQuestionState() : makeChoiceState());
    }
  }
};

class ChoiceState final : public SessionState {
 public:
  void enter(SessionController& controller) override { controller.view().showChoices(); }
  void handle(UiEvent event, SessionController& controller) override {
    if (event == UiEvent::LeftButton) {
      if (multiQuestion()) {
        controller.setNextState(makeNextQuestionState());
      } else {
        controller.view().confirmQuit();
      }
      return;
    }
    if (event != UiEvent::RightButton) return;
    QuestionCursor* c = cursor();
    // The view enables continue only with a pick; without one there is nothing to sign.
    if (!c || !c->ballot() || !controller.appModel().pickOf(*c->ballot())) return;
    if (c->isLast()) {
      controller.setNextState(makeReviewState());
    } else {
      c->nextQuestion();
      controller.setNextState(makeNextQuestionState());
    }
  }
};

class NextQuestionState final : public SessionState {
 public:
  void enter(SessionController& controller) override { controller.view().showNextQuestion(); }
  void handle(UiEvent event, SessionController& controller) override {
    QuestionCursor* c = cursor();
    if (!c) return;
    if (event == UiEvent::LeftButton) {
      if (c->isFirst()) {
        controller.setNextState(makeIntroState());
      } else {
        c->previousQuestion();
        controller.setNextState(makeChoiceState());
      }
    }
    if (event == UiEvent::RightButton) controller.setNextState(makeChoiceState());
  }
};

class ReviewState final : public SessionState {
 public:
  void enter(SessionController& controller) override { controller.view().showReview(); }
  void handle(UiEvent event, SessionController& controller) override {
    if (event == UiEvent::LeftButton) controller.setNextState(makeChoiceState());
    if (event == UiEvent::RightButton) {
      const bool card = controller.appModel().method() == static_cast<int>(IdentificationMethod::IdCard);
      controller.setNextState(card ? makeCardVoteState() : makeCertificateState());
    }
  }
};

class DoneState final : public SessionState {
 public:
  void enter(SessionController& controller) override { controller.view().showResult(); }
  void handle(UiEvent event, SessionController& controller) override {
    if (event == UiEvent::RightButton) controller.view().closeWindow();
  }
  bool quitsWithoutAsking() const override { return true; }
};

}  // namespace

StatePtr makeAuthChoiceState() { return std::make_unique<AuthChoiceState>(); }
StatePtr makeIdentifierEntryState() { return std::make_unique<IdentifierEntryState>(); }
StatePtr makeIntroState() { return std::make_unique<IntroState>(); }
StatePtr makeChoiceState() { return std::make_unique<ChoiceState>(); }
StatePtr makeNextQuestionState() { return std::make_unique<NextQuestionState>(); }
StatePtr makeReviewState() { return std::make_unique<ReviewState>(); }
StatePtr makeDoneState() { return std::make_unique<DoneState>(); }

}  // namespace sorvimend
