// Show Numbers on and off with the real font engine: steady state, and the first call
// of a fresh engine, which has to load the font configuration and the face.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

#include "bench/bench_support.h"
#include "shell/fonts/freetype_rasterizer.h"

namespace puzzle::bench {
namespace {

FreeTypeRasterizer& SharedFonts() {
  static FreeTypeRasterizer fonts;
  return fonts;
}

const PixelVector& PicturePixels(const BoardScene& scene) {
  return static_cast<const SoftwareSurface&>(*scene.picture->surface).Pixels();
}

void BM_ShowNumbersOnOff(benchmark::State& state) {
  BoardScene& scene = SceneFor(ScenePurpose::Numbers, static_cast<int32_t>(state.range(0)),
                               static_cast<int32_t>(state.range(1)), static_cast<int32_t>(state.range(2)),
                               &SharedFonts());
  Board& board = *scene.board;
  // One round first, so that the face and its glyphs are cached; then check that the
  // numbers really mark the picture and really come out again.
  const PixelVector plain = PicturePixels(scene);
  board.SetShowNumbers(true);
  const size_t marked = CountDifferentPixels(plain, PicturePixels(scene));
  board.SetShowNumbers(false);
  if (marked == 0 || CountDifferentPixels(plain, PicturePixels(scene)) != 0) {
    state.SkipWithError("the numbers did not go in and out of the picture");
    return;
  }
  for (auto _ : state) {
    board.SetShowNumbers(true);
    board.SetShowNumbers(false);
    benchmark::DoNotOptimize(PicturePixels(scene).data());
    benchmark::ClobberMemory();
  }
  state.counters["font_px"] = board.NumberHeight();
  state.counters["inverted_px"] = static_cast<double>(marked);
}

// A new engine each time: the font configuration, the face and every glyph are loaded in
// the call. Only SetShowNumbers(true) is timed.
void BM_ShowNumbersFirstCall(benchmark::State& state) {
  const auto width = static_cast<int32_t>(state.range(0));
  const auto height = static_cast<int32_t>(state.range(1));
  const auto grid = static_cast<int32_t>(state.range(2));
  for (auto _ : state) {
    auto fonts = std::make_unique<FreeTypeRasterizer>();
    auto scene = std::make_unique<BoardScene>(width, height, grid, fonts.get());
    const auto start = std::chrono::steady_clock::now();
    scene->board->SetShowNumbers(true);
    const auto stop = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(PicturePixels(*scene).data());
    state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
  }
}

void NumbersArgs(benchmark::internal::Benchmark* b) {
  b->ArgNames({"w", "h", "grid"});
  b->Args({1920, 1080, 10});
  b->Args({1920, 1080, 4});
  b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_ShowNumbersOnOff)->Apply(NumbersArgs);
BENCHMARK(BM_ShowNumbersFirstCall)->Apply(NumbersArgs)->UseManualTime()->Iterations(5);

}  // namespace
}  // namespace puzzle::bench
