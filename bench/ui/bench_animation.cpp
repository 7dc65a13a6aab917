// One frame of the waiting animation as the 0.03 s timer draws it: arcs into the offscreen
// surface, read-back, blur, write-back and the copy to the window (50 x 50, as in the main
// window). Needs an X server: run under xvfb-run. The blur alone is measured too.
#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "ui/wait_animation.h"
#include "ui/wait_blur.h"

namespace {

void BM_AnimationFrame(benchmark::State& state) {
  if (std::getenv("DISPLAY") == nullptr) {
    state.SkipWithError("no DISPLAY: run under xvfb-run");
    return;
  }
  Fl_Double_Window window(100, 100);
  sorvimend::WaitAnimation animation(25, 25, 50, 0x1F5FBF00);
  window.end();
  window.show();
  Fl::wait(0.2);
  for (auto _ : state) {
    animation.redraw();
    Fl::flush();
  }
  window.remove(animation);
}

void BM_Blur50(benchmark::State& state) {
  std::vector<std::uint8_t> in(50 * 50 * 3);
  for (std::size_t i = 0; i < in.size(); ++i) in[i] = static_cast<std::uint8_t>(i * 31);
  std::vector<std::uint8_t> out;
  for (auto _ : state) {
    sorvimend::blurRgb(in.data(), 50, 50, out);
    benchmark::DoNotOptimize(out.data());
  }
}

BENCHMARK(BM_AnimationFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Blur50)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
