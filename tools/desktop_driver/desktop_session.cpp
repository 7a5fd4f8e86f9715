#include "tools/desktop_driver/desktop_session.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <queue>
#include <sstream>
#include <thread>
#include <unordered_map>

#include "resources/resource_tables.h"
#include "toolkit/platform_codes.h"
#include "tools/png_writer.h"

extern char** environ;

namespace puzzle::e2e {

namespace fs = std::filesystem;

// --- Pictures --------------------------------------------------------------------------------

Image Image::Crop(const Rect& area) const {
  const Rect r{std::max(area.left, 0), std::max(area.top, 0), std::min(area.right, width),
               std::min(area.bottom, height)};
  Image out;
  if (r.IsEmpty()) return out;
  out.width = r.Width();
  out.height = r.Height();
  out.pixels.reserve(static_cast<size_t>(out.width) * static_cast<size_t>(out.height));
  for (int32_t y = r.top; y < r.bottom; ++y) {
    for (int32_t x = r.left; x < r.right; ++x) out.pixels.push_back(At(x, y));
  }
  return out;
}

std::optional<Image> ParsePpm(std::string_view bytes) {
  // "P6", width, height, maximum sample, one whitespace, then the samples.
  size_t at = 0;
  auto skipSpace = [&] {
    while (at < bytes.size()) {
      if (bytes[at] == '#') {
        while (at < bytes.size() && bytes[at] != '\n') ++at;
      } else if (std::isspace(static_cast<unsigned char>(bytes[at])) != 0) {
        ++at;
      } else {
        break;
      }
    }
  };
  auto number = [&]() -> std::optional<int64_t> {
    skipSpace();
    int64_t value = 0;
    size_t digits = 0;
    while (at < bytes.size() && bytes[at] >= '0' && bytes[at] <= '9' && digits < 9) {
      value = value * 10 + (bytes[at] - '0');
      ++at;
      ++digits;
    }
    if (digits == 0) return std::nullopt;
    return value;
  };
  if (bytes.substr(0, 2) != "P6") return std::nullopt;
  at = 2;
  const auto width = number();
  const auto height = number();
  const auto maxValue = number();
  if (!width || !height || !maxValue || *width <= 0 || *height <= 0 || *maxValue <= 0 || *maxValue > 65535) {
    return std::nullopt;
  }
  ++at;  // the single whitespace before the samples
  const size_t sampleBytes = *maxValue > 255 ? 2 : 1;
  const auto count = static_cast<size_t>(*width) * static_cast<size_t>(*height);
  if (bytes.size() < at + count * 3 * sampleBytes) return std::nullopt;
  Image image;
  image.width = static_cast<int32_t>(*width);
  image.height = static_cast<int32_t>(*height);
  image.pixels.resize(count);
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + at);
  auto sample = [&]() -> uint32_t {
    uint32_t v = *p++;
    if (sampleBytes == 2) v = (v << 8) | *p++;
    return static_cast<uint32_t>((v * 255 + static_cast<uint32_t>(*maxValue) / 2) / static_cast<uint32_t>(*maxValue));
  };
  for (size_t i = 0; i < count; ++i) {
    const uint32_t r = sample();
    const uint32_t g = sample();
    const uint32_t b = sample();
    image.pixels[i] = (r << 16) | (g << 8) | b;
  }
  return image;
}

bool SavePng(const fs::path& path, const Image& image) {
  if (image.Empty()) return false;
  std::error_code ignored;
  fs::create_directories(path.parent_path(), ignored);
  return tools::WritePng(path.string(), image.width, image.height, image.pixels);
}

Image DifferencePicture(const Image& a, const Image& b) {
  Image out;
  out.width = std::max(a.width, b.width);
  out.height = std::max(a.height, b.height);
  out.pixels.assign(static_cast<size_t>(out.width) * static_cast<size_t>(out.height), 0xFF00FF);
  for (int32_t y = 0; y < std::min(a.height, b.height); ++y) {
    for (int32_t x = 0; x < std::min(a.width, b.width); ++x) {
      const uint32_t p = a.At(x, y);
      const uint32_t dim = ((p >> 2) & 0x3F3F3F) + 0x202020;
      out.pixels[static_cast<size_t>(y) * static_cast<size_t>(out.width) + static_cast<size_t>(x)] =
          p == b.At(x, y) ? dim : 0xFF0000;
    }
  }
  return out;
}

