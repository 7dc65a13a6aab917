#include "ui/view_manager.h"

#include <FL/Fl.H>

#include <set>

#include "resources/resource_access.h"
#include "ui/focus_frame.h"
#include "ui/icons.h"

namespace sorvimend {
namespace {

constexpr double kAnimationSeconds = 0.03;

Fl_Color colour(ResourceId id) { return static_cast<Fl_Color>(resourceColour(id)); }

// The toolkit keeps the pointer it is given for as long as the font exists, that is for the run:
// names are stored here once and never freed (a set keeps its strings in place).
const char* persistentFontName(const std::string& name) {
  static std::set<std::string> names;
  return names.insert(name).first->c_str();
}

}  // namespace

MainWindowStyle mainWindowStyleFromResources() {
  MainWindowStyle style;
  style.caption = resourceText(ResourceId::RES_UI_CAPTION);
  style.active = colour(ResourceId::RES_UI_COLOR_ACTIVE);
  style.inactive = colour(ResourceId::RES_UI_COLOR_INACTIVE);
  style.error = colour(ResourceId::RES_UI_COLOR_ERROR);
  style.passedStage = colour(ResourceId::RES_UI_COLOR_PASSED_STATE);
  style.currentStage = colour(ResourceId::RES_UI_COLOR_CURRENT_STATE);
  style.futureStage = colour(ResourceId::RES_UI_COLOR_FUTURE_STATE);
  style.roadmapLabelSize = resourceInteger(ResourceId::RES_ROADMAP_FONT_SIZE);
  style.roadmapFontName = resourceText(ResourceId::RES_ROADMAP_FONT_NAME);
  style.stageLabels = {resourceText(ResourceId::RES_ROADMAP_STATE_0), resourceText(ResourceId::RES_ROADMAP_STATE_1),
                       resourceText(ResourceId::RES_ROADMAP_STATE_2), resourceText(ResourceId::RES_ROADMAP_STATE_3)};
  style.textSize = resourceInteger(ResourceId::RES_UI_FONT_SIZE);
  style.buttonLabelSize = resourceInteger(ResourceId::RES_UI_BTN_FONT_SIZE);
  return style;
}

void setForegroundColour(Fl_Color c) {
  unsigned char r = 0, g = 0, b = 0;
  Fl::get_color(c, r, g, b);  // resolves both direct RGB values and colour-map indices
  Fl::foreground(r, g, b);
}

ViewManager::ViewManager() { build(); }

ViewManager::~ViewManager() {
  Fl::remove_timeout(onAnimationTick, this);
  if (window_) window_->hide();
  // The animation is a child of the window: the window goes first, keeping its children alive.
  window_.reset();
  animation_.reset();
}

void ViewManager::build() {
  installFocusFrame(colour(ResourceId::RES_UI_COLOR_ACTIVE), colour(ResourceId::RES_UI_COLOR_INACTIVE));
  setForegroundColour(colour(ResourceId::RES_UI_COLOR_TEXT));
  Fl::remove_timeout(onAnimationTick, this);
  window_.reset();
  animation_.reset();

  Fl_Group::current(nullptr);
  Fl_Window::default_icon(&applicationIconRgb());
  window_ = std::make_unique<MainWindow>(mainWindowStyleFromResources());
  Fl::visual(FL_RGB);
  window_->show();
  window_->clearView();
  applyFont(resourceText(ResourceId::RES_UI_FONT_NAME));
}

void ViewManager::applyFont(const std::string& family) {
  fontName_ = family;
  if (!fontName_.empty() && (fontName_[0] == 'B' || fontName_[0] == 'I' || fontName_[0] == 'P')) {
    fontName_.insert(0, " ");
  }
  Fl::set_font(FL_HELVETICA, persistentFontName(fontName_));
  if (window_) window_->text().layout();
}

void ViewManager::startTimer(int milliseconds, TimerCallback callback) {
  Fl::add_timeout(milliseconds / 1000.0, callback, nullptr);
}

void ViewManager::closeWindow() { window_->hide(); }

void ViewManager::clearView() { window_->clearView(); }

void ViewManager::connectControls(UiEventHandler handler) {
  handler_ = std::move(handler);
  window_->callback(onWindowClose, this);
  window_->leftButton().callback(onLeft, this);
  window_->rightButton().callback(onRight, this);
  window_->thirdButton().callback(onThird, this);
}

void ViewManager::onWindowClose(Fl_Widget*, void* manager) {
  static_cast<ViewManager*>(manager)->report(UiEvent::CloseRequest);
}

void ViewManager::onLeft(Fl_Widget* button, void* manager) {
  if (!static_cast<ActionButton*>(button)->disabled()) static_cast<ViewManager*>(manager)->report(UiEvent::LeftButton);
}

void ViewManager::onRight(Fl_Widget* button, void* manager) {
  if (!static_cast<ActionButton*>(button)->disabled()) {
    static_cast<ViewManager*>(manager)->report(UiEvent::RightButton);
  }
}

void ViewManager::onThird(Fl_Widget* button, void* manager) {
  if (!static_cast<ActionButton*>(button)->disabled()) {
    static_cast<ViewManager*>(manager)->report(UiEvent::ThirdButton);
  }
}

void ViewManager::startWaitAnimation() {
  if (!animation_) {
    const Rect& r = viewLayout().animation;
    Fl_Group::current(nullptr);
    animation_ = std::make_unique<WaitAnimation>(r.x, r.y, r.w, colour(ResourceId::RES_UI_COLOR_ANIMATION));
    window_->addViewWidget(*animation_);
  } else {
    animation_->reset();
    animation_->show();
  }
  Fl::remove_timeout(onAnimationTick, this);
  Fl::add_timeout(kAnimationSeconds, onAnimationTick, this);
}

void ViewManager::stopWaitAnimation() { Fl::remove_timeout(onAnimationTick, this); }

void ViewManager::onAnimationTick(void* manager) {
  auto* self = static_cast<ViewManager*>(manager);
  if (self->animation_) self->animation_->redraw();
  Fl::repeat_timeout(kAnimationSeconds, onAnimationTick, manager);
}

}  // namespace sorvimend
