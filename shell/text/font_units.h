#pragma once

#include <array>
#include <cstdint>

namespace puzzle::text {

// Bytes are Windows-1252 characters, the ANSI text the game's strings are made of.
// Only 0x80..0x9F differ from Latin-1; the unassigned ones pass through as controls.
inline uint32_t Cp1252CodePoint(uint8_t byte) {
  static constexpr std::array<uint16_t, 32> kHigh = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  if (byte >= 0x80 && byte <= 0x9F) return kHigh[byte - 0x80];
  return byte;
}

// Font units to whole pixels, rounded half away from zero, in integers so that the same
// face and size always give the same metrics.
inline int32_t ScaleRounded(int64_t units, int64_t pixelsPerEm, int64_t unitsPerEm) {
  const int64_t product = units * pixelsPerEm;
  const int64_t half = unitsPerEm / 2;
  const int64_t rounded = product >= 0 ? (product + half) / unitsPerEm : -((-product + half) / unitsPerEm);
  return static_cast<int32_t>(rounded);
}

}  // namespace puzzle::text
