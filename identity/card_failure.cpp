#include "identity/card_failure.h"

#include "identity/id_card_error.h"

namespace sorvimend {

ErrorPtr cardFailure(IdCardCode code, CK_RV moduleResult) {
  return std::make_unique<IdCardError>(code, static_cast<std::uint64_t>(moduleResult));
}

}  // namespace sorvimend