std::string Difference::Describe() const {
  if (sizesDiffer) return "the sizes differ";
  if (pixels == 0) return "identical";
  std::ostringstream text;
  text << pixels << " pixels differ, within x " << box.left << ".." << box.right - 1 << ", y " << box.top << ".."
       << box.bottom - 1;
  return text.str();
}

Difference Compare(const Image& actual, const Image& expected, const std::vector<Rect>& masks) {
  Difference d;
  if (actual.width != expected.width || actual.height != expected.height) {
    d.sizesDiffer = true;
    return d;
  }
  d.box = Rect{actual.width, actual.height, 0, 0};
  for (int32_t y = 0; y < actual.height; ++y) {
    for (int32_t x = 0; x < actual.width; ++x) {
      if (actual.At(x, y) == expected.At(x, y)) continue;
      if (std::any_of(masks.begin(), masks.end(), [&](const Rect& m) { return m.Contains(x, y); })) continue;
      ++d.pixels;
      d.box.left = std::min(d.box.left, x);
      d.box.top = std::min(d.box.top, y);
      d.box.right = std::max(d.box.right, x + 1);
      d.box.bottom = std::max(d.box.bottom, y + 1);
    }
  }
  if (d.pixels == 0) d.box = Rect{};
  return d;
}

// --- Processes -----------------------------------------------------------------------------------

namespace {

std::vector<std::string> MergedEnvironment(const EnvironmentChanges& changes) {
  std::vector<std::string> out;
  for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
    const std::string entry(*e);
    const std::string name = entry.substr(0, entry.find('='));
    if (changes.count(name) == 0) out.push_back(entry);
  }
  for (const auto& [name, value] : changes) {
    if (value) out.push_back(name + "=" + *value);
  }
  return out;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (std::string& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

// Forks and runs argv in a process group of its own with the given descriptors as its
// standard output and error; passFd, when given, becomes its descriptor 3.
pid_t Spawn(const std::vector<std::string>& argv, const EnvironmentChanges& env, int outFd, int errFd, int passFd) {
  std::vector<std::string> args = argv;
  std::vector<std::string> environment = MergedEnvironment(env);
  std::vector<char*> argp = Pointers(args);
  std::vector<char*> envp = Pointers(environment);
  const int nullFd = open("/dev/null", O_RDWR | O_CLOEXEC);
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    // Only async-signal-safe calls from here to exec.
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    dup2(nullFd, 0);
    dup2(outFd >= 0 ? outFd : nullFd, 1);
    dup2(errFd >= 0 ? errFd : nullFd, 2);
    if (passFd >= 0) {
      if (passFd == 3) {
        fcntl(3, F_SETFD, 0);
      } else {
        dup2(passFd, 3);
      }
    }
    execvpe(argp[0], argp.data(), envp.data());
    _exit(127);
  }
  if (pid > 0) setpgid(pid, pid);
  close(nullFd);
  return pid;
}

int ExitCodeOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::Start(const std::vector<std::string>& argv, const EnvironmentChanges& env,
                                                  const fs::path& outputFile, int passFd) {
  int outFd = -1;
  if (!outputFile.empty()) {
    outFd = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (outFd < 0) return nullptr;
  }
  const pid_t pid = Spawn(argv, env, outFd, outFd, passFd);
  if (outFd >= 0) close(outFd);
  if (pid <= 0) return nullptr;
  return std::unique_ptr<ChildProcess>(new ChildProcess(pid));
}

ChildProcess::~ChildProcess() { Stop(milliseconds(1000)); }

bool ChildProcess::Reap(bool block) {
  if (exitCode_) return true;
  // Looked at without reaping first: while the leader is a zombie its group's number can't
  // be taken by anyone else, so what it left running in its group can be killed safely.
  siginfo_t info{};
  if (waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOWAIT | (block ? 0 : WNOHANG)) != 0) {
    if (errno != ECHILD) return false;
    exitCode_ = -1;
    return true;
  }
  if (info.si_pid != pid_) return false;
  kill(-pid_, SIGKILL);
  int status = 0;
  waitpid(pid_, &status, 0);
  exitCode_ = ExitCodeOf(status);
  return true;
}

bool ChildProcess::Running() { return !Reap(false); }

