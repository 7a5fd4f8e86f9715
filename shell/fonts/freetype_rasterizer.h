#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/font.h"

namespace puzzle {

// The face a font spec ends up with, and its size in pixels.
struct FaceInfo {
  std::string family;  // as the face names itself, e.g. "Liberation Sans"
  std::string style;   // e.g. "Regular", "Bold"
  std::string file;
  int32_t pixelsPerEm = 0;
  int32_t ascent = 0;   // baseline below the top of the character cell
  int32_t descent = 0;  // bottom of the cell below the baseline
  bool syntheticBold = false;
  bool syntheticItalic = false;
};

// Writes text with FreeType into an alpha mask, one bit deep: a pixel is 255 or left
// alone. Faces are found through fontconfig (so "Arial" becomes a metric-compatible face
// such as Liberation Sans) and sized the way GDI sizes a font from a positive height: the
// height is the whole character cell, ascent plus descent. A negative height is the em
// size; a zero height draws nothing. Bytes of the text are Windows-1252 characters.
//
// Faces, sizes and rendered glyphs are kept per font spec for the life of the object, so
// drawing many short strings with one spec is cheap. Not thread-safe.
class FreeTypeRasterizer : public FontRasterizer {
 public:
  // The system's fonts with its fontconfig rules.
  FreeTypeRasterizer();
  // Only the given font files, without any substitution rules; an empty list gives a
  // rasteriser that finds no face at all.
  explicit FreeTypeRasterizer(const std::vector<std::string>& fontFiles);
  ~FreeTypeRasterizer() override;

  FreeTypeRasterizer(const FreeTypeRasterizer&) = delete;
  FreeTypeRasterizer& operator=(const FreeTypeRasterizer&) = delete;

  bool DrawText(const FontSpec& font, std::string_view text, int32_t x, int32_t y, AlphaMask& mask) override;

  // Which face and size DrawText uses for the font; nothing when no face can be had.
  std::optional<FaceInfo> Face(const FontSpec& font);
  // The text's advance width in pixels: where the pen ends up after the last character.
  std::optional<int32_t> TextWidth(const FontSpec& font, std::string_view text);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace puzzle
