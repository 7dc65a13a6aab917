// Before any toolkit header: X11 defines None as a macro.
#include "resources/resource_access.h"

#include "ui/dialogs/pin_dialogs.h"

#include <FL/Fl.H>

#include "ui/dialogs/dialog_loop.h"
#include "util/bytes.h"

namespace sorvimend {
namespace {

using R = ResourceId;
constexpr int kMessageSize = 18;
constexpr Fl_Color kPinpadAnimationColour = 30;
constexpr std::size_t kPin1Minimum = 4;
constexpr std::size_t kPin2Minimum = 5;

Fl_Color activeColour() { return resourceColour(R::RES_UI_COLOR_ACTIVE); }
Fl_Color inactiveColour() { return resourceColour(R::RES_UI_COLOR_INACTIVE); }

void styleMessage(RichTextView& text) {
  text.box(FL_FLAT_BOX);
  text.color(FL_WHITE);
  text.textfont(FL_HELVETICA);
  text.textsize(kMessageSize);
}

}  // namespace

std::string pinMessage(const CertificateInfo& certificate, bool retry, bool pinpad) {
  std::string message = certificate.givenName + " " + certificate.surname;
  if (retry) message += resourceText(R::STR_ERR_DUI_INSERT_PIN_INCORRECT);
  message += resourceText(certificate.usage == CertificateUsage::Authentication ? R::STR_ERR_DUI_INSERT_PIN1
                                                                                : R::STR_ERR_DUI_INSERT_PIN2);
  if (pinpad) message += resourceText(R::STR_ERR_DUI_PINPAD);
  return message;
}

PinInput::PinInput(int x, int y, int w, int h, Fl_Widget& linked) : Fl_Secret_Input(x, y, w, h), linked_(linked) {
  box(FL_ROUNDED_FRAME);
  when(FL_WHEN_CHANGED);
}

int PinInput::handle(int event) {
  if (event == FL_KEYBOARD && isPressKey(Fl::event_key())) return linked_.handle(event);
  if (event == FL_FOCUS || event == FL_UNFOCUS) redraw();
  return Fl_Secret_Input::handle(event);
}

void PinInput::wipe() {
  // Replacing in place overwrites the text buffer; the second replacement overwrites the undo
  // buffer, which holds what the first one removed.
  const std::string blank(static_cast<std::size_t>(size()), ' ');
  value(blank.c_str(), static_cast<int>(blank.size()));
  value("");
}

PinEntryDialog::PinEntryDialog()
    : PinDialog(430, 290),
      text_(30, 35, 370, 100),
      ok_(240, 210, 160, 50, activeColour(), inactiveColour(), resourceInteger(R::RES_DIA_PIN_DIA_BTN_FONT_SIZE)),
      cancel_(30, 210, 160, 50, activeColour(), inactiveColour(), resourceInteger(R::RES_DIA_PIN_DIA_BTN_FONT_SIZE)),
      field_(30, 130, 370, 40, ok_) {
  end();
  copy_label(resourceText(R::RES_DIA_PIN_DIA_CAPTION).c_str());
  color(FL_WHITE);
  styleMessage(text_);
  ok_.text(resourceText(R::RES_DIA_PIN_DIA_BTN_OK));
  cancel_.text(resourceText(R::RES_DIA_PIN_DIA_BTN_CANCEL));
  ok_.disabled(true);
  // While enabled the OK button is the default (filled) one, unless cancel has the focus.
  ok_.partner(&cancel_);
  ok_.callback(onOk, this);
  cancel_.callback(onCancel, this);
  field_.callback(onChanged, this);
  field_.take_focus();
  set_modal();
  show();
}

PinEntryDialog::~PinEntryDialog() {
  field_.wipe();
  secureWipe(pin_);
}

const unsigned char* PinEntryDialog::pin() const { return asUnsigned(pin_); }

void PinEntryDialog::onChanged(Fl_Widget*, void* dialog) {
  auto* self = static_cast<PinEntryDialog*>(dialog);
  if (static_cast<std::size_t>(self->field_.size()) < self->minimumLength_) {
    self->ok_.disabled(true);
  } else {
    self->ok_.disabled(false);
    self->cancel_.clearFocused();
  }
  self->ok_.redraw();
  self->cancel_.redraw();
}

void PinEntryDialog::onOk(Fl_Widget*, void* dialog) {
  auto* self = static_cast<PinEntryDialog*>(dialog);
  if (!self->ok_.disabled()) self->okFlag_ = true;
}

void PinEntryDialog::onCancel(Fl_Widget*, void* dialog) { static_cast<PinEntryDialog*>(dialog)->cancelFlag_ = true; }

void PinEntryDialog::ask(const CertificateInfo& certificate, bool& ok, bool retry) {
  ok = false;
  minimumLength_ = certificate.usage == CertificateUsage::Authentication ? kPin1Minimum : kPin2Minimum;
  okFlag_ = false;
  cancelFlag_ = false;
  text_.value(pinMessage(certificate, retry, false));
  // A PIN from an earlier ask is not offered again.
  secureWipe(pin_);
  onChanged(&field_, this);
  show();
  field_.take_focus();
  waitUntil([this] { return !shown() || cancelFlag_ || okFlag_; });
  if (okFlag_ && shown()) {
    pin_.assign(field_.value(), static_cast<std::size_t>(field_.size()));
    ok = !pin_.empty();
    field_.wipe();
  }
  hide();
  Fl::wait(0.0);
}

PinpadDialog::PinpadDialog()
    : PinDialog(430, 270),
      text_(30, 30, 380, 140),
      animation_(195, 140, 40, kPinpadAnimationColour),
      ok_(240, 190, 160, 50, activeColour(), inactiveColour(), resourceInteger(R::RES_DIA_PIN_DIA_BTN_FONT_SIZE)),
      cancel_(30, 190, 160, 50, activeColour(), inactiveColour(), resourceInteger(R::RES_DIA_PIN_DIA_BTN_FONT_SIZE)) {
  end();
  copy_label(resourceText(R::RES_DIA_PIN_DIA_CAPTION).c_str());
  color(FL_WHITE);
  styleMessage(text_);
  ok_.text(resourceText(R::RES_DIA_PIN_DIA_BTN_OK));
  cancel_.text(resourceText(R::RES_DIA_PIN_DIA_BTN_CANCEL));
  ok_.callback(onOk, this);
  cancel_.callback(onCancel, this);
  animation_.hide();
  ok_.take_focus();
  set_modal();
  show();
}

void PinpadDialog::onOk(Fl_Widget*, void* dialog) {
  auto* self = static_cast<PinpadDialog*>(dialog);
  if (!self->ok_.disabled()) self->okFlag_ = true;
}

void PinpadDialog::onCancel(Fl_Widget*, void* dialog) {
  auto* self = static_cast<PinpadDialog*>(dialog);
  if (!self->cancel_.disabled()) self->cancelFlag_ = true;
}

void PinpadDialog::ask(const CertificateInfo& certificate, bool& ok, bool retry) {
  ok = false;
  okFlag_ = false;
  cancelFlag_ = false;
  ok_.disabled(false);
  cancel_.disabled(false);
  text_.value(pinMessage(certificate, retry, true));
  show();
  waitUntil([this] { return !shown() || cancelFlag_ || okFlag_; });
  ok = okFlag_ && shown();
  // The reader's keypad takes the PIN now; the window stays until the prompt ends.
  ok_.disabled(true);
  cancel_.disabled(true);
  ok_.redraw();
  cancel_.redraw();
  Fl::wait(0.0);
}

void PinpadDialog::tick() {
  animation_.redraw();
  Fl::check();
}

void DialogPinPrompt::begin(bool pinpad) {
  dialog_.reset();
  if (pinpad) {
    dialog_ = std::make_unique<PinpadDialog>();
  } else {
    dialog_ = std::make_unique<PinEntryDialog>();
  }
}

void DialogPinPrompt::ask(const CertificateInfo& certificate, bool& ok, bool retry) {
  ok = false;
  if (dialog_) dialog_->ask(certificate, ok, retry);
}

void DialogPinPrompt::tick() {
  if (dialog_) dialog_->tick();
}

const unsigned char* DialogPinPrompt::pin() const { return dialog_ ? dialog_->pin() : nullptr; }
std::size_t DialogPinPrompt::pinLength() const { return dialog_ ? dialog_->pinLength() : 0; }

void DialogPinPrompt::end() {
  // The dialog wipes its PIN as it goes.
  dialog_.reset();
  Fl::check();
}

DialogPinPrompt::~DialogPinPrompt() = default;

}  // namespace sorvimend
