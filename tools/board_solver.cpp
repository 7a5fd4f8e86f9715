#include "tools/board_solver.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <queue>
#include <unordered_map>
#include <utility>

#include "game/tile.h"
#include "toolkit/platform_codes.h"

namespace puzzle::e2e {

std::vector<uint32_t> SolveBoard(Board& board) {
  // Weighted A* over the arrangement, four bits per cell: far from the shortest solution,
  // but found at once, and any solution will do to reach the end of a game.
  const int32_t columns = board.GetColumns();
  const int32_t rows = board.GetRows();
  const int32_t cells = columns * rows;
  if (cells > 16) return {};
  using State = uint64_t;
  auto get = [](State s, int32_t i) { return static_cast<int32_t>((s >> (4 * i)) & 0xF); };
  auto set = [](State s, int32_t i, int32_t v) {
    return (s & ~(State{0xF} << (4 * i))) | (static_cast<State>(v) << (4 * i));
  };
  // The hidden tile stands in the empty cell; solved, every tile is at home, the hidden
  // one in its corner too.
  const int32_t hole = board.GetEmptyRow() * columns + board.GetEmptyColumn();
  State start = 0;
  int32_t hiddenHome = -1;
  for (int32_t r = 0; r < rows; ++r) {
    for (int32_t c = 0; c < columns; ++c) {
      Tile* t = board.TileInCell(c, r);
      const int32_t home = t->GetHomeY() * columns + t->GetHomeX();
      start = set(start, r * columns + c, home);
      if (r * columns + c == hole) hiddenHome = home;
    }
  }
  State goal = 0;
  for (int32_t i = 0; i < cells; ++i) goal = set(goal, i, i);
  auto heuristic = [&](State s) {
    int32_t h = 0;
    for (int32_t i = 0; i < cells; ++i) {
      const int32_t home = get(s, i);
      if (home == hiddenHome) continue;
      h += std::abs(home % columns - i % columns) + std::abs(home / columns - i / columns);
    }
    return h;
  };
  auto holeOf = [&](State s) {
    for (int32_t i = 0; i < cells; ++i) {
      if (get(s, i) == hiddenHome) return i;
    }
    return -1;
  };
  struct Seen {
    State parent;
    uint32_t key;
    int32_t g;
  };
  std::unordered_map<State, Seen> seen;
  using Entry = std::pair<int32_t, State>;
  std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> open;
  seen[start] = {start, 0, 0};
  open.push({3 * heuristic(start), start});
  bool found = start == goal;
  while (!open.empty() && !found && seen.size() < 4000000) {
    const State s = open.top().second;
    open.pop();
    const int32_t g = seen[s].g;
    const int32_t h = holeOf(s);
    const int32_t hc = h % columns;
    const int32_t hr = h / columns;
    // Each arrow key slides the tile on that side of the hole into it.
    const struct {
      uint32_t key;
      int32_t dc;
      int32_t dr;
    } moves[] = {{VK_LEFT, 1, 0}, {VK_RIGHT, -1, 0}, {VK_UP, 0, 1}, {VK_DOWN, 0, -1}};
    for (const auto& m : moves) {
      const int32_t nc = hc + m.dc;
      const int32_t nr = hr + m.dr;
      if (nc < 0 || nc >= columns || nr < 0 || nr >= rows) continue;
      const int32_t n = nr * columns + nc;
      const State next = set(set(s, h, get(s, n)), n, hiddenHome);
      auto it = seen.find(next);
      if (it != seen.end() && it->second.g <= g + 1) continue;
      seen[next] = {s, m.key, g + 1};
      if (next == goal) {
        found = true;
        break;
      }
      open.push({g + 1 + 3 * heuristic(next), next});
    }
  }
  if (!found) return {};
  std::vector<uint32_t> keys;
  for (State s = goal; s != start; s = seen[s].parent) keys.push_back(seen[s].key);
  std::reverse(keys.begin(), keys.end());
  return keys;
}

}  // namespace puzzle::e2e
