#pragma once
// Creates the process-wide objects after the bundle has loaded, in a fixed order, and destroys
// them after the event loop. The toolkit side comes in through the two factories, so that the
// assembly itself needs no display.

#include <functional>
#include <memory>

#include "app/view_port.h"
#include "identity/pin_prompt.h"
#include "protocol/app_model.h"
#include "util/error_info.h"

namespace sorvimend {

struct AssemblyParts {
  std::function<std::unique_ptr<PinPrompt>()> makePinPrompt;
  // Builds the main window; connectControls is called by the assembly.
  std::function<std::unique_ptr<ViewPort>()> makeView;
};

// The election configuration, then the clock against VALID_PERIOD: a SYSTEM error with ELEC_RES,
// an ENVIRONMENT error with the STR_ERR VALID_PERIOD text, or nothing.
[[nodiscard]] ErrorPtr checkElectionAtStart(AppModel& model);

// Model, ID card, PIN prompt, view, controller (started in its first state, or in the error state
// when the start check fails), cursor, protocol client.
void assembleApplication(const AssemblyParts& parts);
// Protocol client, ID card, model, cursor, controller. The view and the PIN prompt live on until
// the process ends (the view's window is already closed).
void tearDownApplication();

// The view registered by the assembly, or null.
[[nodiscard]] ViewPort* viewPort();

}  // namespace sorvimend
