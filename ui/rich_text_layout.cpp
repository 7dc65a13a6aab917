#include "ui/rich_text_layout.h"

#include <algorithm>
#include <climits>
#include <optional>

namespace sorvimend::richtext {
namespace {

// Beyond this the document stops growing: a wider X11 drawing cannot be shown anyway.
constexpr int kMaxDocumentWidth = 1 << 20;
constexpr int kCellPadLeft = 4;
constexpr int kCellPadRight = 3;
constexpr int kCellPadTop = 3;

struct Style {
  int font = 0;
  int size = 12;
  std::uint32_t colour = 0;
};

// At most kMaxStackDepth entries; pushes beyond that are counted, not stored, so that their pops
// never take an entry that an enclosing tag pushed. The base entry is never popped.
class StyleStack {
 public:
  explicit StyleStack(Style base) { stack_.push_back(base); }
  const Style& top() const { return stack_.back(); }
  Style& top() { return stack_.back(); }
  Style& base() { return stack_.front(); }
  void push(Style style) {
    if (stack_.size() >= kMaxStackDepth) {
      ++overflow_;
      return;
    }
    stack_.push_back(style);
  }
  void pop() {
    if (overflow_ > 0) {
      --overflow_;
    } else if (stack_.size() > 1) {
      stack_.pop_back();
    }
  }
  std::size_t depth() const { return stack_.size() + overflow_; }
  void popTo(std::size_t depth) {
    while (this->depth() > depth && this->depth() > 1) pop();
  }

 private:
  std::vector<Style> stack_;
  std::size_t overflow_ = 0;
};

bool is(const Token& token, std::string_view name) { return token.text == name; }

bool isHeading(const Token& token) {
  return token.text.size() == 2 && token.text[0] == 'H' && token.text[1] >= '1' && token.text[1] <= '6';
}

// Tags that end the line and start a block; the first group also has closing tags.
bool isClosableBlockTag(const Token& t) {
  return is(t, "P") || is(t, "DIV") || is(t, "CENTER") || isHeading(t) || is(t, "UL") || is(t, "OL") ||
         is(t, "DL") || is(t, "PRE") || is(t, "TABLE");
}
bool isOpenOnlyBlockTag(const Token& t) { return is(t, "LI") || is(t, "DD") || is(t, "DT") || is(t, "HR"); }
bool isList(const Token& t) { return is(t, "UL") || is(t, "OL") || is(t, "DL"); }

// Character-level tags, shared by the layout and the table pass so both measure words alike.
bool applyInlineTag(const Token& t, StyleStack& styles, const LayoutParams& params, bool& underline) {
  auto pushFont = [&](int font) {
    Style s = styles.top();
    s.font = font;
    styles.push(s);
  };
  if (is(t, "B") || is(t, "STRONG")) {
    if (t.closing) styles.pop();
    else pushFont(styles.top().font | 1);
  } else if (is(t, "I") || is(t, "EM")) {
    if (t.closing) styles.pop();
    else pushFont(styles.top().font | 2);
  } else if (is(t, "U")) {
    underline = !t.closing;
  } else if (is(t, "CODE") || is(t, "TT")) {
    if (t.closing) styles.pop();
    else pushFont(kFontCourier);
  } else if (is(t, "KBD")) {
    if (t.closing) styles.pop();
    else pushFont(kFontCourierBold);
  } else if (is(t, "VAR")) {
    if (t.closing) styles.pop();
    else pushFont(kFontCourierItalic);
  } else if (is(t, "FONT")) {
    if (t.closing) {
      styles.pop();
    } else {
      Style s = styles.top();
      if (auto face = attributeValue(t.attributes, "FACE")) s.font = parseFontFace(*face, s.font);
      if (auto size = attributeValue(t.attributes, "SIZE")) s.size = parseFontSize(*size, s.size, params.textSize);
      if (auto colour = attributeValue(t.attributes, "COLOR")) s.colour = parseColour(*colour, s.colour);
      styles.push(s);
    }
  } else {
    return false;
  }
  return true;
}

// The font a block tag sets: headings bold and larger, DT italic, PRE courier, others the text font.
Style blockStyle(const Token& t, const Style& current, const LayoutParams& params) {
  Style s = current;
  s.font = params.textFont;
  s.size = params.textSize;
  if (isHeading(t)) {
    s.font = params.textFont | 1;
    s.size = params.textSize + 6 - (t.text[1] - '1');
  } else if (is(t, "DT")) {
    s.font = params.textFont | 2;
  } else if (is(t, "PRE")) {
    s.font = kFontCourier;
  }
  return s;
}

int attributeInt(const Token& t, std::string_view name, int fallback, int low, int high) {
  auto value = attributeValue(t.attributes, name);
  if (!value) return fallback;
  return std::clamp(parseLength(*value, fallback, 0), low, high);
}

struct TableState {
  std::vector<int> columnLeft;  // relative to x
  std::vector<int> columnWidth;
  int x = 0;
  int width = 0;
  bool border = false;
  std::uint32_t background = 0;
  std::uint32_t rowBackground = 0;
  bool inRow = false;
  int rowTop = 0;
  int rowBottom = 0;
  int column = 0;
  std::vector<std::size_t> rowCells;
  bool inCell = false;
  std::size_t cellBlock = 0;
  std::size_t cellStyleDepth = 0;
  std::size_t tableStyleDepth = 0;
  int savedLeft = 0, savedRight = 0;
  Align savedAlign = Align::Left, savedDefaultAlign = Align::Left;
};

class Formatter {
 public:
  Formatter(std::string_view text, const LayoutParams& params, TextMetrics& metrics, int width, Layout& out)
      : text_(text),
        params_(params),
        metrics_(metrics),
        hsize_(width),
        out_(out),
        reader_(text),
        styles_(Style{params.textFont, params.textSize, params.textColour}) {}

