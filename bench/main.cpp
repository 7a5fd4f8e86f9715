// The benchmarks, or with --count-instructions a fixed run of slides and full repaints
// for callgrind (see count_instructions.sh): instruction counts repeat exactly, times don't.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string_view>

#include "bench/bench_support.h"

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define PUZZLE_HAVE_CALLGRIND 1
#endif

namespace puzzle::bench {
namespace {

constexpr int kFullRepaints = 8;

int CountInstructions() {
#ifdef PUZZLE_HAVE_CALLGRIND
  struct Case {
    int32_t width;
    int32_t height;
    int32_t grid;
  };
  for (const Case& c : {Case{1920, 1080, 10}, Case{576, 324, 3}, Case{300, 300, 4}}) {
    BoardScene scene(c.width, c.height, c.grid);
    char label[96];
    // Each dump holds exactly the operations named in its label; the set-up is zeroed away.
    CALLGRIND_ZERO_STATS;
    for (size_t i = 0; i < scene.walk.size(); ++i) {
      scene.board->SlideTile(scene.NextMove());
      scene.board->Render(scene.target);
      scene.target.TakeDamage();
    }
    std::snprintf(label, sizeof label, "slide %dx%d grid %d count %zu", c.width, c.height, c.grid,
                  scene.walk.size());
    CALLGRIND_DUMP_STATS_AT(label);
    CALLGRIND_ZERO_STATS;
    for (int i = 0; i < kFullRepaints; ++i) scene.RepaintAll();
    std::snprintf(label, sizeof label, "full %dx%d grid %d count %d", c.width, c.height, c.grid, kFullRepaints);
    CALLGRIND_DUMP_STATS_AT(label);
    std::printf("%dx%d grid %d: %zu slides, %d full repaints\n", c.width, c.height, c.grid, scene.walk.size(),
                kFullRepaints);
  }
  if (RUNNING_ON_VALGRIND == 0) std::printf("not under callgrind: nothing was counted\n");
  return 0;
#else
  std::fprintf(stderr, "built without valgrind/callgrind.h: install valgrind and rebuild\n");
  return 1;
#endif
}

}  // namespace
}  // namespace puzzle::bench

int main(int argc, char** argv) {
  if (argc > 1 && std::string_view(argv[1]) == "--count-instructions") return puzzle::bench::CountInstructions();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
