// Every view of the wizard built from the demo bundle and model data on the real framework, in a
// private X server, driven with xdotool and photographed (build/<x>/views-shots/).

#include "resources/resource_access.h"
#include "resources/resource_catalogue.h"
#include "identity/mobile_session.h"
#include "protocol/app_model.h"
#include "protocol/question_cursor.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <FL/Fl.H>

#include "tests/ui/views_display.h"
#include "ui/action_button.h"
#include "ui/views/choice_box.h"
#include "ui/views/choice_picker.h"
#include "ui/views/choice_tree.h"
#include "ui/views/linked_input.h"
#include "ui/views/qr_code_box.h"
#include "ui/views/search_input.h"
#include "ui/views/wizard_views.h"
#include "vote/ballot.h"

namespace sorvimend {
namespace {

std::string demoBundle() {
  const char* source = std::getenv("SV_SOURCE_DIR");
  std::ifstream in(std::string(source != nullptr ? source : ".") + "/demo/bundle.json");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::unique_ptr<Ballot> demoBallot() {
  auto ballot = std::make_unique<Ballot>("RK2026", "RK2026", "Riigikogu valimised 2026", "0001.01", "Tallinna ringkond");
  ChoiceList& a = ballot->addList("Erakond Päikesekiir");
  a.addChoice("0001", "101", "Mari Maasikas");
  a.addChoice("0001", "102", "Jaan J. Tamm");
  a.addChoice("0001", "103", "Liisa-Maria Õunapuu-Kaasiksaar von Lindenberg-Rästapuu, kandideerib koos kõigi oma sugulastega kaugetest külakestest, mis asuvad soode ja rabade taga suurte metsade keskel");
  ChoiceList& b = ballot->addList("Valimisliit Ühine Õu");
  b.addChoice("0001", "104", "Karl Kask");
  b.addChoice("0001", "105", "Õie Ämblik");
  ChoiceList& c = ballot->addList("Üksikkandidaadid");
  c.addChoice("0001", "106", "Peeter Pirn");
  return ballot;
}

const Choice& choiceNumbered(const Ballot& ballot, const std::string& number) {
  for (const auto& list : ballot.lists()) {
    for (const auto& choice : list->choices()) {
      if (choice->number() == number) return *choice;
    }
  }
  throw std::logic_error("no choice " + number);
}

class Wizard : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    registerCatalogue();
    ASSERT_EQ(loadBundleText(demoBundle()), nullptr);
  }

  void SetUp() override {
    ASSERT_TRUE(testing::requireDisplay());
    registerAppModel(std::make_unique<AppModel>());
    registerQuestionCursor(std::make_unique<SingleQuestionCursor>());
    questionCursor()->setBallot(demoBallot());
    views_ = std::make_unique<WizardViews>();
    views_->connectControls([this](UiEvent e) { events_.push_back(static_cast<int>(e)); });
    win().show();
    testing::settle(0.3);
  }

  void TearDown() override {
    views_.reset();
    testing::settle(0.05);
  }

  MainWindow& win() { return views_->window(); }
  void show(void (WizardViews::*view)()) {
    views_->clearView();
    (views_.get()->*view)();
    testing::settle(0.3);
  }
  std::string shot(const std::string& name) { return testing::screenshot(win(), name); }

