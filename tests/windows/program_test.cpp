// The whole program on the Windows host, in this process, under Wine: the window as the
// platform made it, its client area read back from the screen and compared pixel for pixel
// with the headless host's rendering of the same game, the dialogs at their template sizes,
// lost surfaces, help, and the registry after the run.
#include "win32_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace puzzle::test {
namespace {

constexpr int64_t kSecond = 1796551200;
constexpr const char* kSettingsKey = "Software\\brindlewick\\brindlewick Puzzle";

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey);
    host = std::make_unique<TestHost>(kSecond);
    app = std::make_unique<Application>(*host);
    ASSERT_FALSE(app->Start(SW_SHOWNORMAL).has_value());
    window = host->MainWindow();
    mirrorHost.currentTime = kSecond;
    mirror = std::make_unique<Application>(mirrorHost);
    ASSERT_FALSE(mirror->Start(SW_SHOWNORMAL).has_value());
    Pump(300);
  }

  void TearDown() override {
    if (app) app->Finish(0);
    app.reset();
    host.reset();
    Pump(50);
  }

  // The same input to both programs.
  void Key(uint32_t key) {
    SendMessageA(window, WM_KEYDOWN, key, 1);
    SendMessageA(window, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
    mirrorHost.Dispatch({WM_KEYDOWN, key, 1});
    mirrorHost.Dispatch({WM_KEYUP, key, static_cast<int32_t>(0xC0000001u)});
    Pump();
  }
  void Click(int32_t x, int32_t y) {
    const LPARAM at = MAKELPARAM(x, y);
    SendMessageA(window, WM_MOUSEMOVE, 0, at);
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(window, WM_LBUTTONUP, 0, at);
    mirrorHost.Dispatch({WM_MOUSEMOVE, 0, static_cast<int32_t>(at)});
    mirrorHost.Dispatch({WM_LBUTTONDOWN, MK_LBUTTON, static_cast<int32_t>(at)});
    mirrorHost.Dispatch({WM_LBUTTONUP, 0, static_cast<int32_t>(at)});
    Pump();
  }
  // New on both; the real clock is stopped, so that the seconds stay as the headless host has them.
  void NewGame() {
    Command(40001);
    host->KillTimer(1);
  }
  void Command(uint32_t id) {
    SendMessageA(window, WM_COMMAND, id, 0);
    mirrorHost.Command(id);
    Pump();
  }
  // The centre of a cell of the board, in client coordinates.
  std::pair<int32_t, int32_t> CellCentre(int32_t column, int32_t row) {
    Board& board = *mirror->gamePanel->GetBoard();
    const int32_t w = board.GetWidth() / board.GetColumns();
    const int32_t h = board.GetHeight() / board.GetRows();
    return {board.GetX() + column * w + w / 2, board.GetY() + row * h + h / 2};
  }

  ::testing::AssertionResult ScreenMatchesHeadless(const char* step) {
    const Pixels shown = CaptureClient(window);
    const Pixels expected = HeadlessClient(mirrorHost);
    const int64_t differing = CountDifferences(shown, expected);
    if (differing == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << step << ": " << differing << " pixels differ (screen " << shown.width
                                         << " x " << shown.height << ", headless " << expected.width << " x "
                                         << expected.height << ")";
  }

  std::unique_ptr<TestHost> host;
  std::unique_ptr<Application> app;
  HWND window = nullptr;
  HeadlessHost mirrorHost;
  std::unique_ptr<Application> mirror;
};

TEST_F(ProgramTest, StartUpWindowIsTheClassesAndShowsTheHeadlessScreen) {
  char className[32] = {};
  GetClassNameA(window, className, sizeof className);
  EXPECT_STREQ(className, "puzzle");
  char title[64] = {};
  GetWindowTextA(window, title, sizeof title);
  EXPECT_STREQ(title, "brindlewick Puzzle");
  EXPECT_EQ(static_cast<uint32_t>(GetWindowLongA(window, GWL_STYLE)) & 0x00CF0000u, 0x00CA0000u);
  EXPECT_EQ(GetClassLongA(window, GCL_STYLE), 0u);
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 320);
  EXPECT_EQ(client.bottom, 356);
  EXPECT_NE(GetMenu(window), nullptr);
  EXPECT_EQ(GetMenuState(GetMenu(window), 40004, MF_BYCOMMAND) & MF_CHECKED, static_cast<UINT>(MF_CHECKED));
  EXPECT_EQ(GetMenuState(GetMenu(window), 40008, MF_BYCOMMAND) & MF_CHECKED, static_cast<UINT>(MF_CHECKED));
  EXPECT_EQ(GetMenuState(GetMenu(window), 40018, MF_BYCOMMAND) & MF_CHECKED, static_cast<UINT>(MF_CHECKED));
  EXPECT_TRUE(ScreenMatchesHeadless("start-up"));
  EXPECT_TRUE(host->boxes.empty());
}

