#include "ui/views/input_filter.h"

#include "util/regex.h"

namespace sorvimend {

bool phoneTextAccepted(std::string_view text) {
  static const Regex pattern("^(\\d|\\+)?(\\d){0,11}$");
  return pattern.fullMatch(text);
}

bool personalCodeTextAccepted(std::string_view text) {
  static const Regex pattern("^(\\d){0,11}$");
  return pattern.fullMatch(text);
}

}  // namespace sorvimend
