#include "shell/fonts/freetype_rasterizer.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <utility>
#include FT_FREETYPE_H
#include FT_BITMAP_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include "shell/text/font_units.h"

namespace puzzle {

namespace {

constexpr size_t kByteCount = 256;
// The game uses one or two specs at a time; a host drawing other text may use more sizes,
// so the least recently used faces go beyond this many.
constexpr size_t kMaxCachedSpecs = 16;

using text::ScaleRounded;

uint32_t CodePointOf(uint8_t byte) { return text::Cp1252CodePoint(byte); }

const char* GenericFamily(uint8_t pitchAndFamily) {
  switch (pitchAndFamily & 0xF0) {
    case 0x10:
      return "serif";  // FF_ROMAN
    case 0x30:
      return "monospace";  // FF_MODERN
    case 0x40:
      return "cursive";  // FF_SCRIPT
    case 0x50:
      return "fantasy";  // FF_DECORATIVE
    default:
      return "sans-serif";  // FF_SWISS and FF_DONTCARE
  }
}

// One glyph rendered at one size, kept as one byte a pixel (0 or 1).
struct Glyph {
  bool loaded = false;
  int32_t left = 0;  // from the pen to the bitmap's left column
  int32_t top = 0;   // from the baseline up to the bitmap's top row
  int32_t width = 0;
  int32_t rows = 0;
  int32_t advance = 0;
  std::vector<uint8_t> bits;
};

bool MaskUsable(const AlphaMask& mask) {
  return mask.width > 0 && mask.height > 0 &&
         mask.coverage.size() >= static_cast<size_t>(mask.width) * static_cast<size_t>(mask.height);
}

void SetRun(AlphaMask& mask, int64_t row, int64_t from, int64_t to) {
  if (row < 0 || row >= mask.height) return;
  from = std::max<int64_t>(from, 0);
  to = std::min<int64_t>(to, mask.width);
  if (from >= to) return;
  uint8_t* line = mask.coverage.data() + static_cast<size_t>(row) * static_cast<size_t>(mask.width);
  std::fill(line + from, line + to, uint8_t{255});
}

void PutGlyph(const Glyph& glyph, int64_t left, int64_t top, AlphaMask& mask) {
  const int64_t c0 = std::max<int64_t>(0, -left);
  const int64_t c1 = std::min<int64_t>(glyph.width, int64_t{mask.width} - left);
  if (c0 >= c1) return;
  for (int32_t r = 0; r < glyph.rows; ++r) {
    const int64_t py = top + r;
    if (py < 0) continue;
    if (py >= mask.height) break;
    const uint8_t* src = glyph.bits.data() + static_cast<size_t>(r) * static_cast<size_t>(glyph.width);
    uint8_t* dst = mask.coverage.data() + static_cast<size_t>(py) * static_cast<size_t>(mask.width);
    for (int64_t c = c0; c < c1; ++c) {
      if (src[c] != 0) dst[left + c] = 255;
    }
  }
}

}  // namespace

struct FreeTypeRasterizer::Impl {
  // Everything DrawText needs for one font spec; a spec without a face is remembered too,
  // so that fontconfig is asked once.
  struct Entry {
    FontSpec spec;
    FT_Face face = nullptr;
    bool symbolCharmap = false;
    FaceInfo info;
    int32_t underlineTop = 0;  // below the baseline
    int32_t underlineThickness = 1;
    std::array<Glyph, kByteCount> glyphs;
  };

  explicit Impl(std::optional<std::vector<std::string>> files) : fontFiles(std::move(files)) {}

  ~Impl() {
    for (auto& entry : entries) Close(*entry);
    entries.clear();
    if (library != nullptr) FT_Done_FreeType(library);
    // Our own configuration only: the process-wide one may be shared with the GUI toolkit,
    // so FcFini is left to whoever owns that.
    if (config != nullptr) FcConfigDestroy(config);
  }

