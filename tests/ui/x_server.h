#pragma once
// A private X server for the drawing tests of the framework: Xvfb on a free display number,
// started by a gtest environment before the first test and stopped after the last. Also helpers
// to photograph a window and to drive it with xdotool.

#include <cstdint>
#include <string>
#include <vector>

class Fl_Window;

namespace sorvimend::testing {

// Registers the environment; call from main() or a static initialiser before RUN_ALL_TESTS.
void useXServer();
const std::string& xDisplay();

// Lets the toolkit draw and handle what is pending, for about `seconds`.
void pump(double seconds = 0.2);

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;
  // The colour at x, y as 0xRRGGBB.
  [[nodiscard]] std::uint32_t at(int x, int y) const;
};
// The window's current pixels, read back from the toolkit.
Picture capture(Fl_Window& window);
// Writes a PNG (through a PPM and ImageMagick) under SV_BUILD_DIR/screenshots; returns its path.
std::string savePng(const Picture& picture, const std::string& name);

// Shell commands with DISPLAY set; the exit status.
int run(const std::string& command);
void movePointerInto(Fl_Window& window, int x, int y);
void pressKey(const std::string& name);

// 0xRRGGBB of a toolkit colour.
std::uint32_t rgbOf(unsigned colour);

}  // namespace sorvimend::testing
