#pragma once
// The first and last steps of the program around the application itself.

#include "util/error_info.h"

namespace sorvimend {

// Registers the catalogue and the validators, then loads the embedded bundle. On failure the
// caller shows the start-up failure page; the record itself is not shown to the voter.
[[nodiscard]] ErrorPtr startResources();

// Empties the bundle document and destroys the validators (after the application's teardown).
void stopResources();

}  // namespace sorvimend