  bool Start() {
    if (started) return library != nullptr && config != nullptr;
    started = true;
    if (FT_Init_FreeType(&library) != 0) library = nullptr;
    if (fontFiles) {
      config = FcConfigCreate();
      if (config != nullptr) {
        for (const auto& file : *fontFiles) {
          FcConfigAppFontAddFile(config, reinterpret_cast<const FcChar8*>(file.c_str()));
        }
      }
    } else {
      config = FcInitLoadConfigAndFonts();
    }
    return library != nullptr && config != nullptr;
  }

  // Entries are kept most recently used last.
  Entry* Find(const FontSpec& spec) {
    if (!entries.empty() && entries.back()->spec == spec) return entries.back().get();
    const auto found = std::find_if(entries.begin(), entries.end(),
                                    [&](const std::unique_ptr<Entry>& entry) { return entry->spec == spec; });
    if (found != entries.end()) {
      std::rotate(found, found + 1, entries.end());
      return entries.back().get();
    }
    if (entries.size() >= kMaxCachedSpecs) {
      Close(*entries.front());
      entries.erase(entries.begin());
    }
    auto entry = std::make_unique<Entry>();
    entry->spec = spec;
    if (Start()) Open(*entry);
    entries.push_back(std::move(entry));
    return entries.back().get();
  }

  static void Close(Entry& entry) {
    if (entry.face != nullptr) FT_Done_Face(entry.face);
    entry.face = nullptr;
  }

  void Open(Entry& entry) {
    const FontSpec& spec = entry.spec;
    // The requested family first (fontconfig adds its metric-compatible stand-ins right
    // after it), then the generic family of its pitch and family; then any sans-serif face.
    if (OpenMatch(entry, spec.face.empty() ? nullptr : spec.face.c_str(),
                  GenericFamily(spec.pitchAndFamily))) {
      return;
    }
    OpenMatch(entry, nullptr, "sans-serif");
  }

  bool OpenMatch(Entry& entry, const char* family, const char* generic) {
    const FontSpec& spec = entry.spec;
    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr) return false;
    if (family != nullptr) FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(generic));
    const int weight = spec.weight <= 0 ? 400 : std::min(spec.weight, 1000);
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
    FcPatternAddInteger(pattern, FC_SLANT, spec.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    FcPatternDestroy(pattern);
    if (match == nullptr) return false;
    const bool ok = OpenFace(entry, match);
    FcPatternDestroy(match);
    return ok;
  }

