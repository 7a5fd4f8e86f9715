// Start-up, settings at start and exit, exit codes and the render failure.
#include <gmock/gmock.h>

#include "app_support.h"

namespace puzzle {
namespace {

using puzzle::testing::AppTest;
using ::testing::ElementsAre;

using StartupTest = AppTest;

TEST_F(StartupTest, FirstRunStoresEveryDefaultAndOpensOnTheWholePicture) {
  Start();
  const std::pair<const char*, uint32_t> numbers[] = {
      {"dimensionX", 4}, {"dimensionY", 4}, {"emptyX", 0xFFFFFFFF}, {"emptyY", 100}};
  for (const auto& [name, value] : numbers) {
    ASSERT_NE(Stored(name), nullptr) << name;
    EXPECT_EQ(Stored(name)->type, REG_DWORD) << name;
    EXPECT_EQ(Stored(name)->data.size(), 4u) << name;
    EXPECT_EQ(StoredNumber(name), value) << name;
  }
  EXPECT_EQ(Stored("showNumber")->type, REG_BINARY);
  EXPECT_THAT(Stored("showNumber")->data, ElementsAre(0));
  EXPECT_EQ(Stored("defaultPicture")->type, REG_BINARY);
  EXPECT_THAT(Stored("defaultPicture")->data, ElementsAre(1));
  EXPECT_EQ(Stored("picturePath")->type, REG_SZ);
  EXPECT_THAT(Stored("picturePath")->data, ElementsAre(0));
  EXPECT_EQ(host.registry.keys.at(Path()).size(), 7u);

  EXPECT_TRUE(host.IsChecked(ID_OPTIONS_BEGINNER));
  EXPECT_TRUE(host.IsChecked(ID_OPTIONS_EMPTY_BL));
  EXPECT_TRUE(host.IsChecked(ID_OPTIONS_DEFAULT_PICTURE));
  EXPECT_FALSE(host.IsChecked(ID_OPTIONS_SHOW_NUMBERS));
  EXPECT_EQ(host.clientWidth, 320);
  EXPECT_EQ(host.clientHeight, 356);
  EXPECT_EQ(host.showCommand, SW_SHOWNORMAL);
  EXPECT_EQ(host.paints, 1) << "the first paint is handled before the loop";
  EXPECT_EQ(panel().GetOriginX(), host.screenX);

  // Idle until a game starts.
  ClickCell(0, 2);
  host.PressKey(VK_DOWN);
  EXPECT_EQ(board().GetState(), StateIdle);
  EXPECT_EQ(panel().GetMoves(), 0);
  host.PressKey(VK_F2);
  EXPECT_EQ(board().GetState(), StatePlaying);
}

TEST_F(StartupTest, TheFirstPaintShowsTheBoardWithTheCornerMissing) {
  Start();
  const auto& target = host.target;
  EXPECT_EQ(target.ClientPixel(0, 0), 0xC0C0C0u) << "the light-grey background";
  EXPECT_EQ(target.ClientPixel(10, 46 + 300 - 2), 0u) << "the hidden corner shows black";
  EXPECT_NE(target.ClientPixel(100, 100), 0xC0C0C0u);
  EXPECT_EQ(target.ClientPixel(10 + 74, 46), 0u) << "grid line";
}

TEST_F(StartupTest, StoredSizesAreClampedOnUseAndWrittenBackClamped) {
  StoreNumber("dimensionX", 2);
  StoreNumber("dimensionY", 2);
  Start();
  EXPECT_TRUE(host.IsChecked(ID_OPTIONS_CUSTOM)) << "judged before clamping";
  EXPECT_EQ(panel().GetBoardWidth(), 3);
  host.Command(ID_GAME_EXIT);
  EXPECT_EQ(Finish(), 0);
  EXPECT_EQ(StoredNumber("dimensionX"), 3u);
  EXPECT_EQ(StoredNumber("dimensionY"), 3u);
}

TEST_F(StartupTest, StoredLevelsAndCornersMarkTheirItems) {
  StoreNumber("dimensionX", 6);
  StoreNumber("dimensionY", 8);
  StoreNumber("emptyX", 5);
  StoreNumber("emptyY", 100);
  StoreBytes("showNumber", REG_BINARY, {2});
  Start();
  EXPECT_TRUE(host.IsChecked(ID_OPTIONS_CUSTOM));
  EXPECT_EQ(panel().GetBoardHeight(), 8);
  // Column 5 is the last of six: the hole is in the bottom-right corner, and so is the mark.
  EXPECT_TRUE(host.IsChecked(ID_OPTIONS_EMPTY_BR));
  EXPECT_FALSE(host.IsChecked(ID_OPTIONS_EMPTY_BL));
  EXPECT_EQ(board().GetEmptyColumn(), 5);
  EXPECT_EQ(board().GetEmptyRow(), 7);
  EXPECT_TRUE(panel().IsShowNumbers()) << "any nonzero byte is on";
  EXPECT_TRUE(host.IsChecked(ID_OPTIONS_SHOW_NUMBERS));
  host.Close();
  EXPECT_EQ(Finish(), 0);
  EXPECT_EQ(StoredNumber("emptyX"), 5u);
  EXPECT_THAT(Stored("showNumber")->data, ElementsAre(1));
}

// A pair the menu never sets marks the corner its cell is in, on every board size, and
// no corner while the cell is none; the pair itself is kept.
TEST_F(StartupTest, ACornerPairTheMenuNeverSetsMarksTheCornerInUseAndIsKept) {
  StoreNumber("emptyX", 101);
  StoreNumber("emptyY", static_cast<uint32_t>(-7));
  Start();
  EXPECT_EQ(board().GetEmptyColumn(), 3);
  EXPECT_EQ(board().GetEmptyRow(), 0);
  for (uint32_t id = ID_OPTIONS_EMPTY_BL; id <= ID_OPTIONS_EMPTY_TR; ++id) {
    EXPECT_EQ(host.IsChecked(id), id == ID_OPTIONS_EMPTY_TR) << id;
  }
  host.Close();
  Finish();
  EXPECT_EQ(StoredNumber("emptyX"), 101u);
}

TEST_F(StartupTest, ACellThatIsNoCornerMarksNoneUntilABoardSizePutsItInOne) {
  StoreNumber("dimensionX", 8);
  StoreNumber("dimensionY", 8);
  StoreNumber("emptyX", 5);
  StoreNumber("emptyY", 100);
  Start();
  EXPECT_EQ(board().GetEmptyColumn(), 5);
  for (uint32_t id = ID_OPTIONS_EMPTY_BL; id <= ID_OPTIONS_EMPTY_TR; ++id) EXPECT_FALSE(host.IsChecked(id)) << id;
  host.Command(ID_OPTIONS_BEGINNER);
  EXPECT_EQ(board().GetEmptyColumn(), 3);
  EXPECT_TRUE(host.IsChecked(ID_OPTIONS_EMPTY_BR));
  host.Command(ID_OPTIONS_INTERMEDIATE);
  EXPECT_EQ(board().GetEmptyColumn(), 5);
  EXPECT_TRUE(host.IsChecked(ID_OPTIONS_EMPTY_BR));
  host.Command(ID_OPTIONS_EXPERT);
  for (uint32_t id = ID_OPTIONS_EMPTY_BL; id <= ID_OPTIONS_EMPTY_TR; ++id) EXPECT_FALSE(host.IsChecked(id)) << id;
  host.Close();
  Finish();
  EXPECT_EQ(StoredNumber("emptyX"), 5u);
}

TEST_F(StartupTest, IntermediateIsRecognisedFromTheSizeAlone) {
  StoreNumber("dimensionX", 6);
  StoreNumber("dimensionY", 6);
  StoreNumber("emptyX", 100);
  StoreNumber("emptyY", static_cast<uint32_t>(-1));
  Start();
  EXPECT_TRUE(host.IsChecked(ID_OPTIONS_INTERMEDIATE));
  EXPECT_TRUE(host.IsChecked(ID_OPTIONS_EMPTY_TR));
}

TEST_F(StartupTest, AStoredPictureThatNoLongerLoadsFallsBackWithItsMessage) {
  StoreBytes("defaultPicture", REG_BINARY, {0});
  StoreText("picturePath", "/pictures/gone.png");
  Start();
  ASSERT_EQ(host.messageBoxes.size(), 1u);
  EXPECT_EQ(host.messageBoxes[0].text,
            "Cannot load picture: /pictures/gone.png, \nthe file may have been removed.\nDefault picture used instead.");
  EXPECT_EQ(host.messageBoxes[0].caption, "Invalid Picture");
  EXPECT_EQ(host.messageBoxes[0].flags, 0x30u);
  EXPECT_TRUE(host.messageBoxes[0].owned);
  EXPECT_TRUE(host.IsChecked(ID_OPTIONS_DEFAULT_PICTURE));
  EXPECT_EQ(board().GetWidth(), 300);
  host.Close();
  Finish();
  EXPECT_THAT(Stored("defaultPicture")->data, ElementsAre(1));
  EXPECT_EQ(StoredText("picturePath"), std::string("/pictures/gone.png") + '\0') << "the path is kept";
}

TEST_F(StartupTest, AStoredPictureThatLoadsSizesTheWindow) {
  StoreBytes("defaultPicture", REG_BINARY, {0});
  StoreText("picturePath", "/pictures/small.png");
  Start();
  EXPECT_TRUE(host.messageBoxes.empty());
  EXPECT_TRUE(host.IsChecked(ID_OPTIONS_CUSTOM_PICTURE));
  EXPECT_EQ(host.clientWidth, 170);
  EXPECT_EQ(host.clientHeight, 136);
}

TEST_F(StartupTest, OverlongStoredTextIsReadSafelyAndTerminated) {
  StoreBytes("defaultPicture", REG_BINARY, {0});
  StoreBytes("picturePath", REG_SZ, std::vector<uint8_t>(300, 'a'));  // no terminator, longer than the buffer
  StoreBytes("dimensionX", REG_BINARY, {6});                           // wrong type and shorter: taken as stored
  Start();
  EXPECT_EQ(std::strlen(app.picturePath.data()), 255u);
  ASSERT_EQ(host.messageBoxes.size(), 1u);
  EXPECT_EQ(host.messageBoxes[0].text, "Cannot load picture: " + std::string(255, 'a') +
                                           ", \nits path is longer than 255 bytes.\nDefault picture used instead.");
  EXPECT_EQ(panel().GetBoardWidth(), 6);
}

// A stored path longer than its buffer names a file the cut path is not: the box says so,
// even when the cut path happens to be a picture, and the stored value is kept.
TEST_F(StartupTest, AStoredPathTooLongToReadWholeIsNamedAsSuch) {
  const std::string kept = "/" + std::string(254, 'p');
  host.pictureFiles[kept] = puzzle::testing::PatternImage(50, 50);
  StoreBytes("defaultPicture", REG_BINARY, {0});
  const std::string stored = kept + "q";  // one byte too many
  StoreText("picturePath", stored);
  Start();
  ASSERT_EQ(host.messageBoxes.size(), 1u);
  EXPECT_EQ(host.messageBoxes[0].text, "Cannot load picture: " + kept +
                                           ", \nits path is longer than 255 bytes.\nDefault picture used instead.");
  EXPECT_EQ(host.messageBoxes[0].caption, "Invalid Picture");
  EXPECT_TRUE(host.IsChecked(ID_OPTIONS_DEFAULT_PICTURE));
  EXPECT_EQ(board().GetWidth(), 300);
  host.Close();
  Finish();
  EXPECT_EQ(StoredText("picturePath"), stored + '\0') << "kept as stored";
}

TEST_F(StartupTest, AnOverlongStoredPathIsCutAtAWholeCharacter) {
  // 254 bytes, then "é" across the 255-byte limit.
  const std::string kept = "/" + std::string(253, 'p');
  StoreBytes("defaultPicture", REG_BINARY, {0});
  StoreText("picturePath", kept + "éé.png");
  Start();
  EXPECT_EQ(std::string(app.picturePath.data()), kept);
  ASSERT_EQ(host.messageBoxes.size(), 1u);
  EXPECT_EQ(host.messageBoxes[0].text, "Cannot load picture: " + kept +
                                           ", \nits path is longer than 255 bytes.\nDefault picture used instead.");
}

// A file that is still there but can't be shown is not called removed; one too small to
// cut into tiles is named as such. Either way the stored path is kept.
class StoredPictureTest : public AppTest, public ::testing::WithParamInterface<std::pair<const char*, const char*>> {};

TEST_P(StoredPictureTest, TheBoxSaysWhyAndTheBuiltInPictureIsUsed) {
  const auto [path, reason] = GetParam();
  host.otherFiles.insert("/pictures/damaged.png");
  host.pictureFiles["/pictures/tiny.png"] = puzzle::testing::PatternImage(30, 19);
  StoreBytes("defaultPicture", REG_BINARY, {0});
  StoreText("picturePath", path);
  Start();
  ASSERT_EQ(host.messageBoxes.size(), 1u);
  EXPECT_EQ(host.messageBoxes[0].text,
            std::string("Cannot load picture: ") + path + ", \n" + reason + ".\nDefault picture used instead.");
  EXPECT_EQ(host.messageBoxes[0].caption, "Invalid Picture");
  EXPECT_TRUE(host.IsChecked(ID_OPTIONS_DEFAULT_PICTURE));
  EXPECT_EQ(board().GetWidth(), 300);
  host.Close();
  Finish();
  EXPECT_EQ(StoredText("picturePath"), std::string(path) + '\0');
}

INSTANTIATE_TEST_SUITE_P(
    DamagedGoneOrTooSmall, StoredPictureTest,
    ::testing::Values(
        std::pair{"/pictures/damaged.png",
                  "the file is damaged or not in a supported format (BMP, GIF, JPG, PNG, TGA, TIF, WMF)"},
        std::pair{"/pictures/gone.png", "the file may have been removed"},
        std::pair{"/pictures/tiny.png", "the picture is smaller than 20 x 20 pixels, too small to cut into tiles"}));

TEST_F(StartupTest, AKeyThatCantBeOpenedGivesDefaultsAndStoresNothing) {
  host.registry.failOpen = true;
  Start();
  EXPECT_TRUE(host.IsChecked(ID_OPTIONS_BEGINNER));
  EXPECT_EQ(panel().GetBoardWidth(), 4);
  host.Close();
  EXPECT_EQ(Finish(), 0);
  EXPECT_EQ(host.registry.writes, 0);
}

TEST_F(StartupTest, WindowAndDrawingFailuresEndTheProgramBeforeTheSettings) {
  host.failCreateWindow = true;
  EXPECT_EQ(app.WinMain(SW_SHOWNORMAL), 1);
  ASSERT_EQ(host.messageBoxes.size(), 1u);
  EXPECT_EQ(host.messageBoxes[0].caption, "Window Error");
  EXPECT_EQ(host.messageBoxes[0].text, "An unexpected error occurs, the program will now exit.");
  EXPECT_FALSE(host.messageBoxes[0].owned);
  EXPECT_EQ(host.registry.opens, 0);

  HeadlessHost other(&font);
  Application second(other);
  other.failSetUpDrawing = true;
  EXPECT_EQ(second.WinMain(SW_SHOWNORMAL), 1);
  ASSERT_EQ(other.messageBoxes.size(), 1u);
  EXPECT_EQ(other.messageBoxes[0].caption, "Direct Draw Error");
  EXPECT_TRUE(other.messageBoxes[0].owned);
  EXPECT_EQ(other.registry.opens, 0);
}

TEST_F(StartupTest, ExitCloseAndCtrlWEndWithZeroAndSave) {
  host.Post(WM_KEYDOWN, VK_F2);
  host.Post(WM_KEYUP, VK_F2);
  host.Post(WM_COMMAND, ID_OPTIONS_EXPERT);
  host.Post(WM_COMMAND, ID_GAME_EXIT);
  EXPECT_EQ(app.WinMain(SW_SHOWNORMAL), 0);
  EXPECT_EQ(StoredNumber("dimensionX"), 8u);
  EXPECT_FALSE(host.windowDestroyed) << "Exit ends the loop without destroying the window first";

  HeadlessHost other(&font);
  Application second(other);
  other.Post(WM_COMMAND, ID_OPTIONS_EMPTY_TR);
  other.Post(WM_CLOSE);
  EXPECT_EQ(second.WinMain(SW_SHOWNORMAL), 0);
  EXPECT_TRUE(other.windowDestroyed);
  EXPECT_EQ(other.registry.Find(Path(), "emptyX")->data[0], 100);

  HeadlessHost third(&font);
  Application third_app(third);
  ASSERT_EQ(third_app.Start(SW_SHOWNORMAL), std::nullopt);
  third.PressKey('W', true);
  EXPECT_TRUE(third.quitPosted);
  EXPECT_EQ(third_app.Finish(third.RunMessageLoop()), 0);
}

TEST_F(StartupTest, ARenderFailureIsReportedOnceThenQuitsWithOneAndStillSaves) {
  Start();
  host.Command(ID_OPTIONS_INTERMEDIATE);
  host.monitor.FailAlways(SurfaceOp::Copy, true);
  host.whileBoxOpen = [this] {
    // Ticks and paints keep coming while the box is up.
    host.Dispatch({WM_TIMER, 1, 0});
    host.InvalidateClient(false);
    host.DeliverPaint();
  };
  host.Command(ID_GAME_NEW);
  host.FireTimer(1);
  host.Command(ID_OPTIONS_EXPERT);
  EXPECT_EQ(host.messageBoxes.size(), 1u);
  EXPECT_EQ(host.messageBoxes[0].caption, "Paint Error");
  EXPECT_EQ(host.messageBoxes[0].text, "An unexpected error occurs, the program will now exit.");
  EXPECT_TRUE(host.IsChecked(ID_OPTIONS_EXPERT)) << "the command's remaining steps still run";
  EXPECT_EQ(Finish(), 1);
  EXPECT_EQ(StoredNumber("dimensionX"), 8u);
}

TEST_F(StartupTest, MovingTheWindowMovesWhereTheBoardIsDrawn) {
  Start();
  host.MoveWindow(500, 300);
  EXPECT_EQ(panel().GetOriginX(), 500);
  EXPECT_EQ(board().TileInCell(0, 0)->GetOriginY(), 300 + 46);
  host.InvalidateClient(false);
  host.DeliverPaint();
  EXPECT_NE(host.target.ClientPixel(10, 46), 0xC0C0C0u);
}

}  // namespace
}  // namespace puzzle
