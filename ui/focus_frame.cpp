#include "ui/focus_frame.h"

#include <FL/Fl.H>
#include <FL/Fl_Widget.H>
#include <FL/fl_draw.H>

namespace sorvimend {
namespace {

Fl_Color gActive = FL_BLUE;
Fl_Color gInactive = FL_GRAY;

void drawFocusFrameBox(int x, int y, int w, int h, Fl_Color c) {
  // The box function does not know its widget: the focused widget is recognised by position.
  const Fl_Widget* focus = Fl::focus();
  bool focused = focus != nullptr && focus->x() == x && focus->y() == y;
  drawFocusFrame(x, y, w, h, c, focused ? gActive : gInactive);
}

}  // namespace

void installFocusFrame(Fl_Color active, Fl_Color inactive) {
  gActive = active;
  gInactive = inactive;
  Fl::set_boxtype(FL_ROUNDED_FRAME, drawFocusFrameBox, 9, 9, 18, 18);
}

Fl_Color focusFrameActive() { return gActive; }
Fl_Color focusFrameInactive() { return gInactive; }

void drawFocusFrame(int x, int y, int w, int h, Fl_Color fill, Fl_Color border) {
  fl_color(fill);
  fl_rectf(x, y, w, h);
  fl_color(border);
  fl_line_style(FL_SOLID, 2);
  fl_rectf(x + 13, y, w - 25, 2);
  fl_rectf(x + 13, y + h - 2, w - 25, 2);
  fl_rectf(x + 1, y + 12, 2, h - 24);
  fl_rectf(x + w - 2, y + 12, 2, h - 24);
  fl_arc(x + 1, y, 24, 24, 90, 180);
  fl_arc(x + w - 25, y, 24, 24, 0, 90);
  fl_arc(x + 1, y + h - 25, 24, 24, 180, 270);
  fl_arc(x + w - 25, y + h - 25, 24, 24, 270, 360);
  fl_line_style(FL_SOLID, 1);
  fl_line_style(0);
  fl_color(fill);
  fl_rect(x, y - 1, w + 2, h + 2);
}

void fillRoundedRect(int x, int y, int w, int h, int r) {
  fl_rectf(x, y + r, w, h - 2 * r);
  fl_rectf(x + r, y, w - 2 * r, r);
  fl_rectf(x + r, y + h - r, w - 2 * r, r);
  fl_pie(x, y, 2 * r, 2 * r, 90, 180);
  fl_pie(x + w - 2 * r, y, 2 * r, 2 * r, 0, 90);
  fl_pie(x, y + h - 2 * r, 2 * r, 2 * r, 180, 270);
  fl_pie(x + w - 2 * r, y + h - 2 * r, 2 * r, 2 * r, 270, 360);
}

}  // namespace sorvimend