std::optional<int> ChildProcess::Wait(milliseconds timeout) {
  const auto end = Clock::now() + timeout;
  while (!Reap(false)) {
    if (Clock::now() >= end) return std::nullopt;
    std::this_thread::sleep_for(milliseconds(20));
  }
  return exitCode_;
}

void ChildProcess::Stop(milliseconds grace) {
  if (pid_ <= 0 || Reap(false)) return;
  kill(pid_, SIGTERM);
  if (!Wait(grace)) {
    kill(-pid_, SIGKILL);
    Reap(true);
  }
}

RunResult Run(const std::vector<std::string>& argv, const EnvironmentChanges& env, milliseconds timeout) {
  RunResult result;
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return result;
  const pid_t pid = Spawn(argv, env, pipeFds[1], -1, -1);
  close(pipeFds[1]);
  if (pid <= 0) {
    close(pipeFds[0]);
    return result;
  }
  const auto end = Clock::now() + timeout;
  char buffer[65536];
  for (;;) {
    const auto left = std::chrono::duration_cast<milliseconds>(end - Clock::now()).count();
    if (left <= 0) {
      result.timedOut = true;
      break;
    }
    pollfd p{pipeFds[0], POLLIN, 0};
    const int ready = poll(&p, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) continue;
    const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    result.output.append(buffer, static_cast<size_t>(n));
  }
  close(pipeFds[0]);
  int status = 0;
  if (result.timedOut) {
    kill(-pid, SIGKILL);
    kill(pid, SIGKILL);
  }
  waitpid(pid, &status, 0);
  result.exitCode = result.timedOut ? -1 : ExitCodeOf(status);
  return result;
}

std::optional<std::string> FindTool(std::string_view name) {
  const char* path = std::getenv("PATH");
  std::string rest = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
  std::stringstream dirs(rest);
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    if (dir.empty()) continue;
    const fs::path candidate = fs::path(dir) / name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate.string();
  }
  return std::nullopt;
}

std::optional<std::string> FindFakeTimeLibrary() {
  for (const char* candidate :
       {"/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1", "/usr/lib/aarch64-linux-gnu/faketime/libfaketime.so.1",
        "/usr/lib/faketime/libfaketime.so.1", "/usr/local/lib/faketime/libfaketime.so.1"}) {
    if (access(candidate, R_OK) == 0) return std::string(candidate);
  }
  return std::nullopt;
}

std::string MissingTools() {
  std::string missing;
  for (const char* tool : {"Xvfb", "xdotool", "import"}) {
    if (!FindTool(tool)) missing += std::string(missing.empty() ? "" : ", ") + tool;
  }
  if (!FindFakeTimeLibrary()) missing += std::string(missing.empty() ? "" : ", ") + "libfaketime";
  return missing;
}

TempDir::TempDir(std::string_view prefix) {
  std::string pattern = (fs::temp_directory_path() / (std::string(prefix) + "XXXXXX")).string();
  if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  if (!path_.empty()) fs::remove_all(path_, ignored);
}

// --- The X server and the tools that talk to it --------------------------------------------------

bool VirtualDisplay::Start(std::string* error, const std::string& screen) {
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) {
    *error = "no pipe";
    return false;
  }
  // The server picks a free display number itself and writes it to descriptor 3.
  server_ = ChildProcess::Start(
      {"Xvfb", "-displayfd", "3", "-screen", "0", screen, "-nolisten", "tcp", "-noreset"}, {}, {}, pipeFds[1]);
  close(pipeFds[1]);
  if (!server_) {
    close(pipeFds[0]);
    *error = "Xvfb did not start";
    return false;
  }
  std::string number;
  const auto end = Clock::now() + milliseconds(20000);
  while (Clock::now() < end && number.find('\n') == std::string::npos) {
    pollfd p{pipeFds[0], POLLIN, 0};
    if (poll(&p, 1, 200) <= 0) {
      if (!server_->Running()) break;
      continue;
    }
    char buffer[32];
    const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
    if (n <= 0) break;
    number.append(buffer, static_cast<size_t>(n));
  }
  close(pipeFds[0]);
  while (!number.empty() && (number.back() == '\n' || number.back() == ' ')) number.pop_back();
  if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) {
    *error = "Xvfb gave no display number";
    server_.reset();
    return false;
  }
  name_ = ":" + number;
  return true;
}

