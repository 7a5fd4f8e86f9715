#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

#include "toolkit/font.h"

namespace puzzle {

// Writes text with stb_truetype from one font file held in memory, one bit deep: a pixel
// is 255 or left alone. For a host without the system's font machinery (the browser);
// the same file gives the same pixels on every compiler, so a native render can stand in
// for the browser's in the tests.
//
// Every face name gets the one face. Sizes are read the way GDI reads a font: a positive
// height is the character cell (usWinAscent + usWinDescent), a negative one the em size.
// Bytes of the text are Windows-1252 characters. No kerning, as TextOut has none.
class TrueTypeRasterizer : public FontRasterizer {
 public:
  // The bytes of a TrueType file; an empty or damaged file gives a rasteriser with no face.
  explicit TrueTypeRasterizer(std::vector<uint8_t> fontFile);
  ~TrueTypeRasterizer() override;

  TrueTypeRasterizer(const TrueTypeRasterizer&) = delete;
  TrueTypeRasterizer& operator=(const TrueTypeRasterizer&) = delete;

  bool HasFace() const;
  bool DrawText(const FontSpec& font, std::string_view text, int32_t x, int32_t y, AlphaMask& mask) override;
  // Where the pen ends up after the last character; 0 without a face.
  int32_t TextWidth(const FontSpec& font, std::string_view text);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace puzzle
