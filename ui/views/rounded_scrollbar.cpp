#include "ui/views/rounded_scrollbar.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>

namespace sorvimend {
namespace {
constexpr int trackThickness = 10;
constexpr int trackEndGap = 5;
}  // namespace

RoundedScrollbar::RoundedScrollbar(const Fl_Scrollbar& replaced, Fl_Color knobColour, Fl_Image* upArrow,
                                   Fl_Image* downArrow)
    : Fl_Scrollbar(replaced.x(), replaced.y(), replaced.w(), replaced.h()),
      ringColour_(knobColour),
      upArrow_(upArrow),
      downArrow_(downArrow) {
  type(replaced.type());
  linesize(replaced.linesize());
  callback(replaced.callback(), replaced.user_data());
  box(FL_FLAT_BOX);
  color(FL_WHITE, knobColour);
  slider(FL_RFLAT_BOX);
  hide();
}

bool RoundedScrollbar::vertical() const { return type() == FL_VERTICAL; }

void RoundedScrollbar::draw() {
  const int t = vertical() ? w() : h();
  if ((damage() & FL_DAMAGE_ALL) != 0) {
    fl_rectf(x(), y(), w(), h(), FL_WHITE);
    const int endX = vertical() ? x() : x() + w() - t;
    const int endY = vertical() ? y() + h() - t : y();
    if (vertical()) {
      if (upArrow_ != nullptr) {
        upArrow_->draw(x() + (t - upArrow_->w()) / 2, y() + (t - upArrow_->h()) / 2);
      }
      if (downArrow_ != nullptr) {
        downArrow_->draw(endX + (t - downArrow_->w()) / 2, endY + (t - downArrow_->h()) / 2);
      }
    } else {
      const int cy = y() + t / 2;
      const int left = x() + t / 2;
      const int right = endX + t / 2;
      fl_color(FL_FOREGROUND_COLOR);
      fl_line_style(FL_SOLID, 2);
      fl_line(left + 3, cy - 6, left - 5, cy, left + 3, cy + 6);
      fl_line(right - 3, cy - 6, right + 5, cy, right - 3, cy + 6);
    }
    fl_line_style(FL_SOLID, 1);
    fl_color(ringColour_);
    fl_arc(x(), y(), t, t, 0, 360);
    fl_arc(endX, endY, t, t, 0, 360);
    fl_line_style(0);
  }
  const int inset = t + trackEndGap;
  if (vertical()) {
    Fl_Slider::draw(x() + (w() - trackThickness) / 2, y() + inset, trackThickness, h() - 2 * inset);
  } else {
    Fl_Slider::draw(x() + inset, y() + (h() - trackThickness) / 2, w() - 2 * inset, trackThickness);
  }
}

}  // namespace sorvimend