DamageWatch::DamageWatch(const std::string& display, const std::string& windowId) {
  display_ = XOpenDisplay(display.c_str());
  int errorBase = 0;
  if (display_ == nullptr || !XDamageQueryExtension(display_, &eventBase_, &errorBase)) return;
  const ::Window window = std::strtoul(windowId.c_str(), nullptr, 10);
  damage_ = XDamageCreate(display_, window, XDamageReportRawRectangles);
  XSync(display_, False);
}

DamageWatch::~DamageWatch() {
  if (display_ == nullptr) return;
  // The window may be gone, and its damage with it: that is no error here.
  XSync(display_, False);
  auto* previous = XSetErrorHandler([](::Display*, XErrorEvent*) { return 0; });
  if (damage_ != 0) XDamageDestroy(display_, damage_);
  XSync(display_, False);
  XSetErrorHandler(previous);
  XCloseDisplay(display_);
}

std::vector<Rect> DamageWatch::Collect(milliseconds duration) {
  std::vector<Rect> rects;
  if (!Ok()) return rects;
  const auto end = Clock::now() + duration;
  for (;;) {
    while (XPending(display_) > 0) {
      XEvent event;
      XNextEvent(display_, &event);
      if (event.type != eventBase_ + XDamageNotify) continue;
      const auto& notify = reinterpret_cast<const XDamageNotifyEvent&>(event);
      rects.push_back(Rect{notify.area.x, notify.area.y, notify.area.x + notify.area.width,
                           notify.area.y + notify.area.height});
    }
    const auto left = std::chrono::duration_cast<milliseconds>(end - Clock::now()).count();
    if (left <= 0) break;
    pollfd p{ConnectionNumber(display_), POLLIN, 0};
    poll(&p, 1, static_cast<int>(std::min<int64_t>(left, 100)));
  }
  return rects;
}

void VirtualDisplay::Stop() {
  if (server_) server_->Stop();
  server_.reset();
}

std::optional<std::string> XTools::Xdotool(const std::vector<std::string>& args) const {
  std::vector<std::string> argv{"xdotool"};
  argv.insert(argv.end(), args.begin(), args.end());
  RunResult r = Run(argv, {{"DISPLAY", display_}});
  if (r.exitCode != 0) return std::nullopt;
  return r.output;
}

namespace {

// Parses getwindowgeometry --shell blocks followed by one name per window.
std::vector<WindowInfo> ParseWindowList(const std::string& text) {
  std::vector<WindowInfo> windows;
  std::stringstream lines(text);
  std::string line;
  std::vector<std::string> rest;
  while (std::getline(lines, line)) {
    const auto eq = line.find('=');
    const std::string key = eq == std::string::npos ? "" : line.substr(0, eq);
    const std::string value = eq == std::string::npos ? "" : line.substr(eq + 1);
    if (key == "WINDOW" && rest.empty()) {
      windows.push_back({value, "", 0, 0, 0, 0});
    } else if (!windows.empty() && rest.empty() &&
               (key == "X" || key == "Y" || key == "WIDTH" || key == "HEIGHT" || key == "SCREEN")) {
      const int32_t v = std::atoi(value.c_str());
      if (key == "X") windows.back().x = v;
      if (key == "Y") windows.back().y = v;
      if (key == "WIDTH") windows.back().width = v;
      if (key == "HEIGHT") windows.back().height = v;
    } else {
      rest.push_back(line);
    }
  }
  for (size_t i = 0; i < windows.size() && i < rest.size(); ++i) windows[i].title = rest[i];
  return windows;
}

}  // namespace

std::vector<WindowInfo> XTools::Windows(pid_t pid) const {
  // One search, then the geometry and the names of what it found, in its order.
  auto out = Xdotool({"search", "--pid", std::to_string(pid), "--onlyvisible", "--name", "", "getwindowgeometry",
                      "--shell", "%@", "getwindowname", "%@"});
  if (!out) return {};
  std::vector<WindowInfo> windows;
  for (WindowInfo& w : ParseWindowList(*out)) {
    // GTK's hidden helper windows are 1 x 1; the root window may match the search too.
    if (w.width <= 1 || w.height <= 1 || w.title.empty()) continue;
    windows.push_back(w);
  }
  return windows;
}

std::optional<WindowInfo> XTools::Geometry(const std::string& window) const {
  auto out = Xdotool({"getwindowgeometry", "--shell", window, "getwindowname", window});
  if (!out) return std::nullopt;
  auto list = ParseWindowList(*out);
  if (list.empty()) return std::nullopt;
  return list.front();
}

