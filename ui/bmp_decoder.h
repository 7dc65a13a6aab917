#pragma once
// Decodes Windows BMP files (1, 4, 8, 16, 24 and 32 bits per pixel, RLE4 and RLE8, icon masks)
// into top-down RGB or RGBA rows. Reading past the end of the buffer yields 0xFF bytes, so a
// truncated file decodes to light pixels instead of failing. Every size is checked before it is
// used: whatever the header claims, nothing is written outside the pixel array.
// No toolkit code: the image class of the user interface wraps the result.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace sorvimend {

struct DecodedBmp {
  enum class Status { Ok, NotBmp, NoPixels, TooLarge };
  Status status = Status::NoPixels;
  int width = 0;
  int height = 0;
  int depth = 0;  // 3 (RGB) or 4 (RGBA); 0 unless status is Ok
  std::vector<std::uint8_t> pixels;  // rows top to bottom
};

// `maxBytes` bounds width x height x depth; a larger image is TooLarge and has no pixels.
DecodedBmp decodeBmp(std::string_view data, std::size_t maxBytes);

// The ceiling used when the toolkit sets none: large enough for any button picture, small enough
// that a forged header cannot make the program allocate gigabytes.
inline constexpr std::size_t kBmpDefaultMaxBytes = std::size_t{64} << 20;

}  // namespace sorvimend
