// The choice list with its search, driven by clicks and typing in a private X server.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>

#include "tests/ui/views_display.h"
#include "ui/views/choice_picker.h"
#include "ui/views/choice_tree.h"
#include "ui/views/search_input.h"

namespace sorvimend {
namespace {

// Keys only need to be distinct addresses.
const int keys[6] = {};

std::vector<PickerList> sampleLists() {
  return {
      {"Erakond Ilus", {{"101 Mari Maasikas", &keys[0]}, {"102 J. Tamm", &keys[1]}}},
      {"Valimisliit Õun", {{"103 Õie Õunapuu", &keys[2]}, {"104 Karl Kask", &keys[3]}}},
      {"Üksikkandidaadid", {{"105 Peeter Pirn", &keys[4]}, {"106 Maria Mets", &keys[5]}}},
  };
}

std::vector<std::string> visibleLabels(Fl_Tree& tree) {
  std::vector<std::string> labels;
  for (Fl_Tree_Item* item = tree.first(); item != nullptr; item = tree.next(item)) {
    if (item == tree.root()) continue;
    bool shown = true;
    for (Fl_Tree_Item* p = item->parent(); p != nullptr && p != tree.root(); p = p->parent()) {
      if (!p->is_open()) shown = false;
    }
    if (shown) labels.emplace_back(item->label());
  }
  return labels;
}

class PickerWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testing::requireDisplay());
    window_ = std::make_unique<Fl_Double_Window>(0, 0, 520, 500, "picker");
    tree_ = new ChoiceTree(10, 10, 450, 396, FL_BLUE, FL_GRAY, ChoiceTreeIcons{});
    search_ = new SearchInput(10, 420, 353, 50, "Otsi");
    window_->end();
  }
  void TearDown() override {
    picker_.reset();
    window_->hide();
    window_.reset();
    testing::settle(0.05);
  }

  void makePicker(const void* pickedKey) {
    ChoicePicker::Texts texts{"unfiltered", "filtered", "Ei leitud", FL_DARK_BLUE};
    ChoicePicker::Hooks hooks;
    hooks.pickChanged = [this](const PickerChoice* c) { picks_.push_back(c != nullptr ? c->itemText : "-"); };
    hooks.clearButtonActive = [this](bool on) { clearActive_ = on; };
    picker_ = std::make_unique<ChoicePicker>(sampleLists(), pickedKey, *tree_, *search_, texts, hooks);
    tree_->callback([](Fl_Widget*, void* p) { static_cast<ChoicePicker*>(p)->treeEvent(); }, picker_.get());
    search_->callback([](Fl_Widget*, void* p) { static_cast<ChoicePicker*>(p)->search(); }, picker_.get());
    window_->show();
    // Item positions are known only after the tree's first drawing.
    for (int i = 0; i < 50 && tree_->first_visible_item() != nullptr && tree_->first_visible_item()->label_x() == 0; ++i) {
      testing::settle(0.05);
    }
  }

  // Window position of an item's label.
  void clickItem(const std::string& label) {
    for (Fl_Tree_Item* item = tree_->first(); item != nullptr; item = tree_->next(item)) {
      if (item->label() != nullptr && label == item->label()) {
        // The toolkit leaves the geometry of the tree's first row unset; it sits at the top.
        const int y = item->h() > 0 ? item->y() + item->h() / 2 : tree_->y() + 14;
        testing::click(*window_, tree_->x() + 40, y);
        return;
      }
    }
    ADD_FAILURE() << "no item " << label;
  }

  std::unique_ptr<Fl_Double_Window> window_;
  ChoiceTree* tree_ = nullptr;
  SearchInput* search_ = nullptr;
  std::unique_ptr<ChoicePicker> picker_;
  std::vector<std::string> picks_;
  bool clearActive_ = false;
};

