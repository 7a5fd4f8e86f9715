// The Windows program under Wine, in a virtual desktop on Xvfb, played with xdotool: after
// every step its client area must equal, pixel for pixel, what the headless host draws for
// the same inputs. Wine's clock is held on one second (libfaketime) so that both shuffle
// alike. Tile numbers are GDI's own here, so a state with numbers is checked by taking them
// off again. Also: exit codes and the registry afterwards, the file dialog with a picture
// and a hostile file, and the installer.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tools/desktop_driver/desktop_session.h"
#include "tools/png_writer.h"
#include "toolkit/platform_codes.h"

namespace puzzle::e2e {
namespace {

namespace fs = std::filesystem;

constexpr int64_t kStartSecond = 1796551200;
const fs::path kProgram = PUZZLE_WINDOWS_PROGRAM;
const fs::path kRunScript = PUZZLE_WINE_RUN_SCRIPT;
const fs::path kPrefix = PUZZLE_WINE_E2E_PREFIX;
const fs::path kArtifacts = PUZZLE_E2E_ARTIFACTS;

std::string SkipReason() {
  std::string missing = MissingTools();
  if (!FindTool("wine")) missing += std::string(missing.empty() ? "" : ", ") + "wine";
  if (!fs::exists(kProgram)) {
    missing += std::string(missing.empty() ? "" : ", ") + kProgram.string() + " (tools/build-windows.sh builds it)";
  }
  return missing;
}

class WineDisplay : public ::testing::Environment {
 public:
  void SetUp() override {
    skipReason = SkipReason();
    if (!skipReason.empty()) return;
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

[[maybe_unused]] const auto* const kDisplay = ::testing::AddGlobalTestEnvironment(new WineDisplay);

class WineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!WineDisplay::display) {
      // In CI the Windows build is made first: a missing piece there is a failure.
      if (std::getenv("CI") != nullptr) FAIL() << "cannot run: " << WineDisplay::skipReason;
      GTEST_SKIP() << WineDisplay::skipReason;
    }
    x = std::make_unique<XTools>(WineDisplay::display->Name());
    // A fresh settings key for every case.
    Wine({"reg", "delete", "HKCU\\Software\\brindlewick", "/f"});
    mirror = std::make_unique<HeadlessMirror>(kStartSecond);
  }

  void TearDown() override {
    if (program) program->Stop();
    e2e::Run({"wineserver", "-k"}, Environment(), milliseconds(20000));
  }

  EnvironmentChanges Environment() const {
    EnvironmentChanges env{{"DISPLAY", WineDisplay::display->Name()}, {"WINEPREFIX", kPrefix.string()},
                           {"WINEDEBUG", "-all"}};
    return env;
  }

  RunResult Wine(const std::vector<std::string>& args) {
    std::vector<std::string> argv{"sh", kRunScript.string(), kPrefix.string()};
    argv.insert(argv.end(), args.begin(), args.end());
    return e2e::Run(argv, Environment(), milliseconds(120000));
  }

  // Starts the program with the clock held and waits for its start-up screen.
  void Launch() {
    EnvironmentChanges env = Environment();
    env["LD_PRELOAD"] = *FindFakeTimeLibrary();
    env["FAKETIME_FMT"] = "%s";
    env["FAKETIME"] = std::to_string(kStartSecond);
    env["FAKETIME_DONT_FAKE_MONOTONIC"] = "1";
    // File times stay true, or fontconfig takes its caches for stale and scans every font.
    env["NO_FAKE_STAT"] = "1";
    started = Clock::now();
    fs::create_directories(kArtifacts);
    program = ChildProcess::Start({"sh", kRunScript.string(), kPrefix.string(), kProgram.string()}, env,
                                  kArtifacts / "wine-program.log");
    ASSERT_TRUE(program);
    const Image expected = mirror->Client();
    const auto end = Clock::now() + milliseconds(90000);
    std::optional<Image> screen;
    while (Clock::now() < end) {
      screen = x->Capture("root");
      if (screen && FindClient(*screen, expected)) {
        firstFrame = Clock::now() - started;
        return;
      }
      std::this_thread::sleep_for(milliseconds(100));
    }
    if (screen) SavePng(kArtifacts / "wine" / "no-start-up-screen.png", *screen);
    SavePng(kArtifacts / "wine" / "expected-start-up.png", expected);
    FAIL() << "the start-up screen did not appear; pictures in " << (kArtifacts / "wine");
  }

