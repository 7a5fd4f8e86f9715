// Measures the desktop program under its own Xvfb: how long from exec to the first whole
// frame on screen, from an arrow key to the two slid cells on screen, from Ctrl+S to the
// renumbered board (the whole board, for scale) and from Ctrl+W to the end of the process;
// what a slide hands the display against what it changed, and the program's CPU per arrow
// key; its CPU while it idles with the clock running; and its start-up against SGT's
// Fifteen started the same way, and with a stored 1920 x 1080 photo.
// Not a test: it prints figures.
//   measure_desktop [runs] [slides] [idle seconds]
//   measure_desktop startup [runs]      start-up alone
//   measure_desktop idle [seconds]      idling alone
// Keys go in through the XTest extension (loaded at run time, as xdotool does) and the
// screen is read with XGetImage, so the figures carry no helper-process start-up.
#include <dirent.h>
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <numeric>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tools/desktop_driver/desktop_session.h"
#include "toolkit/platform_codes.h"

// After the game's headers: Xlib's macros (CurrentTime, ButtonPress...) would clash with them.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace puzzle::e2e {
namespace {

constexpr int64_t kStartSecond = 1796551200;  // 2026-12-06 10:00:00 UTC

using FakeKeyEvent = int (*)(::Display*, unsigned int, int, unsigned long);

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct Summary {
  double mean = 0;
  double median = 0;
  double low = 0;
  double high = 0;
};

Summary Summarise(std::vector<double> values) {
  Summary s;
  if (values.empty()) return s;
  std::sort(values.begin(), values.end());
  s.mean = std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
  s.median = values[values.size() / 2];
  s.low = values.front();
  s.high = values.back();
  return s;
}

void Print(const char* what, const std::vector<double>& values) {
  const Summary s = Summarise(values);
  std::printf("%-46s n=%-3zu mean %8.2f ms  median %8.2f ms  min %8.2f ms  max %8.2f ms\n", what, values.size(), s.mean,
              s.median, s.low, s.high);
}

// One connection to the display for reading pixels and sending keys.
class Screen {
 public:
  explicit Screen(const std::string& name) : display_(XOpenDisplay(name.c_str())) {
    // A window can go between listing it and asking about it (the last program ending):
    // that request fails and the search goes on, rather than Xlib ending this process.
    XSetErrorHandler([](::Display*, XErrorEvent*) { return 0; });
    if (void* xtst = dlopen("libXtst.so.6", RTLD_NOW)) {
      fakeKey_ = reinterpret_cast<FakeKeyEvent>(dlsym(xtst, "XTestFakeKeyEvent"));
    }
  }
  ~Screen() {
    if (display_ != nullptr) XCloseDisplay(display_);
  }
  bool Ok() const { return display_ != nullptr && fakeKey_ != nullptr; }

  // The mapped top-level window with this title.
  std::optional<::Window> FindWindow(const char* title) {
    ::Window root = DefaultRootWindow(display_);
    ::Window parent = 0;
    ::Window* children = nullptr;
    unsigned int count = 0;
    std::optional<::Window> found;
    if (XQueryTree(display_, root, &root, &parent, &children, &count) == 0) return found;
    for (unsigned int i = 0; i < count && !found; ++i) {
      char* name = nullptr;
      XWindowAttributes attributes;
      if (XGetWindowAttributes(display_, children[i], &attributes) == 0 || attributes.map_state != IsViewable) {
        continue;
      }
      if (XFetchName(display_, children[i], &name) != 0 && name != nullptr) {
        if (std::strcmp(name, title) == 0) found = children[i];
        XFree(name);
      }
    }
    if (children != nullptr) XFree(children);
    return found;
  }

