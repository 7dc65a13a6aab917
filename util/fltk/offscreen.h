#pragma once
// RAII for the toolkit's X11 drawing resources: an offscreen pixmap, the scope in which drawing
// goes into it, and images. Header-only, used only by ui/ (the only folder that includes FL/).

#include <FL/Fl.H>
#include <FL/Fl_Device.H>
#include <FL/Fl_Image.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <memory>

namespace sorvimend::fltk {

// An offscreen pixmap of a fixed size; released with the object. Needs the display open.
class Offscreen {
 public:
  Offscreen() = default;
  Offscreen(int width, int height) { create(width, height); }
  ~Offscreen() { release(); }
  // A copy would free the pixmap the original still draws into.
  Offscreen(const Offscreen&) = delete;
  Offscreen& operator=(const Offscreen&) = delete;

  void create(int width, int height) {
    release();
    fl_open_display();
    id_ = fl_create_offscreen(width, height);
    width_ = width;
    height_ = height;
  }
  void release() {
    if (id_ != 0) fl_delete_offscreen(id_);
    id_ = 0;
    width_ = height_ = 0;
  }
  [[nodiscard]] bool valid() const { return id_ != 0; }
  [[nodiscard]] Fl_Offscreen id() const { return id_; }
  [[nodiscard]] int width() const { return width_; }
  [[nodiscard]] int height() const { return height_; }

 private:
  Fl_Offscreen id_ = 0;
  int width_ = 0;
  int height_ = 0;
};

// While alive, drawing goes into the pixmap; the previous target is restored on destruction.
// The same steps as the toolkit's begin/end macros, which cannot span two functions.
class OffscreenScope {
 public:
  explicit OffscreenScope(const Offscreen& target)
      : savedWindow_(fl_window), savedGc_(fl_gc), savedSurface_(Fl_Surface_Device::surface()) {
    fl_window = target.id();
    if (!savedGc_) fl_gc = XCreateGC(fl_display, target.id(), 0, nullptr);
    Fl_Display_Device::display_device()->set_current();
    fl_push_no_clip();
  }
  ~OffscreenScope() {
    fl_pop_clip();
    fl_window = savedWindow_;
    savedSurface_->set_current();
    if (!savedGc_) XFreeGC(fl_display, fl_gc);
    fl_gc = savedGc_;
  }
  OffscreenScope(const OffscreenScope&) = delete;
  OffscreenScope& operator=(const OffscreenScope&) = delete;

 private:
  Window savedWindow_;
  GC savedGc_;
  Fl_Surface_Device* savedSurface_;
};

// Pixels read back with fl_read_image, which allocates them with new[].
struct ReadImageDeleter {
  void operator()(uchar* p) const noexcept { delete[] p; }
};
using ReadPixels = std::unique_ptr<uchar[], ReadImageDeleter>;

inline ReadPixels readImage(int x, int y, int width, int height) {
  return ReadPixels(fl_read_image(nullptr, x, y, width, height));
}

using ImagePtr = std::unique_ptr<Fl_Image>;

}  // namespace sorvimend::fltk
