// The markup reader, the table pass and the layout on arbitrary text. The first byte picks the
// available width and text size; the checks trap on a layout that points outside its own arrays.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "ui/rich_text_layout.h"

namespace {

// Widths that depend on the bytes, so that odd characters measure differently.
class Metrics : public sorvimend::richtext::TextMetrics {
 public:
  int textWidth(int font, int size, std::string_view text) override {
    int width = 0;
    for (char c : text) width += (static_cast<unsigned char>(c) % 7 + size / 2 + (font & 1));
    return width;
  }
  int descent(int, int size) override { return size / 4; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  using namespace sorvimend::richtext;
  LayoutParams params;
  params.width = 40 + (data[0] & 0x0F) * 60;
  params.textSize = 8 + (data[0] >> 4);
  std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  Metrics metrics;
  Layout layout = layoutRichText(text, params, metrics);
  for (const Block& b : layout.blocks) {
    if (b.firstFragment > b.endFragment || b.endFragment > layout.fragments.size()) __builtin_trap();
    if (b.lineStarts.size() > kMaxLineStarts) __builtin_trap();
    if (b.start > text.size() || b.end > text.size()) __builtin_trap();
  }
  if (layout.documentWidth < params.width || layout.documentHeight < 0) __builtin_trap();
  if (layout.title.size() > kMaxNameBytes) __builtin_trap();
  return 0;
}
