#pragma once
// The rounded frame drawn around input fields (replacing the toolkit's FL_ROUNDED_FRAME box) and
// the rounded shapes the buttons share with it.

#include <FL/Enumerations.H>

namespace sorvimend {

// Replaces FL_ROUNDED_FRAME with the focus frame; its border is `active` on the widget that has
// keyboard focus and `inactive` on every other. Insets 9, 9, 18, 18.
void installFocusFrame(Fl_Color active, Fl_Color inactive);
Fl_Color focusFrameActive();
Fl_Color focusFrameInactive();

// The frame itself: filled with `fill`, a 2-pixel rounded border in `border`.
void drawFocusFrame(int x, int y, int w, int h, Fl_Color fill, Fl_Color border);
// A filled rectangle with corners of radius r, in the current colour.
void fillRoundedRect(int x, int y, int w, int h, int r);

}  // namespace sorvimend
