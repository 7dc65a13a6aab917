#pragma once
// Shows the HTTPS proxy found in the environment and lets the voter correct it. The dialog only
// edits the four fields; the transport rebuilds the proxy address from them.

#include <FL/Fl_Box.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Secret_Input.H>

#include "net/proxy_prompt.h"
#include "ui/action_button.h"
#include "ui/rich_text_view.h"

namespace sorvimend {

class ProxyDialog : public Fl_Double_Window {
 public:
  // fields must outlive the dialog; they change only when the voter confirms.
  explicit ProxyDialog(ProxyDialogFields& fields);
  ~ProxyDialog() override;

  // OK: the fields as edited, Confirmed. Cancel: Cancelled. The window closed: Closed, the fields
  // as they were.
  [[nodiscard]] ProxyPromptResult run(bool modal);

  Fl_Input& hostField() { return host_; }
  Fl_Input& portField() { return port_; }
  Fl_Input& userField() { return user_; }
  Fl_Secret_Input& passwordField() { return password_; }
  ActionButton& okButton() { return ok_; }
  ActionButton& cancelButton() { return cancel_; }

 private:
  static void onOk(Fl_Widget* button, void* dialog);
  static void onCancel(Fl_Widget* button, void* dialog);
  void apply();

  ProxyDialogFields& fields_;
  RichTextView text_;
  Fl_Box hostLabel_;
  Fl_Box portLabel_;
  Fl_Input host_;
  Fl_Input port_;
  Fl_Box userLabel_;
  Fl_Box passwordLabel_;
  Fl_Input user_;
  Fl_Secret_Input password_;
  ActionButton cancel_;
  ActionButton ok_;
  bool okFlag_ = false;
  bool cancelFlag_ = false;
};

}  // namespace sorvimend
