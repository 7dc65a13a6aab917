#include "ui/roadmap_bar.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include <algorithm>

namespace sorvimend {

RoadmapBar::RoadmapBar(int x, int y, int w, int h, Fl_Color passed, Fl_Color current, Fl_Color future,
                       int labelSize)
    : Fl_Widget(x, y, w, h), passed_(passed), current_(current), future_(future) {
  labelsize(labelSize);
  box(FL_NO_BOX);
}

void RoadmapBar::addStage(std::string label) {
  stages_.push_back(Stage{std::move(label), 0});
  measured_ = false;
}

void RoadmapBar::stage(int index) {
  index = std::clamp(index, 0, 4);
  if (index != stage_) redraw();
  stage_ = index;
}

int RoadmapBar::spacing() const {
  if (stages_.size() < 2) return 0;
  int ends = (stages_.front().width + stages_.back().width) / 2;
  return (w() - ends) / static_cast<int>(stages_.size() - 1);
}

int RoadmapBar::stageCentre(std::size_t i) const {
  if (stages_.empty()) return x();
  return x() + stages_.front().width / 2 + static_cast<int>(i) * spacing();
}

void RoadmapBar::draw() {
  fl_font(FL_HELVETICA, labelsize());
  if (!measured_) {
    // Label widths are measured once: they do not change while the window lives.
    for (Stage& s : stages_) {
      int dx = 0, dy = 0, tw = 0, th = 0;
      fl_text_extents(s.label.c_str(), dx, dy, tw, th);
      s.width = tw + 2 * dx;
    }
    measured_ = true;
  }
  fl_color(FL_WHITE);
  fl_rectf(x(), y(), w(), 22);

  const int gap = spacing();
  const int top = y();
  for (std::size_t i = 0; i < stages_.size(); ++i) {
    const int index = static_cast<int>(i);
    const int cx = stageCentre(i);
    if (i > 0) {
      fl_color(index <= stage_ ? current_ : future_);
      fl_rectf(cx - gap + 14, top + 11, gap - 27, 2);
    }
    fl_color(FL_FOREGROUND_COLOR);
    int labelWidth = static_cast<int>(fl_width(stages_[i].label.c_str()));
    fl_draw(stages_[i].label.c_str(), cx - labelWidth / 2, top + 28 + fl_height() - fl_descent());

    if (index < stage_) {
      fl_color(fl_color_average(passed_, FL_WHITE, 0.5f));
      fl_line_style(FL_SOLID, 2);
      fl_arc(cx - 10, top + 1, 19, 19, 0, 360);
      fl_line_style(FL_SOLID, 1);
      fl_color(passed_);
      fl_pie(cx - 9, top + 2, 18, 18, 0, 360);
      fl_color(FL_WHITE);
      fl_line_style(FL_SOLID, 2);
      fl_line(cx - 6, top + 10, cx - 2, top + 14);
      fl_line(cx - 2, top + 14, cx + 5, top + 7);
    } else if (index == stage_) {
      fl_color(fl_color_average(current_, FL_WHITE, 0.5f));
      fl_line_style(FL_SOLID, 5);
      fl_arc(cx - 7, top + 4, 14, 14, 0, 360);
      fl_color(current_);
      fl_line_style(FL_SOLID, 4);
      fl_arc(cx - 7, top + 4, 14, 14, 0, 360);
    } else {
      fl_color(fl_color_average(future_, FL_WHITE, 0.5f));
      fl_line_style(FL_SOLID, 3);
      fl_arc(cx - 8, top + 3, 16, 16, 0, 360);
      fl_color(future_);
      fl_line_style(FL_SOLID, 2);
      fl_arc(cx - 8, top + 3, 16, 16, 0, 360);
    }
    fl_line_style(FL_SOLID, 1);
  }
  fl_line_style(0);
}

}  // namespace sorvimend
