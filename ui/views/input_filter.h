#pragma once
// The keystroke filters of the identifier entry view. A filter never edits the text itself: it
// either accepts the whole new text or puts back the last accepted one.

#include <string>
#include <string_view>

namespace sorvimend {

// An optional leading digit or plus sign followed by at most 11 digits.
[[nodiscard]] bool phoneTextAccepted(std::string_view text);
// At most 11 digits.
[[nodiscard]] bool personalCodeTextAccepted(std::string_view text);

// Accepts current into lastAccepted when it passes, and returns the text the field must show:
// current itself, or lastAccepted when current was refused.
template <class Accepts>
const std::string& filterInput(std::string_view current, std::string& lastAccepted, Accepts accepts) {
  if (accepts(current)) lastAccepted.assign(current.data(), current.size());
  return lastAccepted;
}

}  // namespace sorvimend