TEST_F(ProgramTest, GamePlayedWithKeysAndClicksMatchesHeadlessAfterEveryStep) {
  NewGame();
  ASSERT_TRUE(ScreenMatchesHeadless("new game"));
  for (uint32_t key : {VK_LEFT, VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN, VK_DOWN, VK_LEFT}) {
    Key(key);
    ASSERT_TRUE(ScreenMatchesHeadless("arrow key"));
  }
  Board& board = *mirror->gamePanel->GetBoard();
  for (int i = 0; i < 4; ++i) {
    // Along the hole's row, then along its column.
    const int32_t column = board.GetEmptyColumn();
    const int32_t row = board.GetEmptyRow();
    auto [x, y] = i % 2 == 0 ? CellCentre(column == 0 ? 3 : 0, row) : CellCentre(column, row == 0 ? 3 : 0);
    Click(x, y);
    ASSERT_TRUE(ScreenMatchesHeadless("click"));
  }
  EXPECT_EQ(app->gamePanel->GetMoves(), mirror->gamePanel->GetMoves());
  EXPECT_GT(app->gamePanel->GetMoves(), 7);
  auto [fx, fy] = std::pair{mirror->gamePanel->GetWidth() / 2, 23};
  Click(fx, fy);  // the face: a new game
  host->KillTimer(1);
  EXPECT_TRUE(ScreenMatchesHeadless("face"));
  EXPECT_EQ(app->gamePanel->GetMoves(), 0);
}

TEST_F(ProgramTest, NumbersOnThenOffAndAFlashTwiceRestoreEveryPixel) {
  NewGame();
  Key(VK_LEFT);
  const Pixels before = CaptureClient(window);
  SendMessageA(window, WM_COMMAND, 40012, 0);  // Show Numbers: GDI's own glyphs
  Pump();
  const Pixels numbered = CaptureClient(window);
  EXPECT_GT(CountDifferences(numbered, before), 100);
  EXPECT_EQ(GetMenuState(GetMenu(window), 40012, MF_BYCOMMAND) & MF_CHECKED, static_cast<UINT>(MF_CHECKED));
  Key(VK_LEFT);
  SendMessageA(window, WM_COMMAND, 40012, 0);
  Pump();
  EXPECT_TRUE(ScreenMatchesHeadless("numbers off after a slide"));

  // The Find Tile blink: inverted after one tick, itself again after the second.
  const Pixels plain = CaptureClient(window);
  app->lastFindNumber = 6;
  // A second between the ticks, where the program has a tenth: Wine shows what DirectDraw
  // drew on the screen a while later, and each tick's picture must be seen before the next.
  host->SetTimer(2, 1000, [this](uint32_t id) { FindTileTimerProc(*app, id); });
  EXPECT_TRUE(PumpUntil([&] { return CountDifferences(CaptureClient(window), plain) > 1000; })) << "no blink";
  EXPECT_TRUE(PumpUntil([&] { return CountDifferences(CaptureClient(window), plain) == 0; })) << "not restored";
}

