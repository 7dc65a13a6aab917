#pragma once
// The choice list of the choice view: choice lists as top-level items (bold headers), their
// choices as children, in the order given. A header never becomes selected: clicking it, or
// pressing Enter or Space on it, reports it to the callback with the reason "selected" while the
// selection stays where it was, so that the picked choice is not lost.

#include <FL/Fl_Image.H>
#include <FL/Fl_Tree.H>

namespace sorvimend {

struct ChoiceTreeIcons {
  Fl_Image* open = nullptr;   // shown on a closed list
  Fl_Image* close = nullptr;  // shown on an open list
  Fl_Image* upArrow = nullptr;
  Fl_Image* downArrow = nullptr;
};

class ChoiceTree : public Fl_Tree {
 public:
  // Icons are borrowed and must outlive the tree.
  ChoiceTree(int x, int y, int w, int h, Fl_Color selectionColour, Fl_Color knobColour, const ChoiceTreeIcons& icons);

  int handle(int event) override;

  // Removes every item. Unlike Fl_Tree::clear the root stays, and no pointer into the removed
  // items survives in the tree.
  void removeAllItems();

  static bool isListItem(const Fl_Tree_Item* item) { return item != nullptr && item->has_children() != 0; }

 private:
  bool reportHeader(Fl_Tree_Item* item);

  bool swallowingClick_ = false;
};

}  // namespace sorvimend
