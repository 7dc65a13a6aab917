#include "ui/views/search_input.h"

#include <FL/Fl.H>

namespace sorvimend {
namespace {
constexpr Fl_Color placeholderColour = FL_BACKGROUND_COLOR;
constexpr Fl_Color typingColour = FL_FOREGROUND_COLOR;
constexpr int searchTextSize = 18;
}  // namespace

SearchInput::SearchInput(int x, int y, int w, int h, const std::string& placeholder)
    : Fl_Input(x, y, w, h), placeholder_(placeholder) {
  box(FL_NO_BOX);
  textsize(searchTextSize);
  when(FL_WHEN_CHANGED);
  labeltype(FL_NO_LABEL);
  showPlaceholder();
}

void SearchInput::showPlaceholder() {
  textcolor(placeholderColour);
  Fl_Input::value(placeholder_.c_str());
}

void SearchInput::startTyping() {
  textcolor(typingColour);
  Fl_Input::value("");
}

bool SearchInput::showingPlaceholder() const { return textcolor() == placeholderColour; }

void SearchInput::searchText(const char* text) {
  if (text == nullptr || *text == '\0') {
    showPlaceholder();
  } else {
    textcolor(typingColour);
    Fl_Input::value(text);
  }
}

std::string SearchInput::searchText() const {
  if (showingPlaceholder()) return {};
  return std::string(value(), static_cast<std::size_t>(size()));
}

void SearchInput::accessibleName(const std::string& name) { copy_label(name.c_str()); }

int SearchInput::handle(int event) {
  // Up and down belong to the toolkit's focus navigation. Only key events are refused: refusing
  // the focus change that follows would leave the field empty without its placeholder.
  const int key = Fl::event_key();
  const bool keyEvent = event == FL_KEYBOARD || event == FL_KEYUP || event == FL_SHORTCUT;
  if (keyEvent && (key == FL_Up || key == FL_Down)) return 0;
  switch (event) {
    case FL_UNFOCUS:
      if (searchText().empty()) showPlaceholder();
      redraw();
      break;
    case FL_FOCUS:
    case FL_KEYBOARD:
      if (searchText().empty()) startTyping();
      redraw();
      break;
    default:
      break;
  }
  return Fl_Input::handle(event);
}

}  // namespace sorvimend