// The numbers are white glyphs exclusive-or'ed into the picture: with the desktop's
// smoothing at its most colourful (ClearType), every pixel they touch is exactly inverted,
// none half, and taking them out restores every pixel.
TEST_F(ProgramTest, NumbersAreWholePixelsEvenWithClearTypeOn) {
  BOOL smoothing = FALSE;
  UINT smoothingType = 0;
  SystemParametersInfoA(SPI_GETFONTSMOOTHING, 0, &smoothing, 0);
  SystemParametersInfoA(SPI_GETFONTSMOOTHINGTYPE, 0, &smoothingType, 0);
  SystemParametersInfoA(SPI_SETFONTSMOOTHING, TRUE, nullptr, 0);
  SystemParametersInfoA(SPI_SETFONTSMOOTHINGTYPE, 0, reinterpret_cast<void*>(FE_FONTSMOOTHINGCLEARTYPE), 0);
  const Pixels before = CaptureClient(window);
  SendMessageA(window, WM_COMMAND, 40012, 0);
  Pump();
  const Pixels numbered = CaptureClient(window);
  SendMessageA(window, WM_COMMAND, 40012, 0);
  Pump();
  const Pixels after = CaptureClient(window);
  SystemParametersInfoA(SPI_SETFONTSMOOTHING, smoothing, nullptr, 0);
  SystemParametersInfoA(SPI_SETFONTSMOOTHINGTYPE, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(smoothingType)), 0);

  ASSERT_EQ(CountDifferences(numbered, before) >= 0, true);
  int64_t inverted = 0;
  int64_t partial = 0;
  for (size_t i = 0; i < before.data.size(); ++i) {
    if (numbered.data[i] == before.data[i]) continue;
    if (numbered.data[i] == (before.data[i] ^ 0xFFFFFFu)) {
      ++inverted;
    } else {
      ++partial;
    }
  }
  EXPECT_GT(inverted, 100);
  EXPECT_EQ(partial, 0) << "pixels neither kept nor inverted";
  EXPECT_EQ(CountDifferences(after, before), 0);
}

TEST_F(ProgramTest, LostSurfacesAreRestoredAndTheGameGoesOn) {
  NewGame();
  Key(VK_LEFT);
  SendMessageA(window, WM_COMMAND, 40012, 0);  // numbers on: they live in the lost pixels too
  Pump();
  const Pixels numbered = CaptureClient(window);
  host->Display().SimulateLoss();
  InvalidateRect(window, nullptr, FALSE);  // the next render meets the lost surfaces
  Pump(200);
  EXPECT_EQ(host->Display().Recoveries(), 1);
  EXPECT_TRUE(host->boxes.empty()) << host->boxes.front();
  // The numbers came back with the picture, and come out again exactly.
  EXPECT_EQ(CountDifferences(CaptureClient(window), numbered), 0);
  SendMessageA(window, WM_COMMAND, 40012, 0);
  Pump();
  Key(VK_LEFT);
  EXPECT_TRUE(ScreenMatchesHeadless("after the loss"));
  EXPECT_EQ(app->gamePanel->GetMoves(), 2);
}

TEST_F(ProgramTest, PaintErrorOnlyWhenTheSurfacesCantBeRestored) {
  NewGame();
  host->Display().SimulateLoss(false);
  SendMessageA(window, WM_KEYDOWN, VK_LEFT, 1);
  ASSERT_EQ(host->boxes.size(), 1u);
  EXPECT_EQ(host->boxes[0], "Paint Error: An unexpected error occurs, the program will now exit.");
  MSG quit{};
  ASSERT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(quit.wParam, 1u);
  // The program is on its way out: nothing paints and no second box comes.
  InvalidateRect(window, nullptr, FALSE);
  Pump(100);
  EXPECT_EQ(host->boxes.size(), 1u);
}

