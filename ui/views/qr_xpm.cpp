#include "ui/views/qr_xpm.h"

#include <qrencode.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>

namespace sorvimend {
namespace {

struct QrFree {
  void operator()(QRcode* code) const noexcept { QRcode_free(code); }
};
using QrPtr = std::unique_ptr<QRcode, QrFree>;

constexpr int largeSymbolModules = 70;
constexpr char darkPixel = 'x';
constexpr char lightPixel = '+';

[[noreturn]] void outOfMemory() {
  std::fputs("Failed to allocate memory.\n", stderr);
  std::exit(1);
}

QrXpm linesOf(const QRcode& code) {
  QrXpm xpm;
  xpm.modules = code.width;
  const int scale = code.width < largeSymbolModules ? 3 : 2;
  xpm.pixels = code.width * scale;
  const auto size = static_cast<std::size_t>(xpm.pixels);
  xpm.lines.reserve(size + 3);
  xpm.lines.push_back(std::to_string(xpm.pixels) + " " + std::to_string(xpm.pixels) + " 2 1");
  xpm.lines.push_back(std::string(1, darkPixel) + " c #000000");
  xpm.lines.push_back(std::string(1, lightPixel) + " c #ffffff");
  for (int row = 0; row < code.width; ++row) {
    std::string line;
    line.reserve(size);
    const unsigned char* modules = code.data + static_cast<std::size_t>(row) * static_cast<std::size_t>(code.width);
    for (int column = 0; column < code.width; ++column) {
      line.append(static_cast<std::size_t>(scale), (modules[column] & 1) != 0 ? darkPixel : lightPixel);
    }
    for (int copy = 0; copy < scale; ++copy) xpm.lines.push_back(line);
  }
  return xpm;
}

}  // namespace

std::optional<QrXpm> qrXpmFor(std::string_view text) {
  // The encoder reads a terminated string: a zero byte inside would silently cut the text, and a
  // code that does not carry the whole verification text is worse than none.
  if (text.empty() || text.find('\0') != std::string_view::npos) return std::nullopt;
  std::optional<QrXpm> result;
  try {
    const std::string terminated(text);
    QrPtr code(QRcode_encodeString(terminated.c_str(), 0, QR_ECLEVEL_Q, QR_MODE_8, 1));
    if (code != nullptr) result = linesOf(*code);
  } catch (const std::bad_alloc&) {
    outOfMemory();
  }
  // Deprecated (a no-op since libqrencode 4) but harmless; older libraries keep tables otherwise.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  QRcode_clearCache();
#pragma GCC diagnostic pop
  return result;
}

}  // namespace sorvimend
