#pragma once

#include <set>

#include <gtest/gtest.h>

#include "game/board.h"

namespace puzzle::testing {

// The cells hold every tile once, each knowing its cell; one tile is hidden, in the hole
// (none once the picture is whole).
inline void ExpectBoardInvariants(Board& board) {
  std::set<Tile*> seen;
  int hidden = 0;
  for (int32_t r = 0; r < board.GetRows(); ++r) {
    for (int32_t c = 0; c < board.GetColumns(); ++c) {
      Tile* t = board.TileInCell(c, r);
      ASSERT_TRUE(seen.insert(t).second);
      ASSERT_EQ(t->GetCellX(), c);
      ASSERT_EQ(t->GetCellY(), r);
      if (!t->IsVisible()) {
        ++hidden;
        ASSERT_EQ(c, board.GetEmptyColumn());
        ASSERT_EQ(r, board.GetEmptyRow());
      }
    }
  }
  ASSERT_EQ(static_cast<int32_t>(seen.size()), board.GetTileCount());
  ASSERT_EQ(hidden, board.GetState() == StateSolved ? 0 : 1);
}

}  // namespace puzzle::testing