  // Where the client area lies on the screen: the first place that shows the picture.
  bool FindClient(const Image& screen, const Image& expected) {
    auto matchesAt = [&](int32_t left, int32_t top) {
      if (left + expected.width > screen.width || top + expected.height > screen.height) return false;
      for (int32_t y = 0; y < expected.height; ++y) {
        for (int32_t col = 0; col < expected.width; ++col) {
          if ((screen.At(left + col, top + y) & 0xFFFFFF) != (expected.At(col, y) & 0xFFFFFF)) return false;
        }
      }
      return true;
    };
    for (int32_t top = 0; top < 120; ++top) {
      for (int32_t left = 0; left < 40; ++left) {
        if (matchesAt(left, top)) {
          clientLeft = left;
          clientTop = top;
          return true;
        }
      }
    }
    return false;
  }

  std::optional<Image> CaptureClient(int32_t width, int32_t height) {
    auto screen = x->Capture("root");
    if (!screen) return std::nullopt;
    return screen->Crop(Rect{clientLeft, clientTop, clientLeft + width, clientTop + height});
  }

  ::testing::AssertionResult ScreenMatches(const std::string& step) {
    const Image expected = mirror->Client();
    const auto end = Clock::now() + milliseconds(10000);
    Image shown;
    Difference d;
    do {
      if (auto client = CaptureClient(expected.width, expected.height)) shown = *client;
      // The seconds counter runs on real time here only.
      d = Compare(shown, expected, {mirror->SecondsCounterRect()});
      if (d.Same()) return ::testing::AssertionSuccess();
      std::this_thread::sleep_for(milliseconds(50));
    } while (Clock::now() < end);
    const fs::path dir = kArtifacts / "wine" / ::testing::UnitTest::GetInstance()->current_test_info()->name();
    SavePng(dir / (step + "-wine.png"), shown);
    SavePng(dir / (step + "-headless.png"), expected);
    return ::testing::AssertionFailure() << step << ": " << d.Describe() << "; pictures in " << dir;
  }

  void KeepScreenshot(const std::string& name) {
    if (auto screen = x->Capture("root")) SavePng(kArtifacts / "screens" / ("wine-" + name + ".png"), *screen);
  }

  bool Keys(const std::vector<std::string>& keys) {
    std::vector<std::string> args{"key", "--delay", "60"};
    args.insert(args.end(), keys.begin(), keys.end());
    const bool sent = x->Xdotool(args).has_value();
    std::this_thread::sleep_for(milliseconds(150));
    return sent;
  }
  void Press(uint32_t key, bool control = false) {
    ASSERT_TRUE(Keys({(control ? "ctrl+" : "") + XdotoolKeyName(key)}));
    mirror->Key(key, control);
  }
  void Click(int32_t cx, int32_t cy) {
    ASSERT_TRUE(x->Xdotool({"mousemove", std::to_string(clientLeft + cx), std::to_string(clientTop + cy), "click", "1"}));
    std::this_thread::sleep_for(milliseconds(150));
    mirror->ClickAt(cx, cy);
  }
  // Puts the pointer where the headless host has it: outside the window.
  void PointerAway() { x->Xdotool({"mousemove", "1000", "700"}); }

  std::optional<int> WaitForExit() { return program->Wait(milliseconds(30000)); }

  // A value of the settings key as `reg query` prints it: "0x5", "1"...
  std::string Stored(const std::string& name) {
    const RunResult r = Wine({"reg", "query", "HKCU\\Software\\brindlewick\\brindlewick Puzzle", "/v", name});
    std::istringstream lines(r.output);
    std::string line;
    while (std::getline(lines, line)) {
      std::istringstream words(line);
      std::string valueName, type, data;
      if (words >> valueName >> type && valueName == name) {
        std::getline(words, data);
        while (!data.empty() && (data.front() == ' ' || data.front() == '\t')) data.erase(data.begin());
        while (!data.empty() && (data.back() == '\r' || data.back() == ' ')) data.pop_back();
        return type + " " + data;
      }
    }
    return "<missing>";
  }

