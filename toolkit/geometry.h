#pragma once

#include <climits>
#include <cstdint>

namespace puzzle {

// The platform's RECT layout: right and bottom are exclusive.
struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;

  constexpr int32_t Width() const { return right - left; }
  constexpr int32_t Height() const { return bottom - top; }
  // Zero-sized and inverted rectangles cover no pixel.
  constexpr bool IsEmpty() const { return right <= left || bottom <= top; }
  constexpr bool Contains(int32_t x, int32_t y) const {
    return x >= left && x < right && y >= top && y < bottom;
  }
  friend constexpr bool operator==(const Rect&, const Rect&) = default;
};

static_assert(sizeof(Rect) == 16, "Rect must keep the RECT layout");

constexpr Rect Intersect(const Rect& a, const Rect& b) {
  Rect r{a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top,
         a.right < b.right ? a.right : b.right, a.bottom < b.bottom ? a.bottom : b.bottom};
  return r;
}

// Saturates at the ends of the range rather than wrapping: a rectangle far off stays far off.
constexpr int32_t ShiftedBy(int32_t v, int32_t d) {
  const int64_t shifted = int64_t{v} + d;
  return shifted < INT32_MIN ? INT32_MIN : shifted > INT32_MAX ? INT32_MAX : static_cast<int32_t>(shifted);
}

constexpr Rect Offset(const Rect& r, int32_t dx, int32_t dy) {
  return Rect{ShiftedBy(r.left, dx), ShiftedBy(r.top, dy), ShiftedBy(r.right, dx), ShiftedBy(r.bottom, dy)};
}

// Result of mouse and key handling; dispatch stops at the first Consumed.
enum EventResult : int32_t {
  Ignored = 0,
  Handled = 1,
  Consumed = 2,
};

}  // namespace puzzle
