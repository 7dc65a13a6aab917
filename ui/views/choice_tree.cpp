#include "ui/views/choice_tree.h"

#include <FL/Fl.H>

#include "ui/views/linked_input.h"
#include "ui/views/rounded_scrollbar.h"

namespace sorvimend {
namespace {
constexpr int scrollbarThickness = 24;
}  // namespace

ChoiceTree::ChoiceTree(int x, int y, int w, int h, Fl_Color selectionColour, Fl_Color knobColour,
                       const ChoiceTreeIcons& icons)
    : Fl_Tree(x, y, w, h) {
  end();
  showroot(0);
  connectorstyle(FL_TREE_CONNECTOR_NONE);
  box(FL_FLAT_BOX);
  item_labelfont(FL_HELVETICA);
  item_labelsize(FL_NORMAL_SIZE);
  sortorder(FL_TREE_SORT_NONE);
  selectbox(FL_FLAT_BOX);
  selection_color(selectionColour);
  selectmode(FL_TREE_SELECT_SINGLE);
  if (icons.open != nullptr) openicon(icons.open);
  if (icons.close != nullptr) closeicon(icons.close);
  scrollbar_size(scrollbarThickness);
  when(FL_WHEN_RELEASE);

  // The tree's scroll handler is private: the new bar keeps the old one's callback.
  Fl_Scrollbar* old = _vscroll;
  auto* rounded = new RoundedScrollbar(*old, knobColour, icons.upArrow, icons.downArrow);
  Fl_Group::remove(old);
  delete old;
  Fl_Group::add(rounded);
  _vscroll = rounded;
}

void ChoiceTree::removeAllItems() {
  set_item_focus(nullptr);
  callback_item(nullptr);
  if (root() != nullptr) clear_children(root());
}

bool ChoiceTree::reportHeader(Fl_Tree_Item* item) {
  if (!isListItem(item) || item == root()) return false;
  callback_item(item);
  callback_reason(FL_TREE_REASON_SELECTED);
  do_callback(this, user_data());
  return true;
}

int ChoiceTree::handle(int event) {
  switch (event) {
    case FL_PUSH:
      if (Fl::event_button() == FL_LEFT_MOUSE) {
        Fl_Tree_Item* item = find_clicked();
        if (isListItem(item) && item != root() && item->event_on_collapse_icon(prefs()) == 0) {
          if (Fl::visible_focus()) take_focus();
          set_item_focus(item);
          swallowingClick_ = true;
          reportHeader(item);
          return 1;
        }
      }
      break;
    case FL_DRAG:
      if (swallowingClick_) return 1;
      break;
    case FL_RELEASE:
      if (swallowingClick_) {
        swallowingClick_ = false;
        return 1;
      }
      break;
    case FL_KEYBOARD:
      if (isSubmitKey(Fl::event_key()) && reportHeader(get_item_focus())) return 1;
      break;
    default:
      break;
  }
  return Fl_Tree::handle(event);
}

}  // namespace sorvimend
