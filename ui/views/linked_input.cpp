#include "ui/views/linked_input.h"

#include <cstring>

#include <FL/Fl.H>

namespace sorvimend {

bool isSubmitKey(int key) {
  // Keypad Enter differs from Enter only in bit 7 of the key code.
  const int plain = key & ~0x80;
  return plain == FL_Enter || key == ' ';
}

LinkedInput::LinkedInput(int x, int y, int w, int h, const char* label, Fl_Widget* linked)
    : Fl_Input(x, y, w, h), linked_(linked) {
  if (label != nullptr) copy_label(label);
  box(FL_ROUNDED_FRAME);
  when(FL_WHEN_CHANGED);
}

void LinkedInput::prefix(const std::string& text) {
  prefix_ = text;
  value(prefix_.c_str());
}

int LinkedInput::handle(int event) {
  switch (event) {
    case FL_KEYBOARD:
      if (isSubmitKey(Fl::event_key())) return linked_ != nullptr ? linked_->handle(event) : 0;
      break;
    case FL_FOCUS: {
      redraw();
      const int used = Fl_Input::handle(event);
      if (!prefix_.empty()) {
        const char* text = value();
        const std::size_t length = text != nullptr ? static_cast<std::size_t>(size()) : 0;
        if (length < prefix_.size()) {
          value(prefix_.c_str());
          // The model follows what the field shows.
          do_callback();
        } else if (std::strncmp(text, prefix_.c_str(), prefix_.size()) == 0) {
          position(static_cast<int>(prefix_.size()), size());
        }
      }
      return used;
    }
    default:
      break;
  }
  return Fl_Input::handle(event);
}

}  // namespace sorvimend
