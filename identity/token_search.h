#pragma once
// Internal to identity/: the walk over a module's slots for the token whose certificate the
// filter accepts.

#include <memory>

#include "identity/certificate_filter.h"
#include "identity/pkcs11_token.h"
#include "util/error_info.h"
#include "util/pkcs11/pkcs11_module.h"

namespace sorvimend {

struct TokenSearchResult {
  std::unique_ptr<Pkcs11Token> token;  // the first accepted token, not logged in
  ErrorPtr error;                      // why the walk stopped; empty with a token or none found
};

// Fills the module's slot list (tokens present), opens each slot in turn and reads its X.509
// certificate. A refused certificate closes its session and the walk goes on; an error stops it.
// Codes: 0 a module call failed, 1 no slot, 3/4/5 from reading and filtering, 15/17 no memory.
[[nodiscard]] TokenSearchResult searchTokens(Pkcs11Module& module, CertificateFilter& filter);

}  // namespace sorvimend
