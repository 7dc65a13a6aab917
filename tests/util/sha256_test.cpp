#include "util/sha256.h"

#include <gtest/gtest.h>

#include "util/base64.h"

namespace sorvimend {
namespace {

// FIPS 180-2, appendix B.1 and the empty message.
TEST(Sha256, KnownAnswers) {
  EXPECT_EQ(base64EncodeLine(sha256("abc")), "ungWv48Bz+pBQUDeXa4iI7ADYaOWF3qctBD/YfIAFa0=");
  EXPECT_EQ(base64EncodeLine(sha256("")), "47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU=");
}

}  // namespace
}  // namespace sorvimend
