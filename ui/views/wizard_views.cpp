// Before any toolkit header: X11 defines None as a macro.
#include "resources/resource_access.h"
#include "identity/mobile_session.h"
#include "protocol/app_model.h"

#include "ui/views/wizard_views.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Group.H>
#include <FL/fl_draw.H>

#include "net/proxy_prompt.h"
#include "protocol/question_cursor.h"
#include "ui/action_button.h"
#include "ui/dialogs/proxy_dialog.h"
#include "ui/dialogs/quit_dialog.h"
#include "ui/icons.h"
#include "ui/rich_text_view.h"
#include "ui/views/choice_box.h"
#include "ui/views/choice_picker.h"
#include "ui/views/choice_tree.h"
#include "ui/views/input_filter.h"
#include "ui/views/linked_input.h"
#include "ui/views/qr_code_box.h"
#include "ui/views/search_input.h"
#include "vote/ballot.h"

namespace sorvimend {
namespace {

using R = ResourceId;

std::string text(ResourceId id) { return resourceText(id); }
int size(ResourceId id) { return resourceInteger(id); }
Fl_Color colour(ResourceId id) { return resourceColour(id); }

std::string replaced(std::string mask, std::string_view placeholder, std::string_view value) {
  replaceAll(mask, placeholder, value);
  return mask;
}

constexpr const char* kPhonePrefix = "+372";
constexpr int kListDividerWidth = 1;

// The search field's clear button: the clear icon alone, drawn only while the button is enabled.
class ClearButton : public ActionButton {
 public:
  ClearButton(int x, int y, int w, int h) : ActionButton(x, y, w, h, FL_BLACK, FL_WHITE, FL_NORMAL_SIZE) {}

