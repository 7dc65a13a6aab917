#pragma once

#include <string_view>

#include "util/bytes.h"

namespace sorvimend {

// The 32 raw digest bytes.
[[nodiscard]] Bytes sha256(std::string_view data);

}  // namespace sorvimend
