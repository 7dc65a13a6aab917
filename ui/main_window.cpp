#include "ui/main_window.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include "ui/icons.h"

namespace sorvimend {
namespace {

constexpr double kCoverCheckSeconds = 0.3;
constexpr double kBusyWaitSeconds = 1.0;

}  // namespace

MainWindow::MainWindow(const MainWindowStyle& style)
    : Fl_Double_Window(ViewLayout::kWindowWidth, ViewLayout::kWindowHeight),
      roadmap_(viewLayout().roadmap.x, viewLayout().roadmap.y, viewLayout().roadmap.w, viewLayout().roadmap.h,
               style.passedStage, style.currentStage, style.futureStage, style.roadmapLabelSize),
      text_(viewLayout().textTop.x, viewLayout().textTop.y, viewLayout().textTop.w, viewLayout().textTop.h),
      right_(viewLayout().rightButton.x, viewLayout().rightButton.y, ViewLayout::kButtonWidth,
             ViewLayout::kButtonHeight, style.active, style.inactive, style.buttonLabelSize),
      left_(viewLayout().leftButton.x, viewLayout().leftButton.y, ViewLayout::kButtonWidth, ViewLayout::kButtonHeight,
            style.active, style.inactive, style.buttonLabelSize),
      third_(viewLayout().rightButton.x, viewLayout().rightButton.y, ViewLayout::kButtonWidth,
             ViewLayout::kButtonHeight, style.active, style.inactive, style.buttonLabelSize),
      content_{0, viewLayout().roadmap.h, ViewLayout::kWindowWidth, ViewLayout::kWindowHeight - viewLayout().roadmap.h},
      errorColour_(style.error),
      defaultTextSize_(style.textSize) {
  end();
  copy_label(style.caption.c_str());
  color(FL_WHITE);
  xclass("Sorvimend");
  for (const std::string& label : style.stageLabels) roadmap_.addStage(label);
  text_.box(FL_FLAT_BOX);
  text_.color(FL_WHITE);
  text_.textfont(FL_HELVETICA);
  text_.textsize(style.textSize);
  clearView();
  Fl::add_timeout(kCoverCheckSeconds, onCoverTimer, this);
}

MainWindow::~MainWindow() {
  Fl::remove_timeout(onCoverTimer, this);
  // Every child is owned elsewhere (members, owned_, the view manager): the group deletes none.
  while (children() > 0) remove(child(0));
}

void MainWindow::setStage(int stage) {
  roadmap_.stage(stage);
  roadmap_.show();
}

void MainWindow::showText(std::string_view text, const Rect& where, int size) {
  if (errorMark_.w != 0) damage(FL_DAMAGE_ALL);
  errorMark_.w = 0;
  text_.value(text);
  text_.textsize(size > 0 ? size : defaultTextSize_);
  text_.resize(where.x, where.y, where.w, where.h);  // lays the text out at its size
  text_.show();
}

void MainWindow::showTitle(std::string_view text, const Rect& where, int labelSize, Fl_Color colour, Fl_Align align,
                           Fl_Font font) {
  if (!title_) {
    Fl_Group* saved = Fl_Group::current();
    Fl_Group::current(nullptr);
    title_ = std::make_unique<Fl_Box>(where.x, where.y, where.w, where.h);
    Fl_Group::current(saved);
    title_->box(FL_NO_BOX);
    insert(*title_, 1);
  } else {
    title_->resize(where.x, where.y, where.w, where.h);
  }
  title_->copy_label(std::string(text).c_str());
  title_->labelsize(labelSize);
  title_->labelfont(font);
  title_->labelcolor(colour);
  title_->align(align);
  title_->show();
  redraw();
}

void MainWindow::configureButton(ActionButton& button, std::string_view label, const Rect& where,
                                 std::string_view bmp) {
  button.resetColour();
  button.resize(where.x, where.y, where.w, where.h);
  button.text(label);
  button.disabled(false);
  button.picture(bmp);
  if (busy_) button.saveAndDisable();
}

void MainWindow::setRightButton(std::string_view label, const Rect& where, bool isDefault, std::string_view bmp) {
  right_.partner(isDefault ? &left_ : nullptr);
  configureButton(right_, label, where, bmp);
  right_.show();
  redraw();
}

void MainWindow::setLeftButton(std::string_view label, const Rect& where, bool takeFocus, std::string_view bmp) {
  left_.partner(nullptr);
  configureButton(left_, label, where, bmp);
  left_.show();
  if (!busy_ && takeFocus) left_.take_focus();
  redraw();
}

void MainWindow::setThirdButton(std::string_view label, const Rect& where, std::string_view bmp) {
  third_.partner(nullptr);
  configureButton(third_, label, where, bmp);
  third_.show();
  redraw();
}

void MainWindow::addViewWidget(Fl_Widget& widget) {
  begin();
  insert(widget, find(right_));  // drawn after the text, before the navigation buttons
  end();
  widget.show();
}

void MainWindow::clearView() {
  for (int i = 0; i < children(); ++i) child(i)->hide();
  right_.disabled(true);
  left_.disabled(true);
  right_.clearFocused();
  left_.clearFocused();
  redraw();
}

void MainWindow::showErrorMark(const Rect& where) {
  errorMark_ = where;
  redraw();
}

void MainWindow::setBusy() {
  cursor(FL_CURSOR_WAIT);
  right_.saveAndDisable();
  left_.saveAndDisable();
  third_.saveAndDisable();
  redraw();
  Fl::wait(kBusyWaitSeconds);
  busy_ = true;
}

void MainWindow::clearBusy() {
  cursor(FL_CURSOR_DEFAULT);
  right_.restoreDisabled();
  left_.restoreDisabled();
  third_.restoreDisabled();
  redraw();
  Fl::wait(kBusyWaitSeconds);
  busy_ = false;
}

void MainWindow::checkCoverWarning() {
  int mx = 0, my = 0;
  Fl::get_mouse(mx, my);
  bool inside = mx >= x() && mx <= x() + w() && my >= y() && my <= y() + h();
  bool covered = inside && Fl::belowmouse() == nullptr;
  if (covered != coverWarning_) {
    coverWarning_ = covered;
    redraw();
  }
}

void MainWindow::onCoverTimer(void* window) {
  auto* self = static_cast<MainWindow*>(window);
  if (self->shown()) self->checkCoverWarning();
  Fl::repeat_timeout(kCoverCheckSeconds, onCoverTimer, window);
}

int MainWindow::handle(int event) {
  // FL_SHORTCUT arrives instead of FL_KEYBOARD when no widget holds the focus (after clearView).
  if ((event == FL_KEYBOARD || event == FL_SHORTCUT) && right_.inDefaultState() && isPressKey(Fl::event_key())) {
    return right_.handle(FL_KEYBOARD);
  }
  if (event == FL_MOVE) checkCoverWarning();
  return Fl_Double_Window::handle(event);
}

void MainWindow::resize(int x, int y, int w, int h) {
  Fl_Double_Window::resize(x, y, w, h);
  if (shown()) checkCoverWarning();
}

void MainWindow::draw() {
  Fl_Double_Window::draw();
  if (coverWarning_) {
    fl_color(FL_RED);
    for (int inset = 2; inset <= 4; ++inset) {
      fl_rect(content_.x + inset, content_.y + inset, content_.w - 2 * inset, content_.h - 2 * inset);
    }
  }
  if (errorMark_.w > 0 && errorMark_.h > 0) {
    const Rect& m = errorMark_;
    fl_color(errorColour_);
    fl_line_style(FL_SOLID, 2);
    fl_arc(m.x, m.y, m.w, m.h, 0, 360);
    int cx = m.x + m.w / 2;
    int cy = m.y + m.h / 2;
    int a = (m.w + 2) / 6;
    fl_line(cx - a, cy - a, cx + a, cy + a);
    fl_line(cx - a, cy + a, cx + a, cy - a);
    fl_line_style(0);
  }
}

}  // namespace sorvimend
