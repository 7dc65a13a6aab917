#include "ui/startup_failure_window.h"

#include <FL/Fl.H>
#include <FL/x.H>

namespace sorvimend {

const char* const StartupFailureWindow::kText =
    "<center><font color='#FF0400'>"
    "<h1>Rakendust ei saanud k\xC3\xA4ivitada.</h1>"
    "<p>Sisemine tarkvaraviga. "
    "Palun teatage sellest valimiste l\xC3\xA4" "biviijale.</p>"
    "</font></center>";

StartupFailureWindow::StartupFailureWindow() : Fl_Double_Window(500, 200, kTitle), text_(25, 25, 450, 150) {
  end();
  color(FL_WHITE);
  text_.box(FL_FLAT_BOX);
  text_.textfont(FL_HELVETICA);
  text_.value(kText);
}

StartupFailureWindow::~StartupFailureWindow() { remove(text_); }

int runStartupFailurePage() {
  // Without a display the toolkit would end the process with status 1; a failed bundle ends with
  // 0 whether or not its page can be shown.
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return 0;
  fl_open_display(display);
  Fl_Group::current(nullptr);
  StartupFailureWindow window;
  window.show();
  Fl::run();
  return 0;
}

}  // namespace sorvimend
