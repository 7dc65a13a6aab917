#pragma once
// The built-in pictures as toolkit images, created on first use and kept until the program ends.

#include <FL/Fl_Pixmap.H>
#include <FL/Fl_RGB_Image.H>

namespace sorvimend {

Fl_Pixmap& applicationIcon();
// The application icon with its transparent pixels set to FL_BACKGROUND_COLOR: the window icon.
const Fl_RGB_Image& applicationIconRgb();
Fl_Pixmap& clearIcon();
Fl_Pixmap& magnifierIcon();
Fl_Pixmap& openIcon();
Fl_Pixmap& closeIcon();
Fl_Pixmap& upArrowIcon();
Fl_Pixmap& downArrowIcon();

}  // namespace sorvimend
