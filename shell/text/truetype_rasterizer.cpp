#include "shell/text/truetype_rasterizer.h"

#include "shell/text/font_units.h"

#include <algorithm>
#include <array>
#include <cmath>

#define STBTT_STATIC
#define STB_TRUETYPE_IMPLEMENTATION
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wcast-qual"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#endif
#include <stb/stb_truetype.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace puzzle {

namespace {

using text::ScaleRounded;

int CodePointOf(uint8_t byte) { return static_cast<int>(text::Cp1252CodePoint(byte)); }

uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
uint32_t Read32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

// stb_truetype trusts the file's offsets: a file cut short (a damaged download) would be
// read past its end. Every table the directory lists must lie inside the file.
bool TablesInside(const std::vector<uint8_t>& file) {
  if (file.size() < 12) return false;
  const uint32_t tables = Read16(file.data() + 4);
  if (tables == 0 || 12 + 16 * static_cast<uint64_t>(tables) > file.size()) return false;
  for (uint32_t i = 0; i < tables; ++i) {
    const uint8_t* entry = file.data() + 12 + 16 * i;
    const uint64_t offset = Read32(entry + 8);
    const uint64_t length = Read32(entry + 12);
    if (offset + length > file.size()) return false;
  }
  return true;
}

struct Glyph {
  int32_t left = 0;  // from the pen
  int32_t top = 0;   // from the baseline, downwards
  int32_t width = 0;
  int32_t rows = 0;
  int32_t advance = 0;
  std::vector<uint8_t> bits;  // 1 where the glyph covers half a pixel or more
};

struct Size {
  int32_t pixelsPerEm = 0;
  int32_t ascent = 0;
  int32_t underlineTop = 0;
  int32_t underlineThickness = 1;
  float scale = 0;
  std::map<uint8_t, Glyph> glyphs;
};

}  // namespace

struct TrueTypeRasterizer::Impl {
  std::vector<uint8_t> file;
  stbtt_fontinfo info{};
  bool usable = false;
  int32_t unitsPerEm = 0;
  int32_t winAscent = 0;
  int32_t winDescent = 0;
  std::map<int32_t, Size> sizes;  // by the font spec's height

  // The OS/2 table's usWinAscent and usWinDescent, GDI's cell; hhea's when there is none.
  void ReadCell() {
    const uint8_t* data = file.data();
    const size_t length = file.size();
    if (length >= 12) {
      const uint16_t tables = Read16(data + 4);
      for (uint32_t i = 0; i < tables && 12 + 16 * (i + 1) <= length; ++i) {
        const uint8_t* entry = data + 12 + 16 * i;
        if (Read32(entry) != 0x4F532F32u) continue;  // 'OS/2'
        const uint32_t offset = Read32(entry + 8);
        if (offset <= length && length - offset >= 78) {
          winAscent = Read16(data + offset + 74);
          winDescent = Read16(data + offset + 76);
        }
      }
    }
    if (winAscent + winDescent <= 0) {
      int ascent = 0;
      int descent = 0;
      int gap = 0;
      stbtt_GetFontVMetrics(&info, &ascent, &descent, &gap);
      winAscent = ascent;
      winDescent = -descent;
    }
    if (winAscent + winDescent <= 0) {
      winAscent = unitsPerEm;
      winDescent = 0;
    }
  }

  Size& SizeFor(int32_t height) {
    auto found = sizes.find(height);
    if (found != sizes.end()) return found->second;
    Size& size = sizes[height];
    const int64_t cell = int64_t{winAscent} + winDescent;
    int64_t ppem = height > 0 ? (2 * int64_t{height} * unitsPerEm + cell) / (2 * cell) : -int64_t{height};
    ppem = std::clamp<int64_t>(ppem, 1, 0x7FFF);
    size.pixelsPerEm = static_cast<int32_t>(ppem);
    size.scale = stbtt_ScaleForMappingEmToPixels(&info, static_cast<float>(ppem));
    size.ascent = ScaleRounded(winAscent, ppem, unitsPerEm);
    const int32_t descent = ScaleRounded(winDescent, ppem, unitsPerEm);
    size.underlineThickness = std::max(1, ScaleRounded(unitsPerEm / 14, ppem, unitsPerEm));
    const int32_t centre = ScaleRounded(unitsPerEm / 10, ppem, unitsPerEm);
    size.underlineTop = std::max(std::min(centre - size.underlineThickness / 2, descent - size.underlineThickness), 1);
    return size;
  }

