// The program's entry point. Arguments are ignored: everything comes from the embedded bundle.
// This file is where the toolkit meets the core: it supplies the views, the PIN dialogs and the
// event loop.

#include "app/assembly.h"
#include "app/startup.h"
#include "ui/dialogs/pin_dialogs.h"
#include "ui/event_loop.h"
#include "ui/startup_failure_window.h"
#include "ui/views/wizard_views.h"

int main() {
  using namespace sorvimend;
  if (ErrorPtr failure = startResources()) {
    // The bundle cannot be used; nothing else is created. The record is dropped.
    failure.reset();
    const int status = runStartupFailurePage();
    stopResources();
    return status;
  }
  AssemblyParts parts;
  parts.makePinPrompt = [] { return std::make_unique<DialogPinPrompt>(); };
  parts.makeView = [] { return std::make_unique<WizardViews>(); };
  assembleApplication(parts);
  const int status = runEventLoop();
  tearDownApplication();
  stopResources();
  return status;
}
