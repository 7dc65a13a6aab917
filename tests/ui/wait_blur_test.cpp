#include "ui/wait_blur.h"

#include <gtest/gtest.h>

namespace sorvimend {
namespace {

TEST(WaitBlur, CentreWeighsThreeNeighboursOneEdgesRepeatTheCentre) {
  // 3 x 3 grey image, one bright pixel in the middle.
  std::vector<std::uint8_t> in(27, 0);
  for (int c = 0; c < 3; ++c) in[12 + c] = 110;
  std::vector<std::uint8_t> out;
  blurRgb(in.data(), 3, 3, out);
  ASSERT_EQ(out.size(), 27u);
  EXPECT_EQ(out[12], 30);  // (110 + 2 * 110) / 11
  EXPECT_EQ(out[0], 10);   // a corner sees the centre once; its outside neighbours repeat its own 0
  // A flat image stays flat, also at the edges.
  std::vector<std::uint8_t> flat(5 * 4 * 3, 200);
  blurRgb(flat.data(), 5, 4, out);
  for (std::uint8_t v : out) EXPECT_EQ(v, 200);
  blurRgb(flat.data(), 0, 4, out);
  EXPECT_TRUE(out.empty());
}

}  // namespace
}  // namespace sorvimend
