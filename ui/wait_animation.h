#pragma once
// The rotating arc shown while the program waits for the voting service or a PIN-pad reader.
// Drawn into an offscreen surface that lives as long as the widget; each frame draws, blurs and
// copies it, then turns the arc 3 degrees clockwise.

#include <FL/Fl_Box.H>

#include <cstdint>
#include <memory>
#include <vector>

namespace sorvimend {

namespace fltk {
class Offscreen;  // util/fltk/offscreen.h, kept out of this header: it brings in the X11 macros
}

class WaitAnimation : public Fl_Box {
 public:
  static constexpr double kStartAngle = 315.0;
  static constexpr double kStep = 3.0;

  WaitAnimation(int x, int y, int size, Fl_Color colour);
  ~WaitAnimation() override;

  void reset() { angle_ = kStartAngle; }
  [[nodiscard]] double angle() const { return angle_; }
  // One frame into the offscreen surface (without copying it out); public for the benchmark.
  void renderFrame();

 protected:
  void draw() override;

 private:
  double angle_ = kStartAngle;
  std::unique_ptr<fltk::Offscreen> surface_;
  std::vector<std::uint8_t> blurred_;
};

}  // namespace sorvimend
