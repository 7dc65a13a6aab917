#include "ui/wait_blur.h"

#include <cstddef>

namespace sorvimend {

void blurRgb(const std::uint8_t* in, int width, int height, std::vector<std::uint8_t>& out) {
  if (width <= 0 || height <= 0) {
    out.clear();
    return;
  }
  const std::size_t stride = static_cast<std::size_t>(width) * 3;
  out.resize(stride * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::size_t centre = static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x) * 3;
      for (int c = 0; c < 3; ++c) {
        const unsigned own = in[centre + static_cast<std::size_t>(c)];
        unsigned sum = 2 * own;
        for (int dy = -1; dy <= 1; ++dy) {
          for (int dx = -1; dx <= 1; ++dx) {
            int nx = x + dx;
            int ny = y + dy;
            if (nx < 0 || ny < 0 || nx >= width || ny >= height) {
              sum += own;
            } else {
              sum += in[static_cast<std::size_t>(ny) * stride + static_cast<std::size_t>(nx) * 3 +
                        static_cast<std::size_t>(c)];
            }
          }
        }
        out[centre + static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(sum / 11);
      }
    }
  }
}

}  // namespace sorvimend