 protected:
  void draw() override {
    fl_rectf(x(), y(), w(), h(), FL_WHITE);
    if (!disabled()) {
      Fl_Pixmap& icon = clearIcon();
      icon.draw(x() + (w() - icon.w()) / 2, y() + (h() - icon.h()) / 2);
    }
  }
};

std::string choiceDescription(const Choice& choice) {
  return fillMask(text(R::RES_VIEW_V5_MASK_CHOICE_PARTY), {choice.name(), choice.list().name()});
}

AppModel& model() { return *appModel(); }

// Enter reaches the default button through the window's key handling, and keys reach the window
// only through a focused widget: after clearView hid the focused one, nothing has focus.
void focusForDefaultButton(MainWindow& window) {
  Fl_Widget* focus = Fl::focus();
  if (focus == nullptr || !focus->visible_r() || focus->window() != &window) Fl::focus(&window);
}

}  // namespace

WizardViews::WizardViews() = default;

WizardViews::~WizardViews() {
  picker_.reset();
  // The widgets leave the window as they go; the window then deletes only its own.
  viewWidgets_.clear();
}

template <class W>
W& WizardViews::keep(std::unique_ptr<W> widget) {
  W& shown = *widget;
  viewWidgets_.push_back(std::move(widget));
  window().addViewWidget(shown);
  return shown;
}

void WizardViews::startView() {
  picker_.reset();
  for (std::unique_ptr<Fl_Widget>& widget : viewWidgets_) {
    widget->hide();
    Fl::delete_widget(widget.release());
  }
  viewWidgets_.clear();
  choiceBox_ = nullptr;
  choiceTree_ = nullptr;
  searchInput_ = nullptr;
  clearButton_ = nullptr;
  phoneField_ = nullptr;
  codeField_ = nullptr;
  qrCodeBox_ = nullptr;
}

void WizardViews::showAuthMethods() {
  startView();
  MainWindow& w = window();
  w.setStage(0);
  w.showText(text(R::RES_VIEW_V1_TEXT_CHOOSE_AUTH), Rect{30, 136, 964, 85}, 0);
  w.setLeftButton(text(R::RES_BTN_AUTH_ID_CARD), ViewLayout::authButton(0), false,
                  resourceTextOrEmpty(R::RES_DATA_IMG_IDCARD));
  int next = 1;
  if (resourceBoolean(R::RES_APP_HAVE_MOBID)) {
    w.setRightButton(text(R::RES_BTN_AUTH_MOBID), ViewLayout::authButton(1), false,
                     resourceTextOrEmpty(R::RES_DATA_IMG_MOBID));
    next = 2;
  }
  if (resourceBoolean(R::RES_APP_HAVE_SMARTID)) {
    w.setThirdButton(text(R::RES_BTN_AUTH_SMARTID), ViewLayout::authButton(next),
                     resourceTextOrEmpty(R::RES_DATA_IMG_SMARTID));
  }
}

void WizardViews::showIdentifierEntry(bool mobileId) {
  startView();
  MainWindow& w = window();
  const ViewLayout l = layout();
  const int inputSize = size(R::RES_UI_INPUT_FONT_SIZE);
  fl_font(FL_HELVETICA, inputSize);
  const std::string phoneLabel = text(R::RES_VIEW_V2_LBL_PHONE_NO);
  const std::string codeLabel = text(R::RES_VIEW_V2_LBL_ID_NO);
  const std::string& measured = (codeLabel.size() > phoneLabel.size() || !mobileId) ? codeLabel : phoneLabel;
  const int x = l.inputRow.x + static_cast<int>(fl_width(measured.c_str()) * 0.5);

  w.setStage(0);
  w.showText(text(mobileId ? R::RES_VIEW_V2_TEXT_INSERT_MOBID : R::RES_VIEW_V2_TEXT_INSERT_SMARTID), l.textSecond, 0);

  // The session holds exactly what the fields show, so that no value from an earlier visit
  // stands behind a field the voter sees empty.
  MobileSession& session = model().mobileSession();
  session.setPhoneNumber(mobileId ? kPhonePrefix : "");
  session.setPersonalCode("");

  auto styled = [inputSize](LinkedInput& field) {
    field.labelfont(FL_HELVETICA);
    field.labelsize(inputSize);
    field.textfont(FL_HELVETICA);
    field.textsize(inputSize);
  };
  int y = l.inputRow.y;
  std::unique_ptr<LinkedInput> phone;
  if (mobileId) {
    phone = std::make_unique<LinkedInput>(x, y, l.inputRow.w, l.inputRow.h, phoneLabel.c_str(), &w.rightButton());
    phone->prefix(kPhonePrefix);
    styled(*phone);
    phone->callback(onPhoneChanged, this);
    y += l.inputRow.h + ViewLayout::kMarginY;
  }
  auto code = std::make_unique<LinkedInput>(x, y, l.inputRow.w, l.inputRow.h, codeLabel.c_str(), &w.rightButton());
  styled(*code);
  code->callback(onCodeChanged, this);
  // Each view widget goes in before the ones added earlier: the code field first keeps the phone
  // field before it in the window's (and the focus) order.
  codeField_ = &keep(std::move(code));
  if (phone) phoneField_ = &keep(std::move(phone));

  w.showTitle(text(mobileId ? R::RES_VIEW_V2_TEXT_MOBID_TITLE : R::RES_VIEW_V2_TEXT_SMARTID_TITLE),
              Rect{l.textTop.x, l.textTop.y, l.textTop.w, 30}, size(R::RES_UI_DESCRIPTION_FONT_SIZE),
              FL_FOREGROUND_COLOR, FL_ALIGN_CENTER, FL_HELVETICA);
  w.setLeftButton(text(R::RES_BTN_STOP_VOTE), l.leftButton, false);
  w.setRightButton(text(mobileId ? R::RES_BTN_SUBMIT_MOBID : R::RES_BTN_SUBMIT_SMARTID), l.rightButton, false);
  w.rightButton().disabled(true);
}

void WizardViews::updateSubmit(bool moveFocus) {
  ActionButton& submit = window().rightButton();
  if (model().mobileSession().inputValid()) {
    submit.disabled(false);
    if (moveFocus) submit.take_focus();
  } else {
    submit.disabled(true);
  }
  submit.redraw();
}

void WizardViews::onPhoneChanged(Fl_Widget* widget, void* views) {
  auto* field = static_cast<LinkedInput*>(widget);
  MobileSession& session = model().mobileSession();
  std::string last = session.phoneNumber();
  const std::string current(field->value(), static_cast<std::size_t>(field->size()));
  if (filterInput(current, last, phoneTextAccepted) != current) field->value(last.c_str());
  session.setPhoneNumber(last);
  static_cast<WizardViews*>(views)->updateSubmit(false);
}

void WizardViews::onCodeChanged(Fl_Widget* widget, void* views) {
  auto* field = static_cast<LinkedInput*>(widget);
  MobileSession& session = model().mobileSession();
  std::string last = session.personalCode();
  const std::string current(field->value(), static_cast<std::size_t>(field->size()));
  if (filterInput(current, last, personalCodeTextAccepted) != current) field->value(last.c_str());
  session.setPersonalCode(last);
  static_cast<WizardViews*>(views)->updateSubmit(true);
}

void WizardViews::showCode(bool signing) {
  startView();
  MainWindow& w = window();
  const ViewLayout l = layout();
  const SessionPurpose purpose = signing ? SessionPurpose::Signing : SessionPurpose::Identification;
  const std::string code = model().mobileSession().verificationCode(purpose);
  const bool mobileId = model().method() == static_cast<int>(IdentificationMethod::MobileId);
  const ResourceId methodText = signing ? (mobileId ? R::RES_VIEW_V7_TEXT_MOBID_PIN2 : R::RES_VIEW_V7_TEXT_SMARTID_PIN2)
                                        : (mobileId ? R::RES_VIEW_V3_TEXT_MOBID_PIN1 : R::RES_VIEW_V3_TEXT_SMARTID_PIN1);
  w.setStage(signing ? 3 : 0);
  w.showText(replaced(text(R::RES_VIEW_V3_7_TEXT_MASK), "%1%", text(methodText)), l.codeText, 0);
  w.showTitle(code, l.codeTitle, size(R::RES_UI_AUTH_CODE_FONT_SIZE), colour(R::RES_UI_COLOR_ACTIVE), FL_ALIGN_CENTER,
              FL_HELVETICA_BOLD);
  w.setLeftButton(text(R::RES_BTN_STOP_VOTE), l.leftButton, false);
}

void WizardViews::showAuthCode() { showCode(false); }
void WizardViews::showSignCode() { showCode(true); }

void WizardViews::showIntro() {
  startView();
  MainWindow& w = window();
  const ViewLayout l = layout();
  w.setStage(1);
  const AppModel& m = model();
  const std::string election = replaced(text(R::RES_VIEW_V4_TEXT_INTRO_MASK), "%1%",
                                        m.votedBefore() ? text(R::RES_VIEW_V4_ALREADY_VOTED) : std::string());
  const std::string voter = fillMask(text(R::RES_VIEW_V4_TEXT_PERSON_MASK), {m.voterName(), m.voterCode()});
  const int textSize = size(R::RES_UI_TEXT_FONT_SIZE);
  for (const auto& [where, content] : {std::pair{l.introRight, &voter}, std::pair{l.introLeft, &election}}) {
    auto view = std::make_unique<RichTextView>(where.x, where.y, where.w, where.h);
    view->box(FL_FLAT_BOX);
    view->textfont(FL_HELVETICA);
    view->textsize(textSize);
    view->value(*content);
    keep(std::move(view));
  }
  auto divider = std::make_unique<Fl_Box>(l.introDivider.x, l.introDivider.y, l.introDivider.w, l.introDivider.h);
  divider->box(FL_FLAT_BOX);
  divider->color(colour(R::RES_UI_COLOR_INACTIVE));
  keep(std::move(divider));
  w.showTitle(text(R::RES_VIEW_V4_TEXT_INTRO_TITLE), Rect{l.textTop.x, l.textTop.y, l.textTop.w, 28},
              size(R::RES_VIEW_V4_SIZE_INTRO_TITLE), FL_FOREGROUND_COLOR, FL_ALIGN_LEFT | FL_ALIGN_INSIDE,
              FL_HELVETICA_BOLD);
  w.setLeftButton(text(R::RES_BTN_STOP_VOTE), l.leftButton, false);
  w.setRightButton(text(R::RES_BTN_START_CHOOSING), l.rightButton, true);
  focusForDefaultButton(w);
}

void WizardViews::showChoices() {
  startView();
  MainWindow& w = window();
  const ViewLayout l = layout();
  w.setStage(2);

  const Ballot* ballot = questionCursor() != nullptr ? questionCursor()->ballot() : nullptr;
  if (ballot == nullptr) return;
  const Choice* pick = model().pickOf(*ballot);
  const Fl_Color inactive = colour(R::RES_UI_COLOR_INACTIVE);

  auto box = std::make_unique<ChoiceBox>(l.choiceBox.x, l.choiceBox.y, l.choiceBox.w, l.choiceBox.h,
                                         choiceBoxStyleFromResources());
  auto tree = std::make_unique<ChoiceTree>(
      l.choiceTree.x, l.choiceTree.y, l.choiceTree.w, l.choiceTree.h, colour(R::RES_UI_COLOR_ACTIVE), inactive,
      ChoiceTreeIcons{&openIcon(), &closeIcon(), &upArrowIcon(), &downArrowIcon()});
  auto group = std::make_unique<Fl_Group>(l.searchRow.x, l.searchRow.y, l.searchRow.w, l.searchRow.h);
  group->box(FL_ROUNDED_FRAME);
  group->color(FL_WHITE);
  auto* magnifier = new Fl_Box(65, 525, 40, 40);  // owned by the group
  magnifier->box(FL_NO_BOX);
  magnifier->image(&magnifierIcon());
  auto* search = new SearchInput(105, 520, 353, 50, text(R::RES_VIEW_V5_LBL_SEARCH));
  auto* clear = new ClearButton(462, 524, 42, 42);
  clear->visible_focus(0);
  clear->disabled(true);
  clear->hide();
  group->end();
  auto divider = std::make_unique<Fl_Box>(l.listDivider.x, l.listDivider.y, kListDividerWidth, l.listDivider.h);
  divider->box(FL_FLAT_BOX);
  divider->color(inactive);

  choiceBox_ = box.get();
  choiceTree_ = tree.get();
  searchInput_ = search;
  clearButton_ = clear;

  std::vector<PickerList> lists;
  lists.reserve(ballot->lists().size());
  for (const auto& list : ballot->lists()) {
    PickerList& entry = lists.emplace_back();
    entry.name = list->name();
    entry.choices.reserve(list->choices().size());
    for (const auto& choice : list->choices()) {
      entry.choices.push_back(PickerChoice{choice->number() + " " + choice->name(), choice.get()});
    }
  }
  ChoicePicker::Texts texts{text(R::RES_DIA_MSAA_CHOICES_UNFILTERED), text(R::RES_DIA_MSAA_CHOICES_FILTERED),
                            text(R::RES_VIEW_V5_SEARCH_EMPTY), colour(R::RES_UI_COLOR_CANDIDATE_LIST)};
  ChoicePicker::Hooks hooks;
  hooks.pickChanged = [this, ballot](const PickerChoice* picked) {
    ActionButton& proceed = window().rightButton();
    if (picked != nullptr) {
      const auto& choice = *static_cast<const Choice*>(picked->key);
      choiceBox_->showChoice(choice.number(), choiceDescription(choice));
      proceed.disabled(false);
      model().unpick(choice);
      model().pick(choice);
      proceed.take_focus();
    } else {
      choiceBox_->showNothing();
      proceed.disabled(true);
      // The pick is stored under the ballot's name: any choice of the ballot takes it back.
      for (const auto& list : ballot->lists()) {
        if (!list->choices().empty()) {
          model().unpick(*list->choices().front());
          break;
        }
      }
    }
    proceed.redraw();
  };
  hooks.clearButtonActive = [this](bool active) {
    clearButton_->disabled(!active);
    if (active) {
      clearButton_->show();
    } else {
      clearButton_->hide();
    }
  };
  picker_ = std::make_unique<ChoicePicker>(std::move(lists), pick, *tree, *search, std::move(texts), std::move(hooks));
  tree->callback(onTreeEvent, this);
  search->callback(onSearchChanged, this);
  clear->callback(onClearSearch, this);

  if (pick != nullptr && picker_->pickedItem() != nullptr) {
    box->showChoice(pick->number(), choiceDescription(*pick));
  } else {
    box->showNothing();
  }

  w.showText(fillMask(text(R::RES_VIEW_V5_TEXT_MASK), {ballot->questionTitle(), ballot->districtName()}), l.choiceText,
             0);
  const bool multi = questionCursor()->multiQuestion();
  w.setLeftButton(text(multi ? R::RES_BTN_BACK : R::RES_BTN_STOP_VOTE), l.wideLeftButton, false);
  w.setRightButton(text(R::RES_BTN_SELECT_CANDIDATE), l.wideRightButton, false);
  if (picker_->picked() == nullptr) w.rightButton().disabled(true);

  keep(std::move(box));
  keep(std::move(group));
  keep(std::move(divider));
  keep(std::move(tree));
}

void WizardViews::onSearchChanged(Fl_Widget*, void* views) {
  auto* self = static_cast<WizardViews*>(views);
  if (self->picker_) self->picker_->search();
}

void WizardViews::onClearSearch(Fl_Widget* button, void* views) {
  auto* self = static_cast<WizardViews*>(views);
  if (self->picker_ && !static_cast<ActionButton*>(button)->disabled()) self->picker_->clearSearch();
}

void WizardViews::onTreeEvent(Fl_Widget*, void* views) {
  auto* self = static_cast<WizardViews*>(views);
  if (self->picker_) self->picker_->treeEvent();
}

namespace {

std::string methodReviewText(int method) {
  switch (static_cast<IdentificationMethod>(method)) {
    case IdentificationMethod::MobileId:
      return text(R::RES_VIEW_V6_TEXT_MID);
    case IdentificationMethod::SmartId:
      return text(R::RES_VIEW_V6_TEXT_SMARTID);
    case IdentificationMethod::IdCard:
      break;
  }
  return text(R::RES_VIEW_V6_TEXT_ID);
}

}  // namespace

void WizardViews::showReview() {
  startView();
  MainWindow& w = window();
  const ViewLayout l = layout();
  w.setStage(3);
  const AppModel& m = model();
  const std::string method = methodReviewText(m.method());
  if (const Choice* pick = m.singlePick()) {
    std::string review = text(R::RES_VIEW_V6_MASK_REVIEW_SINGLE);
    replaceAll(review, "%1%", pick->list().ballot().questionTitle());
    replaceAll(review, "%2%", method);
    w.showText(review, l.reviewText, 0);
    auto box = std::make_unique<ChoiceBox>(l.reviewBox.x, l.reviewBox.y, l.reviewBox.w, l.reviewBox.h,
                                           choiceBoxStyleFromResources());
    box->showChoice(pick->number(), choiceDescription(*pick));
    choiceBox_ = &keep(std::move(box));
  } else {
    w.showText(method + m.reviewText(text(R::RES_VIEW_V6_MASK_REVIEW_PARTY)), l.textTall, 0);
  }
  w.setLeftButton(text(R::RES_BTN_BACK), l.leftButton, false);
  w.setRightButton(text(R::RES_BTN_SIGN), l.rightButton, true);
  w.rightButton().currentColour(colour(R::RES_UI_COLOR_VOTE_BTN));
  focusForDefaultButton(w);
}

void WizardViews::showNextQuestion() {
  startView();
  MainWindow& w = window();
  const ViewLayout l = layout();
  w.setStage(2);
  std::string review = model().reviewText(text(R::RES_VIEW_V6_MASK_REVIEW_PARTY)) + text(R::RES_VIEW_V_MASK_NEXT_QUESTION);
  if (const Ballot* ballot = questionCursor() != nullptr ? questionCursor()->ballot() : nullptr) {
    replaceAll(review, "%1%", ballot->questionTitle());
  }
  w.showText(review, l.textTall, 0);
  w.setLeftButton(text(R::RES_BTN_BACK), l.leftButton, false);
  w.setRightButton(text(R::RES_BTN_MAKE_DECISION), l.rightButton, true);
  focusForDefaultButton(w);
}

void WizardViews::showResult() {
  startView();
  MainWindow& w = window();
  const ViewLayout l = layout();
  w.setStage(4);
  const AppModel& m = model();
  const bool mobile = m.method() == static_cast<int>(IdentificationMethod::MobileId) ||
                      m.method() == static_cast<int>(IdentificationMethod::SmartId);
  std::string result = text(R::RES_VIEW_V8_TEXT_GOOD_END);
  replaceAll(result, "%1%", text(mobile ? R::RES_VIEW_V8_MID : R::RES_VIEW_V8_IDCARD));
  replaceAll(result, "%2%", m.testVote() ? text(R::RES_VIEW_V8_TEST_VOTE) : std::string());
  w.showText(result, l.resultText, size(R::RES_UI_TEXT_FONT_SIZE));
  auto qr = std::make_unique<QrCodeBox>(ViewLayout::kQrRight, ViewLayout::kQrTop, colour(R::RES_UI_COLOR_CHOICE_BOX_BG));
  qr->text(m.verificationText());
  qrCodeBox_ = &keep(std::move(qr));
  w.setRightButton(text(R::RES_BTN_QUIT), l.rightButton, true);
  focusForDefaultButton(w);
}

void WizardViews::showNetworkWait(int stage) {
  startView();
  MainWindow& w = window();
  const ViewLayout l = layout();
  w.setStage(stage);
  w.showText(text(R::RES_VIEW_V_NETWORK), l.textTop, 0);
  w.setLeftButton(text(R::RES_BTN_STOP_VOTE), l.leftButton, false);
}

void WizardViews::showError(const std::string& message, bool offerRetry) {
  startView();
  MainWindow& w = window();
  const ViewLayout l = layout();
  w.showText(message, l.errorText, size(R::RES_UI_TEXT_FONT_SIZE));
  w.setLeftButton(text(R::RES_BTN_STOP_VOTE_ERR), l.leftButton, false);
  w.showErrorMark(l.errorMark);
  if (offerRetry) w.setRightButton(text(R::RES_BTN_RETRY), l.rightButton, false);
  w.setStage(0);
}

void WizardViews::confirmQuit() {
  MainWindow& w = window();
  w.setBusy();
  const bool quit = QuitDialog().run();
  if (quit) {
    closeWindow();
  } else {
    w.clearBusy();
  }
}

ProxyPromptResult WizardViews::askProxy(ProxyDialogFields& fields, bool modal) {
  return ProxyDialog(fields).run(modal);
}

}  // namespace sorvimend
