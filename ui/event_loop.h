#pragma once
// The toolkit's event loop, so that the entry point in app/ needs no toolkit header.

namespace sorvimend {

// Runs until the last window is closed; returns the loop's result (0).
int runEventLoop();

}  // namespace sorvimend
