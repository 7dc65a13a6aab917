#include "resources/scrambler.h"

namespace sorvimend {

Bytes scrambleBytes(std::string_view data, ScrambleMode mode, std::uint32_t seed) {
  Bytes out(data);
  std::uint32_t state = seed;
  for (std::size_t j = 0; j < out.size(); j += 2) {
    state = state * 1103515245u + 12345u;
    const auto input = static_cast<unsigned char>(out[j]);
    const auto output = static_cast<unsigned char>(input ^ (state & 0xffu));
    out[j] = static_cast<char>(output);
    if (j + 1 < out.size()) {
      out[j + 1] = static_cast<char>(static_cast<unsigned char>(out[j + 1]) ^ ((state >> 8) & 0xffu));
      const unsigned char plain = mode == ScrambleMode::Unscramble ? output : input;
      // The feedback is the plain byte read as signed: bytes from 0x80 up count negative.
      const auto feedback = static_cast<std::int32_t>(static_cast<std::int8_t>(plain));
      state += static_cast<std::uint32_t>(feedback);
    }
  }
  return out;
}

}  // namespace sorvimend
