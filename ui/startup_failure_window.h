#pragma once
// The only window of a run whose resource bundle cannot be used: a fixed Estonian message, since
// no text of the bundle can be trusted. Uses no resource.

#include <FL/Fl_Double_Window.H>

#include "ui/rich_text_view.h"

namespace sorvimend {

class StartupFailureWindow : public Fl_Double_Window {
 public:
  static constexpr const char* kTitle = "Viga";
  static const char* const kText;

  StartupFailureWindow();
  ~StartupFailureWindow() override;
  StartupFailureWindow(const StartupFailureWindow&) = delete;
  StartupFailureWindow& operator=(const StartupFailureWindow&) = delete;

  RichTextView& text() { return text_; }

 private:
  RichTextView text_;
};

// Shows the page and runs the event loop until it is closed; returns the exit status (0).
int runStartupFailurePage();

}  // namespace sorvimend
