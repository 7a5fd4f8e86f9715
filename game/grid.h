#pragma once

#include <cstdint>

namespace puzzle {

// Where the piece of column (or row) index starts in a picture extent cut into count
// parts: multiply first, then truncate, so the pieces tile the picture exactly.
constexpr int32_t GridStart(int32_t extent, int32_t index, int32_t count) {
  return count > 0 ? static_cast<int32_t>(int64_t{extent} * index / count) : 0;
}

inline constexpr int32_t kMinGridSize = 3;
inline constexpr int32_t kMaxGridSize = 10;

constexpr int32_t ClampGridSize(int32_t n) {
  return n < kMinGridSize ? kMinGridSize : (n > kMaxGridSize ? kMaxGridSize : n);
}

// A requested empty column or row brought into 0 .. count - 1 (-1 asks for the first,
// 100 for the last).
constexpr int32_t ResolveEmpty(int32_t requested, int32_t count) {
  return requested < 0 ? 0 : (requested >= count ? count - 1 : requested);
}

}  // namespace puzzle
