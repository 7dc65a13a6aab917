// Before any toolkit header: X11 defines None as a macro.
#include "resources/resource_access.h"

#include "ui/dialogs/quit_dialog.h"

#include "ui/dialogs/dialog_loop.h"

namespace sorvimend {
namespace {
using R = ResourceId;
}  // namespace

QuitDialog::QuitDialog()
    : Fl_Double_Window(320, 180),
      text_(18, 30, 300, 75),
      yes_(20, 110, 130, 50, resourceColour(R::RES_UI_COLOR_STOP_BTN), resourceColour(R::RES_UI_COLOR_STOP_BTN),
           resourceInteger(R::RES_DIA_QUIT_DIA_BTN_FONT_SIZE)),
      no_(170, 110, 130, 50, resourceColour(R::RES_UI_COLOR_ACTIVE), resourceColour(R::RES_UI_COLOR_INACTIVE),
          resourceInteger(R::RES_DIA_QUIT_DIA_BTN_FONT_SIZE)) {
  end();
  copy_label(resourceText(R::RES_DIA_QUIT_DIA_CAPTION).c_str());
  color(FL_WHITE);
  text_.box(FL_FLAT_BOX);
  text_.color(FL_WHITE);
  text_.textfont(FL_HELVETICA);
  text_.textsize(resourceInteger(R::RES_UI_TEXT_FONT_SIZE));
  text_.value(resourceText(R::RES_DIA_QUIT_DIA_TEXT));
  yes_.text(resourceText(R::RES_DIA_QUIT_DIA_BTN_YES));
  no_.text(resourceText(R::RES_DIA_QUIT_DIA_BTN_NO));
  yes_.callback(onYes, this);
  no_.callback(onNo, this);
  set_modal();
}

void QuitDialog::onYes(Fl_Widget*, void* dialog) { static_cast<QuitDialog*>(dialog)->yesFlag_ = true; }
void QuitDialog::onNo(Fl_Widget*, void* dialog) { static_cast<QuitDialog*>(dialog)->noOrClosedFlag_ = true; }

int QuitDialog::handle(int event) {
  if (event == FL_SHOW) {
    const int used = Fl_Double_Window::handle(event);
    no_.take_focus();
    return used;
  }
  if (event == FL_HIDE) noOrClosedFlag_ = true;
  return Fl_Double_Window::handle(event);
}

bool QuitDialog::run() {
  yesFlag_ = false;
  noOrClosedFlag_ = false;
  yes_.clearFocused();
  no_.clearFocused();
  text_.take_focus();
  show();
  waitUntil([this] { return yesFlag_ || noOrClosedFlag_; });
  noOrClosedFlag_ = true;
  hide();
  return yesFlag_;
}

}  // namespace sorvimend