  const Glyph& GlyphFor(Size& size, uint8_t byte) {
    auto found = size.glyphs.find(byte);
    if (found != size.glyphs.end()) return found->second;
    Glyph& glyph = size.glyphs[byte];
    const int index = stbtt_FindGlyphIndex(&info, CodePointOf(byte));
    int advance = 0;
    int bearing = 0;
    stbtt_GetGlyphHMetrics(&info, index, &advance, &bearing);
    glyph.advance = ScaleRounded(advance, size.pixelsPerEm, unitsPerEm);
    int x0 = 0;
    int y0 = 0;
    int x1 = 0;
    int y1 = 0;
    stbtt_GetGlyphBitmapBox(&info, index, size.scale, size.scale, &x0, &y0, &x1, &y1);
    glyph.width = std::max(0, x1 - x0);
    glyph.rows = std::max(0, y1 - y0);
    if (glyph.width == 0 || glyph.rows == 0 || glyph.width > 4096 || glyph.rows > 4096) {
      glyph.width = glyph.rows = 0;
      return glyph;
    }
    std::vector<uint8_t> coverage(static_cast<size_t>(glyph.width) * static_cast<size_t>(glyph.rows));
    stbtt_MakeGlyphBitmap(&info, coverage.data(), glyph.width, glyph.rows, glyph.width, size.scale, size.scale, index);
    glyph.left = x0;
    glyph.top = y0;
    glyph.bits.resize(coverage.size());
    // Cut at half coverage: numbers are written by exclusive-or, one bit deep.
    for (size_t i = 0; i < coverage.size(); ++i) glyph.bits[i] = coverage[i] >= 128 ? 1 : 0;
    return glyph;
  }
};

TrueTypeRasterizer::TrueTypeRasterizer(std::vector<uint8_t> fontFile) : impl_(std::make_unique<Impl>()) {
  impl_->file = std::move(fontFile);
  const uint8_t* data = impl_->file.data();
  if (!TablesInside(impl_->file) || stbtt_GetFontOffsetForIndex(data, 0) != 0) return;
  if (stbtt_InitFont(&impl_->info, data, 0) == 0) return;
  const float scale = stbtt_ScaleForMappingEmToPixels(&impl_->info, 1.0f);
  if (!(scale > 0.0f)) return;
  impl_->unitsPerEm = static_cast<int32_t>(std::lround(1.0f / scale));
  if (impl_->unitsPerEm <= 0) return;
  impl_->ReadCell();
  impl_->usable = true;
}

TrueTypeRasterizer::~TrueTypeRasterizer() = default;

bool TrueTypeRasterizer::HasFace() const { return impl_->usable; }

bool TrueTypeRasterizer::DrawText(const FontSpec& font, std::string_view text, int32_t x, int32_t y,
                                  AlphaMask& mask) {
  if (!impl_->usable) return false;
  if (font.height == 0 || mask.width <= 0 || mask.height <= 0 ||
      mask.coverage.size() != static_cast<size_t>(mask.width) * static_cast<size_t>(mask.height)) {
    return true;
  }
  Size& size = impl_->SizeFor(font.height);
  const int64_t baseline = int64_t{y} + size.ascent;
  int64_t pen = x;
  auto set = [&](int64_t px, int64_t py) {
    if (px < 0 || py < 0 || px >= mask.width || py >= mask.height) return;
    mask.coverage[static_cast<size_t>(py) * static_cast<size_t>(mask.width) + static_cast<size_t>(px)] = 255;
  };
  for (const char ch : text) {
    const Glyph& glyph = impl_->GlyphFor(size, static_cast<uint8_t>(ch));
    for (int32_t r = 0; r < glyph.rows; ++r) {
      for (int32_t c = 0; c < glyph.width; ++c) {
        if (glyph.bits[static_cast<size_t>(r) * static_cast<size_t>(glyph.width) + static_cast<size_t>(c)] != 0) {
          set(pen + glyph.left + c, baseline + glyph.top + r);
        }
      }
    }
    pen += glyph.advance;
  }
  if (font.underline) {
    for (int32_t r = 0; r < size.underlineThickness; ++r) {
      for (int64_t px = x; px < pen; ++px) set(px, baseline + size.underlineTop + r);
    }
  }
  return true;
}

int32_t TrueTypeRasterizer::TextWidth(const FontSpec& font, std::string_view text) {
  if (!impl_->usable || font.height == 0) return 0;
  Size& size = impl_->SizeFor(font.height);
  int64_t pen = 0;
  for (const char ch : text) pen += impl_->GlyphFor(size, static_cast<uint8_t>(ch)).advance;
  return static_cast<int32_t>(pen);
}

}  // namespace puzzle
