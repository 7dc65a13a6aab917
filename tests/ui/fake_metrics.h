#pragma once
// Text metrics without a display: every character is half the font size wide (rounded up), bold
// fonts one pixel more, so widths in tests are easy to work out by hand.

#include <string_view>

#include "ui/rich_text_layout.h"

namespace sorvimend::testing {

class FakeMetrics : public richtext::TextMetrics {
 public:
  int textWidth(int font, int size, std::string_view text) override {
    int perCharacter = (size + 1) / 2 + ((font & 1) ? 1 : 0);
    return static_cast<int>(richtext::utf8Length(text)) * perCharacter;
  }
  int descent(int, int size) override { return size / 4; }
};

}  // namespace sorvimend::testing
