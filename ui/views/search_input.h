#pragma once
// The search field of the choice view. While empty it shows a grey placeholder as its text; the
// field counts as showing the placeholder exactly when its text colour is the placeholder colour,
// and searchText() is empty then. The up and down keys are left to the toolkit's focus navigation.

#include <string>

#include <FL/Fl_Input.H>

namespace sorvimend {

class SearchInput : public Fl_Input {
 public:
  SearchInput(int x, int y, int w, int h, const std::string& placeholder);

  // Empty text or null shows the placeholder.
  void searchText(const char* text);
  // The typed text; empty while the placeholder shows.
  [[nodiscard]] std::string searchText() const;
  [[nodiscard]] bool showingPlaceholder() const;

  // The name a screen reader announces; kept as the label and never drawn.
  void accessibleName(const std::string& name);

  int handle(int event) override;

 private:
  void showPlaceholder();
  void startTyping();

  std::string placeholder_;
};

}  // namespace sorvimend
