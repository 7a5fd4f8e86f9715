#include "toolkit/board_background.h"

namespace puzzle {

BoardBackground::BoardBackground(Component* parentComponent, int32_t nx, int32_t ny, int32_t w, int32_t h,
                                 uint32_t color)
    : Component(parentComponent, nx, ny, nullptr) {
  BoardBackground::Setup(w, h, color);
}

void BoardBackground::Setup(int32_t w, int32_t h, uint32_t color) {
  width = w;
  height = h;
  fillColor = color;
  drawsSelf = true;
}

bool BoardBackground::Render(Surface& target) {
  // Unlike the base, no needsRedraw test and no children: it paints whatever is listed
  // whenever its parent's paint reaches it.
  if (!visible) return true;
  if (drawsSelf && !dirtyRects.empty()) {
    for (size_t i = 0; i < dirtyRects.size(); ++i) {
      const Rect& r = dirtyRects[i];
      const int32_t left = originX + x + r.left;
      const int32_t top = originY + y + r.top;
      const Rect destination{left, top, left + (r.right - r.left), top + (r.bottom - r.top)};
      if (destination.IsEmpty()) continue;  // nothing to fill is no failure
      if (!target.Fill(&destination, fillColor)) {
        dirtyRects.erase(dirtyRects.begin(), dirtyRects.begin() + static_cast<std::ptrdiff_t>(i));
        return false;
      }
    }
    ClearDirty();
  }
  return true;
}

}  // namespace puzzle
