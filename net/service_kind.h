#pragma once
// Which service a request goes to: selects the pinned certificate set and the TLS server name.

namespace sorvimend {

enum class ServiceKind : int {
  MID = 0,
  SMARTID = 1,
  CHOICES = 2,
  VOTING = 3,
};

inline constexpr int kServiceKindCount = 4;

}  // namespace sorvimend
