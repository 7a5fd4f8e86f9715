// The desktop program under Xvfb, played with xdotool: after every step its client area must
// equal, pixel for pixel, what the headless host draws for the same inputs. The wall clock
// is held on one second so that both shuffle alike; only the seconds counter runs on real
// time, and it is read and checked on its own.
#include <fstream>
#include <sstream>

#include "resources/resource_tables.h"
#include "tests/e2e/desktop_test.h"
#include "tools/png_writer.h"

namespace puzzle::e2e {
namespace {

// --- Start-up ------------------------------------------------------------------------------

TEST_F(DesktopTest, StartUpWindowShowsTheHeadlessStartUpScreen) {
  const Image expected = mirror->Client();
  ASSERT_EQ(expected.width, 320);
  ASSERT_EQ(expected.height, 356);
  auto window = x->Geometry(program->MainWindow());
  ASSERT_TRUE(window);
  EXPECT_EQ(window->title, "brindlewick Puzzle");
  EXPECT_EQ(window->width, 320);
  // The menu bar takes what the window has above its client area.
  EXPECT_GE(program->MenuBarHeight(), 15);
  EXPECT_LE(program->MenuBarHeight(), 40);

  ASSERT_TRUE(ScreenMatches("start-up"));
  auto shown = program->CaptureClient();
  ASSERT_TRUE(shown);
  // Light grey margins, both counters at 0, the bottom-left piece missing.
  EXPECT_EQ(shown->At(0, 0), kLightGrey);
  EXPECT_EQ(shown->At(319, 355), kLightGrey);
  EXPECT_EQ(mirror->ReadCounter(*shown, mirror->MovesCounterRect()), 0);
  EXPECT_EQ(mirror->ReadCounter(*shown, mirror->SecondsCounterRect()), 0);
  auto [holeX, holeY] = mirror->CellCentre(0, 3);
  EXPECT_EQ(shown->At(holeX, holeY), 0x000000u);
  KeepScreenshot("start-up", program->MainWindow());

  // And the picture kept with the tests, which guards against both hosts changing alike.
  auto reference = mirror->decoder.Decode(PUZZLE_E2E_DATA "/start-up.png");
  ASSERT_TRUE(reference) << "no reference picture";
  Image stored{reference->width, reference->height, {reference->pixels.begin(), reference->pixels.end()}};
  for (uint32_t& p : stored.pixels) p &= 0xFFFFFF;
  const Image storedClient = stored.Crop(Rect{0, stored.height - 356, stored.width, stored.height});
  EXPECT_TRUE(Compare(*shown, storedClient).Same()) << Compare(*shown, storedClient).Describe();

  // Before a game starts, presses and arrow keys move nothing.
  ClickCell(0, 2);
  Press(VK_DOWN);
  EXPECT_TRUE(ScreenMatches("idle-input"));
  EXPECT_EQ(mirror->Panel().GetMoves(), 0);
}

// --- A game --------------------------------------------------------------------------------

TEST_F(DesktopTest, GamePlayedWithKeysAndClicksMatchesHeadlessAfterEveryStep) {
  const auto started = Clock::now();
  Press(VK_F2);
  ASSERT_TRUE(ScreenMatches("new-game", ClockMask()));
  ASSERT_EQ(mirror->GetBoard().GetState(), StatePlaying);

  // The arrow keys, including some that push against an edge and do nothing.
  int step = 0;
  for (uint32_t key : {VK_LEFT, VK_UP, VK_RIGHT, VK_RIGHT, VK_DOWN, VK_DOWN, VK_LEFT, VK_UP}) {
    Press(key);
    ASSERT_TRUE(ScreenMatches("arrow-" + std::to_string(++step), ClockMask()));
  }

  // Presses in the hole's column and row move the whole run of tiles.
  Board& board = mirror->GetBoard();
  const int32_t columns = board.GetColumns();
  const int32_t rows = board.GetRows();
  ClickCell(board.GetEmptyColumn(), board.GetEmptyRow() == 0 ? rows - 1 : 0);
  ASSERT_TRUE(ScreenMatches("click-column", ClockMask()));
  ClickCell(board.GetEmptyColumn() == 0 ? columns - 1 : 0, board.GetEmptyRow());
  ASSERT_TRUE(ScreenMatches("click-row", ClockMask()));
  // Off the hole's lines a press does nothing; so does one on the hole itself.
  ClickCell((board.GetEmptyColumn() + 1) % columns, (board.GetEmptyRow() + 1) % rows);
  ClickCell(board.GetEmptyColumn(), board.GetEmptyRow());
  ASSERT_TRUE(ScreenMatches("click-elsewhere", ClockMask()));
  const int32_t moves = mirror->Panel().GetMoves();
  EXPECT_GT(moves, 4);

  Press('S', true);
  ASSERT_TRUE(ScreenMatches("numbers-on", ClockMask()));
  Press(board.GetEmptyColumn() == 0 ? VK_LEFT : VK_RIGHT);
  ASSERT_TRUE(ScreenMatches("numbered-slide", ClockMask()));
  EXPECT_EQ(mirror->Panel().GetMoves(), moves + 1);

  // The face starts a new game: a new shuffle, moves back to 0.
  auto [faceX, faceY] = mirror->FaceCentre();
  Click(faceX, faceY);
  ASSERT_TRUE(ScreenMatches("face-new-game", ClockMask()));
  EXPECT_EQ(mirror->Panel().GetMoves(), 0);
  Press('S', true);
  ASSERT_TRUE(ScreenMatches("numbers-off", ClockMask()));

  // The clock itself: it restarted at 1 with the new game and can't be ahead of real time.
  const auto seconds = SecondsOnScreen();
  ASSERT_TRUE(seconds) << "the seconds counter shows no number";
  const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - started).count();
  EXPECT_GE(*seconds, 1);
  EXPECT_LE(*seconds, elapsed + 2);
  KeepScreenshot("game", program->MainWindow());
}

// --- Dialogs and the clock ---------------------------------------------------------------------

TEST_F(DesktopTest, ClockKeepsRunningWhileFindTileIsOpen) {
  Press(VK_F2);
  ASSERT_TRUE(ScreenMatches("new-game", ClockMask()));
  const auto before = SecondsOnScreen();
  ASSERT_TRUE(before);

  ASSERT_TRUE(program->Key({"ctrl+f"}));
  auto dialog = program->WaitForWindow("Find Tile");
  ASSERT_TRUE(dialog) << "no Find Tile dialog";
  EXPECT_EQ(dialog->width, DialogPixelsX(158));
  EXPECT_EQ(dialog->height, DialogPixelsY(44));
  KeepScreenshot("find-tile", dialog->id);

  // The counter goes on ticking behind the modal dialog.
  std::optional<int32_t> during;
  const auto end = Clock::now() + milliseconds(15000);
  while (Clock::now() < end) {
    during = SecondsOnScreen();
    if (during && *during >= *before + 2) break;
    std::this_thread::sleep_for(milliseconds(250));
  }
  ASSERT_TRUE(during);
  EXPECT_GE(*during, *before + 2) << "the clock stood still while the dialog was open";
  ASSERT_TRUE(program->FindWindow("Find Tile")) << "the dialog closed by itself";

  // Nothing else changed under the dialog.
  std::vector<Rect> masks = ClockMask();
  masks.push_back(OverClient(*dialog));
  EXPECT_TRUE(ScreenMatches("under-dialog", masks));

  ASSERT_TRUE(program->Key({"Escape"}));
  ASSERT_TRUE(program->WaitForWindowGone("Find Tile"));
  ASSERT_TRUE(ScreenMatches("after-escape", ClockMask()));

  // Finding a tile flashes it once and leaves the board as it was.
  ASSERT_TRUE(program->Focus());
  ASSERT_TRUE(program->Key({"ctrl+f"}));
  dialog = program->WaitForWindow("Find Tile");
  ASSERT_TRUE(dialog);
  FocusWindow(*dialog);
  ASSERT_TRUE(program->Type("6"));
  ASSERT_TRUE(program->Key({"Return"}));
  ASSERT_TRUE(program->WaitForWindowGone("Find Tile"));
  mirror->host.dialogScripts[IDD_FIND_TILE].push_back(
      {DialogStep::Type(IDC_FIND_NUMBER, "6"), DialogStep::Press(IDOK)});
  mirror->Command(ID_OPTIONS_FIND_TILE);
  EXPECT_EQ(mirror->app.lastFindNumber, 6);
  mirror->host.FireTimer(2);
  mirror->host.FireTimer(2);
  EXPECT_TRUE(ScreenMatches("after-flash", ClockMask()));
  EXPECT_FALSE(mirror->host.TimerRunning(2));
}

TEST_F(DesktopTest, DialogsOpenWithTheirTemplateSizes) {
  // Opens a dialog from the menus, checks its size against its template and closes it with
  // Escape (Enter in Best Times would reset the scores).
  auto openAndEscape = [&](const char* menu, const char* item, const char* title, int width, int height,
                           const char* shot) {
    ASSERT_TRUE(program->Focus());
    Menu(menu, item);
    auto dialog = program->WaitForWindow(title);
    ASSERT_TRUE(dialog) << "no " << title << " dialog";
    EXPECT_EQ(dialog->width, DialogPixelsX(width));
    EXPECT_EQ(dialog->height, DialogPixelsY(height));
    KeepScreenshot(shot, dialog->id);
    FocusWindow(*dialog);
    ASSERT_TRUE(program->Key({"Escape"}));
    ASSERT_TRUE(program->WaitForWindowGone(title));
  };
  openAndEscape("g", "b", "Best Times", 227, 71, "best-times");
  openAndEscape("o", "c", "Custom Dimensions", 120, 63, "custom-dimensions");
  // Cancelled: the board is as it was.
  EXPECT_TRUE(ScreenMatches("custom-cancelled"));
}

// The program hands web addresses to the desktop's browser (GTK asks the desktop's default
// handler, else xdg-open); this stand-in is both, notes what it was given and fails, as
// where no browser is installed - whatever browser the machine has.
class DesktopWithoutBrowserTest : public DesktopTest {
 protected:
  void SetUp() override {
    opener = std::make_unique<TempDir>("brindlewick-opener-");
    const fs::path script = opener->Path() / "xdg-open";
    {
      std::ofstream out(script);
      out << "#!/bin/sh\nprintf '%s\\n' \"$*\" >> \"" << (opener->Path() / "opened").string() << "\"\nexit 3\n";
    }
    fs::permissions(script, fs::perms::owner_all);
    const fs::path applications = opener->Path() / "data" / "applications";
    fs::create_directories(applications);
    std::ofstream(applications / "brindlewick-test-opener.desktop")
        << "[Desktop Entry]\nType=Application\nName=Opener\nExec=" << script.string()
        << " %u\nMimeType=x-scheme-handler/http;x-scheme-handler/https;\n";
    std::ofstream(applications / "mimeapps.list")
        << "[Default Applications]\nx-scheme-handler/http=brindlewick-test-opener.desktop\n"
        << "x-scheme-handler/https=brindlewick-test-opener.desktop\n";
    const char* path = std::getenv("PATH");
    extraEnvironment["PATH"] = opener->Path().string() + ":" + (path != nullptr ? path : "/usr/bin:/bin");
    const char* dataDirs = std::getenv("XDG_DATA_DIRS");
    extraEnvironment["XDG_DATA_DIRS"] = (opener->Path() / "data").string() + ":" +
                                        (dataDirs != nullptr && *dataDirs != '\0' ? dataDirs : "/usr/local/share:/usr/share");
    DesktopTest::SetUp();
  }

