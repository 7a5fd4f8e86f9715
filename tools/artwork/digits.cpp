// Seven-segment LED digits: lit segments bright red, unlit ones dim red, so the
// counter reads like a real LED display.
#include <array>
#include <cstdlib>

#include "artwork.h"

namespace art {

namespace {

constexpr int kGlyphWidth = 13;
constexpr int kGlyphHeight = 23;
constexpr int kGlyphCount = 11;  // 0..9, then minus

enum Segment { A, B, C, D, E, F, G };  // a top, clockwise, g middle

// Bit per segment, indexed by glyph.
constexpr std::array<unsigned, kGlyphCount> kLitSegments = {
    0b0111111, 0b0000110, 0b1011011, 0b1001111, 0b1100110, 0b1101101,
    0b1111101, 0b0000111, 0b1111111, 0b1101111, 0b1000000,
};

// Segments are 3 px thick with tapered ends; neighbours meet only at a corner,
// which leaves the thin diagonal seams of a real display. Columns 0 and 12,
// rows 0 and 22 stay black so adjacent glyphs never touch.
bool HorizontalSegment(int x, int y, int edgeRow, int direction) {
  // Row edgeRow is the widest (x 2..10); each row inwards is 1 px shorter per end.
  const int depth = (y - edgeRow) * direction;
  return depth >= 0 && depth <= 2 && x >= 2 + depth && x <= 10 - depth;
}

bool MiddleSegment(int x, int y) {
  const int depth = std::abs(y - 11);
  return depth <= 1 && x >= 2 + depth && x <= 10 - depth;
}

bool VerticalSegment(int x, int y, int edgeColumn, int direction, int top) {
  // top..top+8 is the outer column's extent.
  const int depth = (x - edgeColumn) * direction;
  return depth >= 0 && depth <= 2 && y >= top + depth && y <= top + 8 - depth;
}

bool InSegment(Segment s, int x, int y) {
  switch (s) {
    case A:
      return HorizontalSegment(x, y, 1, +1);
    case B:
      return VerticalSegment(x, y, 11, -1, 2);
    case C:
      return VerticalSegment(x, y, 11, -1, 12);
    case D:
      return HorizontalSegment(x, y, 21, -1);
    case E:
      return VerticalSegment(x, y, 1, +1, 12);
    case F:
      return VerticalSegment(x, y, 1, +1, 2);
    case G:
      return MiddleSegment(x, y);
  }
  return false;
}

Color GlyphPixel(int glyph, int x, int y) {
  const Color lit = Rgb(255, 16, 8);
  const Color unlit = Rgb(84, 0, 0);
  for (int s = A; s <= G; ++s) {
    if (InSegment(static_cast<Segment>(s), x, y)) {
      return (kLitSegments[glyph] >> s) & 1U ? lit : unlit;
    }
  }
  return Rgb(0, 0, 0);
}

}  // namespace

Image DrawDigits() {
  Image strip(kGlyphWidth * kGlyphCount, kGlyphHeight);
  for (int glyph = 0; glyph < kGlyphCount; ++glyph) {
    for (int y = 0; y < kGlyphHeight; ++y) {
      for (int x = 0; x < kGlyphWidth; ++x) {
        strip.Set(glyph * kGlyphWidth + x, y, GlyphPixel(glyph, x, y));
      }
    }
  }
  return strip;
}

}  // namespace art