std::optional<Image> XTools::Capture(const std::string& window) const {
  RunResult r = Run({"import", "-silent", "-window", window, "-depth", "8", "ppm:-"}, {{"DISPLAY", display_}});
  if (r.exitCode != 0) return std::nullopt;
  return ParsePpm(r.output);
}

bool XTools::RequestClose(const std::string& window) const {
  ::Display* display = XOpenDisplay(display_.c_str());
  if (display == nullptr) return false;
  const auto id = static_cast<::Window>(std::strtoul(window.c_str(), nullptr, 10));
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = id;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  const Status sent = XSendEvent(display, id, False, NoEventMask, &event);
  XSync(display, False);
  XCloseDisplay(display);
  return sent != 0;
}

std::vector<std::string> XTools::StackingOrder() const {
  std::vector<std::string> order;
  ::Display* display = XOpenDisplay(display_.c_str());
  if (display == nullptr) return order;
  ::Window root = 0;
  ::Window parent = 0;
  ::Window* children = nullptr;
  unsigned int count = 0;
  // Without a window manager the top-level windows are the root's children, bottom first.
  if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) != 0) {
    for (unsigned int i = 0; i < count; ++i) order.push_back(std::to_string(children[i]));
    if (children != nullptr) XFree(children);
  }
  XCloseDisplay(display);
  return order;
}

// --- The program under test --------------------------------------------------------------------

DesktopProgram::DesktopProgram(const XTools& x, fs::path home, int64_t second)
    : x_(x), home_(std::move(home)), configHome_(home_ / "config"), logFile_(home_ / "program.log"), second_(second) {}

DesktopProgram::~DesktopProgram() {
  if (process_) process_->Stop(milliseconds(3000));
}

std::string DesktopProgramPath() {
  // Another build of the program, to measure it against this one.
  const char* other = std::getenv("BRINDLEWICK_MEASURE_PROGRAM");
  return other != nullptr && *other != '\0' ? other : PUZZLE_DESKTOP_PROGRAM;
}

fs::path DesktopProgram::SettingsFilePath() const { return configHome_ / "brindlewick" / "brindlewick Puzzle.reg"; }

