#pragma once
// The nested event loop every dialog waits in: the toolkit runs for up to a second at a time
// until the dialog's own condition holds. Timers of the main window keep firing meanwhile.

#include <FL/Fl.H>

namespace sorvimend {

template <class Done>
void waitUntil(Done done) {
  while (!done()) Fl::wait(1.0);
}

}  // namespace sorvimend
