#pragma once
// The failure record of the ID card: class ID (7), the card code as detail and the PKCS#11
// return value as extra. The message is chosen from the code (STR_ERR texts of the bundle), so
// it can only be built after a successful load.

#include <cstdint>
#include <type_traits>

#include "resources/resource_id.h"
#include "util/error_info.h"

namespace sorvimend {

// The STR_ERR text for an ID-card code, or None for codes without a message of their own.
[[nodiscard]] ResourceId idCardMessageId(std::uint64_t code);

class IdCardError : public ErrorInfo {
 public:
  explicit IdCardError(std::uint64_t code, std::uint64_t pkcs11Result = 0);
  // Accepts a named code of the card layer directly.
  template <class Code, std::enable_if_t<std::is_enum_v<Code>, int> = 0>
  explicit IdCardError(Code code, std::uint64_t pkcs11Result = 0)
      : IdCardError(static_cast<std::uint64_t>(code), pkcs11Result) {}
};

}  // namespace sorvimend
