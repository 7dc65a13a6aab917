#pragma once
// The soft edge of the waiting animation: a 3 x 3 blur with the centre weighted three times.
// No toolkit code, so it is tested and measured without a display.

#include <cstdint>
#include <vector>

namespace sorvimend {

// Blurs packed RGB rows (width x height x 3 bytes). Each channel becomes (sum over the 3 x 3
// neighbourhood + 2 x centre) / 11; neighbours outside the image count with the centre's value.
// `out` is resized; `in` and `out` must differ.
void blurRgb(const std::uint8_t* in, int width, int height, std::vector<std::uint8_t>& out);

}  // namespace sorvimend
