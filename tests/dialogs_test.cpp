// Custom Dimensions, Find Tile with its flash, and About.
#include <gmock/gmock.h>

#include "app_support.h"
#include "settings/small_dialogs.h"

namespace puzzle {
namespace {

using puzzle::testing::AppTest;
using ::testing::ElementsAre;

class DialogsTest : public AppTest {
 protected:
  void SetUp() override { Start(); }
  void FindTile(std::string number) {
    host.dialogScripts[IDD_FIND_TILE].push_back({DialogStep::Type(IDC_FIND_NUMBER, std::move(number)),
                                                 DialogStep::Press(IDOK)});
    host.Command(ID_OPTIONS_FIND_TILE);
  }
  std::string Offered() const { return host.dialogs.back().initialTexts.at(IDC_FIND_NUMBER); }
  const SoftwareSurface& PicturePixels() {
    return static_cast<const SoftwareSurface&>(*app.puzzlePicture->surface);
  }
};

TEST_F(DialogsTest, CustomDimensionsShowsTheSizeAndAppliesWhateverIsEntered) {
  host.Command(ID_OPTIONS_INTERMEDIATE);
  host.Command(ID_GAME_NEW);
  host.dialogScripts[IDD_CUSTOM_DIMENSIONS].push_back(
      {DialogStep::Type(IDC_CUSTOM_WIDTH, "12"), DialogStep::Type(IDC_CUSTOM_HEIGHT, "2"), DialogStep::Press(IDOK)});
  const size_t from = host.log.size();
  host.Command(ID_OPTIONS_CUSTOM);
  const DialogRecord& dialog = host.dialogs.back();
  EXPECT_EQ(dialog.initialTexts.at(IDC_CUSTOM_WIDTH), "6");
  EXPECT_EQ(dialog.initialTexts.at(IDC_CUSTOM_HEIGHT), "6");
  EXPECT_EQ(panel().GetBoardWidth(), 10);
  EXPECT_EQ(panel().GetBoardHeight(), 3);
  EXPECT_EQ(board().GetState(), StateIdle);
  EXPECT_TRUE(host.IsChecked(ID_OPTIONS_CUSTOM));
  EXPECT_THAT(std::vector<std::string>(host.log.begin() + static_cast<std::ptrdiff_t>(from), host.log.end()),
              ElementsAre("dialog 108", "kill 1", "present", "radio 40007"));
}

TEST_F(DialogsTest, CustomFourByFourStillMarksCustomAndEmptyFieldsBecomeThree) {
  host.dialogScripts[IDD_CUSTOM_DIMENSIONS].push_back(
      {DialogStep::Type(IDC_CUSTOM_WIDTH, "4"), DialogStep::Type(IDC_CUSTOM_HEIGHT, "4"), DialogStep::Press(IDOK)});
  host.Command(ID_OPTIONS_CUSTOM);
  EXPECT_TRUE(host.IsChecked(ID_OPTIONS_CUSTOM));
  host.dialogScripts[IDD_CUSTOM_DIMENSIONS].push_back(
      {DialogStep::Type(IDC_CUSTOM_WIDTH, ""), DialogStep::Type(IDC_CUSTOM_HEIGHT, "x7"), DialogStep::Press(IDOK)});
  host.Command(ID_OPTIONS_CUSTOM);
  EXPECT_EQ(panel().GetBoardWidth(), 3);
  EXPECT_EQ(panel().GetBoardHeight(), 3);
}

TEST_F(DialogsTest, CancelledCustomDimensionsChangesNothing) {
  host.Command(ID_GAME_NEW);
  host.dialogScripts[IDD_CUSTOM_DIMENSIONS].push_back(
      {DialogStep::Type(IDC_CUSTOM_WIDTH, "9"), DialogStep::Press(IDCANCEL)});
  const size_t marks = host.markCalls.size();
  host.Command(ID_OPTIONS_CUSTOM);
  EXPECT_EQ(panel().GetBoardWidth(), 4);
  EXPECT_EQ(board().GetState(), StatePlaying);
  EXPECT_EQ(host.markCalls.size(), marks);
  EXPECT_TRUE(host.IsChecked(ID_OPTIONS_BEGINNER));
}

TEST_F(DialogsTest, FindTileOffersTheNumberAfterTheLastOneFound) {
  FindTile("7");
  EXPECT_EQ(Offered(), "1");
  FindTile("16");
  EXPECT_EQ(Offered(), "8");
  FindTile("");
  EXPECT_EQ(Offered(), "1") << "after 16 on a 4 x 4 board";
  FindTile("17");
  EXPECT_EQ(Offered(), "1") << "after an empty field";
  host.dialogScripts[IDD_FIND_TILE].push_back({DialogStep::Press(IDCANCEL)});
  host.Command(ID_OPTIONS_FIND_TILE);
  EXPECT_EQ(Offered(), "1") << "after 17, beyond the board";
  FindTile("4294967295");
  FindTile("");
  EXPECT_EQ(Offered(), "0") << "the platform reads 4294967295 as -1, which is below the tile count";
}

TEST_F(DialogsTest, FindTileOffersOneAfterTheBoardShrinks) {
  host.Command(ID_OPTIONS_EXPERT);
  FindTile("40");
  host.Command(ID_OPTIONS_BEGINNER);
  host.dialogScripts[IDD_FIND_TILE].push_back({DialogStep::Press(IDCANCEL)});
  host.Command(ID_OPTIONS_FIND_TILE);
  EXPECT_EQ(Offered(), "1");
}

TEST_F(DialogsTest, TheFoundTileFlashesOnceWhereverItStands) {
  host.Command(ID_GAME_NEW);
  const auto original = PicturePixels().Pixels();
  FindTile("6");
  const auto* timer = host.FindTimer(FIND_TILE_TIMER);
  ASSERT_NE(timer, nullptr);
  EXPECT_EQ(timer->milliseconds, 100u);
  EXPECT_TRUE(timer->hasCallback);
  EXPECT_EQ(PicturePixels().Pixels(), original) << "nothing before the first tick";

  Tile* six = board().TileNumbered(6);
  const int32_t x = board().GetX() + six->GetX() + 5;
  const int32_t y = board().GetY() + six->GetY() + 5;
  const uint32_t shown = host.target.ClientPixel(x, y);
  ASSERT_TRUE(host.FireTimer(FIND_TILE_TIMER));
  EXPECT_EQ(host.target.ClientPixel(x, y), shown ^ 0xFFFFFFu) << "inverted after the first tick";
  EXPECT_EQ(PicturePixels().Pixel(80, 80), original[80 * 300 + 80] ^ 0xFFFFFFu);
  ASSERT_TRUE(host.FireTimer(FIND_TILE_TIMER));
  EXPECT_EQ(host.target.ClientPixel(x, y), shown);
  EXPECT_EQ(PicturePixels().Pixels(), original);
  EXPECT_FALSE(host.TimerRunning(FIND_TILE_TIMER)) << "gone after its second tick";
  EXPECT_EQ(app.flashTickCount, 0);
}

TEST_F(DialogsTest, ANumberOffTheBoardStillTicksTwiceWithoutAChange) {
  const auto original = PicturePixels().Pixels();
  FindTile("99");
  const int presents = host.presents;
  host.FireTimer(FIND_TILE_TIMER);
  host.FireTimer(FIND_TILE_TIMER);
  EXPECT_EQ(host.presents, presents + 2);
  EXPECT_EQ(PicturePixels().Pixels(), original);
  EXPECT_FALSE(host.TimerRunning(FIND_TILE_TIMER));
  FindTile("4294967295");  // wraps to -1: still nothing, and no overflow
  host.FireTimer(FIND_TILE_TIMER);
  host.FireTimer(FIND_TILE_TIMER);
  EXPECT_EQ(PicturePixels().Pixels(), original);
}

TEST_F(DialogsTest, TheAboutLinkTurnsTheCursorAndOpensTheAddressWhileStayingOpen) {
  host.dialogScripts[IDD_ABOUT].push_back({
      DialogStep::Paint(),
      DialogStep::Mouse(WM_MOUSEMOVE, 79, 93),
      DialogStep::Mouse(WM_MOUSEMOVE, 80, 93),
      DialogStep::Mouse(WM_MOUSEMOVE, 202, 105),
      DialogStep::Mouse(WM_MOUSEMOVE, 203, 105),
      DialogStep::Mouse(WM_MOUSEMOVE, 150, 106),
      DialogStep::Mouse(WM_LBUTTONDOWN, 20, 20),
      DialogStep::Mouse(WM_LBUTTONDOWN, 200, 100),
      DialogStep::Run([this] { EXPECT_FALSE(host.dialogs.back().ended); }),
      DialogStep::Press(IDCANCEL),
  });
  host.Command(ID_HELP_ABOUT);
  const DialogRecord& dialog = host.dialogs.back();
  EXPECT_THAT(dialog.cursors, ElementsAre(CursorShape::Arrow, CursorShape::Hand, CursorShape::Hand,
                                          CursorShape::Arrow, CursorShape::Arrow));
  EXPECT_THAT(host.openedAddresses, ElementsAre("http://brindlewick.example"));
  EXPECT_THAT(dialog.drawnTexts, ElementsAre("http://brindlewick.example"));
  EXPECT_EQ(std::string("http://brindlewick.example").size(), 26u);
  EXPECT_TRUE(dialog.ended);
}

TEST(DialogNumbersTest, FieldsReadAsThePlatformReadsThem) {
  EXPECT_EQ(DialogUnsigned("12"), 12u);
  EXPECT_EQ(DialogUnsigned("  7 "), 7u);
  EXPECT_EQ(DialogUnsigned(""), 0u);
  EXPECT_EQ(DialogUnsigned("abc"), 0u);
  EXPECT_EQ(DialogUnsigned("-5"), 0u);
  EXPECT_EQ(DialogUnsigned("4294967295"), 4294967295u);
  EXPECT_EQ(DialogUnsigned("4294967296"), 0u);
  EXPECT_EQ(DialogUnsigned("99999999999999999999999"), 0u);
}

}  // namespace
}  // namespace puzzle
