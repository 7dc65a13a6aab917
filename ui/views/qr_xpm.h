#pragma once
// The verification text as XPM lines of a QR code: error correction Q, 8-bit mode, the smallest
// version that holds the text, 3 pixels per module below 70 modules and 2 from there on, so that
// even the largest symbol a verification text needs fits beside the result text.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorvimend {

struct QrXpm {
  int modules = 0;     // symbol width in modules
  int pixels = 0;      // image width and height
  std::vector<std::string> lines;  // header, two colours, then one line per pixel row
};

// Nothing when the text cannot be encoded (empty, or too long for any QR version). When memory
// for the lines runs out the program cannot go on: it writes "Failed to allocate memory.\n" to the
// standard error stream and exits with status 1.
[[nodiscard]] std::optional<QrXpm> qrXpmFor(std::string_view text);

}  // namespace sorvimend