// Opens a dialog with a command and checks it from a timer tick inside its modal loop.
struct DialogCheck {
  int32_t unitsWide = 0;
  int32_t unitsHigh = 0;
  uint32_t closeWith = IDCANCEL;
  bool seen = false;
  RECT client{};
  RECT expected{};
  std::string caption;
};
DialogCheck* currentCheck = nullptr;

void CALLBACK InspectDialog(HWND, UINT, UINT_PTR id, DWORD) {
  HWND dialog = GetActiveWindow();
  char caption[64] = {};
  GetWindowTextA(dialog, caption, sizeof caption);
  if (currentCheck == nullptr || GetWindowLongPtrA(dialog, GWLP_WNDPROC) == 0 || std::string(caption).empty() ||
      std::string(caption) == "brindlewick Puzzle") {
    return;
  }
  KillTimer(nullptr, id);
  currentCheck->seen = true;
  currentCheck->caption = caption;
  GetClientRect(dialog, &currentCheck->client);
  currentCheck->expected = RECT{0, 0, currentCheck->unitsWide, currentCheck->unitsHigh};
  MapDialogRect(dialog, &currentCheck->expected);
  PostMessageA(dialog, WM_COMMAND, currentCheck->closeWith, 0);
}

TEST_F(ProgramTest, DialogsOpenWithTheirTemplateSizes) {
  struct Case {
    uint32_t command;
    const char* caption;
    int32_t width, height;
  };
  for (const Case& c : {Case{40003, "Best Times", 227, 71}, Case{40007, "Custom Dimensions", 120, 63},
                        Case{40013, "Find Tile", 158, 44}, Case{40017, "About brindlewick Puzzle", 194, 103}}) {
    DialogCheck check;
    check.unitsWide = c.width;
    check.unitsHigh = c.height;
    currentCheck = &check;
    const UINT_PTR timer = SetTimer(nullptr, 0, 150, &InspectDialog);
    SendMessageA(window, WM_COMMAND, c.command, 0);
    KillTimer(nullptr, timer);
    currentCheck = nullptr;
    ASSERT_TRUE(check.seen) << c.caption;
    EXPECT_EQ(check.caption, c.caption);
    EXPECT_EQ(check.client.right, check.expected.right) << c.caption;
    EXPECT_EQ(check.client.bottom, check.expected.bottom) << c.caption;
  }
  Pump();
  EXPECT_TRUE(host->boxes.empty());
}

// What the Best Times dialog and the Reset Score box look like from a timer inside
// their modal loops.
struct ResetCheck {
  HWND main = nullptr;
  HWND bestTimes = nullptr;
  HWND box = nullptr;
  HWND boxOwner = nullptr;
  bool mainEnabledUnderBox = true;
  bool mainEnabledAfterNo = true;
  bool bestTimesOpenAfterNo = false;
  int step = 0;
};
ResetCheck* currentReset = nullptr;

std::string Caption(HWND window) {
  char caption[64] = {};
  GetWindowTextA(window, caption, sizeof caption);
  return caption;
}

void CALLBACK AnswerResetWithNo(HWND, UINT, UINT_PTR id, DWORD) {
  ResetCheck& check = *currentReset;
  HWND active = GetActiveWindow();
  if (check.step == 0 && Caption(active) == "Best Times") {
    check.bestTimes = active;
    PostMessageA(active, WM_COMMAND, 1036, 0);  // Reset Score
    check.step = 1;
  } else if (check.step == 1 && Caption(active) == "Reset Score") {
    check.box = active;
    check.boxOwner = GetWindow(active, GW_OWNER);
    check.mainEnabledUnderBox = IsWindowEnabled(check.main) != FALSE;
    PostMessageA(active, WM_COMMAND, IDNO, 0);
    check.step = 2;
  } else if (check.step == 2 && !IsWindow(check.box)) {
    check.mainEnabledAfterNo = IsWindowEnabled(check.main) != FALSE;
    check.bestTimesOpenAfterNo = IsWindow(check.bestTimes) != FALSE;
    PostMessageA(check.bestTimes, WM_COMMAND, IDCANCEL, 0);
    check.step = 3;
    KillTimer(nullptr, id);
  }
}

