#pragma once
// The byte-wise XOR with a linear congruential generator that hides the bundle in the program
// image. Not a cipher: it keeps the bundle from being read or edited as plain text.

#include <cstdint>
#include <string_view>

#include "util/bytes.h"

namespace sorvimend {

// Shared with the bundle tool; only its low 16 bits matter.
inline constexpr std::uint32_t kBundleScrambleSeed = 0x5a3c;

enum class ScrambleMode { Unscramble, Scramble };

// The same routine both ways: the generator is fed the plain byte of each pair's first position,
// so scrambling and unscrambling stay in step.
[[nodiscard]] Bytes scrambleBytes(std::string_view data, ScrambleMode mode,
                                  std::uint32_t seed = kBundleScrambleSeed);

}  // namespace sorvimend
