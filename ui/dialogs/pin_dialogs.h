#pragma once
// The PIN dialogs behind the ID card's PinPrompt: an entry dialog with a password field whose OK
// button enables at the PIN's minimum length (4 for PIN1, 5 for PIN2), and a notice for readers
// with their own keypad. The entered PIN is held by the dialog until the prompt ends, then wiped;
// it is never logged.

#include <memory>
#include <string>

#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Secret_Input.H>

#include "identity/pin_prompt.h"
#include "ui/action_button.h"
#include "ui/rich_text_view.h"
#include "ui/wait_animation.h"

namespace sorvimend {

// The dialog text: given name, space, surname, the wrong-PIN text on a retry, the PIN1 or PIN2
// text, and the keypad text on a pinpad reader, joined with nothing between them.
[[nodiscard]] std::string pinMessage(const CertificateInfo& certificate, bool retry, bool pinpad);

// A password field whose Enter, keypad Enter and Space press the linked button.
class PinInput : public Fl_Secret_Input {
 public:
  PinInput(int x, int y, int w, int h, Fl_Widget& linked);
  int handle(int event) override;
  // Overwrites the text in the toolkit's buffers, then empties the field.
  void wipe();

 private:
  Fl_Widget& linked_;
};

class PinDialog : public Fl_Double_Window {
 public:
  using Fl_Double_Window::Fl_Double_Window;
  virtual void ask(const CertificateInfo& certificate, bool& ok, bool retry) = 0;
  virtual void tick() {}
  [[nodiscard]] virtual const unsigned char* pin() const { return nullptr; }
  [[nodiscard]] virtual std::size_t pinLength() const { return 0; }
};

class PinEntryDialog final : public PinDialog {
 public:
  PinEntryDialog();
  ~PinEntryDialog() override;

  void ask(const CertificateInfo& certificate, bool& ok, bool retry) override;
  [[nodiscard]] const unsigned char* pin() const override;
  [[nodiscard]] std::size_t pinLength() const override { return pin_.size(); }

  PinInput& field() { return field_; }
  ActionButton& okButton() { return ok_; }
  ActionButton& cancelButton() { return cancel_; }
  RichTextView& message() { return text_; }

 private:
  static void onChanged(Fl_Widget* field, void* dialog);
  static void onOk(Fl_Widget* button, void* dialog);
  static void onCancel(Fl_Widget* button, void* dialog);

  RichTextView text_;
  ActionButton ok_;
  ActionButton cancel_;
  PinInput field_;
  std::size_t minimumLength_ = 0;
  std::string pin_;
  bool okFlag_ = false;
  bool cancelFlag_ = false;
};

class PinpadDialog final : public PinDialog {
 public:
  PinpadDialog();

  void ask(const CertificateInfo& certificate, bool& ok, bool retry) override;
  void tick() override;

  ActionButton& okButton() { return ok_; }
  ActionButton& cancelButton() { return cancel_; }
  RichTextView& message() { return text_; }

 private:
  static void onOk(Fl_Widget* button, void* dialog);
  static void onCancel(Fl_Widget* button, void* dialog);

  RichTextView text_;
  WaitAnimation animation_;
  ActionButton ok_;
  ActionButton cancel_;
  bool okFlag_ = false;
  bool cancelFlag_ = false;
};

// The PinPrompt the program registers with the ID card: one dialog from begin to end.
class DialogPinPrompt final : public PinPrompt {
 public:
  void begin(bool pinpad) override;
  void ask(const CertificateInfo& certificate, bool& ok, bool retry) override;
  void tick() override;
  [[nodiscard]] const unsigned char* pin() const override;
  [[nodiscard]] std::size_t pinLength() const override;
  void end() override;
  ~DialogPinPrompt() override;

  [[nodiscard]] PinDialog* dialog() { return dialog_.get(); }

 private:
  std::unique_ptr<PinDialog> dialog_;
};

}  // namespace sorvimend
