#pragma once
// The one fixed-size window in which the voting takes place: the roadmap bar, the view text, an
// optional title, the widgets a view adds and three navigation buttons. Views are built through
// the operations below and cleared with clearView(); the window never decides what comes next.

#include <FL/Fl_Box.H>
#include <FL/Fl_Double_Window.H>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/action_button.h"
#include "ui/rich_text_view.h"
#include "ui/roadmap_bar.h"
#include "ui/view_layout.h"

namespace sorvimend {

// Everything the window takes from the resources, read by its builder.
struct MainWindowStyle {
  std::string caption;
  Fl_Color active = FL_BLUE;
  Fl_Color inactive = FL_GRAY;
  Fl_Color error = FL_RED;
  Fl_Color passedStage = FL_GREEN;
  Fl_Color currentStage = FL_BLUE;
  Fl_Color futureStage = FL_GRAY;
  int roadmapLabelSize = 14;
  std::string roadmapFontName;  // kept, not used for drawing
  std::vector<std::string> stageLabels;
  int textSize = 14;
  int buttonLabelSize = 16;
};

class MainWindow : public Fl_Double_Window {
 public:
  explicit MainWindow(const MainWindowStyle& style);
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  void setStage(int stage);
  // Size 0 or less: the default text size. Removes an error mark of the previous view.
  void showText(std::string_view text, const Rect& where, int size);
  void showTitle(std::string_view text, const Rect& where, int labelSize, Fl_Color colour, Fl_Align align,
                 Fl_Font font);
  // The right button; with isDefault the left button becomes its partner.
  void setRightButton(std::string_view label, const Rect& where, bool isDefault, std::string_view bmp = {});
  void setLeftButton(std::string_view label, const Rect& where, bool takeFocus, std::string_view bmp = {});
  void setThirdButton(std::string_view label, const Rect& where, std::string_view bmp = {});

  // Shows a widget of the current view, before the navigation buttons. The caller keeps it.
  void addViewWidget(Fl_Widget& widget);
  // The same for a widget the window keeps until it goes.
  template <class W>
  W& adoptViewWidget(std::unique_ptr<W> widget) {
    W& shown = *widget;
    owned_.push_back(std::move(widget));
    addViewWidget(shown);
    return shown;
  }

  // Hides every child and disables the left and right buttons.
  void clearView();
  void showErrorMark(const Rect& where);
  [[nodiscard]] const Rect& errorMark() const { return errorMark_; }

  // Around a modal dialog: wait cursor, buttons disabled, then restored as they were.
  void setBusy();
  void clearBusy();
  [[nodiscard]] bool busy() const { return busy_; }

  // Sets the cover warning when the pointer is inside the window while none of its widgets is
  // under it; redraws on a change.
  void checkCoverWarning();
  [[nodiscard]] bool coverWarning() const { return coverWarning_; }

  RoadmapBar& roadmap() { return roadmap_; }
  RichTextView& text() { return text_; }
  ActionButton& rightButton() { return right_; }
  ActionButton& leftButton() { return left_; }
  ActionButton& thirdButton() { return third_; }
  Fl_Box* titleBox() { return title_.get(); }
  [[nodiscard]] const Rect& content() const { return content_; }
  [[nodiscard]] int defaultTextSize() const { return defaultTextSize_; }

  int handle(int event) override;
  void resize(int x, int y, int w, int h) override;

 protected:
  void draw() override;

 private:
  void configureButton(ActionButton& button, std::string_view label, const Rect& where, std::string_view bmp);
  static void onCoverTimer(void* window);

  RoadmapBar roadmap_;
  RichTextView text_;
  ActionButton right_;
  ActionButton left_;
  ActionButton third_;
  std::unique_ptr<Fl_Box> title_;
  std::vector<std::unique_ptr<Fl_Widget>> owned_;
  Rect content_;
  Rect errorMark_;
  Fl_Color errorColour_;
  int defaultTextSize_;
  bool busy_ = false;
  bool coverWarning_ = false;
};

}  // namespace sorvimend