  std::string Opened() {
    std::ifstream in(opener->Path() / "opened");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::unique_ptr<TempDir> opener;
};

TEST_F(DesktopWithoutBrowserTest, AboutLinkOpensTheAddressAndAFailureShowsNoError) {
  Menu("h", "a");
  auto about = program->WaitForWindow("About brindlewick Puzzle");
  ASSERT_TRUE(about) << "no About dialog";
  EXPECT_EQ(about->width, DialogPixelsX(194));
  EXPECT_EQ(about->height, DialogPixelsY(103));
  KeepScreenshot("about", about->id);

  // The link: its first letters, right of "Visit us at:".
  ASSERT_TRUE(program->ClickScreen(about->x + 90, about->y + 98));
  const auto end = Clock::now() + milliseconds(10000);
  while (Opened().empty() && Clock::now() < end) std::this_thread::sleep_for(milliseconds(50));
  EXPECT_EQ(Opened(), std::string(kWebAddress) + "\n");
  // A press beside the link opens nothing.
  ASSERT_TRUE(program->ClickScreen(about->x + 60, about->y + 140));

  // The opener failed; nothing says so: no box appears, the dialog stays.
  const auto settle = Clock::now() + milliseconds(1500);
  while (Clock::now() < settle) {
    for (const WindowInfo& w : x->Windows(program->Pid())) {
      EXPECT_TRUE(w.id == program->MainWindow() || w.id == about->id || w.title == "brindlewick-puzzle")
          << "an unexpected window appeared: " << w.title;
    }
    std::this_thread::sleep_for(milliseconds(200));
  }
  ASSERT_TRUE(program->FindWindow("About brindlewick Puzzle"));
  EXPECT_EQ(Opened(), std::string(kWebAddress) + "\n");
  FocusWindow(*about);
  ASSERT_TRUE(program->Key({"Return"}));
  ASSERT_TRUE(program->WaitForWindowGone("About brindlewick Puzzle"));
  EXPECT_TRUE(ScreenMatches("after-about"));
}

// --- Leaving, and what is kept -------------------------------------------------------------------

TEST_F(DesktopTest, ExitWithCtrlWSavesTheOptionsChosenInTheMenu) {
  Menu("o", "e");
  mirror->Command(ID_OPTIONS_EXPERT);
  ASSERT_TRUE(ScreenMatches("expert"));
  Menu("o", "b");
  mirror->Command(ID_OPTIONS_EMPTY_BR);
  ASSERT_TRUE(ScreenMatches("corner-br"));
  Press('S', true);
  ASSERT_TRUE(ScreenMatches("numbers"));
  KeepScreenshot("expert-numbers", program->MainWindow());

  ASSERT_TRUE(program->Key({"ctrl+w"}));
  ExpectCleanExit();
  if (HasFatalFailure()) return;
  ExpectSaved({{"dimensionX", "dword:00000008"},
              {"dimensionY", "dword:00000008"},
              {"emptyX", "dword:00000064"},
              {"emptyY", "dword:00000064"},
              {"showNumber", "hex:01"},
              {"defaultPicture", "hex:01"}});
}

TEST_F(DesktopTest, ClosingTheWindowExitsAndSavesTheCustomSize) {
  Menu("o", "c");
  auto dialog = program->WaitForWindow("Custom Dimensions");
  ASSERT_TRUE(dialog) << "no Custom Dimensions dialog";
  FocusWindow(*dialog);
  // The width field has the focus with its text selected: typing replaces it.
  ASSERT_TRUE(program->Type("5"));
  ASSERT_TRUE(program->Key({"Tab"}));
  ASSERT_TRUE(program->Type("3"));
  ASSERT_TRUE(program->Key({"Return"}));
  ASSERT_TRUE(program->WaitForWindowGone("Custom Dimensions"));
  mirror->host.dialogScripts[IDD_CUSTOM_DIMENSIONS].push_back(
      {DialogStep::Type(IDC_CUSTOM_WIDTH, "5"), DialogStep::Type(IDC_CUSTOM_HEIGHT, "3"), DialogStep::Press(IDOK)});
  mirror->Command(ID_OPTIONS_CUSTOM);
  ASSERT_EQ(mirror->GetBoard().GetColumns(), 5);
  ASSERT_TRUE(ScreenMatches("custom-5x3"));

  ASSERT_TRUE(program->Focus());
  Menu("o", "t");
  mirror->Command(ID_OPTIONS_EMPTY_TL);
  ASSERT_TRUE(ScreenMatches("corner-tl"));

  // The close box: the window manager's request to close, sent straight to the window.
  ASSERT_TRUE(x->RequestClose(program->MainWindow()));
  ExpectCleanExit();
  if (HasFatalFailure()) return;
  ExpectSaved({{"dimensionX", "dword:00000005"},
              {"dimensionY", "dword:00000003"},
              {"emptyX", "dword:ffffffff"},
              {"emptyY", "dword:ffffffff"},
              {"showNumber", "hex:00"}});
}

// --- A picture of the player's -----------------------------------------------------------------

// A picture with something different in every pixel, so a piece out of place shows.
bool WriteTestPicture(const fs::path& path, int32_t width, int32_t height) {
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t r = static_cast<uint32_t>(x * 255 / width);
      const uint32_t g = static_cast<uint32_t>(y * 255 / height);
      const uint32_t b = ((x / 8 + y / 8) % 2) != 0 ? 0xE0 : 0x30;
      pixels[static_cast<size_t>(y * width + x)] = (r << 16) | (g << 8) | b;
    }
  }
  return tools::WritePng(path.string(), width, height, pixels);
}

