#include "ui/action_button.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include "ui/focus_frame.h"

namespace sorvimend {
namespace {

constexpr int kCornerRadius = 12;
constexpr int kPictureGap = 8;

}  // namespace

bool isPressKey(int key) {
  int k = key & ~0x80;
  return k == FL_Enter || k == ' ';
}

ActionButton::ActionButton(int x, int y, int w, int h, Fl_Color base, Fl_Color border, int labelSize,
                           std::string fontName)
    : Fl_Button(x, y, w, h),
      base_(base),
      current_(base),
      border_(border),
      text_(base),
      fontName_(std::move(fontName)) {
  box(FL_NO_BOX);
  labelsize(labelSize);
  labelfont(FL_HELVETICA_BOLD);
}

ActionButton::~ActionButton() = default;

void ActionButton::text(std::string_view label) { copy_label(std::string(label).c_str()); }

void ActionButton::currentColour(Fl_Color colour) {
  if (current_ != colour) redraw();
  current_ = colour;
}

void ActionButton::disabled(bool value) {
  if (disabled_ != value) redraw();
  disabled_ = value;
}

void ActionButton::saveAndDisable() {
  savedDisabled_ = disabled_;
  disabled(true);
}

void ActionButton::restoreDisabled() { disabled(savedDisabled_); }

bool ActionButton::inDefaultState() const { return !disabled_ && partner_ != nullptr && !partner_->focused_; }

void ActionButton::picture(std::string_view bmpBytes) {
  picture_.reset();
  if (bmpBytes.size() > 1) {
    auto decoded = std::make_unique<BmpImage>(bmpBytes);
    if (decoded->usable()) picture_ = std::move(decoded);
  }
  redraw();
}

ActionButton::Look ActionButton::look() const {
  if (disabled_) return Look::Disabled;
  if (!focused_ && !inDefaultState()) return Look::Outline;
  return picture_ ? Look::OutlineCurrent : Look::Filled;
}

int ActionButton::handle(int event) {
  switch (event) {
    case FL_KEYBOARD:
      if (isPressKey(Fl::event_key())) {
        set_changed();
        if (when() & FL_WHEN_RELEASE) do_callback();
        return 1;
      }
      break;
    case FL_FOCUS:
    case FL_UNFOCUS:
      focused_ = event == FL_FOCUS;
      redraw();
      // The partner draws differently once this button has or loses focus.
      if (parent()) parent()->redraw();
      break;
    default:
      break;
  }
  return Fl_Button::handle(event);
}

void ActionButton::draw() {
  // Corners outside the rounding show the parent's background.
  fl_color(parent() ? parent()->color() : FL_WHITE);
  fl_rectf(x(), y(), w(), h());
  Fl_Color labelColour = FL_WHITE;
  switch (look()) {
    case Look::Disabled:
      fl_color(border_);
      fillRoundedRect(x(), y(), w(), h(), kCornerRadius);
      break;
    case Look::Outline:
      drawFocusFrame(x(), y(), w(), h(), FL_WHITE, border_);
      labelColour = text_;
      break;
    case Look::OutlineCurrent:
      drawFocusFrame(x(), y(), w(), h(), FL_WHITE, current_);
      labelColour = text_;
      break;
    case Look::Filled:
      fl_color(current_);
      fillRoundedRect(x(), y(), w(), h(), kCornerRadius);
      break;
  }

  const char* text = label();
  bool hasText = text != nullptr && *text != '\0';
  fl_font(FL_HELVETICA_BOLD, labelsize());
  if (picture_) {
    int textWidth = hasText ? static_cast<int>(fl_width(text)) : 0;
    int total = picture_->w() + (hasText ? kPictureGap + textWidth : 0);
    int left = x() + (w() - total) / 2;
    picture_->draw(left, y() + (h() - picture_->h()) / 2);
    if (hasText) {
      fl_color(labelColour);
      fl_draw(text, left + picture_->w() + kPictureGap, y(), textWidth, h(), FL_ALIGN_LEFT);
    } else if (Fl::focus() == this) {
      draw_focus();
    }
  } else if (hasText) {
    fl_color(labelColour);
    fl_draw(text, x(), y(), w(), h(), FL_ALIGN_CENTER);
  }
}

}  // namespace sorvimend
