#include "game/game_panel.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "test_support.h"
#include "toolkit/platform_codes.h"

namespace puzzle {
namespace {

using puzzle::testing::BlockFont;
using puzzle::testing::PatternImage;
using puzzle::testing::SurfaceBench;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Records what the panel asks of the program, in order.
class RecordingHost : public GameHost {
 public:
  uint32_t SetTimer(uint32_t id, uint32_t ms) override {
    calls.push_back("SetTimer " + std::to_string(id) + " " + std::to_string(ms));
    return timerWorks ? id : 0;
  }
  void KillTimer(uint32_t id) override { calls.push_back("KillTimer " + std::to_string(id)); }
  void MessageBeep(uint32_t type) override { calls.push_back("Beep " + std::to_string(type)); }
  void CheckForRecord() override {
    calls.push_back("CheckForRecord");
    if (panel != nullptr) recordSeen = {panel->GetSeconds(), panel->GetMoves()};
  }
  int64_t CurrentTime() override { return now; }

  std::vector<std::string> calls;
  bool timerWorks = true;
  int64_t now = 1700000000;
  GamePanel* panel = nullptr;
  std::pair<int32_t, int32_t> recordSeen{-1, -1};
};

class GamePanelTest : public ::testing::Test {
 protected:
  GamePanelTest() : bench(&font) {
    bench.resources.images[103] = PatternImage(300, 300);
    bench.resources.images[104] = PatternImage(143, 23, 1);
    bench.resources.images[105] = PatternImage(130, 26, 2);
    bench.files.images["narrow.png"] = PatternImage(100, 80, 3);
    bench.files.images["big.png"] = PatternImage(500, 400, 4);
  }
  void Build(int32_t columns = 4, int32_t rows = 4, int32_t ex = -1, int32_t ey = 100, const char* file = nullptr) {
    puzzle_ = file != nullptr ? std::make_unique<Picture>(bench.env, PictureName::File(file), 1, 1, 1)
                              : std::make_unique<Picture>(bench.env, PictureName::Resource(103), 300, 300, 1, 1, 1);
    puzzle_->Load();
    panel = std::make_unique<GamePanel>(nullptr, 0, 0, puzzle_.get(), columns, rows, ex, ey, false, &digits_, 4,
                                        &faces_, host);
    host.panel = panel.get();
  }
  Board& board() { return *panel->GetBoard(); }
  // The centre of a cell, in the panel's coordinates.
  std::pair<int32_t, int32_t> CellCentre(int32_t column, int32_t row) {
    const int32_t w = board().GetWidth();
    const int32_t h = board().GetHeight();
    return {board().GetX() + (w * column + w * (column + 1)) / (2 * board().GetColumns()),
            board().GetY() + (h * row + h * (row + 1)) / (2 * board().GetRows())};
  }
  EventResult Press(int32_t column, int32_t row) {
    auto [px, py] = CellCentre(column, row);
    return panel->OnMouse(WM_LBUTTONDOWN, MK_LBUTTON, px, py);
  }
  // Puts every tile home while the game keeps running.
  void SortTiles() {
    Board& b = board();
    const int32_t columns = b.GetColumns();
    for (int32_t k = 0; k < b.GetTileCount(); ++k) {
      Tile* home = b.TileNumbered(k + 1);
      b.SwapTiles(b.CellEntry(k % columns, k / columns), b.CellEntry(home->GetCellX(), home->GetCellY()));
    }
  }

