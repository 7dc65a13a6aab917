// The BMP decoder on arbitrary bytes, with a 1 MiB bound so that each run stays quick. The pixel
// array must match the reported size exactly.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "ui/bmp_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  sorvimend::DecodedBmp image = sorvimend::decodeBmp(bytes, std::size_t{1} << 20);
  std::size_t expected = static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) *
                         static_cast<std::size_t>(image.depth);
  if (image.pixels.size() != expected) __builtin_trap();
  if (image.status == sorvimend::DecodedBmp::Status::Ok && (image.depth != 3 && image.depth != 4)) __builtin_trap();
  if (image.status != sorvimend::DecodedBmp::Status::Ok && !image.pixels.empty()) __builtin_trap();
  return 0;
}
