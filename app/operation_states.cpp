// The seven operation states: which operation each sends, which view it shows, where success leads.

#include "app/session_controller.h"
#include "app/wizard_states.h"
#include "identity/id_card.h"

namespace sorvimend {

namespace {

constexpr int kAuthenticationSlot = 1;
constexpr int kChoicesSlot = 2;
constexpr int kCertificateSlot = 3;
constexpr int kSigningSlot = 4;
constexpr int kVoteSlot = 5;

void releaseCard() {
  if (IdCard* card = idCard()) card->release(false);
}

class CardAuthState final : public OperationState {
 public:
  ErrorPtr send(SessionController& controller) override { return controller.sendOperation(kAuthenticationSlot); }
  StatePtr nextState() const override { return makeIntroState(); }
  void showView(SessionController& controller) override { controller.view().showNetworkWait(kStageIdentification); }
  StatePtr returnState() const override {
    releaseCard();
    return makeCardAuthState();
  }
};

class MobileAuthState final : public OperationState {
 public:
  ErrorPtr send(SessionController& controller) override {
    controller.appModel().mobileSession().normalisePhoneNumber();
    return controller.sendOperation(kAuthenticationSlot);
  }
  StatePtr nextState() const override { return makeChoicesState(); }
  void showView(SessionController& controller) override { controller.view().showAuthCode(); }
  StatePtr returnState() const override { return makeIdentifierEntryState(); }
};

class ChoicesState final : public OperationState {
 public:
  ErrorPtr send(SessionController& controller) override { return controller.sendOperation(kChoicesSlot); }
  StatePtr nextState() const override { return makeIntroState(); }
  void showView(SessionController& controller) override { controller.view().showAuthCode(); }
  StatePtr returnState() const override { return makeIdentifierEntryState(); }
};

class CertificateState final : public OperationState {
 public:
  ErrorPtr send(SessionController& controller) override { return controller.sendOperation(kCertificateSlot); }
  StatePtr nextState() const override { return makeSigningState(); }
  void showView(SessionController& controller) override { controller.view().showSignCode(); }
  StatePtr returnState() const override { return makeReviewState(); }
};

class SigningState final : public OperationState {
 public:
  ErrorPtr send(SessionController& controller) override { return controller.sendOperation(kSigningSlot); }
  StatePtr nextState() const override { return makeMobileVoteState(); }
  void showView(SessionController& controller) override { controller.view().showSignCode(); }
  StatePtr returnState() const override { return makeReviewState(); }
};

class MobileVoteState final : public OperationState {
 public:
  ErrorPtr send(SessionController& controller) override { return controller.sendOperation(kVoteSlot); }
  StatePtr nextState() const override { return makeDoneState(); }
  void showView(SessionController& controller) override { controller.view().showSignCode(); }
  StatePtr returnState() const override { return makeReviewState(); }
};

class CardVoteState final : public OperationState {
 public:
  ErrorPtr send(SessionController& controller) override { return controller.sendOperation(kVoteSlot); }
  StatePtr nextState() const override { return makeDoneState(); }
  void showView(SessionController& controller) override { controller.view().showNetworkWait(kStageSigning); }
  StatePtr returnState() const override {
    releaseCard();
    return makeReviewState();
  }
};

}  // namespace

StatePtr makeCardAuthState() { return std::make_unique<CardAuthState>(); }
StatePtr makeMobileAuthState() { return std::make_unique<MobileAuthState>(); }
StatePtr makeChoicesState() { return std::make_unique<ChoicesState>(); }
StatePtr makeCertificateState() { return std::make_unique<CertificateState>(); }
StatePtr makeSigningState() { return std::make_unique<SigningState>(); }
StatePtr makeMobileVoteState() { return std::make_unique<MobileVoteState>(); }
StatePtr makeCardVoteState() { return std::make_unique<CardVoteState>(); }

}  // namespace sorvimend
