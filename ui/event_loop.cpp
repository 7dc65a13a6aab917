#include "ui/event_loop.h"

#include <FL/Fl.H>

namespace sorvimend {

int runEventLoop() { return Fl::run(); }

}  // namespace sorvimend