TEST_F(ProgramTest, BestTimesStaysModalAfterTheResetQuestionIsAnsweredNo) {
  host->realBoxes = true;
  ResetCheck check;
  check.main = window;
  currentReset = &check;
  const UINT_PTR timer = SetTimer(nullptr, 0, 100, &AnswerResetWithNo);
  SendMessageA(window, WM_COMMAND, 40003, 0);
  KillTimer(nullptr, timer);
  currentReset = nullptr;
  ASSERT_EQ(check.step, 3);
  EXPECT_EQ(check.boxOwner, check.bestTimes);
  EXPECT_FALSE(check.mainEnabledUnderBox);
  EXPECT_TRUE(check.bestTimesOpenAfterNo);
  EXPECT_FALSE(check.mainEnabledAfterNo);
  // Only the dialog ending gives the main window its input back.
  EXPECT_TRUE(IsWindowEnabled(window));
  ASSERT_EQ(host->boxes.size(), 1u);
  EXPECT_EQ(host->boxes[0], "Reset Score: Are you sure you want to reset the scores?");
}

// Ink boxes in the About box: the label "Visit us at:" in black, the link in blue.
struct AboutInk {
  bool redrawn = false;
  bool seen = false;
  RECT label{};
  RECT link{};
  int64_t blue = 0;
};
AboutInk* currentAbout = nullptr;

void CALLBACK InspectAbout(HWND, UINT, UINT_PTR id, DWORD) {
  HWND dialog = GetActiveWindow();
  if (currentAbout == nullptr || Caption(dialog) != "About brindlewick Puzzle") return;
  if (!currentAbout->redrawn) {
    // Painted now, on the screen by the next tick.
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    currentAbout->redrawn = true;
    return;
  }
  KillTimer(nullptr, id);
  const Pixels shown = CaptureClient(dialog);
  RECT box{};
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    if (Caption(child) != "Visit us at:") continue;
    GetWindowRect(child, &box);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&box), 2);
  }
  AboutInk& ink = *currentAbout;
  ink.seen = true;
  ink.label = RECT{shown.width, shown.height, -1, -1};
  ink.link = ink.label;
  auto grow = [](RECT& r, int32_t x, int32_t y) {
    r.left = std::min<LONG>(r.left, x);
    r.top = std::min<LONG>(r.top, y);
    r.right = std::max<LONG>(r.right, x + 1);
    r.bottom = std::max<LONG>(r.bottom, y + 1);
  };
  for (int32_t y = 0; y < shown.height; ++y) {
    for (int32_t x = 0; x < shown.width; ++x) {
      const uint32_t pixel = shown.At(x, y);
      if (pixel == 0x0000FFu) {
        grow(ink.link, x, y);
        ++ink.blue;
      } else if (pixel == 0 && x >= box.left && x < box.right && y >= box.top && y < box.bottom) {
        grow(ink.label, x, y);
      }
    }
  }
  PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
}

// The link is written in the dialog's own font on the line of "Visit us at:", clear of it.
TEST_F(ProgramTest, TheAboutLinkIsInTheDialogsFontOnTheLineOfItsLabel) {
  AboutInk ink;
  currentAbout = &ink;
  const UINT_PTR timer = SetTimer(nullptr, 0, 150, &InspectAbout);
  SendMessageA(window, WM_COMMAND, 40017, 0);
  KillTimer(nullptr, timer);
  currentAbout = nullptr;
  ASSERT_TRUE(ink.seen);
  ASSERT_GT(ink.blue, 0);
  ASSERT_GT(ink.label.right, 0);
  // Letters as tall as the label's, the same tops, the underline below its baseline.
  EXPECT_LE(std::abs(ink.link.top - ink.label.top), 1) << ink.link.top << " " << ink.label.top;
  EXPECT_GT(ink.link.bottom, ink.label.bottom);
  EXPECT_LE(ink.link.bottom - ink.label.bottom, 4);
  EXPECT_GE(ink.link.left - ink.label.right, 2) << "a space between label and link";
  // Still inside the area that answers to the mouse.
  EXPECT_GE(ink.link.left, 80);
  EXPECT_LT(ink.link.top, 93 + 13);
}

