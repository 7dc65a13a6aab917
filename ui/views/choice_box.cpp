// Before any toolkit header: X11 defines None as a macro.
#include "resources/resource_access.h"

#include "ui/views/choice_box.h"

#include <FL/fl_draw.H>

#include "ui/focus_frame.h"

namespace sorvimend {
namespace {
constexpr int cornerRadius = 12;
constexpr int badgeRadius = 9;
constexpr int badgePadding = 12;
constexpr int badgeGap = 20;
constexpr int bottomGap = 12;
constexpr int sideGap = 12;
constexpr int titleHeight = 22;
}  // namespace

ChoiceBoxStyle choiceBoxStyleFromResources() {
  ChoiceBoxStyle style;
  style.title = resourceText(ResourceId::RES_VIEW_V5_CHOICE_TITLE);
  style.noSelectionText = resourceText(ResourceId::RES_VIEW_V5_NO_SELECTION_TEXT);
  style.numberSize = resourceInteger(ResourceId::RES_UI_CHOICE_NUMBER_FONT_SIZE);
  style.titleSize = resourceInteger(ResourceId::RES_UI_TEXT_FONT_SIZE);
  style.descriptionSize = resourceInteger(ResourceId::RES_UI_FONT_SIZE);
  style.noSelectionSize = resourceInteger(ResourceId::RES_UI_DESCRIPTION_FONT_SIZE);
  style.background = resourceColour(ResourceId::RES_UI_COLOR_CHOICE_BOX_BG);
  style.badge = resourceColour(ResourceId::RES_UI_COLOR_ACTIVE);
  return style;
}

ChoiceBox::ChoiceBox(int x, int y, int w, int h, ChoiceBoxStyle style)
    : Fl_Group(x, y, w, h), style_(std::move(style)), text_(x, y, w, h) {
  end();
  box(FL_NO_BOX);
  color(style_.background);
  text_.box(FL_FLAT_BOX);
  text_.color(style_.background);
  text_.textfont(FL_HELVETICA);
  showNothing();
}

void ChoiceBox::showChoice(const std::string& number, const std::string& description) {
  number_ = number;
  text_.resize(x(), y() + numberArea, w(), h() - numberArea - bottomGap);
  text_.textsize(style_.descriptionSize);
  text_.value(description);
  // Shrink until the description fits, one size at a time.
  while ((text_.verticalScrollbarVisible() || text_.horizontalScrollbarVisible()) && text_.textsize() > 1) {
    text_.textsize(text_.textsize() - 1);
    text_.layout();
  }
  redraw();
}

void ChoiceBox::showNothing() {
  number_.clear();
  text_.resize(x() + sideGap, y(), w() - 2 * sideGap, h());
  text_.textsize(style_.noSelectionSize);
  text_.value(style_.noSelectionText);
  redraw();
}

void ChoiceBox::draw() {
  if ((damage() & FL_DAMAGE_ALL) != 0) {
    fl_color(style_.background);
    fillRoundedRect(x(), y(), w(), h(), cornerRadius);
    fl_color(FL_FOREGROUND_COLOR);
    fl_font(FL_HELVETICA_BOLD, style_.titleSize);
    fl_draw(style_.title.c_str(), x(), y() - titleStrip, w(), titleHeight, FL_ALIGN_CENTER, nullptr, 0);
  }
  draw_children();
  if (!number_.empty()) {
    fl_font(FL_HELVETICA_BOLD, style_.numberSize);
    int dx = 0;
    int dy = 0;
    int tw = 0;
    int th = 0;
    fl_text_extents(number_.c_str(), dx, dy, tw, th);
    const int bw = tw + badgePadding;
    const int bh = th + badgePadding;
    const int bx = x() + (w() - bw) / 2;
    const int by = y() + numberArea - th - badgeGap;
    fl_color(style_.badge);
    fillRoundedRect(bx, by, bw, bh, badgeRadius);
    fl_color(FL_WHITE);
    fl_draw(number_.c_str(), bx, by, bw, bh, FL_ALIGN_CENTER, nullptr, 0);
  }
}

}  // namespace sorvimend
