#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "identity/pin_prompt.h"

namespace sorvimend {
namespace {

// The bytes a PIN occupied are zero once it is replaced or forgotten. The buffer keeps its
// capacity, so its old storage may still be read through the string it lives in.
TEST(PinBuffer, ForgottenAndReplacedPinsLeaveNoBytes) {
  for (const std::string& pin : {std::string("1234"), std::string(40, '7')}) {
    SCOPED_TRACE(pin.size());
    PinBuffer buffer;
    buffer.assign(pin);
    ASSERT_EQ(std::string(reinterpret_cast<const char*>(buffer.data()), buffer.size()), pin);
    const unsigned char* storage = buffer.data();
    const std::size_t size = buffer.size();
    buffer.clear();
    EXPECT_TRUE(buffer.empty());
    EXPECT_TRUE(std::all_of(storage, storage + size, [](unsigned char b) { return b == 0; }));

    buffer.assign(pin);
    storage = buffer.data();
    buffer.assign("99");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.data()), buffer.size()), "99");
    // The tail of the old PIN, past the new one and its terminator, is wiped too.
    EXPECT_TRUE(std::all_of(storage + 3, storage + size, [](unsigned char b) { return b == 0; }));
  }
}

}  // namespace
}  // namespace sorvimend