TEST_F(ProgramTest, HelpOpensTheEngineWindowForEachCommand) {
  for (uint32_t command : {40014u, 40016u, 40015u}) {
    SendMessageA(window, WM_COMMAND, command, 0);
    Pump(300);
    HWND help = FindWindowA("HH Parent", nullptr);
    ASSERT_NE(help, nullptr) << command;
    char title[128] = {};
    GetWindowTextA(help, title, sizeof title);
    EXPECT_NE(std::string(title).find("brindlewick Puzzle"), std::string::npos) << title;
  }
  EXPECT_NE(app->helpModule, 0u);
  EXPECT_FALSE(app->helpLoadFailed);
  if (HWND help = FindWindowA("HH Parent", nullptr)) SendMessageA(help, WM_CLOSE, 0, 0);
  Pump(100);
}

TEST_F(ProgramTest, CustomPictureResizesTheWindowAndHostileFilesGiveTheMessage) {
  const std::string dir = std::string(PUZZLE_TEST_DATA) + "/pictures/";
  host->files = {dir + "quadrants-x4.png"};
  SendMessageA(window, WM_COMMAND, 40019, 0);
  Pump(200);
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 170);  // the top bar is wider than a 48-pixel picture
  EXPECT_EQ(client.bottom, 32 + 56);
  EXPECT_EQ(GetMenuState(GetMenu(window), 40019, MF_BYCOMMAND) & MF_CHECKED, static_cast<UINT>(MF_CHECKED));
  EXPECT_TRUE(host->boxes.empty());

  // A bomb, a cut file and no picture at all: the message, and the picture stays.
  const std::string temp = (std::filesystem::temp_directory_path() / "brindlewick-hostile").string();
  std::filesystem::create_directories(temp);
  const uint8_t gif[] = {'G', 'I', 'F', '8', '9', 'a', 0x60, 0xEA, 0x60, 0xEA, 0x80, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF,
                         0x2C, 0, 0, 0, 0, 0x60, 0xEA, 0x60, 0xEA, 0, 2, 2, 0x4C, 0x01, 0, 0x3B};
  const uint8_t text[] = {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e'};
  std::ofstream(temp + "/bomb.gif", std::ios::binary).write(reinterpret_cast<const char*>(gif), sizeof gif);
  std::ofstream(temp + "/text.jpg", std::ios::binary).write(reinterpret_cast<const char*>(text), sizeof text);
  host->files = {temp + "/bomb.gif", temp + "/text.jpg", temp + "/missing.png"};
  for (int i = 0; i < 3; ++i) {
    SendMessageA(window, WM_COMMAND, 40019, 0);
    Pump(100);
  }
  ASSERT_EQ(host->boxes.size(), 3u);
  for (const std::string& box : host->boxes) {
    EXPECT_EQ(box,
              "Change Picture Error: Cannot change picture.\nMake sure that the file is in a supported file format "
              "(BMP, GIF, JPG, PNG, TGA, TIF, WMF).");
  }
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 170);
  EXPECT_EQ(std::string(app->picturePath.data()), dir + "quadrants-x4.png");
  std::filesystem::remove_all(temp);
}

