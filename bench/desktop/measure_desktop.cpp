// Measures the desktop program under its own Xvfb: how long from exec to the first whole
// frame on screen, from an arrow key to the two slid cells on screen, from Ctrl+S to the
// renumbered board (the whole board, for scale) and from Ctrl+W to the end of the process.
// Not a test: it prints figures.
//   measure_desktop [runs] [slides]
// Keys go in through the XTest extension (loaded at run time, as xdotool does) and the
// screen is read with XGetImage, so the figures carry no helper-process start-up.
#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
  if (!display.Start(&error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
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
      mirror.Key(key);
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
    }

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

  std::printf("program: %s\n", PUZZLE_DESKTOP_PROGRAM);
  Print("exec to main window mapped", mapped);
  Print("exec to first whole frame on screen", firstFrame);
  Print("arrow key to the two slid cells on screen", slideTimes);
  Print("first Ctrl+S of a run (font loaded) on screen", firstNumbers);
  Print("later Ctrl+S to the whole board on screen", numberTimes);
  Print("Ctrl+W to the end of the process", exits);
  return 0;
}

}  // namespace
}  // namespace puzzle::e2e

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const int slides = argc > 2 ? std::max(1, std::atoi(argv[2])) : 50;
  return puzzle::e2e::Measure(runs, slides);
}
