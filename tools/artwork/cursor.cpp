// Pointing-hand cursor for links: index finger up, other fingers curled.
#include <array>
#include <cstddef>
#include <string_view>
#include <vector>

#include "artwork.h"

namespace art {

namespace {

constexpr int kSize = 32;
constexpr int kHotX = 6;  // middle of the fingertip's top edge
constexpr int kHotY = 1;

// Outline only ('#'); everything the outline encloses becomes white fill.
constexpr std::array<std::string_view, 24> kOutline = {
    "",
    "     ###",
    "    #   #",
    "    #   #",
    "    #   #",
    "    #   #",
    "    #   ####",
    "    #   #   ####",
    "    #   #   #   ###",
    "    #   #   #   #  #",
    "    #   #   #   #  #",
    " ####               #",
    "#                   #",
    "#                   #",
    " #                  #",
    "  #                 #",
    "   #                #",
    "    #              #",
    "     #            #",
    "     #            #",
    "     ##############",
    "     #            #",
    "     #            #",
    "     ##############",
};

bool IsOutline(int x, int y) {
  if (y >= static_cast<int>(kOutline.size())) return false;
  const std::string_view row = kOutline[static_cast<std::size_t>(y)];
  return x < static_cast<int>(row.size()) && row[static_cast<std::size_t>(x)] == '#';
}

// Flood the outside from the border (4-connected, so diagonal outline steps
// still seal the shape); whatever it can't reach is inside.
std::vector<bool> OutsideOfOutline() {
  std::vector<bool> outside(kSize * kSize, false);
  std::vector<int> pending;
  const auto visit = [&](int x, int y) {
    if (x < 0 || y < 0 || x >= kSize || y >= kSize) return;
    const int i = y * kSize + x;
    if (outside[static_cast<std::size_t>(i)] || IsOutline(x, y)) return;
    outside[static_cast<std::size_t>(i)] = true;
    pending.push_back(i);
  };
  for (int i = 0; i < kSize; ++i) {
    visit(i, 0);
    visit(i, kSize - 1);
    visit(0, i);
    visit(kSize - 1, i);
  }
  while (!pending.empty()) {
    const int i = pending.back();
    pending.pop_back();
    const int x = i % kSize, y = i / kSize;
    visit(x + 1, y);
    visit(x - 1, y);
    visit(x, y + 1);
    visit(x, y - 1);
  }
  return outside;
}

}  // namespace

CursorImage DrawHandCursor() {
  CursorImage cursor;
  cursor.size = kSize;
  cursor.hotX = kHotX;
  cursor.hotY = kHotY;
  const std::vector<bool> outside = OutsideOfOutline();
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      if (IsOutline(x, y)) {
        cursor.pixels.push_back(CursorPixel::Black);
      } else if (outside[static_cast<std::size_t>(y * kSize + x)]) {
        cursor.pixels.push_back(CursorPixel::Transparent);
      } else {
        cursor.pixels.push_back(CursorPixel::White);
      }
    }
  }
  return cursor;
}

}  // namespace art
