#pragma once
// The validity period rule shared by its validator and the two clock checks.

#include <ctime>
#include <optional>
#include <string_view>

namespace sorvimend {

struct PeriodPoints {
  std::time_t start;
  std::time_t end;
};

// The two dates as local midnight, standard time; nothing when the text does not have the form,
// a date does not read, or the start is not strictly before the end.
[[nodiscard]] std::optional<PeriodPoints> periodPoints(std::string_view period);

}  // namespace sorvimend
