#include "ui/views/rounded_fill.h"

#include <FL/fl_draw.H>

namespace sorvimend {

void fillRoundedRect(int x, int y, int w, int h, int r) {
  const int d = 2 * r;
  fl_rectf(x, y + r, w, h - d);
  fl_rectf(x + r, y, w - d, r);
  fl_rectf(x + r, y + h - r, w - d, r);
  fl_pie(x, y, d, d, 90, 180);
  fl_pie(x + w - d, y, d, d, 0, 90);
  fl_pie(x, y + h - d, d, d, 180, 270);
  fl_pie(x + w - d, y + h - d, d, d, 270, 360);
}

}  // namespace sorvimend
