#pragma once
// A private X server for the view tests: Xvfb on a free display number, started once per test
// program, with helpers to drive it with xdotool and to photograph windows. Tests that need it
// call requireDisplay() in SetUp; the server stops when the program ends.

#include <string>

class Fl_Window;

namespace sorvimend::testing {

// Starts the server (once) and opens the toolkit's display. Returns false when no server could
// be started; the caller then fails.
bool requireDisplay();

// Runs the toolkit until nothing is pending and the window has been drawn.
void settle(double seconds = 0.15);

// Runs a shell command with DISPLAY set; returns its exit status.
int shell(const std::string& command);
// Same, returning what the command printed on its standard output.
std::string shellOutput(const std::string& command);

// Moves the pointer into the window (no window manager: keys go to the window under the pointer),
// then clicks at window coordinates.
void click(Fl_Window& window, int x, int y);
void movePointer(Fl_Window& window, int x, int y);
// Types text or sends key names (xdotool syntax) to the window under the pointer.
void type(const std::string& text);
void key(const std::string& names);

// Saves a PNG of the window into the build folder's views-shots/ and returns its path.
std::string screenshot(Fl_Window& window, const std::string& name);

}  // namespace sorvimend::testing