  std::unique_ptr<WizardViews> views_;
  std::vector<int> events_;
};

TEST_F(Wizard, AuthMethodButtonsFollowTheFlags) {
  show(&WizardViews::showAuthMethods);
  shot("v1-auth-methods");
  EXPECT_TRUE(win().leftButton().visible());
  EXPECT_EQ(win().leftButton().y(), 216);
  EXPECT_TRUE(win().rightButton().visible());
  EXPECT_EQ(win().rightButton().y(), 286);
  ASSERT_TRUE(win().thirdButton().visible());
  EXPECT_EQ(win().thirdButton().y(), 356);
  testing::click(win(), 512, 381);
  testing::click(win(), 512, 241);
  EXPECT_EQ(events_, (std::vector<int>{2, 0}));
}

TEST_F(Wizard, MobileIdEntryFiltersAndEnablesSubmitAtTheRightKeystroke) {
  appModel()->setMethod(static_cast<int>(IdentificationMethod::MobileId));
  views_->clearView();
  views_->showIdentifierEntry(true);
  testing::settle(0.3);
  LinkedInput* phone = views_->phoneField();
  LinkedInput* code = views_->codeField();
  ASSERT_NE(phone, nullptr);
  ASSERT_NE(code, nullptr);
  EXPECT_EQ(std::string(phone->value()), "+372");
  EXPECT_EQ(phone->y(), 236);
  EXPECT_EQ(code->y(), 296);
  ActionButton& submit = win().rightButton();
  EXPECT_TRUE(submit.disabled());
  MobileSession& session = appModel()->mobileSession();

  testing::click(win(), code->x() + 50, code->y() + 20);
  testing::click(win(), phone->x() + 50, phone->y() + 20);  // focusing selects what follows +372
  testing::type("5");
  EXPECT_EQ(std::string(phone->value()), "+3725");
  EXPECT_EQ(session.phoneNumber(), "+3725");
  testing::type("x");
  EXPECT_EQ(std::string(phone->value()), "+3725");
  testing::type("5512345");
  testing::type("9");  // a twelfth digit after the plus
  EXPECT_EQ(session.phoneNumber(), "+37255512345");

  testing::click(win(), code->x() + 50, code->y() + 20);
  testing::type("3850101a");
  EXPECT_EQ(std::string(code->value()), "3850101");
  testing::type("012");
  EXPECT_TRUE(submit.disabled());
  testing::key("Return");
  EXPECT_TRUE(events_.empty());  // Enter does nothing while submit is disabled
  testing::type("7");           // the eleventh digit
  EXPECT_EQ(session.personalCode(), "38501010127");
  EXPECT_FALSE(submit.disabled());
  EXPECT_EQ(Fl::focus(), &submit);
  testing::type("8");  // a twelfth digit goes nowhere: the focus is on the button
  EXPECT_EQ(session.personalCode(), "38501010127");
  shot("v2-mobile-id");
  testing::key("Return");
  EXPECT_EQ(events_, (std::vector<int>{1}));

  // A phone number too short disables submit again, without moving the focus.
  testing::click(win(), phone->x() + 50, phone->y() + 20);
  testing::key("ctrl+a BackSpace");
  testing::type("+3725");
  EXPECT_EQ(session.phoneNumber(), "+3725");
  EXPECT_FALSE(submit.disabled());
  testing::key("BackSpace");
  EXPECT_EQ(session.phoneNumber(), "+372");
  EXPECT_TRUE(submit.disabled());
  EXPECT_EQ(Fl::focus(), phone);
}

TEST_F(Wizard, SmartIdEntryNeedsOnlyTheCode) {
  appModel()->mobileSession().setPersonalCode("38501010127");  // from an earlier visit
  appModel()->setMethod(static_cast<int>(IdentificationMethod::SmartId));
  views_->clearView();
  views_->showIdentifierEntry(false);
  testing::settle(0.3);
  EXPECT_EQ(views_->phoneField(), nullptr);
  ASSERT_NE(views_->codeField(), nullptr);
  EXPECT_EQ(views_->codeField()->y(), 236);
  EXPECT_TRUE(win().rightButton().disabled());
  EXPECT_EQ(appModel()->mobileSession().personalCode(), "");
  testing::click(win(), views_->codeField()->x() + 50, 256);
  testing::type("3850101012");
  EXPECT_TRUE(win().rightButton().disabled());
  testing::key("KP_Enter");
  EXPECT_TRUE(events_.empty());
  testing::type("7");
  EXPECT_FALSE(win().rightButton().disabled());
  shot("v2-smart-id");
  testing::key("KP_Enter");
  EXPECT_EQ(events_, (std::vector<int>{1}));
}

TEST_F(Wizard, VerificationCodesOnlyForTheirPurpose) {
  appModel()->setMethod(static_cast<int>(IdentificationMethod::MobileId));
  MobileSession& session = appModel()->mobileSession();
  show(&WizardViews::showAuthCode);
  ASSERT_NE(win().titleBox(), nullptr);
  EXPECT_STREQ(win().titleBox()->label(), "");

  // Challenge bytes 0xFF ... 0xFF give 8191.
  ASSERT_TRUE(session.start("s1", SessionPurpose::Identification, "/////w=="));
  show(&WizardViews::showAuthCode);
  EXPECT_STREQ(win().titleBox()->label(), "8191");
  EXPECT_NE(win().text().value().find("isikutuvastuse"), std::string::npos);
  shot("v3-auth-code");
  show(&WizardViews::showSignCode);
  EXPECT_STREQ(win().titleBox()->label(), "");  // not the signing purpose yet

  ASSERT_TRUE(session.start("", SessionPurpose::Signing, "AAU="));  // 0x00 0x05 gives 0005
  show(&WizardViews::showSignCode);
  EXPECT_STREQ(win().titleBox()->label(), "0005");
  EXPECT_NE(win().text().value().find("allkirjastamise"), std::string::npos);
  EXPECT_FALSE(win().rightButton().visible());
  shot("v7-sign-code");
}

TEST_F(Wizard, IntroShowsTheVoter) {
  appModel()->setIdentity("MARI-LIIS MÄNNIK", "48501010127");
  appModel()->setVotedBefore(true);
  show(&WizardViews::showIntro);
  shot("v4-intro");
  EXPECT_FALSE(win().text().visible());
  EXPECT_EQ(win().rightButton().partner(), &win().leftButton());
  testing::movePointer(win(), 500, 300);
  testing::key("Return");
  EXPECT_EQ(events_, (std::vector<int>{1}));
}

TEST_F(Wizard, ChoicesSearchPickAndFocus) {
  show(&WizardViews::showChoices);
  shot("v5-choices");
  ChoiceTree* tree = views_->choiceTree();
  ASSERT_NE(tree, nullptr);
  EXPECT_TRUE(win().rightButton().disabled());
  EXPECT_EQ(views_->choiceBox()->number(), "");

  testing::click(win(), 200, 545);  // the search field
  testing::type("p");
  EXPECT_TRUE(views_->clearButton()->visible());
  testing::type("i");  // "pi": Pirn and Päikesekiir's lists... only choices match, caselessly
  shot("v5-search");
  int choices = 0;
  for (Fl_Tree_Item* item = tree->first(); item != nullptr; item = tree->next(item)) {
    if (item->user_data() != nullptr) ++choices;
  }
  EXPECT_EQ(choices, 1);  // "106 Peeter Pirn"

  // Picking with the pointer fills the box, enables the button and moves the focus to it.
  Fl_Tree_Item* pirn = nullptr;
  for (Fl_Tree_Item* item = tree->first(); item != nullptr; item = tree->next(item)) {
    if (item->user_data() != nullptr) pirn = item;
  }
  ASSERT_NE(pirn, nullptr);
  testing::click(win(), tree->x() + 80, pirn->y() + pirn->h() / 2);
  EXPECT_EQ(views_->choiceBox()->number(), "106");
  EXPECT_FALSE(win().rightButton().disabled());
  EXPECT_EQ(Fl::focus(), &win().rightButton());
  const Ballot& ballot = *questionCursor()->ballot();
  EXPECT_EQ(appModel()->pickOf(ballot), &choiceNumbered(ballot, "106"));
  shot("v5-picked");

  // The clear button brings the placeholder and the closed lists back; the pick stays shown.
  testing::click(win(), 483, 545);
  EXPECT_TRUE(views_->searchInput()->showingPlaceholder());
  EXPECT_FALSE(views_->clearButton()->visible());
  ASSERT_NE(views_->picker()->pickedItem(), nullptr);
  EXPECT_TRUE(views_->picker()->pickedItem()->is_selected());
  testing::key("Return");
  EXPECT_EQ(events_, (std::vector<int>{1}));
}

TEST_F(Wizard, ChoicesShowThePickOnReturnAndShrinkALongName) {
  const Ballot& ballot = *questionCursor()->ballot();
  appModel()->pick(choiceNumbered(ballot, "103"));
  show(&WizardViews::showChoices);
  testing::settle(0.2);
  EXPECT_FALSE(win().rightButton().disabled());
  EXPECT_EQ(views_->choiceBox()->number(), "103");
  RichTextView& description = views_->choiceBox()->description();
  EXPECT_FALSE(description.verticalScrollbarVisible());
  EXPECT_FALSE(description.horizontalScrollbarVisible());
  EXPECT_LT(description.textsize(), resourceInteger(ResourceId::RES_UI_FONT_SIZE));
  shot("v5-returning");
}

TEST_F(Wizard, NoBallotShowsOnlyTheRoadmap) {
  questionCursor()->setBallot(nullptr);
  show(&WizardViews::showChoices);
  EXPECT_EQ(views_->choiceTree(), nullptr);
  EXPECT_FALSE(win().rightButton().visible());
  EXPECT_FALSE(win().leftButton().visible());
}

TEST_F(Wizard, ReviewOneAndTwoPicks) {
  const Ballot& ballot = *questionCursor()->ballot();
  appModel()->setMethod(static_cast<int>(IdentificationMethod::IdCard));
  appModel()->pick(choiceNumbered(ballot, "105"));
  show(&WizardViews::showReview);
  ASSERT_NE(views_->choiceBox(), nullptr);
  EXPECT_EQ(views_->choiceBox()->number(), "105");
  EXPECT_EQ(win().rightButton().currentColour(), resourceColour(ResourceId::RES_UI_COLOR_VOTE_BTN));
  EXPECT_NE(win().text().value().find("ID-kaardi"), std::string::npos);
  shot("v6-review");

  // A second ballot's pick: the method text and both review masks, no box.
  Ballot other("RK2026", "Q2", "Teine küsimus", "0001.01", "");
  other.addList("Nimekiri").addChoice("0001", "201", "Teine Valik");
  appModel()->pick(*other.lists().front()->choices().front());
  show(&WizardViews::showReview);
  EXPECT_EQ(views_->choiceBox(), nullptr);
  const std::string& review = win().text().value();
  EXPECT_EQ(review.find(resourceText(ResourceId::RES_VIEW_V6_TEXT_ID)), 0u);
  EXPECT_NE(review.find("Õie Ämblik"), std::string::npos);
  EXPECT_NE(review.find("Teine Valik"), std::string::npos);
  shot("v6-review-two");
  show(&WizardViews::showNextQuestion);
  EXPECT_NE(win().text().value().find("Riigikogu valimised 2026</p>"), std::string::npos);
  shot("next-question");
}

TEST_F(Wizard, ResultWithQrCode) {
  appModel()->setMethod(static_cast<int>(IdentificationMethod::MobileId));
  appModel()->setTestVote(true);
  appModel()->setVerificationText("7c1f0e9d2b3a4c5d", "f00dfeed-0000-4000-8000-123456789abc");
  show(&WizardViews::showResult);
  ASSERT_NE(views_->qrCodeBox(), nullptr);
  EXPECT_EQ(views_->qrCodeBox()->x() + views_->qrCodeBox()->w(), 964);
  EXPECT_NE(win().text().value().find("proovihääl"), std::string::npos);
  const std::string path = shot("v8-result");
  EXPECT_EQ(testing::shellOutput("zbarimg --nodbus --raw -q " + path), appModel()->verificationText() + "\n");
  EXPECT_FALSE(win().leftButton().visible());
  testing::movePointer(win(), 500, 300);
  testing::key("Return");
  EXPECT_EQ(events_, (std::vector<int>{1}));
}

TEST_F(Wizard, NetworkWaitAndError) {
  views_->clearView();
  views_->showNetworkWait(kStageSigning);
  views_->startWaitAnimation();
  testing::settle(0.3);
  shot("network-wait");
  views_->stopWaitAnimation();

  views_->clearView();
  views_->showError("<p>Viga serveriga suhtlemisel.</p><p>Tehnilise vea kood: 0x0000000300000000000000220</p>", false);
  testing::settle(0.3);
  shot("error");
  EXPECT_TRUE(win().leftButton().visible());
  EXPECT_FALSE(win().rightButton().visible());
  EXPECT_EQ(win().errorMark(), (Rect{480, 120, 64, 64}));
  views_->clearView();
  views_->showError("x", true);
  EXPECT_TRUE(win().rightButton().visible());
}

}  // namespace
}  // namespace sorvimend
