#pragma once
// A filled rectangle with quarter-circle corners of radius r in the current colour, built from
// three rectangles and four pies so that it has no outline of its own.

namespace sorvimend {

void fillRoundedRect(int x, int y, int w, int h, int r);

}  // namespace sorvimend