  std::optional<Image> Grab(::Window window, const Rect& area) {
    XImage* image = XGetImage(display_, window, area.left, area.top, static_cast<unsigned>(area.Width()),
                              static_cast<unsigned>(area.Height()), AllPlanes, ZPixmap);
    if (image == nullptr) return std::nullopt;
    Image out;
    out.width = area.Width();
    out.height = area.Height();
    out.pixels.resize(static_cast<size_t>(out.width) * static_cast<size_t>(out.height));
    for (int32_t y = 0; y < out.height; ++y) {
      for (int32_t x = 0; x < out.width; ++x) {
        out.pixels[static_cast<size_t>(y * out.width + x)] = static_cast<uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFF;
      }
    }
    XDestroyImage(image);
    return out;
  }

  std::optional<Rect> WindowRect(::Window window) {
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display_, window, &attributes) == 0) return std::nullopt;
    return Rect{0, 0, attributes.width, attributes.height};
  }

  void Key(KeySym symbol, bool control = false) {
    const unsigned int code = XKeysymToKeycode(display_, symbol);
    const unsigned int ctrl = XKeysymToKeycode(display_, XK_Control_L);
    if (control) fakeKey_(display_, ctrl, True, CurrentTime);
    fakeKey_(display_, code, True, CurrentTime);
    fakeKey_(display_, code, False, CurrentTime);
    if (control) fakeKey_(display_, ctrl, False, CurrentTime);
    XFlush(display_);
  }

  void Focus(::Window window) {
    XSetInputFocus(display_, window, RevertToParent, CurrentTime);
    XSync(display_, False);
  }

 private:
  ::Display* display_;
  FakeKeyEvent fakeKey_ = nullptr;
};

bool StartDisplay(VirtualDisplay& display, const std::string& screen = "1024x768x24") {
  std::string error;
  if (display.Start(&error, screen)) return true;
  std::fprintf(stderr, "%s\n", error.c_str());
  return false;
}

// CPU time of every thread of a process so far.
double CpuMilliseconds(pid_t pid) {
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  double total = 0;
  if (DIR* dir = opendir(tasks.c_str())) {
    while (dirent* entry = readdir(dir)) {
      if (entry->d_name[0] == '.') continue;
      std::ifstream stat(tasks + "/" + entry->d_name + "/schedstat");
      double ns = 0;
      if (stat >> ns) total += ns / 1e6;
    }
    closedir(dir);
  }
  return total;
}

// Polls until the area of the window shows the expected pixels; the time it took, or nothing.
std::optional<Clock::duration> WaitForPixels(Screen& screen, ::Window window, const Rect& area, const Image& expected,
                                             Clock::time_point since, milliseconds timeout) {
  const auto end = since + timeout;
  while (Clock::now() < end) {
    if (auto shown = screen.Grab(window, area)) {
      if (Compare(*shown, expected).Same()) return Clock::now() - since;
    }
  }
  return std::nullopt;
}

KeySym KeySymFor(uint32_t virtualKey) {
  switch (virtualKey) {
    case VK_LEFT:
      return XK_Left;
    case VK_RIGHT:
      return XK_Right;
    case VK_UP:
      return XK_Up;
    default:
      return XK_Down;
  }
}

