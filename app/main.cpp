// The program's entry point. Arguments are ignored: everything comes from the embedded bundle.

#include "app/startup.h"
#include "ui/startup_failure_window.h"

int main() {
  using namespace sorvimend;
  if (ErrorPtr failure = startResources()) {
    // The bundle cannot be used; nothing else is created. The record is dropped.
    failure.reset();
    const int status = runStartupFailurePage();
    stopResources();
    return status;
  }
  stopResources();
  return 0;
}
