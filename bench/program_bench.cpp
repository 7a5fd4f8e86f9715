// The whole program on the headless host: start-up to the first painted frame, a tick of
// the game clock, and a slide from an arrow key, each with the render and present that
// follow every message.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "settings/settings_store.h"
#include "shell/application.h"
#include "shell/fonts/freetype_rasterizer.h"
#include "shell/headless/headless_host.h"
#include "toolkit/platform_codes.h"

namespace puzzle::bench {
namespace {

constexpr const char* kBigPicture = "/pictures/noise-1920x1080.png";

FreeTypeRasterizer& ProgramFonts() {
  static FreeTypeRasterizer fonts;
  return fonts;
}

void StoreNumber(HeadlessHost& host, std::string_view name, uint32_t v) {
  host.registry.Put(std::string(kSettingsKeyPath), name, REG_DWORD,
                    {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                     static_cast<uint8_t>(v >> 24)});
}

// The player's own 1920 x 1080 picture in a 10 x 10 grid, as the settings keep them. The
// host's decoder hands over the decoded pixels: decoding itself is not measured.
void UseBigPicture(HeadlessHost& host) {
  host.pictureFiles[kBigPicture] = NoiseImage(1920, 1080);
  StoreNumber(host, "dimensionX", 10);
  StoreNumber(host, "dimensionY", 10);
  host.registry.Put(std::string(kSettingsKeyPath), "defaultPicture", REG_BINARY, {0});
  std::vector<uint8_t> path(kBigPicture, kBigPicture + std::char_traits<char>::length(kBigPicture) + 1);
  host.registry.Put(std::string(kSettingsKeyPath), "picturePath", REG_SZ, std::move(path));
}

// Application::Start: window, settings, pictures, the panel and its first paint.
void BM_ProgramStart(benchmark::State& state, bool bigPicture) {
  int64_t firstFrame = 0;
  for (auto _ : state) {
    auto host = std::make_unique<HeadlessHost>(&ProgramFonts());
    if (bigPicture) UseBigPicture(*host);
    auto app = std::make_unique<Application>(*host);
    const auto start = std::chrono::steady_clock::now();
    const auto failed = app->Start(SW_SHOWNORMAL);
    const auto stop = std::chrono::steady_clock::now();
    state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
    if (failed || host->paints != 1 || host->presentedPixels == 0) {
      state.SkipWithError("start-up did not paint its first frame");
      break;
    }
    firstFrame = host->presentedPixels;
    benchmark::DoNotOptimize(host->target.Backing().Pixels().data());
  }
  state.counters["first_frame_B"] = static_cast<double>(firstFrame) * 4;
}

uint32_t ArrowFor(int32_t direction) {
  switch (direction) {
    case SlideLeft: return VK_LEFT;
    case SlideRight: return VK_RIGHT;
    case SlideUp: return VK_UP;
    default: return VK_DOWN;
  }
}

// A started program on the 1920 x 1080 picture in a running game, kept for every run of
// the benchmarks below.
struct RunningProgram {
  RunningProgram() : host(&ProgramFonts()), app(host) {
    UseBigPicture(host);
    started = !app.Start(SW_SHOWNORMAL);
    if (!started) return;
    host.Command(ID_GAME_NEW);
    Board& board = *app.gamePanel->GetBoard();
    walk = ClosedWalk(board.GetColumns(), board.GetRows(), board.GetEmptyColumn(), board.GetEmptyRow(), 128, 777);
  }
  void Press() {
    host.PressKey(ArrowFor(walk[walkPos]));
    walkPos = walkPos + 1 == walk.size() ? 0 : walkPos + 1;
  }
  // The counters stop at 9999, where a tick would draw nothing: start them again now and then.
  void ResetCounters() {
    app.gamePanel->GetSecondsCounter()->SetValue(1);
    app.gamePanel->GetMovesCounter()->SetValue(0);
    app.RenderPanel();
    host.log.clear();
    host.monitor.ClearCounts();
    host.presentedPixels = 0;
  }
  HeadlessHost host;
  Application app;
  bool started = false;
  std::vector<int32_t> walk;
  size_t walkPos = 0;
};

RunningProgram& Program() {
  static RunningProgram program;
  return program;
}

constexpr int64_t kTicksPerRound = 4096;

// WM_TIMER: the seconds counter goes up, and the digits that changed are painted.
void BM_GameClockTick(benchmark::State& state) {
  RunningProgram& program = Program();
  if (!program.started || !program.host.TimerRunning(GAME_CLOCK_TIMER)) {
    state.SkipWithError("no game clock");
    return;
  }
  // A round of ticks counted first: every tenth tick changes two digits, every hundredth three.
  program.ResetCounters();
  for (int64_t i = 0; i < kTicksPerRound; ++i) program.host.FireTimer(GAME_CLOCK_TIMER);
  const double copied = static_cast<double>(program.host.monitor.PixelsCopied()) / kTicksPerRound;
  program.ResetCounters();
  int64_t n = 0;
  for (auto _ : state) {
    if (!program.host.FireTimer(GAME_CLOCK_TIMER)) {
      state.SkipWithError("the tick was lost");
      break;
    }
    benchmark::ClobberMemory();
    if (++n % kTicksPerRound == 0) {
      state.PauseTiming();
      program.ResetCounters();
      state.ResumeTiming();
    }
  }
  if (n % kTicksPerRound != 0 && program.app.gamePanel->GetSeconds() != 1 + n % kTicksPerRound) {
    state.SkipWithError("the clock did not count every tick");
  }
  state.counters["copied_B"] = copied * 4;
}

// An arrow key pressed and released on the 1920 x 1080 picture in 10 x 10: the slide, the
// moves counter and a render after each of the two messages.
void BM_ProgramSlide(benchmark::State& state) {
  RunningProgram& program = Program();
  if (!program.started) {
    state.SkipWithError("the program did not start");
    return;
  }
  // One whole walk counted first; it ends where it began.
  program.ResetCounters();
  for (size_t i = 0; i < program.walk.size(); ++i) program.Press();
  const double copied = static_cast<double>(program.host.monitor.PixelsCopied()) / static_cast<double>(program.walk.size());
  program.ResetCounters();
  Board& board = *program.app.gamePanel->GetBoard();
  int64_t n = 0;
  for (auto _ : state) {
    program.Press();
    benchmark::ClobberMemory();
    if (++n % kTicksPerRound == 0) {
      state.PauseTiming();
      program.ResetCounters();
      state.ResumeTiming();
    }
  }
  if (board.GetState() != StatePlaying) state.SkipWithError("the game ended during the walk");
  state.counters["copied_B"] = copied * 4;
}

BENCHMARK_CAPTURE(BM_ProgramStart, default_picture, false)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ProgramStart, picture_1920x1080_10x10, true)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GameClockTick)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ProgramSlide)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace puzzle::bench