  // A Windows path for a file of this machine.
  static std::string WindowsPath(const fs::path& path) {
    std::string text = "Z:" + path.string();
    for (char& c : text) {
      if (c == '/') c = '\\';
    }
    return text;
  }

  std::unique_ptr<XTools> x;
  std::unique_ptr<HeadlessMirror> mirror;
  std::unique_ptr<ChildProcess> program;
  Clock::time_point started;
  Clock::duration firstFrame{};
  int32_t clientLeft = 0;
  int32_t clientTop = 0;
};

TEST_F(WineTest, GamePlayedWithKeysAndClicksMatchesHeadlessAndCtrlWSavesTheOptions) {
  ASSERT_NO_FATAL_FAILURE(Launch());
  std::cout << "start-up to first frame under Wine: "
            << std::chrono::duration_cast<milliseconds>(firstFrame).count() << " ms\n";
  KeepScreenshot("start-up");
  PointerAway();
  Press(VK_F2);
  ASSERT_TRUE(ScreenMatches("new-game"));
  for (uint32_t key : {VK_LEFT, VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN}) {
    Press(key);
    ASSERT_TRUE(ScreenMatches("arrow"));
  }
  Board& board = mirror->GetBoard();
  auto [cx, cy] = mirror->CellCentre(board.GetEmptyColumn() == 0 ? 3 : 0, board.GetEmptyRow());
  Click(cx, cy);
  PointerAway();
  mirror->MoveTo(2000, 2000);
  ASSERT_TRUE(ScreenMatches("click-along-the-row"));
  // Numbers through the accelerator table, in GDI's own glyphs: on, then off restores all.
  const Image plain = mirror->Client();
  ASSERT_TRUE(Keys({"ctrl+s"}));
  KeepScreenshot("numbers");
  auto numbered = CaptureClient(plain.width, plain.height);
  ASSERT_TRUE(numbered);
  EXPECT_GT(Compare(*numbered, plain, {mirror->SecondsCounterRect()}).pixels, 100);
  ASSERT_TRUE(Keys({"ctrl+s"}));
  ASSERT_TRUE(ScreenMatches("numbers-off"));

  // Expert and the bottom-right corner from the menu, by its mnemonics; then Ctrl+W.
  ASSERT_TRUE(Keys({"alt+o", "e"}));
  ASSERT_TRUE(Keys({"alt+o", "b"}));
  mirror->Command(ID_OPTIONS_EXPERT);
  mirror->Command(ID_OPTIONS_EMPTY_BR);
  ASSERT_TRUE(ScreenMatches("expert"));
  ASSERT_TRUE(Keys({"ctrl+w"}));
  const auto code = WaitForExit();
  ASSERT_TRUE(code);
  EXPECT_EQ(*code, 0);
  EXPECT_EQ(Stored("dimensionX"), "REG_DWORD 0x8");
  EXPECT_EQ(Stored("dimensionY"), "REG_DWORD 0x8");
  EXPECT_EQ(Stored("emptyX"), "REG_DWORD 0x64");
  EXPECT_EQ(Stored("emptyY"), "REG_DWORD 0x64");
  EXPECT_EQ(Stored("showNumber"), "REG_BINARY 00");
  EXPECT_EQ(Stored("defaultPicture"), "REG_BINARY 01");
}

// The record's name field takes no more than the 14 bytes the program keeps, counted in
// its UTF-8: typed a character at a time, "日" does not fit and neither does what follows
// it, and a character typed then that fits is taken.
TEST_F(WineTest, TheRecordNameFieldTakesNoMoreThanTheFourteenBytesKept) {
  ASSERT_NO_FATAL_FAILURE(Launch());
  PointerAway();
  Press(VK_F2);
  const std::vector<uint32_t> solution = SolveBoard(mirror->GetBoard());
  ASSERT_FALSE(solution.empty());
  std::vector<std::string> keys;
  for (uint32_t key : solution) keys.push_back(XdotoolKeyName(key));
  for (size_t i = 0; i < keys.size(); i += 25) {
    const std::vector<std::string> batch(keys.begin() + static_cast<ptrdiff_t>(i),
                                         keys.begin() + static_cast<ptrdiff_t>(std::min(i + 25, keys.size())));
    ASSERT_TRUE(Keys(batch));
  }
  std::this_thread::sleep_for(milliseconds(1500));
  ASSERT_TRUE(Keys({"ctrl+a"}));
  ASSERT_TRUE(x->Xdotool({"type", "--delay", "60", "Zoë Łukasz 日本語"}));
  ASSERT_TRUE(x->Xdotool({"type", "--delay", "60", "!"}));
  std::this_thread::sleep_for(milliseconds(300));
  KeepScreenshot("new-record-name");
  ASSERT_TRUE(Keys({"Return"}));
  std::this_thread::sleep_for(milliseconds(500));
  ASSERT_TRUE(Keys({"Escape"}));
  ASSERT_TRUE(Keys({"ctrl+w"}));
  const auto code = WaitForExit();
  ASSERT_TRUE(code);
  // How `reg query` shows the accented letters depends on its code page; the end of the
  // name does not.
  const std::string name = Stored("nameBeginner");
  EXPECT_EQ(name.substr(0, 7), "REG_SZ ") << name;
  EXPECT_TRUE(name.size() >= 7 && name.substr(name.size() - 7) == "ukasz !") << name;
}

TEST_F(WineTest, CustomDimensionsThenTheCloseBoxExitsAndSaves) {
  ASSERT_NO_FATAL_FAILURE(Launch());
  ASSERT_TRUE(Keys({"alt+o", "c"}));
  std::this_thread::sleep_for(milliseconds(500));
  KeepScreenshot("custom-dimensions");
  ASSERT_TRUE(Keys({"ctrl+a", "5", "Tab", "ctrl+a", "3", "Return"}));
  mirror->host.dialogScripts[IDD_CUSTOM_DIMENSIONS].push_back(
      {DialogStep::Type(IDC_CUSTOM_WIDTH, "5"), DialogStep::Type(IDC_CUSTOM_HEIGHT, "3"), DialogStep::Press(IDOK)});
  mirror->Command(ID_OPTIONS_CUSTOM);
  PointerAway();
  ASSERT_TRUE(ScreenMatches("five-by-three"));
  // The close box: the right end of the caption bar, above the client area.
  const int32_t width = mirror->Client().width;
  ASSERT_TRUE(x->Xdotool({"mousemove", std::to_string(clientLeft + width - 9), std::to_string(clientTop / 4),
                          "click", "1"}));
  const auto code = WaitForExit();
  ASSERT_TRUE(code) << "the close box did not close the program";
  EXPECT_EQ(*code, 0);
  EXPECT_EQ(Stored("dimensionX"), "REG_DWORD 0x5");
  EXPECT_EQ(Stored("dimensionY"), "REG_DWORD 0x3");
}

TEST_F(WineTest, PictureFromTheFileDialogAndAHostileFileGetsTheMessage) {
  TempDir pictures("brindlewick-wine-pictures-");
  const fs::path png = pictures.Path() / "picture.png";
  std::vector<uint32_t> pixels;
  for (int32_t py = 0; py < 90; ++py) {
    for (int32_t px = 0; px < 150; ++px) {
      pixels.push_back(0xFF000000u | static_cast<uint32_t>(((px * 255 / 150) << 16) | ((py * 255 / 90) << 8) | 0x40));
    }
  }
  ASSERT_TRUE(tools::WritePng(png.string(), 150, 90, pixels));
  const fs::path bomb = pictures.Path() / "bomb.gif";
  {
    const uint8_t gif[] = {'G', 'I', 'F', '8', '9', 'a', 0x60, 0xEA, 0x60, 0xEA, 0x80, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF,
                           0x2C, 0, 0, 0, 0, 0x60, 0xEA, 0x60, 0xEA, 0, 2, 2, 0x4C, 0x01, 0, 0x3B};
    std::ofstream(bomb, std::ios::binary).write(reinterpret_cast<const char*>(gif), sizeof gif);
  }
  ASSERT_NO_FATAL_FAILURE(Launch());
  ASSERT_TRUE(Keys({"alt+o", "p"}));
  std::this_thread::sleep_for(milliseconds(1500));
  KeepScreenshot("file-dialog");
  ASSERT_TRUE(x->Xdotool({"type", "--delay", "20", WindowsPath(png)}));
  ASSERT_TRUE(Keys({"Return"}));
  mirror->host.fileChoices.push_back(png.string());
  mirror->Command(ID_OPTIONS_CUSTOM_PICTURE);
  PointerAway();
  ASSERT_TRUE(ScreenMatches("custom-picture"));

  const Image before = mirror->Client();
  ASSERT_TRUE(Keys({"alt+o", "p"}));
  std::this_thread::sleep_for(milliseconds(1500));
  ASSERT_TRUE(x->Xdotool({"type", "--delay", "20", WindowsPath(bomb)}));
  ASSERT_TRUE(Keys({"Return"}));
  std::this_thread::sleep_for(milliseconds(1000));
  KeepScreenshot("hostile-file-message");
  // The message box stands in the middle of the screen; the picture stays once it is closed.
  const Rect middle{312, 284, 712, 484};
  auto withBox = x->Capture("root");
  ASSERT_TRUE(withBox);
  ASSERT_TRUE(Keys({"Return"}));
  std::this_thread::sleep_for(milliseconds(500));
  auto without = x->Capture("root");
  ASSERT_TRUE(without);
  EXPECT_FALSE(Compare(withBox->Crop(middle), without->Crop(middle)).Same()) << "no message appeared";
  mirror->host.fileChoices.push_back(bomb.string());
  mirror->Command(ID_OPTIONS_CUSTOM_PICTURE);
  ASSERT_EQ(mirror->host.messageBoxes.size(), 1u);
  EXPECT_EQ(mirror->host.messageBoxes[0].caption, "Change Picture Error");
  EXPECT_TRUE(ScreenMatches("picture-kept"));
  ASSERT_TRUE(Keys({"ctrl+w"}));
  const auto code = WaitForExit();
  ASSERT_TRUE(code);
  EXPECT_EQ(*code, 0);
  EXPECT_EQ(Stored("defaultPicture"), "REG_BINARY 00");
  EXPECT_EQ(Stored("picturePath"), "REG_SZ " + WindowsPath(png));
}

TEST_F(WineTest, InstallerInstallsAndUninstallsSilentlyKeepingTheRecords) {
  const fs::path installer = kProgram.parent_path() / ("brindlewick-puzzle-" PUZZLE_VERSION "-win64.exe");
  if (!fs::exists(installer)) {
    if (std::getenv("CI") != nullptr) FAIL() << installer << " is missing";
    GTEST_SKIP() << installer << " is missing (tools/build-windows.sh makes it)";
  }
  Wine({"reg", "add", "HKCU\\Software\\brindlewick\\brindlewick Puzzle", "/v", "nameExpert", "/d", "Ada", "/f"});
  const fs::path installed = kPrefix / "drive_c/Program Files/brindlewick Puzzle";
  fs::remove_all(installed);
  const RunResult installed_ = Wine({installer.string(), "/S"});
  ASSERT_EQ(installed_.exitCode, 0) << installed_.output;
  EXPECT_TRUE(fs::exists(installed / "brindlewick-puzzle.exe"));
  EXPECT_TRUE(fs::exists(installed / "brindlewick puzzle help.chm"));
  const fs::path menu = kPrefix / "drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/brindlewick Puzzle";
  EXPECT_TRUE(fs::exists(menu / "brindlewick Puzzle.lnk")) << menu;
  ASSERT_TRUE(fs::exists(installed / "Uninstall.exe"));
  // The uninstaller copies itself away and returns at once: wait for the files to go.
  Wine({"C:\\Program Files\\brindlewick Puzzle\\Uninstall.exe", "/S"});
  const auto end = Clock::now() + milliseconds(30000);
  while (fs::exists(installed / "brindlewick-puzzle.exe") && Clock::now() < end) {
    std::this_thread::sleep_for(milliseconds(200));
  }
  EXPECT_FALSE(fs::exists(installed / "brindlewick-puzzle.exe"));
  EXPECT_FALSE(fs::exists(installed / "brindlewick puzzle help.chm"));
  EXPECT_FALSE(fs::exists(menu / "brindlewick Puzzle.lnk"));
  EXPECT_EQ(Stored("nameExpert"), "REG_SZ Ada");
}

}  // namespace
}  // namespace puzzle::e2e