std::string DesktopProgram::Output() const {
  std::ifstream file(logFile_);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

bool DesktopProgram::Launch(std::string* error, int32_t clientHeight, milliseconds timeout) {
  if (!Start(error)) return false;
  auto window = WaitForWindow("brindlewick Puzzle", timeout);
  if (!window) {
    *error = Running() ? "no main window appeared" : "the program ended before showing its window";
    *error += "; its output:\n" + Output();
    return false;
  }
  mainWindow_ = window->id;
  // The client area fills the window below the menu bar.
  menuBarHeight_ = window->height - clientHeight;
  return true;
}

bool DesktopProgram::Start(std::string* error) {
  std::error_code ignored;
  fs::create_directories(configHome_, ignored);
  fs::create_directories(home_ / "data", ignored);
  const auto fakeTime = FindFakeTimeLibrary();
  if (!fakeTime) {
    *error = "libfaketime is missing";
    return false;
  }
  const char* asan = std::getenv("ASAN_OPTIONS");
  std::string asanOptions = asan != nullptr ? std::string(asan) + ":" : "";
  // libfaketime is preloaded ahead of the sanitizer runtime; that order is harmless here.
  asanOptions += "verify_asan_link_order=0";
  EnvironmentChanges env{
      {"DISPLAY", x_.Display()},
      {"WAYLAND_DISPLAY", std::nullopt},
      {"GDK_BACKEND", "x11"},
      {"XDG_CONFIG_HOME", configHome_.string()},
      {"XDG_DATA_HOME", (home_ / "data").string()},
      // The wall clock stands still on one second, which seeds the shuffle; GTK's timers
      // run on the monotonic clock, which keeps going.
      {"LD_PRELOAD", *fakeTime},
      {"FAKETIME_FMT", "%s"},
      {"FAKETIME", std::to_string(second_)},
      {"FAKETIME_DONT_FAKE_MONOTONIC", "1"},
      // File times stay true: faked ones make fontconfig find every cache stale and scan the
      // fonts again, and the next program that isn't faked then does the same.
      {"NO_FAKE_STAT", "1"},
      {"TZ", "UTC"},
      {"ASAN_OPTIONS", asanOptions},
      // No accessibility bus and no dconf: there is no session bus under the test.
      {"NO_AT_BRIDGE", "1"},
      {"GSETTINGS_BACKEND", "memory"},
  };
  for (const auto& [name, value] : extraEnvironment_) env[name] = value;
  process_ = ChildProcess::Start({DesktopProgramPath()}, env, logFile_);
  if (!process_) {
    *error = "the program did not start";
    return false;
  }
  return true;
}

std::optional<WindowInfo> DesktopProgram::FindWindow(std::string_view title) const {
  if (!process_) return std::nullopt;
  for (const WindowInfo& w : x_.Windows(process_->Pid())) {
    if (w.title == title) return w;
  }
  return std::nullopt;
}

std::optional<WindowInfo> DesktopProgram::WaitForWindow(std::string_view title, milliseconds timeout, bool gone) {
  const auto end = Clock::now() + timeout;
  for (;;) {
    auto found = FindWindow(title);
    if (found.has_value() != gone) return found;
    if (Clock::now() >= end || !Running()) return found;
    std::this_thread::sleep_for(milliseconds(50));
  }
}

bool DesktopProgram::Focus() { return x_.Xdotool({"windowfocus", "--sync", mainWindow_}).has_value(); }

bool DesktopProgram::Key(const std::vector<std::string>& keys) {
  std::vector<std::string> args{"key", "--delay", "30"};
  args.insert(args.end(), keys.begin(), keys.end());
  return x_.Xdotool(args).has_value();
}

bool DesktopProgram::Type(std::string_view text) {
  return x_.Xdotool({"type", "--delay", "20", std::string(text)}).has_value();
}

bool DesktopProgram::MoveTo(int32_t clientX, int32_t clientY) {
  auto window = x_.Geometry(mainWindow_);
  if (!window) return false;
  return x_
      .Xdotool({"mousemove", std::to_string(window->x + clientX), std::to_string(window->y + menuBarHeight_ + clientY)})
      .has_value();
}

bool DesktopProgram::ClickAt(int32_t clientX, int32_t clientY) {
  auto window = x_.Geometry(mainWindow_);
  if (!window) return false;
  return ClickScreen(window->x + clientX, window->y + menuBarHeight_ + clientY);
}

bool DesktopProgram::ClickScreen(int32_t x, int32_t y) {
  return x_.Xdotool({"mousemove", std::to_string(x), std::to_string(y), "click", "1"}).has_value();
}

std::optional<Image> DesktopProgram::CaptureWindow() { return x_.Capture(mainWindow_); }

std::optional<Image> DesktopProgram::CaptureClient() {
  auto window = CaptureWindow();
  if (!window || window->height <= menuBarHeight_) return std::nullopt;
  return window->Crop(Rect{0, menuBarHeight_, window->width, window->height});
}

Difference DesktopProgram::WaitForClient(const Image& expected, const std::vector<Rect>& masks, milliseconds timeout,
                                         Image* last) {
  const auto end = Clock::now() + timeout;
  Difference d;
  d.sizesDiffer = true;
  for (;;) {
    if (auto client = CaptureClient()) {
      d = Compare(*client, expected, masks);
      if (last != nullptr) *last = *client;
      if (d.Same()) return d;
    }
    if (Clock::now() >= end || !Running()) return d;
    std::this_thread::sleep_for(milliseconds(30));
  }
}

std::optional<int> DesktopProgram::WaitForExit(milliseconds timeout) {
  if (!process_) return std::nullopt;
  return process_->Wait(timeout);
}

std::map<std::string, std::string> ReadSettingsValues(const fs::path& file) {
  std::map<std::string, std::string> values;
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    if (line.size() < 3 || line[0] != '"') continue;
    const auto close = line.find("\"=");
    if (close == std::string::npos) continue;
    values[line.substr(1, close - 1)] = line.substr(close + 2);
  }
  return values;
}

// --- The same program in memory ---------------------------------------------------------------------

HeadlessMirror::HeadlessMirror(int64_t second) : host(&fonts), app(host) {
  host.currentTime = second;
  host.UseDecoder(&decoder);
  app.Start(SW_SHOWNORMAL);
  host.DeliverPaint();
}

void HeadlessMirror::Key(uint32_t virtualKey, bool control) {
  host.PressKey(virtualKey, control);
  host.DeliverPaint();
}

