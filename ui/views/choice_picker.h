#pragma once
// The state of the choice view: the list of choices grouped by choice list, the search that
// narrows it, and the one picked choice. The picker knows choices only as display texts with an
// opaque key (the ballot's own choice object); what a pick means for the model, the choice box and
// the continue button is left to the hook the view gives it.
//
// Widgets are borrowed: they are children of the main window and outlive the picker's use of
// them (the view replaces the picker before it deletes them).

#include <functional>
#include <string>
#include <vector>

#include <FL/Fl_Tree_Item.H>

namespace sorvimend {

class ChoiceTree;
class SearchInput;

struct PickerChoice {
  std::string itemText;  // number, one space, name: what the list shows and the search matches
  const void* key = nullptr;
};

struct PickerList {
  std::string name;
  std::vector<PickerChoice> choices;
};

class ChoicePicker {
 public:
  struct Texts {
    std::string unfilteredName;  // accessible name of the search field without a filter
    std::string filteredName;    // and with one
    std::string emptyResult;     // the grey item shown when nothing matches
    Fl_Color listColour = FL_FOREGROUND_COLOR;
  };
  struct Hooks {
    // The voter picked a choice, or took the pick back (null).
    std::function<void(const PickerChoice*)> pickChanged;
    // The clear button is to be shown and enabled, or hidden and disabled.
    std::function<void(bool)> clearButtonActive;
  };

  // Fills the tree unfiltered, with the choice whose key is pickedKey (may be null) selected.
  ChoicePicker(std::vector<PickerList> lists, const void* pickedKey, ChoiceTree& tree, SearchInput& search,
               Texts texts, Hooks hooks);
  ~ChoicePicker();

  ChoicePicker(const ChoicePicker&) = delete;
  ChoicePicker& operator=(const ChoicePicker&) = delete;

  // Runs on every change of the search field.
  void search();
  // The clear button: back to the placeholder and the unfiltered list.
  void clearSearch();
  // The tree's callback: item and reason as the tree reports them.
  void treeEvent();

  [[nodiscard]] const PickerChoice* picked() const { return pickedChoice_; }
  [[nodiscard]] Fl_Tree_Item* pickedItem() const { return pickedItem_; }

 private:
  void fill(const std::string& pattern);
  void showPickedInMiddle();
  static void showPickedLater(void* self);

  std::vector<PickerList> lists_;
  ChoiceTree& tree_;
  SearchInput& search_;
  Texts texts_;
  Hooks hooks_;
  // Lists start closed while no filter is active.
  const bool closeLists_ = true;
  const PickerChoice* pickedChoice_ = nullptr;
  Fl_Tree_Item* pickedItem_ = nullptr;
};

}  // namespace sorvimend