TEST_F(PickerWindow, SearchFiltersFromTheSecondCharacter) {
  makePicker(nullptr);
  const std::vector<std::string> closed = {"Erakond Ilus", "Valimisliit Õun", "Üksikkandidaadid"};
  EXPECT_EQ(visibleLabels(*tree_), closed);

  testing::click(*window_, 100, 445);
  testing::type("m");
  EXPECT_TRUE(clearActive_);
  EXPECT_EQ(search_->label(), std::string("unfiltered"));
  EXPECT_EQ(visibleLabels(*tree_), closed);

  testing::type("a");  // "ma": caseless, all remaining lists open
  EXPECT_EQ(search_->label(), std::string("filtered"));
  EXPECT_EQ(visibleLabels(*tree_), (std::vector<std::string>{"Erakond Ilus", "101 Mari Maasikas",
                                                             "Üksikkandidaadid", "106 Maria Mets"}));
  testing::screenshot(*window_, "picker-filtered");

  struct Case {
    const char* text;
    std::vector<std::string> labels;
  };
  const std::vector<Case> cases = {
      {".", {"Erakond Ilus", "102 J. Tamm"}},  // a literal full stop, not any character
      {"104", {"Valimisliit Õun", "104 Karl Kask"}},
      {"ÕIE", {"Valimisliit Õun", "103 Õie Õunapuu"}},
      {"zz", {"Ei leitud"}},
      {"(m", {"Ei leitud"}},  // not a pattern: matches nothing
  };
  for (const Case& c : cases) {
    search_->searchText(c.text);
    picker_->search();
    EXPECT_EQ(visibleLabels(*tree_), c.labels) << c.text;
  }
  Fl_Tree_Item* empty = tree_->first_visible_item();
  ASSERT_NE(empty, nullptr);
  EXPECT_FALSE(empty->is_activated());
  EXPECT_EQ(empty->labelfgcolor(), FL_BACKGROUND_COLOR);
  testing::screenshot(*window_, "picker-empty");

  picker_->clearSearch();
  EXPECT_TRUE(search_->showingPlaceholder());
  EXPECT_FALSE(clearActive_);
  EXPECT_EQ(visibleLabels(*tree_), closed);
}

TEST_F(PickerWindow, HeaderClickTogglesAndKeepsThePick) {
  makePicker(&keys[3]);  // "104 Karl Kask" picked on an earlier visit
  testing::screenshot(*window_, "picker-returning");
  ASSERT_NE(picker_->pickedItem(), nullptr);
  EXPECT_TRUE(picker_->pickedItem()->is_selected());
  EXPECT_EQ(visibleLabels(*tree_), (std::vector<std::string>{"Erakond Ilus", "Valimisliit Õun", "103 Õie Õunapuu",
                                                             "104 Karl Kask", "Üksikkandidaadid"}));

  // The picked choice stays whatever the filter.
  search_->searchText("zz");
  picker_->search();
  EXPECT_EQ(visibleLabels(*tree_), (std::vector<std::string>{"Valimisliit Õun", "104 Karl Kask"}));
  search_->searchText(nullptr);
  picker_->search();

  // Headers above and below the pick: each click toggles, nothing else changes.
  for (const char* header : {"Erakond Ilus", "Üksikkandidaadid", "Erakond Ilus", "Valimisliit Õun"}) {
    clickItem(header);
    ASSERT_NE(picker_->pickedItem(), nullptr);
    EXPECT_TRUE(picker_->pickedItem()->is_selected()) << header;
    for (Fl_Tree_Item* item = tree_->first(); item != nullptr; item = tree_->next(item)) {
      if (ChoiceTree::isListItem(item) && item != tree_->root()) {
        EXPECT_FALSE(item->is_selected()) << header;
      }
    }
  }
  EXPECT_TRUE(picks_.empty());
  EXPECT_EQ(visibleLabels(*tree_), (std::vector<std::string>{"Erakond Ilus", "Valimisliit Õun", "Üksikkandidaadid",
                                                             "105 Peeter Pirn", "106 Maria Mets"}));
  testing::screenshot(*window_, "picker-headers");

  // Picking a choice above the old pick and then one below it: the last pick always wins.
  clickItem("Erakond Ilus");
  clickItem("102 J. Tamm");
  clickItem("106 Maria Mets");
  // The tree may report the old pick's deselection first; what counts is the order of the picks.
  std::vector<std::string> picked;
  for (const std::string& p : picks_) {
    if (p != "-") picked.push_back(p);
  }
  EXPECT_EQ(picked, (std::vector<std::string>{"102 J. Tamm", "106 Maria Mets"}));
  EXPECT_EQ(picks_.back(), "106 Maria Mets");
  ASSERT_NE(picker_->picked(), nullptr);
  EXPECT_EQ(picker_->picked()->key, &keys[5]);
  clickItem("101 Mari Maasikas");
  EXPECT_EQ(picks_.back(), "101 Mari Maasikas");
  EXPECT_EQ(picker_->picked()->key, &keys[0]);
}

}  // namespace
}  // namespace sorvimend