  bool OpenFace(Entry& entry, FcPattern* match) {
    FcChar8* file = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) != FcResultMatch || file == nullptr) return false;
    int index = 0;
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    FT_Face face = nullptr;
    if (FT_New_Face(library, reinterpret_cast<const char*>(file), index, &face) != 0) return false;
    if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0 || !SetSize(entry, face)) {
      FT_Done_Face(face);
      return false;
    }
    if (FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0) {
      entry.symbolCharmap = FT_Select_Charmap(face, FT_ENCODING_MS_SYMBOL) == 0;
    }

    FaceInfo& info = entry.info;
    info.file = reinterpret_cast<const char*>(file);
    FcChar8* text = nullptr;
    if (FcPatternGetString(match, FC_FAMILY, 0, &text) == FcResultMatch && text != nullptr) {
      info.family = reinterpret_cast<const char*>(text);
    } else if (face->family_name != nullptr) {
      info.family = face->family_name;
    }
    if (FcPatternGetString(match, FC_STYLE, 0, &text) == FcResultMatch && text != nullptr) {
      info.style = reinterpret_cast<const char*>(text);
    } else if (face->style_name != nullptr) {
      info.style = face->style_name;
    }

    // fontconfig asks for a made-up bold or slant when the family has no such face.
    FcBool embolden = FcFalse;
    info.syntheticBold =
        FcPatternGetBool(match, FC_EMBOLDEN, 0, &embolden) == FcResultMatch && embolden == FcTrue;
    FcMatrix* slant = nullptr;
    if (FcPatternGetMatrix(match, FC_MATRIX, 0, &slant) == FcResultMatch && slant != nullptr &&
        (slant->xx != 1 || slant->xy != 0 || slant->yx != 0 || slant->yy != 1)) {
      FT_Matrix matrix;
      matrix.xx = static_cast<FT_Fixed>(std::lround(slant->xx * 65536.0));
      matrix.xy = static_cast<FT_Fixed>(std::lround(slant->xy * 65536.0));
      matrix.yx = static_cast<FT_Fixed>(std::lround(slant->yx * 65536.0));
      matrix.yy = static_cast<FT_Fixed>(std::lround(slant->yy * 65536.0));
      FT_Set_Transform(face, &matrix, nullptr);
      info.syntheticItalic = true;
    }
    entry.face = face;
    return true;
  }

  // GDI reads a positive height as the character cell, usWinAscent + usWinDescent of the
  // OS/2 table, and a negative one as the em size.
  static bool SetSize(Entry& entry, FT_Face face) {
    const int64_t unitsPerEm = face->units_per_EM;
    int64_t ascender = 0;
    int64_t descender = 0;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 != nullptr && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
      ascender = os2->usWinAscent;
      descender = os2->usWinDescent;
    } else {
      ascender = face->ascender;
      descender = -face->descender;
    }
    if (ascender + descender <= 0) {
      ascender = face->bbox.yMax;
      descender = -face->bbox.yMin;
    }
    if (ascender + descender <= 0) {
      ascender = unitsPerEm;
      descender = 0;
    }

    const int64_t height = entry.spec.height;
    int64_t pixelsPerEm = 0;
    if (height > 0) {
      const int64_t cell = ascender + descender;
      pixelsPerEm = (2 * height * unitsPerEm + cell) / (2 * cell);
    } else {
      pixelsPerEm = -height;
    }
    pixelsPerEm = std::clamp<int64_t>(pixelsPerEm, 1, 0x7FFF);
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelsPerEm)) != 0) return false;

    FaceInfo& info = entry.info;
    info.pixelsPerEm = static_cast<int32_t>(pixelsPerEm);
    info.ascent = ScaleRounded(ascender, pixelsPerEm, unitsPerEm);
    info.descent = ScaleRounded(descender, pixelsPerEm, unitsPerEm);

    // FreeType gives the centre of the underline stroke, positive upwards.
    int64_t position = face->underline_position;
    int64_t thickness = face->underline_thickness;
    if (thickness <= 0) {
      thickness = unitsPerEm / 14;
      position = -unitsPerEm / 10;
    }
    entry.underlineThickness = std::max(1, ScaleRounded(thickness, pixelsPerEm, unitsPerEm));
    const int32_t centre = ScaleRounded(-position, pixelsPerEm, unitsPerEm);
    int32_t top = centre - entry.underlineThickness / 2;
    // Keep the line inside the cell when it fits there, and always under the baseline.
    top = std::min(top, info.descent - entry.underlineThickness);
    entry.underlineTop = std::max(top, 1);
    return true;
  }

  const Glyph& GlyphFor(Entry& entry, uint8_t byte) {
    Glyph& glyph = entry.glyphs[byte];
    if (glyph.loaded) return glyph;
    glyph.loaded = true;
    FT_Face face = entry.face;
    const uint32_t code = entry.symbolCharmap ? (0xF000u | byte) : CodePointOf(byte);
    const FT_UInt index = FT_Get_Char_Index(face, code);
    // Hinted for one-bit output, like GDI's non-antialiased text; a glyph that fails to
    // load is drawn as nothing and takes no room.
    if (FT_Load_Glyph(face, index, FT_LOAD_TARGET_MONO) != 0) return glyph;
    FT_GlyphSlot slot = face->glyph;
    if (entry.info.syntheticBold) FT_GlyphSlot_Embolden(slot);
    if (slot->format != FT_GLYPH_FORMAT_BITMAP && FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) != 0) {
      return glyph;
    }
    glyph.advance = static_cast<int32_t>((slot->advance.x + 32) >> 6);

    // Whatever the bitmap's format, one byte a pixel.
    FT_Bitmap bytes;
    FT_Bitmap_Init(&bytes);
    if (FT_Bitmap_Convert(library, &slot->bitmap, &bytes, 1) == 0) {
      glyph.left = slot->bitmap_left;
      glyph.top = slot->bitmap_top;
      glyph.width = static_cast<int32_t>(bytes.width);
      glyph.rows = static_cast<int32_t>(bytes.rows);
      glyph.bits.assign(static_cast<size_t>(glyph.width) * static_cast<size_t>(glyph.rows), 0);
      // A one-bit source converts to 0/1; deeper ones are cut at half coverage.
      const unsigned threshold = bytes.num_grays <= 2 ? 1u : static_cast<unsigned>(bytes.num_grays) / 2u;
      // A negative pitch means the rows are stored bottom-up.
      const uint8_t* topRow = bytes.buffer;
      if (bytes.pitch < 0) topRow -= static_cast<ptrdiff_t>(bytes.pitch) * (glyph.rows - 1);
      for (int32_t r = 0; r < glyph.rows; ++r) {
        const uint8_t* src = topRow + static_cast<ptrdiff_t>(r) * bytes.pitch;
        for (int32_t c = 0; c < glyph.width; ++c) {
          glyph.bits[static_cast<size_t>(r) * static_cast<size_t>(glyph.width) + static_cast<size_t>(c)] =
              src[c] >= threshold ? 1 : 0;
        }
      }
    }
    FT_Bitmap_Done(library, &bytes);
    return glyph;
  }

  // No kerning: GDI's TextOut doesn't kern either, and a kerned pair such as Arial's "11"
  // would move tile numbers off the places the game expects them.
  int64_t Advance(Entry& entry, std::string_view text) {
    int64_t pen = 0;
    for (const char ch : text) pen += GlyphFor(entry, static_cast<uint8_t>(ch)).advance;
    return pen;
  }

  std::optional<std::vector<std::string>> fontFiles;  // empty optional: the system's fonts
  bool started = false;
  FT_Library library = nullptr;
  FcConfig* config = nullptr;
  std::vector<std::unique_ptr<Entry>> entries;
};

