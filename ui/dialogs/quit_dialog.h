#pragma once
// Asks whether the voter really wants to abandon the voting. Closing the window counts as no.
// The no button has the keyboard focus, so Enter and Space keep the voting going.

#include <FL/Fl_Double_Window.H>

#include "ui/action_button.h"
#include "ui/rich_text_view.h"

namespace sorvimend {

class QuitDialog : public Fl_Double_Window {
 public:
  QuitDialog();

  // Shows the dialog modally and waits: true when the voter answered yes.
  [[nodiscard]] bool run();

  ActionButton& yesButton() { return yes_; }
  ActionButton& noButton() { return no_; }

  int handle(int event) override;

 private:
  static void onYes(Fl_Widget* button, void* dialog);
  static void onNo(Fl_Widget* button, void* dialog);

  RichTextView text_;
  ActionButton yes_;
  ActionButton no_;
  bool yesFlag_ = false;
  bool noOrClosedFlag_ = false;
};

}  // namespace sorvimend
