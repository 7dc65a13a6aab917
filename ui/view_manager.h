#pragma once
// Owns the main window and offers the framework every view is built with: the toolkit settings,
// the timers, clearing, the waiting animation and the event callbacks. The views themselves (the
// show operations, the dialogs) are implemented on top of this class by the views library; this
// class leaves them abstract.

#include <memory>
#include <string>

#include "app/view_port.h"
#include "ui/main_window.h"
#include "ui/view_layout.h"
#include "ui/wait_animation.h"

namespace sorvimend {

// Reads the window's resources (colours, sizes, caption, stage labels). Fetched anew each call.
MainWindowStyle mainWindowStyleFromResources();

class ViewManager : public ViewPort {
 public:
  ViewManager();
  ~ViewManager() override;
  ViewManager(const ViewManager&) = delete;
  ViewManager& operator=(const ViewManager&) = delete;

  void startTimer(int milliseconds, TimerCallback callback) override;
  void closeWindow() override;
  void clearView() override;
  void connectControls(UiEventHandler handler) override;
  void startWaitAnimation() override;
  void stopWaitAnimation() override;

  MainWindow& window() { return *window_; }
  [[nodiscard]] ViewLayout layout() const { return viewLayout(); }
  WaitAnimation* waitAnimation() { return animation_.get(); }
  [[nodiscard]] const std::string& fontName() const { return fontName_; }

  // The toolkit's font 0 becomes the named family; a family starting with a style letter (B, I,
  // P) gets the plain-style prefix.
  void applyFont(const std::string& family);

 protected:
  // Creates the window; called once by the constructor.
  void build();
  void report(UiEvent event) {
    if (handler_) handler_(event);
  }

 private:
  static void onWindowClose(Fl_Widget* window, void* manager);
  static void onLeft(Fl_Widget* button, void* manager);
  static void onRight(Fl_Widget* button, void* manager);
  static void onThird(Fl_Widget* button, void* manager);
  static void onAnimationTick(void* manager);

  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<WaitAnimation> animation_;
  std::string fontName_;
  UiEventHandler handler_;
};

// Colour of the resources (0xRRGGBB00, or an index below 256) as the toolkit's foreground.
void setForegroundColour(Fl_Color colour);

}  // namespace sorvimend
