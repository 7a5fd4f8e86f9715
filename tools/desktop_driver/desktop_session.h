#pragma once

#include "tools/board_solver.h"

// Runs the real desktop program under a virtual X server and drives it the way a player
// would, and runs the same program on the headless host to say what the screen must show.
// Shared by the end-to-end tests and the measuring program.

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "shell/application.h"
#include "shell/fonts/freetype_rasterizer.h"
#include "shell/headless/headless_host.h"
#include "shell/linux/pixbuf_decoder.h"
#include "toolkit/geometry.h"

// Xlib's display, without Xlib's macros in every file that includes this.
struct _XDisplay;

namespace puzzle::e2e {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// --- Pictures --------------------------------------------------------------------------------

// 0x00RRGGBB pixels, rows top to bottom: a screenshot or the headless host's client area.
struct Image {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint32_t> pixels;

  bool Empty() const { return width <= 0 || height <= 0; }
  uint32_t At(int32_t x, int32_t y) const {
    return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
  }
  // The part inside the image; empty when they don't overlap.
  Image Crop(const Rect& area) const;
};

// A binary PPM (P6) as ImageMagick writes it, 8 or 16 bits per sample.
std::optional<Image> ParsePpm(std::string_view bytes);
bool SavePng(const std::filesystem::path& path, const Image& image);
// A picture that shows where two images differ: red where they differ, dimmed elsewhere.
Image DifferencePicture(const Image& a, const Image& b);

// How two images of the same area differ; masked pixels are not compared.
struct Difference {
  bool sizesDiffer = false;
  int64_t pixels = 0;
  Rect box;  // around the differing pixels
  bool Same() const { return !sizesDiffer && pixels == 0; }
  std::string Describe() const;
};
Difference Compare(const Image& actual, const Image& expected, const std::vector<Rect>& masks = {});

// --- Processes -----------------------------------------------------------------------------------

// Variables to set (or, with an empty optional, to remove) over this process's environment.
using EnvironmentChanges = std::map<std::string, std::optional<std::string>>;

// A child process in a process group of its own, killed with the group when it goes out
// of scope; it is also told to die if this process dies first.
class ChildProcess {
 public:
  // outputFile: where its standard output and error go (empty: /dev/null).
  static std::unique_ptr<ChildProcess> Start(const std::vector<std::string>& argv, const EnvironmentChanges& env,
                                             const std::filesystem::path& outputFile = {}, int passFd = -1);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t Pid() const { return pid_; }
  bool Running();
  // The exit code (128 + signal for a signal), or nothing when it is still running then.
  std::optional<int> Wait(milliseconds timeout);
  // SIGTERM, then SIGKILL to its group when it doesn't go within the grace time.
  void Stop(milliseconds grace = milliseconds(2000));

 private:
  explicit ChildProcess(pid_t pid) : pid_(pid) {}
  bool Reap(bool block);

  pid_t pid_ = -1;
  std::optional<int> exitCode_;
};

struct RunResult {
  int exitCode = -1;
  bool timedOut = false;
  std::string output;  // standard output only
};
// Runs a tool to its end, its standard output captured; killed after the timeout.
RunResult Run(const std::vector<std::string>& argv, const EnvironmentChanges& env = {},
              milliseconds timeout = milliseconds(20000));

// The executable's path when it is on PATH.
std::optional<std::string> FindTool(std::string_view name);
// libfaketime's preload library, where Debian puts it.
std::optional<std::string> FindFakeTimeLibrary();
// What is missing for the desktop tests; empty when everything is there.
std::string MissingTools();

// A fresh directory, removed with everything in it when it goes out of scope.
class TempDir {
 public:
  explicit TempDir(std::string_view prefix = "brindlewick-e2e-");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// --- The X server and the tools that talk to it --------------------------------------------------

// Xvfb on the first free display number, 24-bit colour; stopped when destroyed.
class VirtualDisplay {
 public:
  VirtualDisplay() = default;
  ~VirtualDisplay() { Stop(); }
  // screen: the screen's size and depth, as Xvfb takes it.
  bool Start(std::string* error, const std::string& screen = "1024x768x24");
  void Stop();
  const std::string& Name() const { return name_; }  // ":N"

 private:
  std::unique_ptr<ChildProcess> server_;
  std::string name_;
};

struct WindowInfo {
  std::string id;  // decimal, as xdotool prints it
  std::string title;
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
};

// xdotool and ImageMagick's import on one display.
class XTools {
 public:
  explicit XTools(std::string display) : display_(std::move(display)) {}
  const std::string& Display() const { return display_; }

  // Runs xdotool with these arguments; its output, or nothing when it failed.
  std::optional<std::string> Xdotool(const std::vector<std::string>& args) const;
  // The visible top-level windows of a process, with titles and geometry.
  std::vector<WindowInfo> Windows(pid_t pid) const;
  std::optional<WindowInfo> Geometry(const std::string& window) const;
  // The window's contents as the X server has them.
  std::optional<Image> Capture(const std::string& window) const;
  // Sends WM_DELETE_WINDOW, as a window manager does for the close box.
  bool RequestClose(const std::string& window) const;
  // The top-level windows from the bottom of the stack to its top.
  std::vector<std::string> StackingOrder() const;

 private:
  std::string display_;
};

// What the X server was asked to draw into a window, rectangle by rectangle, as its DAMAGE
// extension reports it: what a program hands the display.
class DamageWatch {
 public:
  DamageWatch(const std::string& display, const std::string& windowId);
  ~DamageWatch();
  DamageWatch(const DamageWatch&) = delete;
  DamageWatch& operator=(const DamageWatch&) = delete;

