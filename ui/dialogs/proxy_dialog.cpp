// Before any toolkit header: X11 defines None as a macro.
#include "resources/resource_access.h"

#include "ui/dialogs/proxy_dialog.h"

#include <string>

#include "ui/dialogs/dialog_loop.h"
#include "util/bytes.h"

namespace sorvimend {
namespace {

using R = ResourceId;

void labelBox(Fl_Box& box, ResourceId label) {
  box.box(FL_FLAT_BOX);
  box.color(FL_WHITE);
  box.copy_label(resourceText(label).c_str());
  box.align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
}

Fl_Color activeColour() { return resourceColour(R::RES_UI_COLOR_ACTIVE); }
Fl_Color inactiveColour() { return resourceColour(R::RES_UI_COLOR_INACTIVE); }
int buttonSize() { return resourceInteger(R::RES_DIA_PROXY_DIA_BTN_FONT_SIZE); }

// Overwrites the field's text in place before emptying it, so that the secret does not linger in
// the toolkit's buffer.
void wipeField(Fl_Input_& field) {
  const std::string blank(static_cast<std::size_t>(field.size()), ' ');
  field.value(blank.c_str(), static_cast<int>(blank.size()));
  field.value("");
}

}  // namespace

ProxyDialog::ProxyDialog(ProxyDialogFields& fields)
    : Fl_Double_Window(470, 310),
      fields_(fields),
      text_(30, 30, 340, 50),
      hostLabel_(30, 80, 240, 30),
      portLabel_(370, 80, 70, 30),
      host_(30, 110, 310, 30),
      port_(370, 110, 70, 30),
      userLabel_(30, 150, 155, 30),
      passwordLabel_(250, 150, 155, 30),
      user_(30, 180, 190, 30),
      password_(250, 180, 190, 30),
      cancel_(30, 230, 190, 50, activeColour(), inactiveColour(), buttonSize()),
      ok_(250, 230, 190, 50, activeColour(), inactiveColour(), buttonSize()) {
  end();
  copy_label(resourceText(R::RES_DIA_PROXY_DIA_CAPTION).c_str());
  color(FL_WHITE);
  text_.box(FL_FLAT_BOX);
  text_.color(FL_WHITE);
  text_.textfont(FL_HELVETICA);
  text_.textsize(18);
  text_.value(resourceText(R::RES_DIA_PROXY_DIA_TEXT));
  labelBox(hostLabel_, R::RES_DIA_PROXY_DIA_LBL_URL);
  labelBox(portLabel_, R::RES_DIA_PROXY_DIA_LBL_PORT);
  labelBox(userLabel_, R::RES_DIA_PROXY_DIA_LBL_USERNAME);
  labelBox(passwordLabel_, R::RES_DIA_PROXY_DIA_LBL_PASSWORD);
  host_.value(fields_.host.c_str());
  port_.value(fields_.port.c_str());
  user_.value(fields_.user.c_str());
  password_.value(fields_.password.c_str());
  cancel_.text(resourceText(R::RES_DIA_PROXY_DIA_BTN_CANCEL));
  ok_.text(resourceText(R::RES_DIA_PROXY_DIA_BTN_OK));
  cancel_.callback(onCancel, this);
  ok_.callback(onOk, this);
}

ProxyDialog::~ProxyDialog() { wipeField(password_); }

void ProxyDialog::onOk(Fl_Widget*, void* dialog) { static_cast<ProxyDialog*>(dialog)->okFlag_ = true; }
void ProxyDialog::onCancel(Fl_Widget*, void* dialog) { static_cast<ProxyDialog*>(dialog)->cancelFlag_ = true; }

void ProxyDialog::apply() {
  fields_.host = host_.value();
  fields_.port = port_.value();
  fields_.user = user_.value();
  secureWipe(fields_.password);
  fields_.password = password_.value();
}

ProxyPromptResult ProxyDialog::run(bool modal) {
  okFlag_ = false;
  cancelFlag_ = false;
  if (modal) set_modal();
  show();
  waitUntil([this] { return okFlag_ || cancelFlag_ || !shown(); });
  hide();
  if (okFlag_) {
    apply();
    return ProxyPromptResult::Confirmed;
  }
  return cancelFlag_ ? ProxyPromptResult::Cancelled : ProxyPromptResult::Closed;
}

}  // namespace sorvimend
