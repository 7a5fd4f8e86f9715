// One slide against one full repaint of the board, and what each writes to the window.
#include <benchmark/benchmark.h>

#include <map>
#include <tuple>

#include "bench/bench_support.h"

namespace puzzle::bench {
namespace {

constexpr double kBytesPerPixel = 4;

BoardScene& SlideScene(const benchmark::State& state) {
  return SceneFor(ScenePurpose::Slides, static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1)),
                  static_cast<int32_t>(state.range(2)));
}

// Counting pixels is far slower than painting them: done once per scene, outside the timing.
const PaintCost& SlideCost(BoardScene& scene) {
  static std::map<const BoardScene*, PaintCost> measured;
  auto it = measured.find(&scene);
  if (it == measured.end()) it = measured.emplace(&scene, MeasureSlides(scene)).first;
  return it->second;
}

const PaintCost& FullRepaintCost(BoardScene& scene) {
  static std::map<const BoardScene*, PaintCost> measured;
  auto it = measured.find(&scene);
  if (it == measured.end()) it = measured.emplace(&scene, MeasureFullRepaint(scene)).first;
  return it->second;
}

double TilePixels(const BoardScene& scene) {
  return double{1} * (scene.width / scene.grid - 1) * (scene.height / scene.grid - 1);
}

void SetPaintCounters(benchmark::State& state, const BoardScene& scene, const PaintCost& cost) {
  state.counters["tile_px"] = TilePixels(scene);
  state.counters["copied_B"] = cost.copiedPixels * kBytesPerPixel;
  state.counters["written_B"] = cost.damagePixels * kBytesPerPixel;
  state.counters["rects"] = cost.rects;
}

// SlideTile, then the render and the hand-over of the damage that follow every message.
void BM_Slide(benchmark::State& state) {
  BoardScene& scene = SlideScene(state);
  const PaintCost& cost = SlideCost(scene);
  if (!cost.matchesFullRepaint) {
    state.SkipWithError("the slides left the window different from a full repaint");
    return;
  }
  for (auto _ : state) {
    const bool moved = scene.board->SlideTile(scene.NextMove());
    const bool painted = RenderAndPresent(scene);
    if (!moved || !painted) {
      state.SkipWithError("a slide of the walk failed");
      break;
    }
  }
  SetPaintCounters(state, scene, cost);
  state.counters["changed_B"] = cost.changedPixels * kBytesPerPixel;
  state.counters["overdraw"] = cost.damagePixels / cost.changedPixels;
}

// The whole board marked dirty and painted, as a WM_PAINT of the whole window does.
void BM_FullRepaint(benchmark::State& state) {
  BoardScene& scene = SlideScene(state);
  const PaintCost& cost = FullRepaintCost(scene);
  for (auto _ : state) {
    scene.board->InvalidateAll();
    const bool painted = RenderAndPresent(scene);
    if (!painted) {
      state.SkipWithError("the repaint failed");
      break;
    }
  }
  SetPaintCounters(state, scene, cost);
  state.counters["board_B"] = double{1} * scene.width * scene.height * kBytesPerPixel;
}

// One tile back and forth between the same two cells: both stay in the cache, unlike
// the walk above, which visits the whole picture.
void BM_SlideSameCells(benchmark::State& state) {
  BoardScene& scene = SlideScene(state);
  Board& board = *scene.board;
  const bool leftFirst = board.GetEmptyColumn() + 1 < board.GetColumns();
  const int32_t there = leftFirst ? SlideLeft : SlideRight;
  const int32_t back = leftFirst ? SlideRight : SlideLeft;
  bool away = false;
  for (auto _ : state) {
    const bool moved = board.SlideTile(away ? back : there);
    away = !away;
    const bool painted = RenderAndPresent(scene);
    if (!moved || !painted) {
      state.SkipWithError("a slide failed");
      break;
    }
  }
  // The walk of the other benchmarks expects the hole where it was.
  if (away) {
    board.SlideTile(back);
    board.Render(scene.target);
    scene.target.TakeDamage();
  }
}

// Arguments: picture width, height, grid (columns = rows). 576 x 324 in a 3 x 3 grid has
// the same 191 x 107 tiles as 1920 x 1080 in 10 x 10, on a picture a ninth of the size.
void PaintArgs(benchmark::internal::Benchmark* b) {
  b->ArgNames({"w", "h", "grid"});
  b->Args({1920, 1080, 10});
  b->Args({576, 324, 3});
  b->Args({1920, 1080, 4});
  b->Args({300, 300, 4});
  b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_Slide)->Apply(PaintArgs);
BENCHMARK(BM_FullRepaint)->Apply(PaintArgs);
BENCHMARK(BM_SlideSameCells)->ArgNames({"w", "h", "grid"})->Args({1920, 1080, 10})->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace puzzle::bench
