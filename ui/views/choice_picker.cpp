#include "ui/views/choice_picker.h"

#include <utility>

#include <FL/Fl.H>

#include "ui/views/choice_search.h"
#include "ui/views/choice_tree.h"
#include "ui/views/search_input.h"
#include "util/regex.h"

namespace sorvimend {
namespace {
constexpr Fl_Font listFont = FL_HELVETICA_BOLD;
constexpr Fl_Fontsize listSize = 17;
}  // namespace

ChoicePicker::ChoicePicker(std::vector<PickerList> lists, const void* pickedKey, ChoiceTree& tree,
                           SearchInput& search, Texts texts, Hooks hooks)
    : lists_(std::move(lists)), tree_(tree), search_(search), texts_(std::move(texts)), hooks_(std::move(hooks)) {
  if (pickedKey != nullptr) {
    for (const PickerList& list : lists_) {
      for (const PickerChoice& choice : list.choices) {
        if (choice.key == pickedKey) pickedChoice_ = &choice;
      }
    }
  }
  search_.accessibleName(texts_.unfilteredName);
  fill({});
  if (pickedItem_ != nullptr) {
    tree_.select(pickedItem_, 0);
    // Scrolling does nothing before the tree's first drawing.
    Fl::add_timeout(0.0, showPickedLater, this);
  }
}

ChoicePicker::~ChoicePicker() { Fl::remove_timeout(showPickedLater, this); }

void ChoicePicker::showPickedLater(void* self) { static_cast<ChoicePicker*>(self)->showPickedInMiddle(); }

void ChoicePicker::showPickedInMiddle() {
  if (pickedItem_ != nullptr) tree_.show_item_middle(pickedItem_);
}

void ChoicePicker::fill(const std::string& pattern) {
  pickedItem_ = nullptr;
  tree_.removeAllItems();
  // end() would leave the window as the current group for whatever is created next.
  Fl_Group* const outer = Fl_Group::current();
  tree_.begin();
  const Regex filter(pattern, Regex::Options{true, true});
  const bool filtering = !pattern.empty();
  Fl_Tree_Item* root = tree_.root();
  for (const PickerList& list : lists_) {
    Fl_Tree_Item* listItem = tree_.add(root, list.name.c_str());
    if (listItem == nullptr) continue;
    if (closeLists_ && !filtering) listItem->close();
    listItem->labelfont(listFont);
    listItem->labelsize(listSize);
    listItem->labelfgcolor(texts_.listColour);
    for (const PickerChoice& choice : list.choices) {
      const bool isPicked = &choice == pickedChoice_;
      if (!isPicked && filtering && !filter.fullMatch(choice.itemText)) continue;
      Fl_Tree_Item* item = tree_.add(listItem, choice.itemText.c_str());
      if (item == nullptr) continue;
      item->user_data(const_cast<PickerChoice*>(&choice));
      if (isPicked) {
        pickedItem_ = item;
        listItem->open();
      }
    }
    if (listItem->children() == 0) tree_.remove(listItem);
  }
  tree_.end();
  Fl_Group::current(outer);
  tree_.recalc_tree();
}

void ChoicePicker::search() {
  const ChoiceSearch search = choiceSearchFor(search_.searchText());
  search_.accessibleName(search.characters >= 2 ? texts_.filteredName : texts_.unfilteredName);
  if (hooks_.clearButtonActive) hooks_.clearButtonActive(search.characters > 0);
  fill(search.pattern);
  if (pickedItem_ != nullptr) {
    tree_.select(pickedItem_, 0);
    showPickedInMiddle();
  }
  if (tree_.root() == nullptr || tree_.root()->children() == 0) {
    Fl_Tree_Item* empty = tree_.add(tree_.root(), texts_.emptyResult.c_str());
    if (empty != nullptr) {
      empty->labelfont(listFont);
      empty->labelsize(listSize);
      empty->labelfgcolor(FL_BACKGROUND_COLOR);
      empty->deactivate();
    }
  }
  tree_.set_changed();
  tree_.redraw();
}

void ChoicePicker::clearSearch() {
  search_.searchText(nullptr);
  search();
}

void ChoicePicker::treeEvent() {
  Fl_Tree_Item* item = tree_.callback_item();
  if (item == nullptr) return;
  const Fl_Tree_Reason reason = tree_.callback_reason();
  if (ChoiceTree::isListItem(item)) {
    if (reason == FL_TREE_REASON_SELECTED) {
      if (item->is_open()) {
        item->close();
      } else {
        item->open();
      }
      tree_.deselect(item, 0);
    }
    if (reason == FL_TREE_REASON_SELECTED || reason == FL_TREE_REASON_OPENED) {
      if (item->is_open()) tree_.recalc_tree();
      tree_.show_item_middle(item);
    }
    if (pickedItem_ != nullptr) tree_.select(pickedItem_, 0);
    tree_.redraw();
    return;
  }
  const auto* choice = static_cast<const PickerChoice*>(item->user_data());
  if (choice == nullptr) return;
  if (reason == FL_TREE_REASON_SELECTED) {
    pickedItem_ = item;
    pickedChoice_ = choice;
    if (hooks_.pickChanged) hooks_.pickChanged(choice);
  } else if (reason == FL_TREE_REASON_DESELECTED && item == pickedItem_) {
    // In single selection the tree deselects the old item after selecting a new one that lies
    // above it: only the picked item's own deselection takes the pick back.
    pickedItem_ = nullptr;
    pickedChoice_ = nullptr;
    if (hooks_.pickChanged) hooks_.pickChanged(nullptr);
  }
}

}  // namespace sorvimend
