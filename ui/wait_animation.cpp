#include "ui/wait_animation.h"

#include <FL/fl_draw.H>

#include "ui/wait_blur.h"
#include "util/fltk/offscreen.h"

namespace sorvimend {

WaitAnimation::WaitAnimation(int x, int y, int size, Fl_Color colour) : Fl_Box(x, y, size, size) {
  box(FL_NO_BOX);
  color(colour);
}

WaitAnimation::~WaitAnimation() = default;

void WaitAnimation::renderFrame() {
  const int width = w();
  const int height = h();
  if (width <= 0 || height <= 0) return;
  if (!surface_) surface_ = std::make_unique<fltk::Offscreen>();
  if (!surface_->valid() || surface_->width() != width || surface_->height() != height) {
    surface_->create(width, height);
  }
  fltk::OffscreenScope scope(*surface_);
  fl_color(FL_WHITE);
  fl_rectf(0, 0, width, height);
  fl_color(color());
  fl_line_style(FL_SOLID, 3);
  fl_arc(15, 15, width - 30, height - 30, 0, 360);
  fl_arc(3, 3, width - 6, height - 6, angle_, angle_ + 90);
  fl_line_style(0);
  fltk::ReadPixels pixels = fltk::readImage(0, 0, width, height);
  if (pixels) {
    blurRgb(pixels.get(), width, height, blurred_);
    fl_draw_image(blurred_.data(), 0, 0, width, height, 3);
  }
}

void WaitAnimation::draw() {
  renderFrame();
  if (surface_ && surface_->valid()) fl_copy_offscreen(x(), y(), w(), h(), surface_->id(), 0, 0);
  angle_ -= kStep;
  if (angle_ < 0) angle_ += 360;
}

}  // namespace sorvimend
