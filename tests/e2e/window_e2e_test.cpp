// The desktop window as a citizen of its display: what it draws when nothing happens, whose
// keys are whose, what happens without a display, and pictures larger than the screen.

#include "desktop_test.h"

#include <cstdlib>

namespace puzzle::e2e {
namespace {

// A window at rest with the clock running hands the display one digit a second, and nothing else.
TEST_F(DesktopTest, AnIdleWindowDrawsOnlyTheClocksDigitOnceASecond) {
  Press(VK_F2);
  ASSERT_TRUE(ScreenMatches("new-game", ClockMask()));
  DamageWatch damage(x->Display(), program->MainWindow());
  ASSERT_TRUE(damage.Ok()) << "the X server has no DAMAGE extension";
  std::this_thread::sleep_for(milliseconds(300));  // what the start of the game drew
  damage.Collect(milliseconds(200));

  const std::vector<Rect> drawn = damage.Collect(milliseconds(5000));
  // Five seconds: five ticks, give or take one at either end.
  EXPECT_GE(drawn.size(), 4u);
  EXPECT_LE(drawn.size(), 7u);
  Rect counter = mirror->SecondsCounterRect();
  counter = Offset(counter, 0, program->MenuBarHeight());
  const int32_t digitWidth = counter.Width() / 4;
  for (const Rect& r : drawn) {
    EXPECT_EQ(Intersect(r, counter), r) << "drawn outside the seconds counter: " << r.left << "," << r.top << " "
                                        << r.Width() << " x " << r.Height();
    EXPECT_LE(r.Width(), digitWidth) << "more than one digit at a time";
  }
  EXPECT_TRUE(ScreenMatches("after-idling", ClockMask()));
}

TEST_F(DesktopTest, KeysTypedInHelpAreHelpsAndTheGameIgnoresThem) {
  Press(VK_F1);
  auto help = program->WaitForWindow("brindlewick Puzzle Help");
  ASSERT_TRUE(help) << "no help window";
  ASSERT_TRUE(x->Xdotool({"windowmove", "--sync", help->id, "400", "0"}));
  FocusWindow(*help);
  // Every one of these plays the game when the game has the keyboard: numbers, a new game,
  // a slide, the exit.
  ASSERT_TRUE(x->Xdotool({"key", "--delay", "30", "ctrl+s", "F2", "Up", "Left", "ctrl+f", "ctrl+w"}));
  std::this_thread::sleep_for(milliseconds(500));
  ASSERT_TRUE(program->Running()) << "Ctrl+W in help ended the game";
  EXPECT_FALSE(program->FindWindow("Find Tile")) << "Ctrl+F in help opened Find Tile";
  EXPECT_TRUE(ScreenMatches("unchanged-under-help"));

  // Back in the game window the keys are the game's again.
  ASSERT_TRUE(program->Focus());
  Press(VK_F2);
  EXPECT_TRUE(ScreenMatches("new-game", ClockMask()));
  ASSERT_TRUE(program->Key({"ctrl+w"}));
  ExpectCleanExit();
}

// No display at all, or one nobody serves: the window can't be had.
TEST(DesktopWithoutDisplayTest, NoDisplayEndsWithTheWindowErrorAndCodeOne) {
  TempDir home;
  for (const std::optional<std::string>& display : {std::optional<std::string>{}, std::optional<std::string>{":987"}}) {
    SCOPED_TRACE(display ? "DISPLAY=" + *display : "no DISPLAY");
    const fs::path output = home.Path() / "output.txt";
    auto process = ChildProcess::Start({PUZZLE_DESKTOP_PROGRAM},
                                       {{"DISPLAY", display},
                                        {"WAYLAND_DISPLAY", std::nullopt},
                                        {"GDK_BACKEND", "x11"},
                                        {"XDG_CONFIG_HOME", home.Path().string()}},
                                       output);
    ASSERT_TRUE(process);
    const std::optional<int> code = process->Wait(milliseconds(30000));
    ASSERT_TRUE(code) << "still running";
    EXPECT_EQ(*code, 1);
    std::ifstream in(output);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("Window Error: An unexpected error occurs, the program will now exit."), std::string::npos)
        << text;
    EXPECT_FALSE(fs::exists(home.Path() / "brindlewick")) << "settings were touched";
  }
}

// A photo of 5000 x 3000 on a 1280 x 1024 screen: the picture is made smaller so that the
// whole window, clock and face included, stays on the screen and every piece can be reached.
TEST(DesktopOnASmallScreenTest, APictureLargerThanTheScreenGivesAWindowThatFits) {
  const std::string missing = MissingTools();
  if (!missing.empty()) GTEST_SKIP() << "not installed: " << missing;
  VirtualDisplay display;
  std::string error;
  ASSERT_TRUE(display.Start(&error, "1280x1024x24")) << error;
  XTools x(display.Name());
  TempDir home;
  const fs::path photo = home.Path() / "photo.jpg";
  const std::string make = "convert logo: -resize 5000x3000! -quality 80 '" + photo.string() + "' >/dev/null 2>&1";
  ASSERT_EQ(std::system(make.c_str()), 0);

  DesktopProgram program(x, home.Path(), kStartSecond);
  fs::create_directories(program.SettingsFilePath().parent_path());
  std::ofstream(program.SettingsFilePath())
      << "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\brindlewick\\brindlewick Puzzle]\n"
      << "\"defaultPicture\"=hex:00\n\"picturePath\"=\"" << photo.string() << "\"\n";
  ASSERT_TRUE(program.Start(&error)) << error;
  auto window = program.WaitForWindow("brindlewick Puzzle", milliseconds(60000));
  ASSERT_TRUE(window) << program.Output();
  EXPECT_GE(window->x, 0);
  EXPECT_GE(window->y, 0);
  EXPECT_LE(window->x + window->width, 1280);
  EXPECT_LE(window->y + window->height, 1024);
  // Shrunk to the screen, not to nothing: the width is what the screen leaves.
  EXPECT_GE(window->width, 1200);
  EXPECT_EQ(program.FindWindow("Invalid Picture"), std::nullopt);

  // Playable: a new game shuffles the board, then a slide changes it again.
  ASSERT_TRUE(x.Xdotool({"windowfocus", "--sync", window->id}));
  const Rect board{10, window->height - 10 - 600, window->width - 10, window->height - 10};
  auto changesWithin = [&](const Image& from, milliseconds timeout) -> std::optional<Image> {
    const auto end = Clock::now() + timeout;
    while (Clock::now() < end) {
      auto now = x.Capture(window->id);
      if (now && !Compare(now->Crop(board), from.Crop(board)).Same()) return now;
      std::this_thread::sleep_for(milliseconds(100));
    }
    return std::nullopt;
  };
  auto start = x.Capture(window->id);
  ASSERT_TRUE(start);
  ASSERT_TRUE(program.Key({"F2"}));
  auto shuffled = changesWithin(*start, milliseconds(20000));
  ASSERT_TRUE(shuffled) << "F2 changed nothing";
  std::this_thread::sleep_for(milliseconds(500));
  shuffled = x.Capture(window->id);
  ASSERT_TRUE(shuffled);
  // The empty cell is in the bottom-left corner: Left slides the piece beside it.
  ASSERT_TRUE(program.Key({"Left"}));
  EXPECT_TRUE(changesWithin(*shuffled, milliseconds(20000))) << "the slide changed nothing";
  ASSERT_TRUE(program.Key({"ctrl+w"}));
  EXPECT_EQ(program.WaitForExit(milliseconds(30000)), 0);
}

}  // namespace
}  // namespace puzzle::e2e