TEST_F(DesktopTest, CustomPictureFromTheFileDialogResizesTheWindow) {
  // A picture wider than the top bar, then one narrower, whose board is centred under it.
  for (const auto& [width, height] : {std::pair{237, 171}, std::pair{120, 90}}) {
    const std::string name = "picture-" + std::to_string(width) + "x" + std::to_string(height);
    const fs::path picture = home->Path() / (name + ".png");
    ASSERT_TRUE(WriteTestPicture(picture, width, height));

    ASSERT_TRUE(program->Focus());
    Menu("o", "p");
    auto chooser = program->WaitForWindow("Select a file");
    ASSERT_TRUE(chooser) << "no file dialog";
    FocusWindow(*chooser);
    // The location field takes a whole path.
    ASSERT_TRUE(program->Key({"ctrl+l"}));
    ASSERT_TRUE(program->Type(picture.string()));
    ASSERT_TRUE(program->Key({"Return"}));
    ASSERT_TRUE(program->WaitForWindowGone("Select a file"));
    // No window manager hands the focus back to the main window.
    ASSERT_TRUE(program->Focus());

    mirror->host.fileChoices.push_back(picture.string());
    mirror->Command(ID_OPTIONS_CUSTOM_PICTURE);
    const Image expected = mirror->Client();
    EXPECT_EQ(expected.width, std::max(width, 150) + 20);
    EXPECT_EQ(expected.height, height + 56);
    ASSERT_TRUE(ScreenMatches(name));
    auto window = x->Geometry(program->MainWindow());
    ASSERT_TRUE(window);
    EXPECT_EQ(window->width, expected.width);
    EXPECT_EQ(window->height, expected.height + program->MenuBarHeight());

    Press(VK_F2);
    Press('S', true);
    ASSERT_TRUE(ScreenMatches(name + "-numbers", ClockMask()));
    KeepScreenshot(name, program->MainWindow());
    Press('S', true);
  }

  // Back to the built-in picture and the start-up size.
  ASSERT_TRUE(program->Focus());
  Menu("o", "d");
  mirror->Command(ID_OPTIONS_DEFAULT_PICTURE);
  ASSERT_TRUE(ScreenMatches("default-picture"));
}

