#include "ui/rich_text_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/ui/fake_metrics.h"

namespace sorvimend::richtext {
namespace {

// Size 14 in the fake metrics: 7 pixels per character, 8 in bold.
LayoutParams params(int width, int size = 14) {
  LayoutParams p;
  p.width = width;
  p.textSize = size;
  p.scrollbarSize = 16;
  return p;
}

Layout lay(std::string_view text, const LayoutParams& p) {
  testing::FakeMetrics metrics;
  return layoutRichText(text, p, metrics);
}

const Fragment* find(const Layout& layout, std::string_view text) {
  for (const Fragment& f : layout.fragments) {
    if (f.text == text) return &f;
  }
  return nullptr;
}

TEST(RichTextLayout, WordsWrapAndLinesStackByTheirTallestFont) {
  // 100 pixels hold "aaaa bbbb" (4*7 + 7 + 4*7 = 63) but not a third word.
  Layout layout = lay("aaaa bbbb cccc <font size=20px>dddd</font>", params(100));
  const Fragment* a = find(layout, "aaaa");
  const Fragment* b = find(layout, "bbbb");
  const Fragment* c = find(layout, "cccc");
  const Fragment* d = find(layout, "dddd");
  ASSERT_TRUE(a && b && c && d);
  EXPECT_EQ(a->x, 4);
  EXPECT_EQ(b->x, 4 + 28 + 7);
  EXPECT_EQ(a->baseline, b->baseline);
  EXPECT_EQ(c->x, 4);
  EXPECT_EQ(c->baseline, d->baseline);
  EXPECT_EQ(d->size, 20);
  // First line 16 high (14 + 2), second 22 (20 + 2); baseline lifted by the descent.
  EXPECT_EQ(a->baseline, 2 + 16 - 14 / 4);
  EXPECT_EQ(c->baseline, 2 + 16 + 22 - 20 / 4);
  EXPECT_EQ(layout.restarts, 0);
  EXPECT_EQ(layout.documentWidth, 100);
}

TEST(RichTextLayout, LongWordWidensTheDocument) {
  std::string word(40, 'w');  // 280 pixels
  Layout layout = lay("short " + word + " tail", params(200));
  EXPECT_GE(layout.restarts, 1);
  EXPECT_EQ(layout.documentWidth, 4 + 280);
  const Fragment* w = find(layout, word);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->x, 4);  // alone on its line
}

TEST(RichTextLayout, NbspKeepsTwoWordsTogetherAtTheLineEnd) {
  Layout joined = lay("aaaaaaaaaa bbbb&nbsp;cccc", params(120));
  const Fragment* pair = find(joined, "bbbb cccc");
  ASSERT_NE(pair, nullptr);
  EXPECT_EQ(pair->x, 4);  // moved to the next line as one word
  Layout split = lay("aaaaaaaaaa bbbb cccc", params(120));
  EXPECT_EQ(find(split, "bbbb")->baseline, find(split, "aaaaaaaaaa")->baseline);
  EXPECT_NE(find(split, "cccc")->baseline, find(split, "aaaaaaaaaa")->baseline);
}

TEST(RichTextLayout, HeadIsInvisibleAndTitleOnlyNamesTheDocument) {
  Layout layout = lay("<head><title>The Name</title>hidden words</head>shown", params(300));
  EXPECT_EQ(layout.title, "The Name");
  EXPECT_EQ(find(layout, "hidden"), nullptr);
  EXPECT_EQ(find(layout, "Name"), nullptr);
  ASSERT_NE(find(layout, "shown"), nullptr);
  EXPECT_EQ(lay("plain", params(300)).title, "Untitled");
}

TEST(RichTextLayout, FontsOfTagsAndHeadings) {
  Layout layout = lay(
      "<h1>Big</h1><h6>Small</h6><b>bold</b> <i>it</i> <b><i>both</i></b> <b><b>still</b></b> <code>c</code> "
      "<kbd>k</kbd> <var>v</var> <font face=times size=+1 color=red>t</font> <font size=3>s3</font>",
      params(600));
  struct Case {
    const char* word;
    int font;
    int size;
  };
  const Case cases[] = {{"Big", 1, 20},  {"Small", 1, 15}, {"bold", 1, 14}, {"it", 2, 14}, {"both", 3, 14},
                        {"still", 1, 14}, {"c", 4, 14},    {"k", 5, 14},    {"v", 6, 14},  {"t", 8, 17},
                        {"s3", 0, 14}};
  for (const Case& c : cases) {
    const Fragment* f = find(layout, c.word);
    ASSERT_NE(f, nullptr) << c.word;
    EXPECT_EQ(f->font, c.font) << c.word;
    EXPECT_EQ(f->size, c.size) << c.word;
  }
  EXPECT_EQ(find(layout, "t")->colour, rgbColour(255, 0, 0));
}

TEST(RichTextLayout, AlignmentAndTheThirtyTwoLineStarts) {
  // Width 204: block 200 wide from x 4. A 7-pixel word centred: (200 - 7 + 16 - 4) / 2 = 102.
  Layout centred = lay("<center>x</center>", params(204));
  EXPECT_EQ(find(centred, "x")->x, 4 + 102);
  Layout right = lay("<p align=right>x</p>", params(204));
  EXPECT_EQ(find(right, "x")->x, 4 + 200 - 7);

  // 40 centred lines of growing width: lines after the 32nd take the 32nd line's start.
  std::string text = "<p align=center>";
  for (int i = 1; i <= 40; ++i) text += std::string(static_cast<std::size_t>(i), 'a' + static_cast<char>(i % 26)) + "<br>";
  text += "</p>";
  Layout many = lay(text, params(400));
  const Block* block = nullptr;
  for (const Block& b : many.blocks) {
    if (b.lineStarts.size() == kMaxLineStarts) block = &b;
  }
  ASSERT_NE(block, nullptr);
  const int start32 = block->lineStarts.back();
  for (std::size_t i = block->firstFragment + 32; i < block->endFragment; ++i) {
    EXPECT_EQ(many.fragments[i].x, block->x + start32) << many.fragments[i].text;
  }
  EXPECT_NE(many.fragments[block->firstFragment].x, block->x + start32);
}

TEST(RichTextLayout, ListsIndentAndCarryBullets) {
  Layout layout = lay("<ul><li>one<li>two</ul>after", params(400));
  const Fragment* one = find(layout, "one");
  ASSERT_NE(one, nullptr);
  EXPECT_EQ(one->x, 4 + 4 * 14);
  int bullets = 0;
  for (const Fragment& f : layout.fragments) {
    if (f.text == "\xE2\x80\xA2") {
      ++bullets;
      EXPECT_EQ(f.x, 4 + 4 * 14 - 14);
    }
  }
  EXPECT_EQ(bullets, 2);
  const Fragment* after = find(layout, "after");
  EXPECT_EQ(after->x, 4);
  // A paragraph gap (21 for size 14) separates the list from what follows.
  EXPECT_GE(after->baseline - find(layout, "two")->baseline, 16 + 21);
}

TEST(RichTextLayout, PreformattedTextKeepsSpacesTabsAndLines) {
  Layout layout = lay("<pre>ab  c\td\ne</pre>", params(400));
  ASSERT_TRUE(find(layout, "ab") && find(layout, "c") && find(layout, "d") && find(layout, "e"));
  EXPECT_EQ(find(layout, "c")->x, 4 + 4 * 7);   // two spaces kept
  EXPECT_EQ(find(layout, "d")->x, 4 + 8 * 7);   // tab to column 8
  EXPECT_EQ(find(layout, "e")->x, 4);
  EXPECT_GT(find(layout, "e")->baseline, find(layout, "d")->baseline);
  EXPECT_EQ(find(layout, "e")->font, kFontCourier);
}

TEST(RichTextLayout, BlockMinimumHeightAndRule) {
  Layout layout = lay("<div h=100>x</div>y<hr>z", params(400));
  EXPECT_GE(find(layout, "y")->baseline, 2 + 100);
  bool rule = false;
  for (const Block& b : layout.blocks) {
    if (b.rule) {
      rule = true;
      EXPECT_EQ(b.h, 28);
    }
  }
  EXPECT_TRUE(rule);
}

TEST(RichTextTable, ColumnWidthsFromMinimumAndPreferred) {
  testing::FakeMetrics metrics;
  LayoutParams p = params(1000);
  // Column 0: words "aa" "bbbb" -> minimum 28, preferred 2*7+7+4*7 = 49; column 1: "c" -> 7, 7.
  const std::string cells = "<tr><td>aa bbbb<td>c</tr></table>";
  TableColumns wide = computeTableColumns(cells, 0, "", 1000, p, metrics);
  ASSERT_EQ(wide.widths.size(), 2u);
  EXPECT_EQ(wide.widths[0], 49 + 7);  // plus the cell padding
  EXPECT_EQ(wide.widths[1], 7 + 7);
  EXPECT_EQ(wide.tableWidth, 56 + 14 + kCellSpacing);

  // WIDTH 200 on the table: 200 - 6 spacing - 70 = 124 extra, shared equally.
  TableColumns padded = computeTableColumns(cells, 0, "width=200", 1000, p, metrics);
  EXPECT_EQ(padded.widths[0], 56 + 62);
  EXPECT_EQ(padded.widths[1], 14 + 62);
  EXPECT_EQ(padded.tableWidth, 200);

  // Narrower: only column 0 has room above its minimum, so it alone gives the 16 pixels up...
  TableColumns narrow = computeTableColumns(cells, 0, "width=60", 1000, p, metrics);
  EXPECT_EQ(narrow.widths[0], 56 - 16);
  EXPECT_EQ(narrow.widths[1], 14);
  // ...and never below its minimum (28 + 7): the table is then wider than asked.
  TableColumns tight = computeTableColumns(cells, 0, "width=10", 1000, p, metrics);
  EXPECT_EQ(tight.widths[0], 35);
  EXPECT_EQ(tight.widths[1], 14);
  EXPECT_EQ(tight.tableWidth, 35 + 14 + kCellSpacing);

  // A cell's WIDTH sets its preferred width; a colspan shares its widths.
  TableColumns fixed = computeTableColumns("<tr><td width=100>x<td>y<tr><td colspan=2>zzzz</table>", 0, "", 1000, p,
                                           metrics);
  EXPECT_EQ(fixed.widths[0], 100 + 7);
  EXPECT_EQ(fixed.widths[1], 28 / 2 + 7);  // half of "zzzz" is more than "y" needs

  // Nested tables belong to their cell.
  TableColumns nested = computeTableColumns("<tr><td><table><tr><td>in<td>ner</table></td></tr></table><td>x", 0,
                                            "", 1000, p, metrics);
  EXPECT_EQ(nested.widths.size(), 1u);
}

TEST(RichTextTable, CellsGetFramesBordersAndColours) {
  Layout layout = lay(
      "<table border=1 bgcolor=#ffffcc><tr bgcolor=silver><th>Head</th><td bgcolor=#0f0>one<br>two</td></tr>"
      "<tr><td>left</td><td>right</td></tr></table>after",
      params(500));
  std::vector<const Block*> cells;
  for (const Block& b : layout.blocks) {
    if (b.cell) cells.push_back(&b);
  }
  ASSERT_EQ(cells.size(), 4u);
  for (const Block* c : cells) EXPECT_TRUE(c->border);
  EXPECT_EQ(cells[0]->background, rgbColour(192, 192, 192));  // the row's colour
  EXPECT_EQ(cells[1]->background, rgbColour(0, 255, 0));      // its own
  EXPECT_EQ(cells[2]->background, rgbColour(255, 255, 204));  // the table's
  EXPECT_EQ(cells[0]->h, cells[1]->h);  // a row's cells are as high as the highest
  EXPECT_GT(cells[1]->h, 2 * 16);
  EXPECT_EQ(cells[0]->y, cells[1]->y);
  EXPECT_EQ(cells[2]->x, cells[0]->x);
  EXPECT_EQ(cells[1]->x, cells[0]->x + cells[0]->w + kCellSpacing);
  EXPECT_GT(cells[2]->y, cells[0]->y + cells[0]->h);
  EXPECT_EQ(find(layout, "Head")->font, 1);  // TH is bold
  EXPECT_GT(find(layout, "after")->baseline, cells[3]->y + cells[3]->h);
}

TEST(RichTextTable, WideTableWidensTheDocument) {
  std::string row = "<tr>";
  for (int i = 0; i < 10; ++i) row += "<td>wordword</td>";
  Layout layout = lay("<table>" + row + "</table>", params(200));
  EXPECT_GE(layout.restarts, 1);
  EXPECT_GT(layout.documentWidth, 200);
}

TEST(RichTextLayout, DeepAndBrokenMarkupStaysInBounds) {
  std::string deep;
  for (int i = 0; i < 300; ++i) deep += "<b><font size=+1><ul><table><tr><td>";
  deep += "x";
  for (int i = 0; i < 320; ++i) deep += "</td></tr></table></ul></font></b>";
  deep += "</p></p></center></pre><li><dd><dt><td><tr></table>";
  Layout layout = lay(deep, params(300));
  EXPECT_NE(find(layout, "x"), nullptr);
  EXPECT_GT(layout.documentHeight, 0);
  for (const Block& b : layout.blocks) {
    EXPECT_LE(b.firstFragment, b.endFragment);
    EXPECT_LE(b.endFragment, layout.fragments.size());
    EXPECT_LE(b.lineStarts.size(), kMaxLineStarts);
  }
}

}  // namespace
}  // namespace sorvimend::richtext
