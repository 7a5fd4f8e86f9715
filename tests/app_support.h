#pragma once

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "settings/settings_store.h"
#include "shell/application.h"
#include "shell/headless/headless_host.h"
#include "test_support.h"
#include "toolkit/platform_codes.h"

namespace puzzle::testing {

// The whole program on the headless host, with helpers to read the registry and play.
class AppTest : public ::testing::Test {
 protected:
  AppTest() : host(&font), app(host) {
    host.pictureFiles["/pictures/wide.png"] = PatternImage(500, 400, 6);
    host.pictureFiles["/pictures/small.png"] = PatternImage(100, 80, 7);
  }

  void Start() { ASSERT_EQ(app.Start(SW_SHOWNORMAL), std::nullopt); }
  // Ends the loop with what is queued and saves, as the program's end does.
  int32_t Finish() { return app.Finish(host.RunMessageLoop()); }

  std::string Path() const { return std::string(kSettingsKeyPath); }
  const MemoryRegistry::Value* Stored(std::string_view name) const { return host.registry.Find(Path(), name); }
  uint32_t StoredNumber(std::string_view name) const {
    const auto* value = Stored(name);
    if (value == nullptr || value->data.size() < 4) return 0xDEADBEEF;
    return uint32_t{value->data[0]} | uint32_t{value->data[1]} << 8 | uint32_t{value->data[2]} << 16 |
           uint32_t{value->data[3]} << 24;
  }
  std::string StoredText(std::string_view name) const {
    const auto* value = Stored(name);
    return value == nullptr ? "<missing>" : std::string(value->data.begin(), value->data.end());
  }
  void StoreNumber(std::string_view name, uint32_t v) {
    host.registry.Put(Path(), name, REG_DWORD,
                      {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                       static_cast<uint8_t>(v >> 24)});
  }
  void StoreBytes(std::string_view name, uint32_t type, std::vector<uint8_t> bytes) {
    host.registry.Put(Path(), name, type, std::move(bytes));
  }
  void StoreText(std::string_view name, std::string_view text) {
    std::vector<uint8_t> bytes(text.begin(), text.end());
    bytes.push_back(0);
    host.registry.Put(Path(), name, REG_SZ, std::move(bytes));
  }

  GamePanel& panel() { return *app.gamePanel; }
  Board& board() { return *app.gamePanel->GetBoard(); }

  // The client point at the centre of a cell.
  std::pair<int32_t, int32_t> CellPoint(int32_t column, int32_t row) {
    const int32_t w = board().GetWidth();
    const int32_t h = board().GetHeight();
    return {board().GetX() + (2 * column + 1) * w / (2 * board().GetColumns()),
            board().GetY() + (2 * row + 1) * h / (2 * board().GetRows())};
  }
  void ClickCell(int32_t column, int32_t row) {
    auto [x, y] = CellPoint(column, row);
    host.Click(x, y);
  }
  // Starts a game and brings it to one slide from solved: the tile right of (or below)
  // the corner hole is out of place. Answers the cell to press to win.
  std::pair<int32_t, int32_t> OneMoveFromSolved() {
    host.Command(ID_GAME_NEW);
    Board& b = board();
    const int32_t columns = b.GetColumns();
    for (int32_t k = 0; k < b.GetTileCount(); ++k) {
      Tile* home = b.TileNumbered(k + 1);
      b.SwapTiles(b.CellEntry(k % columns, k / columns), b.CellEntry(home->GetCellX(), home->GetCellY()));
    }
    const int32_t ec = b.GetEmptyColumn();
    const int32_t er = b.GetEmptyRow();
    if (ec == 0) {
      EXPECT_TRUE(b.SlideTile(SlideLeft));
    } else {
      EXPECT_TRUE(b.SlideTile(SlideRight));
    }
    return {ec, er};
  }
  size_t Count(std::string_view entry) const {
    size_t n = 0;
    for (const auto& e : host.log) n += e == entry ? 1 : 0;
    return n;
  }

  BlockFont font;
  HeadlessHost host;
  Application app;
};

}  // namespace puzzle::testing
