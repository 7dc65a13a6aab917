#pragma once
// A one-line input tied to the button it submits with. Enter, keypad Enter and Space never reach
// the text: they go to the linked button, which presses itself only while it is enabled. An
// optional fixed prefix (the country code of a phone number) comes back when the field gains focus
// holding less than the prefix, and otherwise the part after it is selected so that typing
// replaces the number.

#include <string>

#include <FL/Fl_Input.H>

namespace sorvimend {

class LinkedInput : public Fl_Input {
 public:
  // linked is borrowed and must outlive the field (both are children of the same window).
  LinkedInput(int x, int y, int w, int h, const char* label, Fl_Widget* linked);

  // Also sets the value to the prefix.
  void prefix(const std::string& text);
  const std::string& prefix() const { return prefix_; }

  int handle(int event) override;

 private:
  Fl_Widget* linked_;
  std::string prefix_;
};

// Enter, keypad Enter and Space: the keys that press the button a field is linked to.
[[nodiscard]] bool isSubmitKey(int key);

}  // namespace sorvimend
