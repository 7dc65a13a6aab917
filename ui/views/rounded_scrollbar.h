#pragma once
// A scrollbar with round ends and a thin rounded knob, put in place of a widget's own scrollbar.
// It takes over the replaced bar's geometry, orientation, line step and callback, and starts
// hidden (the owner shows it when the content overflows).

#include <FL/Fl_Image.H>
#include <FL/Fl_Scrollbar.H>

namespace sorvimend {

class RoundedScrollbar : public Fl_Scrollbar {
 public:
  // The arrow images are borrowed (the built-in icons live for the whole program); either may be
  // null, then that end shows only its circle.
  RoundedScrollbar(const Fl_Scrollbar& replaced, Fl_Color knobColour, Fl_Image* upArrow, Fl_Image* downArrow);

  void draw() override;

 private:
  [[nodiscard]] bool vertical() const;

  Fl_Color ringColour_;
  Fl_Image* upArrow_;
  Fl_Image* downArrow_;
};

}  // namespace sorvimend
