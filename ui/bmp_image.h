#pragma once
// A BMP file as a toolkit RGB image. An image that failed to decode has width, height and depth
// 0; its users drop such images. A file above the size limit is reported once with the toolkit's
// error function ("BMP file is too large!") and stays empty.

#include <FL/Fl_RGB_Image.H>

#include <string_view>

#include "ui/bmp_decoder.h"

namespace sorvimend {

namespace detail {
// Holds the pixels so that they exist before the image base is built over them.
struct BmpPixels {
  DecodedBmp decoded;
};
}  // namespace detail

class BmpImage : private detail::BmpPixels, public Fl_RGB_Image {
 public:
  explicit BmpImage(std::string_view bytes);
  BmpImage(const BmpImage&) = delete;
  BmpImage& operator=(const BmpImage&) = delete;

  [[nodiscard]] bool usable() const { return w() > 0 && h() > 0 && d() > 0; }
  [[nodiscard]] DecodedBmp::Status status() const { return decoded.status; }
};

// The decoder's bound: the toolkit's own limit, capped so that a forged header cannot make the
// program allocate gigabytes (the toolkit's default is no limit at all).
std::size_t bmpSizeLimit();

}  // namespace sorvimend
