#include "ui/icons.h"

#include "ui/icon_data.h"

namespace sorvimend {

Fl_Pixmap& applicationIcon() {
  static Fl_Pixmap icon(kApplicationIconXpm);
  return icon;
}

const Fl_RGB_Image& applicationIconRgb() {
  static Fl_RGB_Image icon(&applicationIcon(), FL_BACKGROUND_COLOR);
  return icon;
}

Fl_Pixmap& clearIcon() {
  static Fl_Pixmap icon(kClearIconXpm);
  return icon;
}

Fl_Pixmap& magnifierIcon() {
  static Fl_Pixmap icon(kMagnifierIconXpm);
  return icon;
}

Fl_Pixmap& openIcon() {
  static Fl_Pixmap icon(kOpenIconXpm);
  return icon;
}

Fl_Pixmap& closeIcon() {
  static Fl_Pixmap icon(kCloseIconXpm);
  return icon;
}

Fl_Pixmap& upArrowIcon() {
  static Fl_Pixmap icon(kUpArrowXpm);
  return icon;
}

Fl_Pixmap& downArrowIcon() {
  static Fl_Pixmap icon(kDownArrowXpm);
  return icon;
}

}  // namespace sorvimend
