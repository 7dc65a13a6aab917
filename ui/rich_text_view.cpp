#include "ui/rich_text_view.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include <algorithm>

namespace sorvimend {
namespace {

constexpr int kScrollStep = 8;

class ToolkitMetrics : public richtext::TextMetrics {
 public:
  ToolkitMetrics() { fl_open_display(); }
  int textWidth(int font, int size, std::string_view text) override {
    fl_font(font, size);
    return static_cast<int>(fl_width(text.data(), static_cast<int>(text.size())) + 0.5);
  }
  int descent(int font, int size) override {
    fl_font(font, size);
    return fl_descent();
  }
};

}  // namespace

RichTextView::RichTextView(int x, int y, int w, int h, const char* label)
    : Fl_Group(x, y, w, h, label),
      vertical_(x + w - 16, y, 16, h),
      horizontal_(x, y + h - 16, w, 16) {
  end();
  color(FL_BACKGROUND2_COLOR, FL_SELECTION_COLOR);
  box(FL_NO_BOX);
  vertical_.type(FL_VERTICAL);
  vertical_.linesize(kScrollStep);
  vertical_.callback(onVertical, this);
  vertical_.hide();
  horizontal_.type(FL_HORIZONTAL);
  horizontal_.linesize(kScrollStep);
  horizontal_.callback(onHorizontal, this);
  horizontal_.hide();
  placeScrollbars();
}

RichTextView::~RichTextView() {
  // The scrollbars are members: the group must not delete them.
  remove(vertical_);
  remove(horizontal_);
}

int RichTextView::scrollbarSize() const { return scrollbarSize_ > 0 ? scrollbarSize_ : Fl::scrollbar_size(); }

Fl_Boxtype RichTextView::effectiveBox() const { return box() == FL_NO_BOX ? FL_ROUNDED_FRAME : box(); }

void RichTextView::value(const char* text) {
  text_ = text ? text : "";
  set_changed();
  layout();
  topline(0);
  leftline(0);
}

void RichTextView::layout() {
  const Fl_Boxtype b = effectiveBox();
  const int sb = scrollbarSize();
  richtext::LayoutParams params;
  params.width = w() - sb - Fl::box_dw(b);
  params.scrollbarSize = sb;
  params.textFont = textFont_;
  params.textSize = textSize_;
  params.textColour = textColour_;
  params.background = color();
  ToolkitMetrics metrics;
  layout_ = richtext::layoutRichText(text_, params, metrics);
  updateScrollbars();
  redraw();
}

void RichTextView::placeScrollbars() {
  const Fl_Boxtype b = effectiveBox();
  const int sb = scrollbarSize();
  vertical_.resize(x() + w() - (Fl::box_dw(b) - Fl::box_dx(b)) - sb, y() + Fl::box_dy(b), sb,
                   h() - sb - Fl::box_dh(b));
  horizontal_.resize(x() + Fl::box_dx(b), y() + h() - (Fl::box_dh(b) - Fl::box_dy(b)) - sb,
                     w() - sb - Fl::box_dw(b), sb);
}

void RichTextView::resize(int x, int y, int w, int h) {
  Fl_Widget::resize(x, y, w, h);  // the scrollbars are placed below, not scaled by the group
  placeScrollbars();
  layout();
}

int RichTextView::visibleWidth() const {
  return w() - Fl::box_dw(effectiveBox()) - (vertical_.visible() ? scrollbarSize() : 0);
}

int RichTextView::visibleHeight() const {
  return h() - Fl::box_dh(effectiveBox()) - (horizontal_.visible() ? scrollbarSize() : 0);
}

void RichTextView::updateScrollbars() {
  const Fl_Boxtype b = effectiveBox();
  const int sb = scrollbarSize();
  bool showHorizontal = layout_.documentWidth > w() - sb - Fl::box_dw(b);
  bool showVertical = layout_.documentHeight > h() - Fl::box_dh(b) - (showHorizontal ? sb : 0);
  if (showHorizontal) horizontal_.show();
  else horizontal_.hide();
  if (showVertical) vertical_.show();
  else vertical_.hide();
  // The offsets stay where they were, clamped to the new document.
  topline(top_);
  leftline(left_);
}

void RichTextView::topline(int top) {
  const int limit = std::max(0, layout_.documentHeight - visibleHeight());
  top = std::clamp(top, 0, limit);
  vertical_.value(top, visibleHeight(), 0, std::max(layout_.documentHeight, 1));
  if (top != top_) {
    top_ = top;
    do_callback();
  }
  redraw();
}

void RichTextView::leftline(int left) {
  const int limit = std::max(0, layout_.documentWidth - visibleWidth());
  left = std::clamp(left, 0, limit);
  horizontal_.value(left, visibleWidth(), 0, std::max(layout_.documentWidth, 1));
  if (left != left_) {
    left_ = left;
    do_callback();
  }
  redraw();
}

void RichTextView::onVertical(Fl_Widget* bar, void* view) {
  static_cast<RichTextView*>(view)->topline(static_cast<Fl_Scrollbar*>(bar)->value());
}

void RichTextView::onHorizontal(Fl_Widget* bar, void* view) {
  static_cast<RichTextView*>(view)->leftline(static_cast<Fl_Scrollbar*>(bar)->value());
}

int RichTextView::handle(int event) {
  switch (event) {
    case FL_FOCUS:
    case FL_UNFOCUS:
      return 1;
    case FL_MOUSEWHEEL:
      if (vertical_.visible() && Fl::event_dy() != 0) {
        topline(top_ + Fl::event_dy() * 2 * kScrollStep);
        return 1;
      }
      break;
    default:
      break;
  }
  return Fl_Group::handle(event);
}

void RichTextView::draw() {
  const Fl_Boxtype b = effectiveBox();
  const auto background = static_cast<Fl_Color>(layout_.background);
  draw_box(b, x(), y(), w(), h(), background);
  if (vertical_.visible()) draw_child(vertical_);
  if (horizontal_.visible()) draw_child(horizontal_);
  if (vertical_.visible() && horizontal_.visible()) {
    fl_color(FL_BACKGROUND_COLOR);
    fl_rectf(vertical_.x(), horizontal_.y(), vertical_.w(), horizontal_.h());
  }

  const int clipX = x() + Fl::box_dx(b);
  const int clipY = y() + Fl::box_dy(b);
  const int clipW = visibleWidth();
  const int clipH = visibleHeight();
  fl_push_clip(clipX, clipY, clipW, clipH);
  const int originX = clipX - left_;
  const int originY = clipY - top_;
  for (const richtext::Block& block : layout_.blocks) {
    if (block.y + block.h < top_ || block.y > top_ + clipH) continue;
    if (block.cell) {
      if (block.background != layout_.background) {
        fl_color(static_cast<Fl_Color>(block.background));
        fl_rectf(originX + block.x, originY + block.y, block.w, block.h);
      }
      if (block.border) {
        fl_color(textColour_);
        fl_rect(originX + block.x, originY + block.y, block.w, block.h);
      }
    }
    if (block.rule) {
      fl_color(textColour_);
      fl_xyline(originX + block.x, originY + block.y + block.h / 2, originX + block.x + block.w);
    }
    for (std::size_t i = block.firstFragment; i < block.endFragment && i < layout_.fragments.size(); ++i) {
      const richtext::Fragment& f = layout_.fragments[i];
      fl_font(f.font, f.size);
      fl_color(static_cast<Fl_Color>(f.colour));
      fl_draw(f.text.data(), static_cast<int>(f.text.size()), originX + f.x, originY + f.baseline);
      if (f.underline > 0) fl_xyline(originX + f.x, originY + f.baseline + 1, originX + f.x + f.underline);
    }
  }
  fl_pop_clip();
}

}  // namespace sorvimend
