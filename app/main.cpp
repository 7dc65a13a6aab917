// The program's entry point. Arguments are ignored: everything comes from the embedded bundle.

#include "app/startup.h"

int main() {
  using namespace sorvimend;
  if (ErrorPtr failure = startResources()) {
    // The bundle cannot be used; nothing else is created. The record is dropped.
    stopResources();
    return 0;
  }
  stopResources();
  return 0;
}
