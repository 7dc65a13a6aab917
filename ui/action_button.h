#pragma once
// The wizard's push button: rounded, drawn in its own colours, with an optional BMP picture left
// of the label. Its own disabled flag (independent of the toolkit's activation) keeps it receiving
// events while it reports nothing. A button with a partner is the default button of its view: it
// takes Enter unless the partner has keyboard focus.

#include <FL/Fl_Button.H>

#include <memory>
#include <string>
#include <string_view>

#include "ui/bmp_image.h"

namespace sorvimend {

class ActionButton : public Fl_Button {
 public:
  enum class Look { Disabled, Outline, OutlineCurrent, Filled };

  // `base` is the base, current and text colour; `border` also fills the button while disabled.
  ActionButton(int x, int y, int w, int h, Fl_Color base, Fl_Color border, int labelSize,
               std::string fontName = {});
  ~ActionButton() override;

  void text(std::string_view label);  // copied
  [[nodiscard]] Fl_Color baseColour() const { return base_; }
  void currentColour(Fl_Color colour);
  [[nodiscard]] Fl_Color currentColour() const { return current_; }
  void resetColour() { currentColour(base_); }
  [[nodiscard]] Fl_Color borderColour() const { return border_; }

  void disabled(bool value);
  [[nodiscard]] bool disabled() const { return disabled_; }
  // For the busy state: remember the flag and disable; restore what was remembered.
  void saveAndDisable();
  void restoreDisabled();

  [[nodiscard]] bool focused() const { return focused_; }
  void clearFocused() { focused_ = false; }
  void partner(ActionButton* partner) { partner_ = partner; }
  [[nodiscard]] ActionButton* partner() const { return partner_; }
  // Enabled, with a partner that does not have keyboard focus.
  [[nodiscard]] bool inDefaultState() const;

  // Replaces the picture: a buffer of more than one byte is decoded, and kept unless it has no
  // width, height or depth.
  void picture(std::string_view bmpBytes);
  [[nodiscard]] const BmpImage* picture() const { return picture_.get(); }

  [[nodiscard]] Look look() const;
  [[nodiscard]] const std::string& fontName() const { return fontName_; }

  int handle(int event) override;

 protected:
  void draw() override;

 private:
  Fl_Color base_;
  Fl_Color current_;
  Fl_Color border_;
  Fl_Color text_;
  std::string fontName_;
  bool disabled_ = false;
  bool savedDisabled_ = false;
  bool focused_ = false;
  ActionButton* partner_ = nullptr;
  std::unique_ptr<BmpImage> picture_;
};

// Enter, keypad Enter (bit 7 cleared) or Space: the keys that press a button.
bool isPressKey(int key);

}  // namespace sorvimend