// --- Help ------------------------------------------------------------------------------------

TEST_F(DesktopTest, F1OpensTheHelpBookInAWindowOfItsOwn) {
  Press(VK_F1);
  auto help = program->WaitForWindow("brindlewick Puzzle Help");
  ASSERT_TRUE(help) << "no help window";
  EXPECT_NE(help->id, program->MainWindow());
  EXPECT_GE(help->width, 300);
  EXPECT_GE(help->height, 200);
  KeepScreenshot("help", help->id);
  // With no window manager it opens over the game; moved aside, it uncovers the game window,
  // which repaints what was under it. Help changed nothing in the game.
  ASSERT_TRUE(x->Xdotool({"windowmove", "--sync", help->id, "400", "0"}));
  EXPECT_TRUE(ScreenMatches("beside-help"));

  ASSERT_TRUE(x->RequestClose(help->id));
  ASSERT_TRUE(program->WaitForWindowGone("brindlewick Puzzle Help"));
  ASSERT_TRUE(program->Running());
  ASSERT_TRUE(program->Focus());
  Press(VK_F2);
  EXPECT_TRUE(ScreenMatches("new-game-after-help", ClockMask()));
}

// --- A whole game, won ---------------------------------------------------------------------------

TEST_F(DesktopTest, WinningABeginnerGameRecordsTheTimeAndTheName) {
  Press(VK_F2);
  ASSERT_TRUE(ScreenMatches("new-game", ClockMask()));
  const std::vector<uint32_t> solution = SolveBoard(mirror->GetBoard());
  ASSERT_FALSE(solution.empty());

  // Every move but the last, in batches; the screen is checked before the winning one.
  std::vector<std::string> batch;
  for (size_t i = 0; i + 1 < solution.size(); ++i) {
    batch.push_back(XdotoolKeyName(solution[i]));
    mirror->Key(solution[i]);
    if (batch.size() == 25 || i + 2 == solution.size()) {
      ASSERT_TRUE(program->Key(batch));
      batch.clear();
    }
  }
  ASSERT_TRUE(ScreenMatches("one-move-left", ClockMask()));

  // The record dialog, run by the mirror with the same answer.
  // A name longer than the 14 bytes kept: the field takes what fits, in whole characters.
  const std::string name = "Zoë Łukasz 日本語";
  mirror->host.dialogScripts[IDD_NEW_RECORD].push_back(
      {DialogStep::Type(IDC_RECORD_NAME, name), DialogStep::Press(IDOK)});
  mirror->host.dialogScripts[IDD_BEST_TIMES].push_back({DialogStep::Press(IDCANCEL)});
  Press(solution.back());
  ASSERT_EQ(mirror->GetBoard().GetState(), StateSolved);
  auto record = program->WaitForWindow("New Record");
  ASSERT_TRUE(record) << "no New Record dialog after the win";
  KeepScreenshot("new-record", record->id);
  // The solved picture is on screen behind it, and the clock has stopped.
  std::vector<Rect> masks = ClockMask();
  masks.push_back(OverClient(*record));
  EXPECT_TRUE(ScreenMatches("solved", masks));
  const auto seconds = SecondsOnScreen();
  ASSERT_TRUE(seconds);

  FocusWindow(*record);
  ASSERT_TRUE(program->Key({"ctrl+a"}));
  // Typed a character at a time: "日" does not fit, and neither does what follows it; a
  // character typed then that fits is taken.
  ASSERT_TRUE(program->Type(name));
  ASSERT_TRUE(program->Type("!"));
  KeepScreenshot("new-record-name", record->id);
  ASSERT_TRUE(program->Key({"Return"}));
  auto best = program->WaitForWindow("Best Times");
  ASSERT_TRUE(best) << "no Best Times dialog after the record";
  KeepScreenshot("best-times-record", best->id);
  KeepScreenshot("best-times-record-screen", "root");
  FocusWindow(*best);
  ASSERT_TRUE(program->Key({"Escape"}));
  ASSERT_TRUE(program->WaitForWindowGone("Best Times"));
  EXPECT_EQ(SecondsOnScreen(), seconds) << "the clock ran on after the win";

  // Pressing tiles after the win does nothing; F2 starts the next game.
  ASSERT_TRUE(program->Focus());
  Press(VK_LEFT);
  Press(VK_UP);
  EXPECT_TRUE(ScreenMatches("after-win", ClockMask()));
  Press(VK_F2);
  EXPECT_TRUE(ScreenMatches("next-game", ClockMask())) << DescribeWindows();

  ASSERT_TRUE(program->Key({"ctrl+w"}));
  ExpectCleanExit();
  if (HasFatalFailure()) return;
  char expectedTime[32];
  std::snprintf(expectedTime, sizeof expectedTime, "dword:%08x", static_cast<unsigned>(*seconds));
  char expectedMoves[32];
  std::snprintf(expectedMoves, sizeof expectedMoves, "dword:%08x", static_cast<unsigned>(solution.size()));
  ExpectSaved({{"nameBeginner", "\"Zoë Łukasz !\""},
              {"timeBeginner", expectedTime},
              {"moveBeginner", expectedMoves}});
}

}  // namespace
}  // namespace puzzle::e2e
