#pragma once

#include <openssl/err.h>

namespace sorvimend {

// Called where an OpenSSL failure is turned into one of our codes, so that a stale entry never
// changes the meaning of a later non-blocking call.
inline void clearOpenSslErrors() { ERR_clear_error(); }

}  // namespace sorvimend