  BlockFont font;
  SurfaceBench bench;
  Picture digits_{bench.env, PictureName::Resource(104), 143, 23, 11, 1, 11};
  Picture faces_{bench.env, PictureName::Resource(105), 130, 26, 5, 1, 5};
  std::unique_ptr<Picture> puzzle_;
  RecordingHost host;
  std::unique_ptr<GamePanel> panel;
};

TEST_F(GamePanelTest, LaysOutTheTopBarOverAWideBoard) {
  Build();
  EXPECT_EQ(panel->GetWidth(), 320);
  EXPECT_EQ(panel->GetHeight(), 356);
  EXPECT_EQ(panel->GetMovesCounter()->GetX(), 10);
  EXPECT_EQ(panel->GetFace()->GetX(), 147);
  EXPECT_EQ(panel->GetSecondsCounter()->GetX(), 258);
  EXPECT_EQ(board().GetX(), 10);
  EXPECT_EQ(board().GetY(), 46);
  EXPECT_EQ(panel->Child(0), panel->GetFace());
  EXPECT_EQ(panel->Child(1), panel->GetBoard());
  EXPECT_EQ(panel->Child(3), panel->GetSecondsCounter());
  EXPECT_THAT(host.calls, IsEmpty()) << "no clock until a game starts";
  EXPECT_EQ(panel->GetTimerId(), 0u);
}

TEST_F(GamePanelTest, CentresANarrowBoardUnderTheTopBar) {
  Build(4, 4, -1, 100, "narrow.png");
  EXPECT_EQ(panel->GetFace()->GetX(), 72);
  EXPECT_EQ(panel->GetSecondsCounter()->GetX(), 108);
  EXPECT_EQ(board().GetX(), 35);
  EXPECT_EQ(board().GetTileCount(), 16);
  EXPECT_EQ(board().TileInCell(0, 0)->GetOriginX(), 35) << "the tiles moved with the board";
  EXPECT_EQ(panel->GetWidth(), 170);
  EXPECT_EQ(panel->GetHeight(), 80 + 26 + 30);
}

TEST_F(GamePanelTest, ChangingThePictureLaysOutAgain) {
  Build();
  panel->NewGame();
  host.calls.clear();
  ASSERT_TRUE(panel->ChangePicture(PictureName::File("narrow.png")));
  EXPECT_EQ(panel->GetFace()->GetX(), 72);
  EXPECT_EQ(panel->GetSecondsCounter()->GetX(), 108);
  EXPECT_EQ(board().GetX(), 35);
  EXPECT_EQ(panel->GetWidth(), 170);
  EXPECT_EQ(panel->GetHeight(), 136);
  EXPECT_EQ(board().GetState(), StateIdle);
  EXPECT_EQ(panel->GetSeconds(), 0);
  EXPECT_THAT(host.calls, ElementsAre("KillTimer 1"));

  ASSERT_TRUE(panel->ChangePicture(PictureName::File("big.png")));
  EXPECT_EQ(panel->GetFace()->GetX(), 247);
  EXPECT_EQ(panel->GetSecondsCounter()->GetX(), 458);
  EXPECT_EQ(board().GetX(), 10);
  EXPECT_EQ(panel->GetWidth(), 520);
  EXPECT_EQ(panel->GetHeight(), 456);

  EXPECT_FALSE(panel->ChangePicture(PictureName::File("gone.png")));
  EXPECT_EQ(panel->GetWidth(), 520) << "laid out again for the unchanged size";
}

TEST_F(GamePanelTest, NothingMovesUntilAGameStarts) {
  Build();
  EXPECT_EQ(Press(0, 2), Ignored);
  EXPECT_EQ(panel->OnKey(WM_KEYDOWN, VK_LEFT, 0), Ignored);
  EXPECT_EQ(panel->GetMoves(), 0);
}

TEST_F(GamePanelTest, NewGameStartsTheClockAtOneAndShuffles) {
  Build();
  panel->NewGame();
  EXPECT_THAT(host.calls, ElementsAre("KillTimer 0", "SetTimer 1 1000"));
  EXPECT_EQ(panel->GetTimerId(), 1u);
  EXPECT_EQ(board().GetState(), StatePlaying);
  EXPECT_EQ(panel->GetSeconds(), 1);
  for (int i = 0; i < 5; ++i) panel->OnTimerTick();
  EXPECT_EQ(panel->GetSeconds(), 6);
}

TEST_F(GamePanelTest, TheClockAtStartUpDecidesTheGames) {
  auto firstGame = [this](int64_t startTime) {
    host.now = startTime;
    Build();
    panel->NewGame();
    std::vector<Tile*> cells;
    for (int32_t k = 0; k < 16; ++k) cells.push_back(board().TileInCell(k % 4, k / 4));
    std::vector<int32_t> homes;
    for (Tile* t : cells) homes.push_back(t->GetHomeY() * 4 + t->GetHomeX());
    return homes;
  };
  const auto game = firstGame(1700000000);
  EXPECT_EQ(firstGame(1700000000), game);
  EXPECT_NE(firstGame(1700000001), game);
}

TEST_F(GamePanelTest, AFailedTimerLeavesTheGamePlayable) {
  host.timerWorks = false;
  Build();
  panel->NewGame();
  EXPECT_EQ(panel->GetTimerId(), 0u);
  EXPECT_EQ(board().GetState(), StatePlaying);
}

TEST_F(GamePanelTest, PressesSlideTheWholeRunTowardsTheHole) {
  Build(4, 4, 100, 100);
  panel->NewGame();
  ASSERT_EQ(board().GetEmptyColumn(), 3);
  ASSERT_EQ(board().GetEmptyRow(), 3);
  EXPECT_EQ(Press(1, 1), Ignored);
  EXPECT_EQ(Press(3, 3), Consumed) << "the hole itself";
  EXPECT_EQ(panel->GetMoves(), 0);
  Tile* first = board().TileInCell(0, 3);
  EXPECT_EQ(Press(0, 3), Consumed);
  EXPECT_EQ(panel->GetMoves(), 3);
  EXPECT_EQ(board().GetEmptyColumn(), 0);
  EXPECT_EQ(board().TileInCell(1, 3), first);
  EXPECT_EQ(Press(0, 0), Consumed);
  EXPECT_EQ(panel->GetMoves(), 6);
  EXPECT_EQ(board().GetEmptyRow(), 0);
  EXPECT_EQ(Press(2, 0), Consumed);
  EXPECT_EQ(Press(2, 2), Consumed);
  EXPECT_EQ(panel->GetMoves(), 10);
  EXPECT_EQ(Press(2, 1), Consumed);
  EXPECT_EQ(panel->GetMoves(), 11) << "only the tiles between the press and the hole";
  EXPECT_EQ(board().GetEmptyRow(), 1);
}

TEST_F(GamePanelTest, PressesOutsideTheGridSlideOnlyAsFarAsTheEdge) {
  Build(10, 10, 100, 100);
  panel->NewGame();
  const int32_t ec = board().GetEmptyColumn();
  auto [px, py] = CellCentre(ec, 0);
  EXPECT_EQ(panel->OnMouse(WM_LBUTTONDOWN, MK_LBUTTON, px, 5), Consumed);  // row -1
  EXPECT_EQ(board().GetEmptyRow(), 0);
  EXPECT_EQ(panel->GetMoves(), 9);
  EXPECT_EQ(panel->OnMouse(WM_LBUTTONDOWN, MK_LBUTTON, 2000, py), Consumed);  // far right, same row
  EXPECT_EQ(board().GetEmptyColumn(), 9);
  EXPECT_EQ(panel->GetMoves(), 9 + (9 - ec));
  EXPECT_EQ(panel->OnMouse(WM_LBUTTONUP, 0, px, py), Ignored) << "only presses slide";
}

TEST_F(GamePanelTest, ArrowKeysSlideOneTileEach) {
  Build(4, 4, 100, 100);
  panel->NewGame();
  EXPECT_EQ(panel->OnKey(WM_KEYDOWN, VK_LEFT, 0), Ignored) << "nothing right of the hole";
  EXPECT_EQ(panel->OnKey(WM_KEYDOWN, VK_UP, 0), Ignored);
  EXPECT_EQ(panel->OnKey(WM_KEYDOWN, VK_RIGHT, 0), Consumed);
  EXPECT_EQ(panel->OnKey(WM_KEYDOWN, VK_DOWN, 0), Consumed);
  EXPECT_EQ(panel->OnKey(WM_KEYUP, VK_DOWN, 0), Ignored);
  EXPECT_EQ(panel->OnKey(WM_KEYDOWN, 'A', 0), Ignored);
  EXPECT_EQ(panel->GetMoves(), 2);
  EXPECT_EQ(board().GetEmptyColumn(), 2);
  EXPECT_EQ(board().GetEmptyRow(), 2);
}

TEST_F(GamePanelTest, TheWinningPressStopsTheClockBeepsAndChecksTheRecordOnce) {
  Build();
  panel->NewGame();
  SortTiles();
  ASSERT_TRUE(board().SlideTile(SlideLeft));  // hole from (0, 3) to (1, 3)
  panel->OnTimerTick();
  panel->OnTimerTick();
  host.calls.clear();
  EXPECT_EQ(Press(0, 3), Consumed);
  EXPECT_THAT(host.calls, ElementsAre("KillTimer 1", "Beep 0", "CheckForRecord"));
  EXPECT_EQ(host.recordSeen, std::make_pair(3, 1));
  EXPECT_EQ(board().GetState(), StateSolved);
  EXPECT_TRUE(board().TileInCell(0, 3)->IsVisible());
  EXPECT_EQ(Press(1, 3), Ignored) << "the game is over";
  EXPECT_EQ(panel->OnKey(WM_KEYDOWN, VK_LEFT, 0), Ignored);
  EXPECT_EQ(panel->GetMoves(), 1);
  EXPECT_EQ(panel->GetSeconds(), 3);
}

TEST_F(GamePanelTest, AnArrowKeyCanEndTheGame) {
  Build();
  panel->NewGame();
  SortTiles();
  ASSERT_TRUE(board().SlideTile(SlideLeft));
  host.calls.clear();
  EXPECT_EQ(panel->OnKey(WM_KEYDOWN, VK_RIGHT, 0), Consumed);
  EXPECT_THAT(host.calls, ElementsAre("KillTimer 1", "Beep 0", "CheckForRecord"));
  EXPECT_EQ(board().GetState(), StateSolved);
}

TEST_F(GamePanelTest, AMultiTileRunCanEndTheGame) {
  Build(4, 4, 100, 100);
  panel->NewGame();
  SortTiles();
  ASSERT_TRUE(board().SlideTile(SlideRight));
  ASSERT_TRUE(board().SlideTile(SlideRight));
  ASSERT_TRUE(board().SlideTile(SlideRight));
  host.calls.clear();
  EXPECT_EQ(Press(3, 3), Consumed);
  EXPECT_EQ(panel->GetMoves(), 3);
  EXPECT_THAT(host.calls, ElementsAre("KillTimer 1", "Beep 0", "CheckForRecord"));
}

TEST_F(GamePanelTest, ResetsStopTheClockAndZeroTheCounters) {
  Build();
  panel->NewGame();
  Press(0, 2);
  host.calls.clear();
  panel->SetBoardSize(5, 6);
  EXPECT_THAT(host.calls, ElementsAre("KillTimer 1"));
  EXPECT_EQ(panel->GetSeconds(), 0);
  EXPECT_EQ(panel->GetMoves(), 0);
  EXPECT_EQ(board().GetState(), StateIdle);
  EXPECT_EQ(panel->GetBoardWidth(), 5);
  EXPECT_EQ(panel->GetBoardHeight(), 6);
  panel->NewGame();
  panel->SetEmptyCorner(100, -1);
  EXPECT_EQ(panel->GetEmptyX(), 100);
  EXPECT_EQ(panel->GetEmptyY(), -1);
  EXPECT_EQ(board().GetState(), StateIdle);
}

TEST_F(GamePanelTest, AFaceClickStartsAGame) {
  Build();
  auto& face = *panel->GetFace();
  const int32_t fx = face.GetX() + 5;
  EXPECT_EQ(panel->OnMouse(WM_MOUSEMOVE, 0, fx, 15), Consumed);
  EXPECT_THAT(host.calls, IsEmpty());
  EXPECT_EQ(panel->OnMouse(WM_LBUTTONDOWN, MK_LBUTTON, fx, 15), Consumed);
  EXPECT_EQ(panel->OnMouse(WM_LBUTTONUP, 0, fx, 15), Consumed);
  EXPECT_EQ(board().GetState(), StatePlaying);
  EXPECT_THAT(host.calls, ElementsAre("KillTimer 0", "SetTimer 1 1000"));
  panel->OnNotify(&face, ButtonPress);
  panel->OnNotify(panel->GetBoard(), ButtonClick);
  EXPECT_EQ(host.calls.size(), 2u);
}

TEST_F(GamePanelTest, ABoardWithoutPixelsIgnoresPresses) {
  Build();
  panel->NewGame();
  static_cast<Component&>(board()).SetSize(0, 0);
  EXPECT_EQ(panel->OnMouse(WM_LBUTTONDOWN, MK_LBUTTON, 50, 100), Ignored);
}

TEST_F(GamePanelTest, RendersTheWholePanelOnItsFirstPaint) {
  Build();
  bench.target.SetClientArea(0, 0, 320, 356);
  bench.target.EraseClient(0xC0C0C0);
  panel->InvalidateRect(Rect{0, 0, 320, 356});
  ASSERT_TRUE(panel->Render(bench.target));
  EXPECT_EQ(bench.target.ClientPixel(10, 10), puzzle::testing::PatternPixel(0, 0, 1));
  EXPECT_EQ(bench.target.ClientPixel(147, 10), puzzle::testing::PatternPixel(0, 0, 2));
  EXPECT_EQ(bench.target.ClientPixel(10, 46), puzzle::testing::PatternPixel(0, 0));
  EXPECT_EQ(bench.target.ClientPixel(10, 46 + 225), 0u) << "the hidden corner shows the background";
  EXPECT_EQ(bench.target.ClientPixel(5, 5), 0xC0C0C0u);
}

}  // namespace
}  // namespace puzzle
