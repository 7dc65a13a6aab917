#include "util/sha256.h"

#include <openssl/sha.h>

namespace sorvimend {

Bytes sha256(std::string_view data) {
  unsigned char digest[SHA256_DIGEST_LENGTH];
  SHA256(asUnsigned(data), data.size(), digest);
  return bytesFrom(digest, sizeof digest);
}

}  // namespace sorvimend