FreeTypeRasterizer::FreeTypeRasterizer() : impl_(std::make_unique<Impl>(std::nullopt)) {}

FreeTypeRasterizer::FreeTypeRasterizer(const std::vector<std::string>& fontFiles)
    : impl_(std::make_unique<Impl>(fontFiles)) {}

FreeTypeRasterizer::~FreeTypeRasterizer() = default;

bool FreeTypeRasterizer::DrawText(const FontSpec& font, std::string_view text, int32_t x, int32_t y,
                                  AlphaMask& mask) {
  Impl::Entry* entry = impl_->Find(font);
  if (entry->face == nullptr) return false;
  // A zero height names no size at all: there is a face, but nothing to draw.
  if (font.height == 0 || !MaskUsable(mask)) return true;

  const int64_t baseline = int64_t{y} + entry->info.ascent;
  int64_t pen = x;
  for (const char ch : text) {
    const Glyph& glyph = impl_->GlyphFor(*entry, static_cast<uint8_t>(ch));
    if (glyph.rows > 0) PutGlyph(glyph, pen + glyph.left, baseline - glyph.top, mask);
    pen += glyph.advance;
  }
  if (font.underline) {
    const int64_t top = baseline + entry->underlineTop;
    for (int32_t r = 0; r < entry->underlineThickness; ++r) SetRun(mask, top + r, x, pen);
  }
  return true;
}

std::optional<FaceInfo> FreeTypeRasterizer::Face(const FontSpec& font) {
  const Impl::Entry* entry = impl_->Find(font);
  if (entry->face == nullptr) return std::nullopt;
  return entry->info;
}

std::optional<int32_t> FreeTypeRasterizer::TextWidth(const FontSpec& font, std::string_view text) {
  Impl::Entry* entry = impl_->Find(font);
  if (entry->face == nullptr) return std::nullopt;
  if (font.height == 0) return 0;
  return static_cast<int32_t>(impl_->Advance(*entry, text));
}

}  // namespace puzzle