int Measure(int runs, int slides) {
  const std::string missing = MissingTools();
  if (!missing.empty()) {
    std::fprintf(stderr, "not installed: %s\n", missing.c_str());
    return 2;
  }
  VirtualDisplay display;
  std::string error;
  if (!StartDisplay(display)) return 2;
  XTools x(display.Name());
  Screen screen(display.Name());
  if (!screen.Ok()) {
    std::fprintf(stderr, "no connection to %s, or no XTest\n", display.Name().c_str());
    return 2;
  }

  std::vector<double> mapped;
  std::vector<double> firstFrame;
  std::vector<double> slideTimes;
  std::vector<double> numberTimes;
  std::vector<double> firstNumbers;
  std::vector<double> exits;
  std::vector<double> slideCpu;
  std::vector<double> ignoredKeyCpu;
  int64_t presentedPixels = 0;
  int64_t changedPixels = 0;
  for (int run = 0; run < runs; ++run) {
    HeadlessMirror mirror(kStartSecond);
    const Image startScreen = mirror.Client();
    TempDir home;
    DesktopProgram program(x, home.Path(), kStartSecond);

    // Start-up: exec, the window mapped, then the whole start-up frame in its client area.
    const auto started = Clock::now();
    if (!program.Start(&error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
    std::optional<::Window> window;
    while (!window && Clock::now() - started < std::chrono::seconds(60) && program.Running()) {
      window = screen.FindWindow("brindlewick Puzzle");
    }
    if (!window) {
      std::fprintf(stderr, "no window:\n%s\n", program.Output().c_str());
      return 1;
    }
    mapped.push_back(Milliseconds(Clock::now() - started));
    auto bounds = screen.WindowRect(*window);
    if (!bounds) return 1;
    const int32_t menuBar = bounds->Height() - startScreen.height;
    const Rect client{0, menuBar, startScreen.width, menuBar + startScreen.height};
    auto frame = WaitForPixels(screen, *window, client, startScreen, started, milliseconds(60000));
    if (!frame) {
      std::fprintf(stderr, "the start-up screen never showed\n");
      return 1;
    }
    firstFrame.push_back(Milliseconds(*frame));

    // Slides: one key, then the two cells it changed, as the headless host draws them.
    screen.Focus(*window);
    screen.Key(XK_F2);
    mirror.Key(VK_F2);
    const std::vector<Rect> clock{mirror.SecondsCounterRect()};
    {
      const auto end = Clock::now() + milliseconds(10000);
      while (Clock::now() < end) {
        auto shown = screen.Grab(*window, client);
        if (shown && Compare(*shown, mirror.Client(), clock).Same()) break;
      }
    }
    Board& board = mirror.GetBoard();
    DamageWatch damage(display.Name(), std::to_string(*window));
    damage.Collect(milliseconds(100));  // the server's first report covers the whole window
    const Rect secondsOnWindow = Offset(mirror.SecondsCounterRect(), 0, menuBar);
    const double cpuBefore = CpuMilliseconds(program.Pid());
    for (int i = 0; i < slides; ++i) {
      const int32_t ec = board.GetEmptyColumn();
      const int32_t er = board.GetEmptyRow();
      // Back and forth along a row or a column, whichever way there is room.
      const bool across = i % 4 < 2;
      uint32_t key = 0;
      if (across) {
        key = ec + 1 < board.GetColumns() ? VK_LEFT : VK_RIGHT;
      } else {
        key = er + 1 < board.GetRows() ? VK_UP : VK_DOWN;
      }
      const Image clientBefore = mirror.Client();
      mirror.Key(key);
      const Image clientAfter = mirror.Client();
      changedPixels += Compare(clientAfter, clientBefore).pixels;
      const int32_t nc = board.GetEmptyColumn();
      const int32_t nr = board.GetEmptyRow();
      auto [x0, y0] = mirror.CellCentre(std::min(ec, nc), std::min(er, nr));
      auto [x1, y1] = mirror.CellCentre(std::max(ec, nc), std::max(er, nr));
      const int32_t halfW = board.GetWidth() / board.GetColumns() / 2 - 1;
      const int32_t halfH = board.GetHeight() / board.GetRows() / 2 - 1;
      const Rect cells{x0 - halfW, y0 - halfH, x1 + halfW, y1 + halfH};
      const Image expected = mirror.Client().Crop(cells);
      const Rect onWindow{cells.left, cells.top + menuBar, cells.right, cells.bottom + menuBar};
      // A pause as a player's between keys: pressed right after the last frame, a key would
      // wait for GTK's frame clock, which paints at most once per 1/60 s.
      std::this_thread::sleep_for(milliseconds(50));
      const auto pressed = Clock::now();
      screen.Key(KeySymFor(key));
      auto shown = WaitForPixels(screen, *window, onWindow, expected, pressed, milliseconds(5000));
      if (!shown) {
        std::fprintf(stderr, "slide %d never showed\n", i);
        return 1;
      }
      slideTimes.push_back(Milliseconds(*shown));
      // What the slide handed the display, the clock's ticks left out.
      for (const Rect& r : damage.Collect(milliseconds(20))) {
        if (Intersect(r, secondsOnWindow) != r) presentedPixels += int64_t{r.Width()} * r.Height();
      }
    }
    slideCpu.push_back((CpuMilliseconds(program.Pid()) - cpuBefore) / slides);

    // For scale: a key the game ignores, at the same pace, costs what the toolkit's own
    // handling of a key costs.
    const double idleKeysBefore = CpuMilliseconds(program.Pid());
    for (int i = 0; i < slides; ++i) {
      std::this_thread::sleep_for(milliseconds(50));
      screen.Key(XK_a);
      std::this_thread::sleep_for(milliseconds(21));
    }
    ignoredKeyCpu.push_back((CpuMilliseconds(program.Pid()) - idleKeysBefore) / slides);

    // For scale: Ctrl+S rewrites every tile, the whole board goes to the screen.
    const Rect boardArea{board.GetX(), board.GetY(), board.GetX() + board.GetWidth(), board.GetY() + board.GetHeight()};
    const Rect boardOnWindow{boardArea.left, boardArea.top + menuBar, boardArea.right, boardArea.bottom + menuBar};
    for (int i = 0; i < 10; ++i) {
      mirror.Key('S', true);
      const Image expected = mirror.Client().Crop(boardArea);
      std::this_thread::sleep_for(milliseconds(50));
      const auto pressed = Clock::now();
      screen.Key(XK_s, true);
      auto shown = WaitForPixels(screen, *window, boardOnWindow, expected, pressed, milliseconds(5000));
      if (!shown) {
        std::fprintf(stderr, "numbers toggle %d never showed\n", i);
        return 1;
      }
      // The first one also finds and loads the font.
      (i == 0 ? firstNumbers : numberTimes).push_back(Milliseconds(*shown));
    }

    // Exit: Ctrl+W to the end of the process, settings saved and everything torn down.
    const auto quitting = Clock::now();
    screen.Key(XK_w, true);
    if (!program.WaitForExit(milliseconds(60000))) {
      std::fprintf(stderr, "the program did not exit\n");
      return 1;
    }
    exits.push_back(Milliseconds(Clock::now() - quitting));
  }

  std::printf("program: %s\n", DesktopProgramPath().c_str());
  Print("exec to main window mapped", mapped);
  Print("exec to first whole frame on screen", firstFrame);
  Print("arrow key to the two slid cells on screen", slideTimes);
  Print("first Ctrl+S of a run (font loaded) on screen", firstNumbers);
  Print("later Ctrl+S to the whole board on screen", numberTimes);
  Print("Ctrl+W to the end of the process", exits);
  Print("program CPU per arrow key (all threads)", slideCpu);
  Print("program CPU per key the game ignores", ignoredKeyCpu);
  std::printf("pixels handed to the display per slide %.0f, pixels changed %.0f: %.2f times\n",
              static_cast<double>(presentedPixels) / (runs * slides), static_cast<double>(changedPixels) / (runs * slides),
              changedPixels > 0 ? static_cast<double>(presentedPixels) / static_cast<double>(changedPixels) : 0.0);
  return 0;
}

// A 1920 x 1080 photo-like JPEG, made once.
std::string BigPicture(const TempDir& dir) {
  const std::string path = (dir.Path() / "photo-1920x1080.jpg").string();
  const std::string command =
      "convert logo: -resize 1920x1080! -attenuate 0.4 +noise Gaussian -quality 90 '" + path + "' >/dev/null 2>&1";
  return std::system(command.c_str()) == 0 ? path : std::string();
}

void StorePicture(const DesktopProgram& program, const std::string& picture) {
  std::filesystem::create_directories(program.SettingsFilePath().parent_path());
  std::ofstream(program.SettingsFilePath())
      << "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\brindlewick\\brindlewick Puzzle]\n"
      << "\"defaultPicture\"=hex:00\n\"picturePath\"=\"" << picture << "\"\n";
}

// From exec until the window shows what it goes on showing: the time of the first of the
// grabs that agree with the last, once three in a row have agreed. The same yardstick for
// any program, ours or another.
std::optional<double> SettledFrame(Screen& screen, pid_t pid, const char* title, Clock::time_point started,
                                   const std::function<bool()>& running) {
  std::optional<::Window> window;
  while (!window && Clock::now() - started < std::chrono::seconds(60) && running()) window = screen.FindWindow(title);
  if (!window) return std::nullopt;
  (void)pid;
  std::optional<Image> last;
  Clock::time_point since;
  int agreeing = 0;
  while (Clock::now() - started < std::chrono::seconds(60)) {
    auto bounds = screen.WindowRect(*window);
    if (!bounds) return std::nullopt;
    auto shown = screen.Grab(*window, *bounds);
    const auto at = Clock::now();
    if (!shown) continue;
    const bool drawn = std::any_of(shown->pixels.begin(), shown->pixels.end(),
                                   [&](uint32_t p) { return p != shown->pixels.front(); });
    if (last && drawn && Compare(*shown, *last).Same()) {
      if (++agreeing == 3) return Milliseconds(since - started);
    } else {
      agreeing = 0;
      since = at;
    }
    last = std::move(shown);
  }
  return std::nullopt;
}

int MeasureStartUp(int runs) {
  VirtualDisplay display;
  std::string error;
  if (!StartDisplay(display)) return 2;
  XTools x(display.Name());
  Screen screen(display.Name());
  TempDir pictures;
  const std::string big = BigPicture(pictures);
  // Debian puts the games where a root shell's PATH doesn't look.
  std::optional<std::string> fifteen = FindTool("sgt-fifteen");
  if (!fifteen && access("/usr/games/sgt-fifteen", X_OK) == 0) fifteen = "/usr/games/sgt-fifteen";
  std::vector<double> ours;
  std::vector<double> oursBig;
  std::vector<double> theirs;
  for (int run = 0; run < runs; ++run) {
    // Each run starts with another of the three, so none always follows the same one.
    for (int step = 0; step < 3; ++step) {
      const int which = (step + run) % 3;
      if (which == 1 && big.empty()) continue;
      if (which == 2 && !fifteen) continue;
      TempDir home;
      std::unique_ptr<DesktopProgram> program;
      std::unique_ptr<ChildProcess> other;
      const auto started = Clock::now();
      if (which < 2) {
        program = std::make_unique<DesktopProgram>(x, home.Path(), kStartSecond);
        if (which == 1) StorePicture(*program, big);
        if (!program->Start(&error)) return 1;
      } else {
        other = ChildProcess::Start({*fifteen}, {{"DISPLAY", display.Name()}, {"HOME", home.Path().string()},
                                                  {"XDG_CONFIG_HOME", home.Path().string()}, {"NO_AT_BRIDGE", "1"},
                                                  {"GSETTINGS_BACKEND", "memory"}, {"GDK_BACKEND", "x11"}});
        if (!other) return 1;
      }
      const pid_t pid = program ? program->Pid() : other->Pid();
      auto running = [&] { return program ? program->Running() : other->Running(); };
      const auto frame = SettledFrame(screen, pid, which < 2 ? "brindlewick Puzzle" : "Fifteen", started, running);
      if (!frame) {
        std::fprintf(stderr, "no settled first frame (%d)\n", which);
        return 1;
      }
      (which == 0 ? ours : which == 1 ? oursBig : theirs).push_back(*frame);
      if (std::getenv("MEASURE_SHOW_RUNS") != nullptr) {
        static const char* const kNames[] = {"built-in picture", "stored photo", "SGT Fifteen"};
        std::printf("run %d, %s (pid %d): first settled frame %.1f ms\n", run, kNames[which], static_cast<int>(pid),
                    *frame);
      }
      program.reset();
      if (other) other->Stop();
    }
  }
  Print("first settled frame, built-in picture", ours);
  Print("first settled frame, stored 1920 x 1080 photo", oursBig);
  Print("first settled frame, SGT Fifteen", theirs);
  const Summary a = Summarise(ours);
  if (!oursBig.empty()) std::printf("stored photo / built-in: %.2f\n", Summarise(oursBig).median / a.median);
  if (!theirs.empty()) std::printf("built-in / SGT Fifteen: %.2f\n", a.median / Summarise(theirs).median);
  if (!fifteen) std::printf("SGT Fifteen is not installed (tools/install-deps.sh bench)\n");
  return 0;
}

int MeasureIdle(int seconds) {
  VirtualDisplay display;
  std::string error;
  if (!StartDisplay(display, "1920x1200x24")) return 2;
  XTools x(display.Name());
  Screen screen(display.Name());
  TempDir pictures;
  const std::string big = BigPicture(pictures);
  for (const std::string& picture : {std::string(), big}) {
    TempDir home;
    DesktopProgram program(x, home.Path(), kStartSecond);
    if (!picture.empty()) StorePicture(program, picture);
    if (!program.Start(&error)) return 1;
    std::optional<::Window> window;
    const auto started = Clock::now();
    while (!window && Clock::now() - started < std::chrono::seconds(60)) window = screen.FindWindow("brindlewick Puzzle");
    if (!window) return 1;
    std::this_thread::sleep_for(milliseconds(2000));
    screen.Focus(*window);
    screen.Key(XK_F2);
    std::this_thread::sleep_for(milliseconds(1500));
    DamageWatch damage(display.Name(), std::to_string(*window));
    damage.Collect(milliseconds(100));  // the server's first report covers the whole window
    const double before = CpuMilliseconds(program.Pid());
    const std::vector<Rect> drawn = damage.Collect(milliseconds(1000L * seconds));
    const double cpu = CpuMilliseconds(program.Pid()) - before;
    if (std::getenv("MEASURE_SHOW_RECTS") != nullptr) {
      for (const Rect& r : drawn) std::printf("  %d,%d %dx%d\n", r.left, r.top, r.Width(), r.Height());
    }
    std::printf("idle %d s with the clock running, %s: CPU %.1f ms, %zu rectangles drawn, %lld pixels\n", seconds,
                picture.empty() ? "built-in picture" : "1920 x 1080 photo", cpu, drawn.size(),
                static_cast<long long>(Area(drawn)));

  }
  return 0;
}

}  // namespace
}  // namespace puzzle::e2e

int main(int argc, char** argv) {
  // One part alone: measure_desktop startup [runs] | idle [seconds]
  if (argc > 1 && std::strcmp(argv[1], "startup") == 0) {
    return puzzle::e2e::MeasureStartUp(argc > 2 ? std::max(1, std::atoi(argv[2])) : 5);
  }
  if (argc > 1 && std::strcmp(argv[1], "idle") == 0) {
    return puzzle::e2e::MeasureIdle(argc > 2 ? std::max(1, std::atoi(argv[2])) : 30);
  }
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const int slides = argc > 2 ? std::max(1, std::atoi(argv[2])) : 50;
  const int idleSeconds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 30;
  if (const int failed = puzzle::e2e::Measure(runs, slides)) return failed;
  if (const int failed = puzzle::e2e::MeasureStartUp(runs)) return failed;
  return puzzle::e2e::MeasureIdle(idleSeconds);
}
