// One keystroke of the choice search with 5,000 choices: the pattern, the match over every item
// and the tree rebuilt from the ballot (the view keeps no search index). Goal: under 16 ms.
// Starts its own X server for the toolkit's font metrics.

#include <benchmark/benchmark.h>

#include <FL/Fl_Double_Window.H>

#include <string>
#include <vector>

#include "tests/ui/views_display.h"
#include "ui/views/choice_picker.h"
#include "ui/views/choice_tree.h"
#include "ui/views/search_input.h"

namespace sorvimend {
namespace {

std::vector<PickerList> manyChoices(int lists, int perList) {
  static const char* const given[] = {"Mari", "Jaan", "Liisa", "Peeter", "Õie", "Kärt", "Toomas", "Ülle"};
  static const char* const family[] = {"Maasikas", "Tamm", "Kask", "Õunapuu", "Pirn", "Mänd", "Lepp", "Sääsk"};
  std::vector<PickerList> result;
  int number = 101;
  for (int l = 0; l < lists; ++l) {
    PickerList& list = result.emplace_back();
    list.name = "Erakond number " + std::to_string(l + 1);
    for (int c = 0; c < perList; ++c, ++number) {
      list.choices.push_back(PickerChoice{std::to_string(number) + " " + given[number % 8] + " " +
                                              family[(number / 8) % 8] + "-" + std::to_string(number % 97),
                                          nullptr});
    }
  }
  return result;
}

void SearchKeystroke5000(benchmark::State& state) {
  if (!testing::requireDisplay()) {
    state.SkipWithError("no X server");
    return;
  }
  Fl_Double_Window window(0, 0, 520, 500);
  auto* tree = new ChoiceTree(10, 10, 450, 396, FL_BLUE, FL_GRAY, ChoiceTreeIcons{});
  auto* search = new SearchInput(10, 420, 353, 50, "Otsi");
  window.end();
  ChoicePicker picker(manyChoices(50, 100), nullptr, *tree, *search, ChoicePicker::Texts{"a", "b", "none"}, {});
  const char* const texts[] = {"ma", "mar", "ta", "õun", "12"};
  std::size_t i = 0;
  for (auto _ : state) {
    search->searchText(texts[i++ % 5]);
    picker.search();
    benchmark::DoNotOptimize(tree->root());
  }
}
BENCHMARK(SearchKeystroke5000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace sorvimend

BENCHMARK_MAIN();
