#pragma once
// Internal to identity/: the one way card code turns an ID-card code into an error record.

#include <pkcs11.h>

#include "identity/id_card_code.h"
#include "util/error_info.h"

namespace sorvimend {

[[nodiscard]] ErrorPtr cardFailure(IdCardCode code, CK_RV moduleResult = CKR_OK);

}  // namespace sorvimend