  bool Ok() const { return damage_ != 0; }
  // The rectangles drawn in the window during the next `duration`.
  std::vector<Rect> Collect(milliseconds duration);

 private:
  ::_XDisplay* display_ = nullptr;
  unsigned long damage_ = 0;
  int eventBase_ = 0;
};

inline int64_t Area(const std::vector<Rect>& rects) {
  int64_t area = 0;
  for (const Rect& r : rects) area += int64_t{r.Width()} * r.Height();
  return area;
}

// --- The program under test --------------------------------------------------------------------

// The program the tools start: this build's, or the one BRINDLEWICK_MEASURE_PROGRAM names.
std::string DesktopProgramPath();

// The desktop program with a clock held on one second and a settings folder of its own.
class DesktopProgram {
 public:
  DesktopProgram(const XTools& x, std::filesystem::path home, int64_t second);
  ~DesktopProgram();

  // Starts it and waits for its main window to be mapped; false with a reason when that fails.
  // clientHeight is the height its client area starts with: the rest of the window is the
  // menu bar.
  bool Launch(std::string* error, int32_t clientHeight, milliseconds timeout = milliseconds(60000));
  // Only starts it.
  bool Start(std::string* error);
  // More variables for it, set before it starts (PATH with helper programs, say).
  void AddEnvironment(const EnvironmentChanges& changes) { extraEnvironment_.insert(changes.begin(), changes.end()); }
  // Waits until the window with this title is visible (or, with gone, no longer is).
  std::optional<WindowInfo> WaitForWindow(std::string_view title, milliseconds timeout = milliseconds(15000),
                                          bool gone = false);
  bool WaitForWindowGone(std::string_view title, milliseconds timeout = milliseconds(15000)) {
    return !WaitForWindow(title, timeout, true).has_value();
  }
  std::optional<WindowInfo> FindWindow(std::string_view title) const;
  // Gives the main window the keyboard focus (there is no window manager to do it).
  bool Focus();

  // xdotool key names: "F2", "ctrl+s", "Left"...
  bool Key(const std::vector<std::string>& keys);
  bool Type(std::string_view text);
  // A point of the client area of the main window, in client coordinates.
  bool MoveTo(int32_t clientX, int32_t clientY);
  bool ClickAt(int32_t clientX, int32_t clientY);
  // A point in screen coordinates.
  bool ClickScreen(int32_t x, int32_t y);

  // The whole main window, and its client area: everything under the menu bar.
  std::optional<Image> CaptureWindow();
  std::optional<Image> CaptureClient();
  int32_t MenuBarHeight() const { return menuBarHeight_; }

  // Polls the client area until it equals the expected picture outside the masks; answers the
  // last difference (Same() when it matched).
  Difference WaitForClient(const Image& expected, const std::vector<Rect>& masks = {},
                           milliseconds timeout = milliseconds(10000), Image* last = nullptr);

  std::optional<int> WaitForExit(milliseconds timeout);
  bool Running() { return process_ && process_->Running(); }
  pid_t Pid() const { return process_ ? process_->Pid() : -1; }
  const std::string& MainWindow() const { return mainWindow_; }
  const std::filesystem::path& ConfigHome() const { return configHome_; }
  std::filesystem::path SettingsFilePath() const;
  // What the program wrote to its standard output and error.
  std::string Output() const;
  const XTools& X() const { return x_; }

 private:
  const XTools& x_;
  std::filesystem::path home_;
  std::filesystem::path configHome_;
  std::filesystem::path logFile_;
  int64_t second_;
  std::unique_ptr<ChildProcess> process_;
  std::string mainWindow_;
  int32_t menuBarHeight_ = 0;
  EnvironmentChanges extraEnvironment_;
};

// The values of the one key in a settings file, as their text after '=': "dword:00000004",
// "hex:01", "\"/path\"".
std::map<std::string, std::string> ReadSettingsValues(const std::filesystem::path& file);

// --- The same program in memory ---------------------------------------------------------------------

// The program on the headless host with the desktop's fonts and picture decoder, driven with
// the same inputs: what the desktop's client area must show.
class HeadlessMirror {
 public:
  explicit HeadlessMirror(int64_t second);
  HeadlessMirror(const HeadlessMirror&) = delete;
  HeadlessMirror& operator=(const HeadlessMirror&) = delete;

  // A key press with the key-down, the character (for Ctrl+letter) and the key-up.
  void Key(uint32_t virtualKey, bool control = false);
  // The pointer moves there, then presses and releases.
  void ClickAt(int32_t x, int32_t y);
  void MoveTo(int32_t x, int32_t y);
  void Command(uint32_t id);
  Image Client();

  // Where the seconds counter is, and its value as the pixels of an image of the client area
  // show it; nothing when they show no number.
  Rect SecondsCounterRect();
  Rect MovesCounterRect();
  std::optional<int32_t> ReadCounter(const Image& client, const Rect& counter);
  // The centre of a cell of the board, in client coordinates.
  std::pair<int32_t, int32_t> CellCentre(int32_t column, int32_t row);
  std::pair<int32_t, int32_t> FaceCentre();

  GamePanel& Panel() { return *app.gamePanel; }
  Board& GetBoard() { return *app.gamePanel->GetBoard(); }

  FreeTypeRasterizer fonts;
  PixbufDecoder decoder;
  HeadlessHost host;
  Application app;

 private:
  // Each counter digit 0-9 as the counter draws it, keyed by the counter's rectangle.
  std::vector<Image> DigitGlyphs(const Rect& counter);
};

// Key names xdotool knows for the keys the game handles.
std::string XdotoolKeyName(uint32_t virtualKey);


}  // namespace puzzle::e2e
