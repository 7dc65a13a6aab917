#pragma once
// Lays out a rich text into blocks, lines and placed words, measured through TextMetrics so that
// the same code runs with the toolkit's fonts in the widget and with a fake in tests and fuzzing.
// Does not draw; the widget paints what this produces.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ui/rich_text_markup.h"

namespace sorvimend::richtext {

class TextMetrics {
 public:
  virtual ~TextMetrics() = default;
  virtual int textWidth(int font, int size, std::string_view text) = 0;
  // Pixels below the baseline for the font, used to place the baseline inside a line.
  virtual int descent(int font, int size) = 0;
};

inline constexpr std::size_t kMaxLineStarts = 32;
inline constexpr std::size_t kMaxStackDepth = 100;  // font stack and margin levels
inline constexpr int kMaxColumns = 256;
inline constexpr int kCellSpacing = 6;
inline constexpr double kLineSpacing = 1.5;

struct Fragment {
  std::string text;
  int font = 0;
  int size = 12;
  std::uint32_t colour = 0;
  int x = 0;         // document coordinates
  int baseline = 0;
  int width = 0;
  int underline = 0;  // width of the underline, 0 for none
};

struct Block {
  std::size_t start = 0;  // source positions
  std::size_t end = 0;
  bool cell = false;    // a table cell: x, y, w, h are its frame
  bool border = false;  // cell of a table with a border
  bool rule = false;    // HR
  std::uint32_t background = 0;
  int x = 0, y = 0, w = 0, h = 0;
  int minHeight = 0;
  std::vector<int> lineStarts;  // offsets of the lines, at most kMaxLineStarts
  std::size_t firstFragment = 0, endFragment = 0;
};

struct LayoutParams {
  int width = 0;  // available width: widget width less scrollbar and box insets
  int scrollbarSize = 16;
  int textFont = 0;
  int textSize = 12;
  std::uint32_t textColour = kToolkitBlack;
  std::uint32_t background = 7;  // FL_WHITE
};

struct Layout {
  std::vector<Block> blocks;
  std::vector<Fragment> fragments;
  std::string title = "Untitled";
  std::uint32_t background = 0;
  int documentWidth = 0;
  int documentHeight = 0;
  int restarts = 0;  // how often the document had to grow wider
};

Layout layoutRichText(std::string_view text, const LayoutParams& params, TextMetrics& metrics);

// The column widths of the table whose content starts at `start` (just after its TABLE tag),
// for a table given `availableWidth`; widths include the cell padding, not the spacing.
struct TableColumns {
  std::vector<int> widths;
  int tableWidth = 0;
};
TableColumns computeTableColumns(std::string_view text, std::size_t start, std::string_view tableAttributes,
                                 int availableWidth, const LayoutParams& params, TextMetrics& metrics);

int paragraphGap(int size);

}  // namespace sorvimend::richtext