  // False when the document has to be wider; neededWidth() then says how wide.
  bool run();
  int neededWidth() const { return needed_; }

 private:
  void handleTag(const Token& t);
  void openBlockTag(const Token& t);
  void closeBlockTag(const Token& t);
  void openTable(const Token& t);
  void closeTable();
  void openRow(const Token& t);
  void closeRow();
  void openCell(const Token& t);
  void closeCell();

  void placeWord(const std::string& word);
  void advance(int pixels);
  void endLine();
  void blankLine();
  void openBlock(const Token* t);
  void finishBlock();
  void addGap(int gap);
  void grow(int width) {
    if (width > needed_) needed_ = std::min(width, kMaxDocumentWidth);
  }
  int spaceWidth() { return metrics_.textWidth(styles_.top().font, styles_.top().size, " "); }
  void noteLineFont(const Style& s) {
    if (s.size + 2 > lineHeight_) {
      lineHeight_ = s.size + 2;
      lineFont_ = s.font;
      lineSize_ = s.size;
    }
  }

  std::string_view text_;
  const LayoutParams& params_;
  TextMetrics& metrics_;
  int hsize_;
  int needed_ = 0;
  Layout& out_;
  MarkupReader reader_;
  StyleStack styles_;

  bool underline_ = false;
  bool pre_ = false;
  bool head_ = false;
  Align align_ = Align::Left;
  Align defaultAlign_ = Align::Left;
  int left_ = 4;
  int right_ = 0;
  std::vector<int> margins_;
  std::size_t marginOverflow_ = 0;

  int yy_ = 2;
  int xx_ = 4;
  int lineHeight_ = 0;
  int lineFont_ = 0;
  int lineSize_ = 0;
  bool lineHasContent_ = false;
  bool lineHasWords_ = false;
  bool needSpace_ = false;
  std::size_t lineFirstFragment_ = 0;
  std::vector<std::size_t> lineBullets_;
  int preColumn_ = 0;

  std::size_t block_ = 0;
  bool anyContent_ = false;
  int gapSinceContent_ = 0;

