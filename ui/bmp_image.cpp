#include "ui/bmp_image.h"

#include <FL/Fl.H>

#include <algorithm>

namespace sorvimend {
namespace {

DecodedBmp decodeReporting(std::string_view bytes) {
  DecodedBmp decoded = decodeBmp(bytes, bmpSizeLimit());
  // The toolkit's default error function ends the line itself.
  if (decoded.status == DecodedBmp::Status::TooLarge) Fl::error("BMP file is too large!");
  return decoded;
}

}  // namespace

std::size_t bmpSizeLimit() { return std::min<std::size_t>(Fl_RGB_Image::max_size(), kBmpDefaultMaxBytes); }

BmpImage::BmpImage(std::string_view bytes)
    : detail::BmpPixels{decodeReporting(bytes)},
      Fl_RGB_Image(decoded.pixels.empty() ? nullptr : decoded.pixels.data(), decoded.width, decoded.height,
                   decoded.depth) {}

}  // namespace sorvimend
