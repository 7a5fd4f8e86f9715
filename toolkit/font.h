#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace puzzle {

inline constexpr uint8_t FF_SWISS = 0x20;

// A font as the game asks for one. A positive height is the character cell's height
// (ascent plus descent), the way GDI reads it, not the em size.
struct FontSpec {
  int32_t height = 0;
  int32_t weight = 400;
  bool italic = false;
  bool underline = false;
  uint8_t pitchAndFamily = FF_SWISS;
  std::string face = "Arial";

  friend bool operator==(const FontSpec&, const FontSpec&) = default;
};

// One byte of coverage a pixel; 0 is untouched.
struct AlphaMask {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> coverage;

  AlphaMask() = default;
  AlphaMask(int32_t w, int32_t h)
      : width(w), height(h), coverage(static_cast<size_t>(w) * static_cast<size_t>(h), 0) {}
  uint8_t At(int32_t px, int32_t py) const {
    return coverage[static_cast<size_t>(py) * static_cast<size_t>(width) + static_cast<size_t>(px)];
  }
};

// Turns text into glyph pixels. Implemented beside the hosts with a real font library;
// the portable drawing context only calls it.
class FontRasterizer {
 public:
  virtual ~FontRasterizer() = default;
  // Sets 255 on every mask pixel that a glyph covers, with the top-left of the text's
  // character cell at (x, y); other pixels are left as they are; nothing lands outside
  // the mask. The same font, text and position give the same pixels every time.
  // False when no face can be had for the font.
  virtual bool DrawText(const FontSpec& font, std::string_view text, int32_t x, int32_t y,
                        AlphaMask& mask) = 0;
};

}  // namespace puzzle
