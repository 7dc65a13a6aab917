#pragma once
// The views of the voting wizard and the dialogs they open, on the view framework. Each show
// operation reads what it shows from the application model, the question cursor and the
// resources, and reports presses only through the framework's buttons.
//
// Widgets a view adds belong to this object: clearView hides them, and the next show operation
// deletes them, deferred to the event loop, so that a widget whose key press led to the next view
// is never deleted inside its own event handler.

#include <memory>
#include <string>
#include <vector>

#include "ui/view_manager.h"

class Fl_Widget;

namespace sorvimend {

class ChoicePicker;
class ChoiceBox;
class ChoiceTree;
class SearchInput;
class LinkedInput;
class ActionButton;
class QrCodeBox;

class WizardViews final : public ViewManager {
 public:
  WizardViews();
  ~WizardViews() override;

  void confirmQuit() override;
  void showResult() override;
  void showReview() override;
  void showChoices() override;
  void showNextQuestion() override;
  void showIdentifierEntry(bool mobileId) override;
  void showError(const std::string& text, bool offerRetry) override;
  void showAuthMethods() override;
  void showIntro() override;
  void showAuthCode() override;
  void showSignCode() override;
  void showNetworkWait(int stage) override;
  [[nodiscard]] ProxyPromptResult askProxy(ProxyDialogFields& fields, bool modal) override;

  // For tests: the widgets of the current view.
  [[nodiscard]] ChoicePicker* picker() { return picker_.get(); }
  [[nodiscard]] ChoiceBox* choiceBox() { return choiceBox_; }
  [[nodiscard]] ChoiceTree* choiceTree() { return choiceTree_; }
  [[nodiscard]] SearchInput* searchInput() { return searchInput_; }
  [[nodiscard]] ActionButton* clearButton() { return clearButton_; }
  [[nodiscard]] LinkedInput* phoneField() { return phoneField_; }
  [[nodiscard]] LinkedInput* codeField() { return codeField_; }
  [[nodiscard]] QrCodeBox* qrCodeBox() { return qrCodeBox_; }

 private:
  // Drops the previous view's widgets (deferred) and forgets every pointer into them.
  void startView();
  template <class W>
  W& keep(std::unique_ptr<W> widget);
  void showCode(bool signing);
  void updateSubmit(bool moveFocus);

  static void onPhoneChanged(Fl_Widget* field, void* views);
  static void onCodeChanged(Fl_Widget* field, void* views);
  static void onSearchChanged(Fl_Widget* field, void* views);
  static void onClearSearch(Fl_Widget* button, void* views);
  static void onTreeEvent(Fl_Widget* tree, void* views);

  std::vector<std::unique_ptr<Fl_Widget>> viewWidgets_;
  std::unique_ptr<ChoicePicker> picker_;
  ChoiceBox* choiceBox_ = nullptr;
  ChoiceTree* choiceTree_ = nullptr;
  SearchInput* searchInput_ = nullptr;
  ActionButton* clearButton_ = nullptr;
  LinkedInput* phoneField_ = nullptr;
  LinkedInput* codeField_ = nullptr;
  QrCodeBox* qrCodeBox_ = nullptr;
};

}  // namespace sorvimend