  std::vector<TableState> tables_;
  std::size_t tableOverflow_ = 0;
};

bool Formatter::run() {
  out_.background = params_.background;
  right_ = hsize_;
  xx_ = left_;
  openBlock(nullptr);
  for (;;) {
    Token t = reader_.next(pre_);
    if (t.kind == Token::Kind::End) break;
    switch (t.kind) {
      case Token::Kind::Word:
        placeWord(t.text);
        break;
      case Token::Kind::Space:
        if (head_) break;
        if (pre_) {
          advance(spaceWidth());
          ++preColumn_;
        } else {
          needSpace_ = true;
        }
        break;
      case Token::Kind::Tab: {
        int next = (preColumn_ / 8 + 1) * 8;
        advance((next - preColumn_) * spaceWidth());
        preColumn_ = next;
        break;
      }
      case Token::Kind::LineFeed:
        if (lineHasContent_) endLine();
        else blankLine();
        preColumn_ = 0;
        break;
      case Token::Kind::Tag:
        handleTag(t);
        break;
      case Token::Kind::End:
        break;
    }
  }
  while (!tables_.empty()) closeTable();
  endLine();
  finishBlock();
  int height = yy_;
  for (const Block& b : out_.blocks) height = std::max(height, b.y + b.h);
  out_.documentHeight = height;
  out_.documentWidth = hsize_;
  return needed_ <= hsize_;
}

void Formatter::handleTag(const Token& t) {
  if (is(t, "HEAD")) {
    head_ = !t.closing;
    return;
  }
  if (is(t, "TITLE")) {
    if (!t.closing) out_.title = reader_.readUpToTag();
    return;
  }
  if (is(t, "BODY")) {
    if (t.closing) return;
    if (auto bg = attributeValue(t.attributes, "BGCOLOR")) out_.background = parseColour(*bg, out_.background);
    if (auto fg = attributeValue(t.attributes, "TEXT")) {
      std::uint32_t colour = parseColour(*fg, styles_.base().colour);
      styles_.base().colour = colour;
      styles_.top().colour = colour;
    }
    return;
  }
  if (is(t, "BR")) {
    if (lineHasContent_) endLine();
    else blankLine();
    return;
  }
  if (is(t, "TABLE")) {
    if (t.closing) closeTable();
    else openTable(t);
    return;
  }
  if (is(t, "TR")) {
    if (t.closing) closeRow();
    else openRow(t);
    return;
  }
  if (is(t, "TD") || is(t, "TH")) {
    if (t.closing) closeCell();
    else openCell(t);
    return;
  }
  if (isClosableBlockTag(t)) {
    if (t.closing) closeBlockTag(t);
    else openBlockTag(t);
    return;
  }
  if (isOpenOnlyBlockTag(t)) {
    if (!t.closing) openBlockTag(t);
    return;
  }
  applyInlineTag(t, styles_, params_, underline_);
}

void Formatter::openBlockTag(const Token& t) {
  endLine();
  finishBlock();
  Style style = blockStyle(t, styles_.top(), params_);
  if (isList(t)) {
    if (margins_.size() < kMaxStackDepth) {
      margins_.push_back(left_);
      left_ = std::min(left_ + 4 * styles_.top().size, kMaxDocumentWidth);
    } else {
      ++marginOverflow_;
    }
  }
  if (isHeading(t) || is(t, "P") || is(t, "DD") || is(t, "DT")) addGap(paragraphGap(style.size));
  if (isOpenOnlyBlockTag(t)) styles_.top() = style;  // no closing tag: nothing to pop later
  else styles_.push(style);
  if (is(t, "CENTER")) {
    defaultAlign_ = Align::Center;
  }
  if (is(t, "PRE")) {
    pre_ = true;
    preColumn_ = 0;
  }
  align_ = parseAlign(attributeValue(t.attributes, "ALIGN"), defaultAlign_);
  if (is(t, "HR")) {
    yy_ += style.size;
    openBlock(&t);
    Block& rule = out_.blocks[block_];
    rule.rule = true;
    yy_ += 2 * style.size;
    anyContent_ = true;
    gapSinceContent_ = 0;
    finishBlock();
    openBlock(nullptr);
    return;
  }
  openBlock(&t);
  if (is(t, "LI")) {
    Fragment bullet;
    bullet.text = "\xE2\x80\xA2";
    bullet.font = style.font;
    bullet.size = style.size;
    bullet.colour = style.colour;
    bullet.x = left_ - style.size;
    bullet.width = metrics_.textWidth(style.font, style.size, bullet.text);
    lineBullets_.push_back(out_.fragments.size());
    out_.fragments.push_back(std::move(bullet));
    noteLineFont(style);
    lineHasContent_ = true;
  }
}

void Formatter::closeBlockTag(const Token& t) {
  endLine();
  finishBlock();
  styles_.pop();
  if (isList(t)) {
    if (marginOverflow_ > 0) {
      --marginOverflow_;
    } else if (!margins_.empty()) {
      left_ = margins_.back();
      margins_.pop_back();
    }
    addGap(paragraphGap(styles_.top().size));
  }
  if (is(t, "PRE")) pre_ = false;
  if (is(t, "CENTER")) defaultAlign_ = Align::Left;
  align_ = defaultAlign_;
  xx_ = left_;
  openBlock(nullptr);
  reader_.skipWhiteSpace();
}

void Formatter::openTable(const Token& t) {
  endLine();
  finishBlock();
  if (tables_.size() >= kMaxStackDepth || margins_.size() + tables_.size() >= kMaxStackDepth) {
    ++tableOverflow_;
    openBlock(nullptr);
    return;
  }
  TableState table;
  table.border = attributeInt(t, "BORDER", 0, 0, 1000) != 0;
  table.background = out_.background;
  if (auto bg = attributeValue(t.attributes, "BGCOLOR")) table.background = parseColour(*bg, out_.background);
  int available = std::max(right_ - left_, 1);
  TableColumns columns = computeTableColumns(text_, reader_.position(), t.attributes, available, params_, metrics_);
  int offset = 0;
  Align align = parseAlign(attributeValue(t.attributes, "ALIGN"), Align::Left);
  if (align == Align::Right) offset = available - columns.tableWidth - params_.textSize;
  else if (align == Align::Center) offset = (available - columns.tableWidth) / 2 - params_.textSize;
  table.x = left_ + std::max(offset, 0);
  table.width = columns.tableWidth;
  if (tables_.empty()) grow(table.x + table.width);
  int x = 0;
  for (int width : columns.widths) {
    table.columnLeft.push_back(x);
    table.columnWidth.push_back(width);
    x += width + kCellSpacing;
  }
  table.savedLeft = left_;
  table.savedRight = right_;
  table.savedAlign = align_;
  table.savedDefaultAlign = defaultAlign_;
  table.tableStyleDepth = styles_.depth();
  table.rowTop = table.rowBottom = yy_;
  tables_.push_back(std::move(table));
  left_ = tables_.back().x;
  right_ = left_ + tables_.back().width;
  xx_ = left_;
  openBlock(nullptr);
}

void Formatter::closeTable() {
  if (tableOverflow_ > 0) {
    --tableOverflow_;
    return;
  }
  if (tables_.empty()) return;
  closeRow();
  endLine();
  finishBlock();
  TableState& table = tables_.back();
  left_ = table.savedLeft;
  right_ = table.savedRight;
  align_ = table.savedAlign;
  defaultAlign_ = table.savedDefaultAlign;
  styles_.popTo(table.tableStyleDepth);
  tables_.pop_back();
  xx_ = left_;
  anyContent_ = true;
  gapSinceContent_ = 0;
  addGap(paragraphGap(styles_.top().size));
  openBlock(nullptr);
}

void Formatter::openRow(const Token& t) {
  if (tables_.empty() || tableOverflow_ > 0) return;
  closeRow();
  endLine();
  finishBlock();
  TableState& table = tables_.back();
  table.inRow = true;
  table.rowTop = table.rowBottom = yy_;
  table.column = 0;
  table.rowCells.clear();
  table.rowBackground = table.background;
  if (auto bg = attributeValue(t.attributes, "BGCOLOR")) table.rowBackground = parseColour(*bg, table.background);
  openBlock(nullptr);
}

void Formatter::closeRow() {
  if (tables_.empty() || tableOverflow_ > 0) return;
  closeCell();
  TableState& table = tables_.back();
  if (!table.inRow) return;
  table.inRow = false;
  for (std::size_t index : table.rowCells) out_.blocks[index].h = table.rowBottom - table.rowTop;
  if (!table.rowCells.empty()) yy_ = table.rowBottom + kCellSpacing;
  table.rowCells.clear();
}

void Formatter::openCell(const Token& t) {
  if (tables_.empty() || tableOverflow_ > 0) return;
  if (!tables_.back().inRow) {
    Token row;
    openRow(row);
  }
  closeCell();
  endLine();
  finishBlock();
  TableState& table = tables_.back();
  const int columns = static_cast<int>(table.columnWidth.size());
  if (columns == 0) return;
  int span = attributeInt(t, "COLSPAN", 1, 1, kMaxColumns);
  int column = std::min(table.column, columns - 1);
  span = std::min(span, columns - column);
  table.column = std::min(table.column + span, kMaxColumns);
  int x = table.x + table.columnLeft[column];
  int last = column + span - 1;
  int width = table.columnLeft[last] + table.columnWidth[last] - table.columnLeft[column];

  Block frame;
  frame.start = t.position;
  frame.cell = true;
  frame.border = table.border;
  frame.background = table.rowBackground;
  if (auto bg = attributeValue(t.attributes, "BGCOLOR")) frame.background = parseColour(*bg, table.rowBackground);
  frame.x = x;
  frame.y = table.rowTop;
  frame.w = width;
  frame.minHeight = attributeInt(t, "H", 0, 0, 32000);
  frame.firstFragment = out_.fragments.size();
  out_.blocks.push_back(std::move(frame));
  block_ = out_.blocks.size() - 1;
  table.cellBlock = block_;
  table.inCell = true;
  table.cellStyleDepth = styles_.depth();
  Style style = styles_.top();
  if (is(t, "TH")) style.font |= 1;
  styles_.push(style);
  defaultAlign_ = is(t, "TH") ? Align::Center : Align::Left;
  align_ = parseAlign(attributeValue(t.attributes, "ALIGN"), defaultAlign_);
  left_ = x + kCellPadLeft;
  right_ = std::max(x + width - kCellPadRight, left_ + 1);
  xx_ = left_;
  yy_ = table.rowTop + kCellPadTop;
  gapSinceContent_ = INT_MAX;  // no paragraph gap at the top of a cell
}

void Formatter::closeCell() {
  if (tables_.empty() || tableOverflow_ > 0) return;
  TableState& table = tables_.back();
  if (!table.inCell) return;
  endLine();
  finishBlock();
  Block& frame = out_.blocks[table.cellBlock];
  frame.h = std::max(yy_ + kCellPadTop - frame.y, frame.minHeight);
  table.rowBottom = std::max(table.rowBottom, frame.y + frame.h);
  table.rowCells.push_back(table.cellBlock);
  table.inCell = false;
  styles_.popTo(table.cellStyleDepth);
  left_ = table.x;
  right_ = table.x + table.width;
  defaultAlign_ = table.savedDefaultAlign;
  align_ = defaultAlign_;
  xx_ = left_;
  yy_ = table.rowTop;
  openBlock(nullptr);
}

void Formatter::placeWord(const std::string& word) {
  if (head_ || word.empty()) return;
  const Style& style = styles_.top();
  int width = metrics_.textWidth(style.font, style.size, word);
  if (pre_) {
    if (tables_.empty()) grow(xx_ + width);
  } else {
    int space = (needSpace_ && lineHasWords_) ? spaceWidth() : 0;
    if (lineHasWords_ && xx_ + space + width > right_) {
      endLine();
      space = 0;
    }
    if (tables_.empty() && xx_ + width > right_) grow(xx_ + width);
    if (space > 0) {
      Fragment& previous = out_.fragments.back();
      if (previous.underline > 0) previous.underline += space;
      xx_ += space;
    }
  }
  Fragment fragment;
  fragment.text = word;
  fragment.font = style.font;
  fragment.size = style.size;
  fragment.colour = style.colour;
  fragment.x = xx_;
  fragment.width = width;
  fragment.underline = underline_ ? width : 0;
  out_.fragments.push_back(std::move(fragment));
  noteLineFont(style);
  xx_ += width;
  if (pre_) preColumn_ += static_cast<int>(utf8Length(word));
  lineHasContent_ = true;
  lineHasWords_ = true;
  needSpace_ = false;
}

void Formatter::advance(int pixels) {
  if (head_) return;
  xx_ += pixels;
  noteLineFont(styles_.top());
  lineHasContent_ = true;
  if (tables_.empty()) grow(xx_);
}

void Formatter::endLine() {
  if (!lineHasContent_) {
    needSpace_ = false;
    return;
  }
  int lineWidth = xx_ - left_;
  int width = right_ - left_;
  int offset = 0;
  if (align_ == Align::Right) offset = width - lineWidth;
  else if (align_ == Align::Center) offset = (width - lineWidth + params_.scrollbarSize - 4) / 2;
  offset = std::max(offset, 0);
  Block& block = out_.blocks[block_];
  if (block.lineStarts.size() < kMaxLineStarts) block.lineStarts.push_back(offset);
  else offset = block.lineStarts.back();
  int baseline = yy_ + lineHeight_ - metrics_.descent(lineFont_, lineSize_);
  std::size_t bullet = 0;
  for (std::size_t i = lineFirstFragment_; i < out_.fragments.size(); ++i) {
    Fragment& f = out_.fragments[i];
    bool isBullet = bullet < lineBullets_.size() && lineBullets_[bullet] == i;
    if (isBullet) ++bullet;
    else f.x += offset;
    f.baseline = baseline;
  }
  lineBullets_.clear();
  yy_ += lineHeight_;
  xx_ = left_;
  lineHeight_ = 0;
  lineHasContent_ = false;
  lineHasWords_ = false;
  needSpace_ = false;
  lineFirstFragment_ = out_.fragments.size();
  anyContent_ = true;
  gapSinceContent_ = 0;
}

void Formatter::blankLine() {
  if (head_) return;
  yy_ += styles_.top().size + 2;
  anyContent_ = true;
  gapSinceContent_ = 0;
}

void Formatter::addGap(int gap) {
  if (!anyContent_ || gap <= gapSinceContent_) return;
  yy_ += gap - gapSinceContent_;
  gapSinceContent_ = gap;
}

void Formatter::openBlock(const Token* t) {
  Block block;
  block.start = t ? t->position : reader_.position();
  block.background = out_.background;
  block.x = left_;
  block.y = yy_;
  block.w = right_ - left_;
  if (t) block.minHeight = attributeInt(*t, "H", 0, 0, 32000);
  block.firstFragment = out_.fragments.size();
  out_.blocks.push_back(std::move(block));
  block_ = out_.blocks.size() - 1;
  xx_ = left_;
  lineFirstFragment_ = out_.fragments.size();
}

void Formatter::finishBlock() {
  Block& block = out_.blocks[block_];
  block.end = reader_.position();
  block.endFragment = out_.fragments.size();
  if (block.cell) return;  // a cell's frame is sized when the cell closes
  if (!block.rule) {
    if (yy_ < block.y + block.minHeight) yy_ = block.y + block.minHeight;
    block.h = yy_ - block.y;
  } else {
    block.h = yy_ - block.y;
  }
}

// Word and line widths of one cell, as the layout would measure them.
struct CellMeasure {
  int minimum = 0;
  int preferred = 0;
  int line = 0;
  bool needSpace = false;
  int column = 0;
  int span = 1;
  std::optional<int> width;
};

}  // namespace

int paragraphGap(int size) { return std::max(static_cast<int>(size * kLineSpacing), size + 2); }

TableColumns computeTableColumns(std::string_view text, std::size_t start, std::string_view tableAttributes,
                                 int availableWidth, const LayoutParams& params, TextMetrics& metrics) {
  std::vector<int> minimum;
  std::vector<int> preferred;
  StyleStack styles(Style{params.textFont, params.textSize, params.textColour});
  bool underline = false;
  bool inCell = false;
  CellMeasure cell;
  std::size_t cellDepth = 0;
  int column = 0;
  int depth = 0;

  auto ensure = [&](int count) {
    if (static_cast<int>(minimum.size()) < count) {
      minimum.resize(static_cast<std::size_t>(count), 0);
      preferred.resize(static_cast<std::size_t>(count), 0);
    }
  };
  auto closeCell = [&]() {
    if (!inCell) return;
    inCell = false;
    cell.preferred = std::max(cell.preferred, cell.line);
    if (cell.width) cell.preferred = *cell.width;
    int pad = kCellPadLeft + kCellPadRight;
    ensure(cell.column + cell.span);
    for (int c = cell.column; c < cell.column + cell.span; ++c) {
      auto i = static_cast<std::size_t>(c);
      minimum[i] = std::max(minimum[i], cell.minimum / cell.span + pad);
      preferred[i] = std::max(preferred[i], cell.preferred / cell.span + pad);
    }
    styles.popTo(cellDepth);
  };

  MarkupReader reader(text, start);
  for (;;) {
    Token t = reader.next(false);
    if (t.kind == Token::Kind::End) break;
    if (t.kind == Token::Kind::Tag) {
      if (is(t, "TABLE")) {
        if (t.closing) {
          if (depth == 0) break;
          --depth;
        } else {
          ++depth;
        }
        continue;
      }
      if (depth == 0 && is(t, "TR")) {
        closeCell();
        if (!t.closing) column = 0;
        continue;
      }
      if (depth == 0 && (is(t, "TD") || is(t, "TH"))) {
        closeCell();
        if (t.closing) continue;
        if (column >= kMaxColumns) column = kMaxColumns - 1;
        cell = CellMeasure{};
        cell.column = column;
        cell.span = std::min(attributeInt(t, "COLSPAN", 1, 1, kMaxColumns), kMaxColumns - column);
        if (auto w = attributeValue(t.attributes, "WIDTH")) cell.width = parseLength(*w, 0, availableWidth);
        column += cell.span;
        inCell = true;
        cellDepth = styles.depth();
        Style s = styles.top();
        if (is(t, "TH")) s.font |= 1;
        styles.push(s);
        continue;
      }
      if (!inCell) continue;
      if (is(t, "BR") || isClosableBlockTag(t) || isOpenOnlyBlockTag(t)) {
        cell.preferred = std::max(cell.preferred, cell.line);
        cell.line = 0;
        cell.needSpace = false;
        continue;
      }
      applyInlineTag(t, styles, params, underline);
      continue;
    }
    if (!inCell) continue;
    if (t.kind == Token::Kind::Space) {
      cell.needSpace = cell.line > 0;
    } else if (t.kind == Token::Kind::Word) {
      const Style& s = styles.top();
      int width = metrics.textWidth(s.font, s.size, t.text);
      cell.minimum = std::max(cell.minimum, width);
      if (cell.needSpace) cell.line += metrics.textWidth(s.font, s.size, " ");
      cell.line = std::min(cell.line + width, kMaxDocumentWidth);
      cell.needSpace = false;
    }
  }
  closeCell();

  TableColumns result;
  const int count = static_cast<int>(minimum.size());
  if (count == 0) return result;
  const int spacing = kCellSpacing * (count - 1);
  long long preferredSum = 0;
  long long minimumSum = 0;
  for (int c = 0; c < count; ++c) {
    preferredSum += preferred[static_cast<std::size_t>(c)];
    minimumSum += minimum[static_cast<std::size_t>(c)];
  }
  long long target = 0;
  if (auto w = attributeValue(tableAttributes, "WIDTH")) {
    target = parseLength(*w, 0, availableWidth - params.scrollbarSize);
  } else {
    target = std::min<long long>(preferredSum + spacing, availableWidth - params.scrollbarSize);
  }
  target = std::max<long long>(target - spacing, minimumSum);

  std::vector<long long> widths(preferred.begin(), preferred.end());
  if (preferredSum < target) {
    long long extra = target - preferredSum;
    for (int c = 0; c < count; ++c) widths[static_cast<std::size_t>(c)] += extra / count + (c < extra % count ? 1 : 0);
  } else if (preferredSum > target) {
    long long excess = preferredSum - target;
    long long slack = preferredSum - minimumSum;  // > 0 since target >= minimumSum
    long long taken = 0;
    for (int c = 0; c < count; ++c) {
      auto i = static_cast<std::size_t>(c);
      long long share = (preferred[i] - minimum[i]) * excess / slack;
      widths[i] -= share;
      taken += share;
    }
    // Rounding leaves a few pixels: take them from columns that still have slack.
    for (int c = 0; c < count && taken < excess; ++c) {
      auto i = static_cast<std::size_t>(c);
      while (taken < excess && widths[i] > minimum[i]) {
        --widths[i];
        ++taken;
      }
    }
  }
  long long total = spacing;
  for (long long w : widths) {
    int clamped = static_cast<int>(std::min<long long>(w, kMaxDocumentWidth));
    result.widths.push_back(clamped);
    total += clamped;
  }
  result.tableWidth = static_cast<int>(std::min<long long>(total, kMaxDocumentWidth));
  return result;
}

Layout layoutRichText(std::string_view text, const LayoutParams& params, TextMetrics& metrics) {
  int width = std::clamp(params.width, 1, kMaxDocumentWidth);
  int restarts = 0;
  for (;;) {
    Layout out;
    Formatter formatter(text, params, metrics, width, out);
    if (formatter.run() || formatter.neededWidth() <= width) {
      out.restarts = restarts;
      return out;
    }
    width = formatter.neededWidth();
    ++restarts;
  }
}

}  // namespace sorvimend::richtext
