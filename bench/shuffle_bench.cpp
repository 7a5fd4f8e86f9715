// Starting a game: the shuffle alone, and the shuffle with the one repaint it asks for.
#include <benchmark/benchmark.h>

#include "bench/bench_support.h"

namespace puzzle::bench {
namespace {

BoardScene& ShuffleScene(const benchmark::State& state) {
  return SceneFor(ScenePurpose::Shuffles, static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1)),
                  static_cast<int32_t>(state.range(2)));
}

void BM_Shuffle(benchmark::State& state) {
  Board& board = *ShuffleScene(state).board;
  for (auto _ : state) {
    board.Shuffle();
    benchmark::DoNotOptimize(board.TileInCell(0, 0));
    benchmark::ClobberMemory();
  }
  if (board.GetState() != StatePlaying || !board.IsSolvable()) state.SkipWithError("the shuffle left no game");
}

void BM_ShuffleAndRepaint(benchmark::State& state) {
  BoardScene& scene = ShuffleScene(state);
  // What one new game writes to the window, counted before the timing starts.
  scene.board->Shuffle();
  scene.board->Render(scene.target);
  int64_t written = 0;
  for (const Rect& r : scene.target.TakeDamage()) written += int64_t{r.Width()} * r.Height();
  for (auto _ : state) {
    scene.board->Shuffle();
    const bool painted = RenderAndPresent(scene);
    if (!painted) {
      state.SkipWithError("the repaint failed");
      break;
    }
  }
  state.counters["written_B"] = static_cast<double>(written) * 4;
}

void ShuffleArgs(benchmark::internal::Benchmark* b) {
  b->ArgNames({"w", "h", "grid"});
  b->Args({1920, 1080, 10});
  b->Args({1920, 1080, 3});
  b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_Shuffle)->Apply(ShuffleArgs);
BENCHMARK(BM_ShuffleAndRepaint)->Apply(ShuffleArgs);

}  // namespace
}  // namespace puzzle::bench
