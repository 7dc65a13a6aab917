#pragma once
// Read-only view of a text in the program's small HTML subset, with scrollbars when the text does
// not fit. Never reports an error: malformed markup is shown as well as it can be. Holds its own
// copy of the text; layout runs on value(), on resize and when its users ask.

#include <FL/Fl_Group.H>
#include <FL/Fl_Scrollbar.H>

#include <string>
#include <string_view>

#include "ui/rich_text_layout.h"

namespace sorvimend {

class RichTextView : public Fl_Group {
 public:
  RichTextView(int x, int y, int w, int h, const char* label = nullptr);
  ~RichTextView() override;
  RichTextView(const RichTextView&) = delete;
  RichTextView& operator=(const RichTextView&) = delete;

  // Replaces the text (null: empty), lays it out and scrolls to the top left.
  void value(const char* text);
  void value(std::string_view text) { value(std::string(text).c_str()); }
  [[nodiscard]] const std::string& value() const { return text_; }
  [[nodiscard]] const std::string& title() const { return layout_.title; }

  void textfont(Fl_Font font) { textFont_ = font; }
  [[nodiscard]] Fl_Font textfont() const { return textFont_; }
  void textsize(Fl_Fontsize size) { textSize_ = size; }
  [[nodiscard]] Fl_Fontsize textsize() const { return textSize_; }
  void textcolor(Fl_Color colour) { textColour_ = colour; }
  [[nodiscard]] Fl_Color textcolor() const { return textColour_; }
  // 0: the toolkit's global scrollbar size.
  void scrollbarSize(int size) { scrollbarSize_ = size; }
  [[nodiscard]] int scrollbarSize() const;

  void layout();
  void resize(int x, int y, int w, int h) override;

  // Vertical and horizontal scroll offsets in pixels, clamped to the document.
  void topline(int top);
  [[nodiscard]] int topline() const { return top_; }
  void leftline(int left);
  [[nodiscard]] int leftline() const { return left_; }

  [[nodiscard]] bool verticalScrollbarVisible() const { return vertical_.visible() != 0; }
  [[nodiscard]] bool horizontalScrollbarVisible() const { return horizontal_.visible() != 0; }
  [[nodiscard]] const richtext::Layout& currentLayout() const { return layout_; }

  int handle(int event) override;

 protected:
  void draw() override;

 private:
  static void onVertical(Fl_Widget* bar, void* view);
  static void onHorizontal(Fl_Widget* bar, void* view);
  Fl_Boxtype effectiveBox() const;
  void placeScrollbars();
  void updateScrollbars();
  int visibleWidth() const;
  int visibleHeight() const;

  std::string text_;
  Fl_Font textFont_ = FL_HELVETICA;
  Fl_Fontsize textSize_ = 12;
  Fl_Color textColour_ = FL_FOREGROUND_COLOR;
  int scrollbarSize_ = 0;
  richtext::Layout layout_;
  int top_ = 0;
  int left_ = 0;
  Fl_Scrollbar vertical_;
  Fl_Scrollbar horizontal_;
};

}  // namespace sorvimend