// A file name outside the ANSI code page: chosen, played, stored, and played again by
// the next start.
TEST_F(ProgramTest, APictureNamedOutsideTheAnsiCodePageIsPlayedStoredAndRestored) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / L"brindlewick-\x65E5\x672C";
  std::filesystem::create_directories(folder);
  const std::filesystem::path file = folder / L"Zo\x00EB-\x65E5\x672C.png";
  std::filesystem::copy_file(std::string(PUZZLE_TEST_DATA) + "/pictures/quadrants-x4.png", file,
                             std::filesystem::copy_options::overwrite_existing);
  const std::u8string name = file.u8string();
  const std::string utf8(name.begin(), name.end());
  host->files = {utf8};
  SendMessageA(window, WM_COMMAND, 40019, 0);
  Pump(200);
  EXPECT_TRUE(host->boxes.empty()) << host->boxes.front();
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 170);
  EXPECT_EQ(std::string(app->picturePath.data()), utf8);
  app->Finish(0);
  app.reset();

  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key), ERROR_SUCCESS);
  std::vector<wchar_t> stored(512, L'\0');
  DWORD bytes = static_cast<DWORD>(stored.size() * sizeof(wchar_t));
  EXPECT_EQ(RegQueryValueExW(key, L"picturePath", nullptr, nullptr, reinterpret_cast<BYTE*>(stored.data()), &bytes),
            ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(std::wstring(stored.data()), file.wstring());

  host.reset();
  Pump(50);
  host = std::make_unique<TestHost>(kSecond);
  app = std::make_unique<Application>(*host);
  ASSERT_FALSE(app->Start(SW_SHOWNORMAL).has_value());
  window = host->MainWindow();
  Pump(200);
  EXPECT_TRUE(host->boxes.empty()) << host->boxes.front();
  EXPECT_FALSE(app->defaultPicture);
  EXPECT_EQ(std::string(app->picturePath.data()), utf8);
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 170);
  std::filesystem::remove_all(folder);
}

TEST_F(ProgramTest, RegistryHoldsTheSettingsWithTheirTypesAfterTheRun) {
  SendMessageA(window, WM_COMMAND, 40006, 0);  // Expert
  SendMessageA(window, WM_COMMAND, 40009, 0);  // Empty Space at BR
  SendMessageA(window, WM_COMMAND, 40012, 0);  // numbers
  Pump();
  app->Finish(0);
  app.reset();
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key), ERROR_SUCCESS);
  auto read = [key](const char* name, DWORD& type, std::vector<uint8_t>& data) {
    DWORD size = 512;
    data.assign(512, 0);
    const LONG status = RegQueryValueExA(key, name, nullptr, &type, data.data(), &size);
    data.resize(status == ERROR_SUCCESS ? size : 0);
    return status == ERROR_SUCCESS;
  };
  auto dword = [&](const char* name) {
    DWORD type = 0;
    std::vector<uint8_t> data;
    EXPECT_TRUE(read(name, type, data)) << name;
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD)) << name;
    EXPECT_EQ(data.size(), 4u) << name;
    uint32_t value = 0;
    if (data.size() == 4) std::memcpy(&value, data.data(), 4);
    return static_cast<int32_t>(value);
  };
  auto byte = [&](const char* name) {
    DWORD type = 0;
    std::vector<uint8_t> data;
    EXPECT_TRUE(read(name, type, data)) << name;
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY)) << name;
    EXPECT_EQ(data.size(), 1u) << name;
    return data.empty() ? -1 : data[0];
  };
  EXPECT_EQ(dword("dimensionX"), 8);
  EXPECT_EQ(dword("dimensionY"), 8);
  EXPECT_EQ(dword("emptyX"), 100);
  EXPECT_EQ(dword("emptyY"), 100);
  EXPECT_EQ(byte("showNumber"), 1);
  EXPECT_EQ(byte("defaultPicture"), 1);
  DWORD type = 0;
  std::vector<uint8_t> path;
  EXPECT_TRUE(read("picturePath", type, path));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(path.size(), 1u);  // the terminator alone
  RegCloseKey(key);
}

}  // namespace
}  // namespace puzzle::test