void HeadlessMirror::MoveTo(int32_t x, int32_t y) {
  host.MoveMouse(x, y);
  host.DeliverPaint();
}

void HeadlessMirror::ClickAt(int32_t x, int32_t y) {
  host.MoveMouse(x, y);
  host.Click(x, y);
  host.DeliverPaint();
}

void HeadlessMirror::Command(uint32_t id) {
  host.Command(id);
  host.DeliverPaint();
}

Image HeadlessMirror::Client() {
  host.DeliverPaint();
  const SoftwareSurface& backing = host.target.Backing();
  Image image;
  image.width = backing.Width();
  image.height = backing.Height();
  image.pixels.assign(backing.Pixels().begin(), backing.Pixels().end());
  for (uint32_t& p : image.pixels) p &= 0xFFFFFF;
  return image;
}

namespace {
Rect RectOf(Component& c) { return Rect{c.GetX(), c.GetY(), c.GetX() + c.GetWidth(), c.GetY() + c.GetHeight()}; }
}  // namespace

Rect HeadlessMirror::SecondsCounterRect() { return RectOf(*Panel().GetSecondsCounter()); }
Rect HeadlessMirror::MovesCounterRect() { return RectOf(*Panel().GetMovesCounter()); }

std::vector<Image> HeadlessMirror::DigitGlyphs(const Rect& counterRect) {
  // Draws 0000, 1111... 9999 on the counter and keeps each drawing; then puts its value back.
  DigitCounter* counter = Panel().GetSecondsCounter();
  if (RectOf(*counter) != counterRect) counter = Panel().GetMovesCounter();
  const int32_t kept = counter->GetValue();
  std::vector<Image> glyphs;
  for (int32_t d = 0; d <= 9; ++d) {
    counter->SetValue(d * 1111);
    app.RenderPanel();
    glyphs.push_back(Client().Crop(counterRect));
  }
  counter->SetValue(kept);
  app.RenderPanel();
  return glyphs;
}

std::optional<int32_t> HeadlessMirror::ReadCounter(const Image& client, const Rect& counter) {
  const std::vector<Image> glyphs = DigitGlyphs(counter);
  const Image shown = client.Crop(counter);
  if (shown.width != counter.Width() || shown.height != counter.Height()) return std::nullopt;
  constexpr int32_t kDigits = 4;
  const int32_t digitWidth = counter.Width() / kDigits;
  int32_t value = 0;
  for (int32_t i = 0; i < kDigits; ++i) {
    const Rect cell{i * digitWidth, 0, (i + 1) * digitWidth, counter.Height()};
    const Image piece = shown.Crop(cell);
    std::optional<int32_t> digit;
    for (int32_t d = 0; d <= 9 && !digit; ++d) {
      if (Compare(piece, glyphs[static_cast<size_t>(d)].Crop(cell)).Same()) digit = d;
    }
    if (!digit) return std::nullopt;
    value = value * 10 + *digit;
  }
  return value;
}

std::pair<int32_t, int32_t> HeadlessMirror::CellCentre(int32_t column, int32_t row) {
  Board& b = GetBoard();
  return {b.GetX() + (2 * column + 1) * b.GetWidth() / (2 * b.GetColumns()),
          b.GetY() + (2 * row + 1) * b.GetHeight() / (2 * b.GetRows())};
}

std::pair<int32_t, int32_t> HeadlessMirror::FaceCentre() {
  FaceButton& face = *Panel().GetFace();
  return {face.GetX() + face.GetWidth() / 2, face.GetY() + face.GetHeight() / 2};
}

std::string XdotoolKeyName(uint32_t virtualKey) {
  switch (virtualKey) {
    case VK_LEFT:
      return "Left";
    case VK_RIGHT:
      return "Right";
    case VK_UP:
      return "Up";
    case VK_DOWN:
      return "Down";
    case VK_F1:
      return "F1";
    case VK_F2:
      return "F2";
    case VK_ESCAPE:
      return "Escape";
    case VK_RETURN:
      return "Return";
    default:
      break;
  }
  if ((virtualKey >= 'A' && virtualKey <= 'Z') || (virtualKey >= '0' && virtualKey <= '9')) {
    return std::string(1, static_cast<char>(virtualKey >= 'A' ? virtualKey - 'A' + 'a' : virtualKey));
  }
  return {};
}


}  // namespace puzzle::e2e
