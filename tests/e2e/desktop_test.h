#pragma once

// What every end-to-end case shares: one X server for the test process, and a fixture that
// starts the desktop program on it beside its headless mirror, with the steps that drive both.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tools/desktop_driver/desktop_session.h"
#include "toolkit/platform_codes.h"

namespace puzzle::e2e {

namespace fs = std::filesystem;

// 2026-12-06 10:00:00 UTC: the second the program believes it starts in, every time.
inline constexpr int64_t kStartSecond = 1796551200;
inline constexpr uint32_t kLightGrey = 0xC0C0C0;

// One X server for this test process.
class XServer : public ::testing::Environment {
 public:
  void SetUp() override {
    const std::string missing = MissingTools();
    if (!missing.empty()) {
      skipReason = "not installed: " + missing;
      return;
    }
    std::string error;
    display = std::make_unique<VirtualDisplay>();
    if (!display->Start(&error)) {
      skipReason = "no X server: " + error;
      display.reset();
    }
  }
  void TearDown() override { display.reset(); }

  static inline std::unique_ptr<VirtualDisplay> display;
  static inline std::string skipReason;
};

[[maybe_unused]] inline const auto* const kServer = ::testing::AddGlobalTestEnvironment(new XServer);

// Template sizes in pixels, as the desktop lays dialog units out (6 x 13 base units).
inline int32_t DialogPixelsX(int32_t units) { return (units * 6 + 2) / 4; }
inline int32_t DialogPixelsY(int32_t units) { return (units * 13 + 4) / 8; }

class DesktopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!XServer::display) GTEST_SKIP() << XServer::skipReason;
    x = std::make_unique<XTools>(XServer::display->Name());
    home = std::make_unique<TempDir>();
    ASSERT_FALSE(home->Path().empty());
    mirror = std::make_unique<HeadlessMirror>(kStartSecond);
    program = std::make_unique<DesktopProgram>(*x, home->Path(), kStartSecond);
    program->AddEnvironment(extraEnvironment);
    BeforeStart();
    std::string error;
    if (!waitForMainWindow) {
      ASSERT_TRUE(program->Start(&error)) << error;
      return;
    }
    ASSERT_TRUE(program->Launch(&error, mirror->Client().height)) << error;
    ASSERT_TRUE(program->Focus());
  }

  // Runs before the program starts: a case's settings file, say.
  virtual void BeforeStart() {}
  // Writes the settings file the program starts with.
  void WriteSettings(const std::string& values) {
    fs::create_directories(program->SettingsFilePath().parent_path());
    std::ofstream out(program->SettingsFilePath(), std::ios::binary);
    out << "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\brindlewick\\brindlewick Puzzle]\n"
        << values;
  }

  void TearDown() override {
    if (program && HasFailure()) std::cerr << "The program's output:\n" << program->Output() << "\n";
    program.reset();
  }

  // Waits for the client area to show what the headless host shows; on a mismatch both
  // pictures and their difference are kept for looking at.
  ::testing::AssertionResult ScreenMatches(const std::string& step, const std::vector<Rect>& masks = {}) {
    const Image expected = mirror->Client();
    Image shown;
    const Difference d = program->WaitForClient(expected, masks, milliseconds(10000), &shown);
    if (d.Same()) return ::testing::AssertionSuccess();
    const fs::path dir =
        fs::path(PUZZLE_E2E_ARTIFACTS) / ::testing::UnitTest::GetInstance()->current_test_info()->name();
    SavePng(dir / (step + "-desktop.png"), shown);
    SavePng(dir / (step + "-headless.png"), expected);
    if (!d.sizesDiffer) SavePng(dir / (step + "-difference.png"), DifferencePicture(shown, expected));
    return ::testing::AssertionFailure() << step << ": the screen (" << shown.width << " x " << shown.height
                                         << ") is not the headless rendering (" << expected.width << " x "
                                         << expected.height << "): " << d.Describe() << "; pictures in " << dir;
  }

  // The seconds counter runs on real time on the desktop only.
  std::vector<Rect> ClockMask() { return {mirror->SecondsCounterRect()}; }

  std::optional<int32_t> SecondsOnScreen() {
    auto client = program->CaptureClient();
    if (!client) return std::nullopt;
    return mirror->ReadCounter(*client, mirror->SecondsCounterRect());
  }

  // The same input to both programs.
  void Press(uint32_t virtualKey, bool control = false) {
    ASSERT_TRUE(program->Key({(control ? "ctrl+" : "") + XdotoolKeyName(virtualKey)}));
    mirror->Key(virtualKey, control);
  }
  void Click(int32_t clientX, int32_t clientY) {
    ASSERT_TRUE(program->ClickAt(clientX, clientY));
    mirror->ClickAt(clientX, clientY);
  }
  void ClickCell(int32_t column, int32_t row) {
    auto [cx, cy] = mirror->CellCentre(column, row);
    Click(cx, cy);
  }
  // A menu item by its mnemonics, e.g. Alt+O then E for Options > Expert.
  void Menu(const std::string& menuLetter, const std::string& itemLetter) {
    ASSERT_TRUE(program->Key({"alt+" + menuLetter}));
    // The menu is open once its popup is mapped; only then does the item letter reach it.
    ASSERT_TRUE(WaitForPopup()) << "the menu did not open";
    ASSERT_TRUE(program->Key({itemLetter}));
  }
  bool WaitForPopup() {
    const auto end = Clock::now() + milliseconds(10000);
    while (Clock::now() < end) {
      for (const WindowInfo& w : x->Windows(program->Pid())) {
        if (w.id != program->MainWindow() && w.title == "brindlewick-puzzle") return true;
      }
      std::this_thread::sleep_for(milliseconds(30));
    }
    return false;
  }
  // Types into a dialog once it has the keyboard.
  void FocusWindow(const WindowInfo& window) { ASSERT_TRUE(x->Xdotool({"windowfocus", "--sync", window.id})); }

  void KeepScreenshot(const std::string& name, const std::string& window) {
    if (auto image = x->Capture(window)) {
      SavePng(fs::path(PUZZLE_E2E_ARTIFACTS) / "screens" / (name + ".png"), *image);
    }
  }

  // Where another window lies over the client area, in client coordinates: the screen
  // has its pixels there.
  Rect OverClient(const WindowInfo& other) {
    auto main = x->Geometry(program->MainWindow());
    const int32_t left = main ? main->x : 0;
    const int32_t top = (main ? main->y : 0) + program->MenuBarHeight();
    return Rect{other.x - left, other.y - top, other.x - left + other.width, other.y - top + other.height};
  }

  // The program's windows, for failure messages.
  std::string DescribeWindows() {
    std::string text = "windows:";
    for (const WindowInfo& w : x->Windows(program->Pid())) {
      text += " [" + w.title + " " + std::to_string(w.width) + "x" + std::to_string(w.height) + "+" +
              std::to_string(w.x) + "+" + std::to_string(w.y) + "]";
    }
    if (auto focus = x->Xdotool({"getwindowfocus"})) text += "; focus " + *focus;
    KeepScreenshot(std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-screen", "root");
    return text;
  }

  std::map<std::string, std::string> SavedSettings() { return ReadSettingsValues(program->SettingsFilePath()); }

  // Waits for the program to end, which must be with code 0.
  void ExpectCleanExit() {
    const auto code = program->WaitForExit(milliseconds(60000));
    ASSERT_TRUE(code) << "the program did not exit; " << DescribeWindows();
    EXPECT_EQ(*code, 0);
  }

  // The settings file holds these values, as written there.
  void ExpectSaved(const std::vector<std::pair<std::string, std::string>>& expected) {
    const auto saved = SavedSettings();
    for (const auto& [name, value] : expected) {
      EXPECT_EQ(saved.count(name) ? saved.at(name) : "<missing>", value) << name;
    }
  }

  EnvironmentChanges extraEnvironment;  // for the program, set before SetUp
  bool waitForMainWindow = true;        // false: SetUp only starts the program
  std::unique_ptr<XTools> x;
  std::unique_ptr<TempDir> home;
  std::unique_ptr<HeadlessMirror> mirror;
  std::unique_ptr<DesktopProgram> program;
};

}  // namespace puzzle::e2e
