// Laying out a long text: the election's longest texts are a few kilobytes; this measures 64 KB
// of mixed markup (paragraphs, lists, a table, entities) at the main window's text width, and
// the same text with one word too wide for it, which restarts the layout once.
#include <benchmark/benchmark.h>

#include <string>

#include "ui/rich_text_layout.h"

namespace {

class Metrics : public sorvimend::richtext::TextMetrics {
 public:
  int textWidth(int, int size, std::string_view text) override {
    return static_cast<int>(sorvimend::richtext::utf8Length(text)) * (size + 1) / 2;
  }
  int descent(int, int size) override { return size / 4; }
};

std::string longText(bool wideWord) {
  std::string text;
  int i = 0;
  while (text.size() < 64 * 1024) {
    text += "<h2>Ringkond " + std::to_string(++i) + "</h2><p>Kandidaadid on <b>reastatud</b> nime j&auml;rgi; "
            "valija saab &uuml;he valiku teha &amp; seda kinnitada. <font color=#336699 size=+1>NB</font></p>"
            "<ul><li>esimene</li><li>teine &euro;</li></ul>"
            "<table border=1><tr><th>Nr</th><th>Nimi</th></tr><tr><td>101</td><td>Mari Maasikas</td></tr></table>";
  }
  if (wideWord) text += "<p>" + std::string(400, 'w') + "</p>";
  return text;
}

void layout(benchmark::State& state, bool wideWord) {
  const std::string text = longText(wideWord);
  sorvimend::richtext::LayoutParams params;
  params.width = 904 - 16;
  params.textSize = 16;
  Metrics metrics;
  for (auto _ : state) {
    auto result = sorvimend::richtext::layoutRichText(text, params, metrics);
    benchmark::DoNotOptimize(result.documentHeight);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}

void BM_Layout64k(benchmark::State& state) { layout(state, false); }
void BM_Layout64kWithRestart(benchmark::State& state) { layout(state, true); }

BENCHMARK(BM_Layout64k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Layout64kWithRestart)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
