#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "shell/fonts/freetype_rasterizer.h"

namespace puzzle {
namespace {

// The tile-number sizes of a 300 x 300 picture: 4 x 4 cells of 75 px and 10 x 10 of 30 px.
constexpr int32_t kLargeTileHeight = 37;
constexpr int32_t kSmallTileHeight = 15;
constexpr const char* kLiberationSans = "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf";

FontSpec Spec(int32_t height) {
  FontSpec spec;
  spec.height = height;
  return spec;
}

bool HaveLiberationSans() { return std::filesystem::exists(kLiberationSans); }

struct Ink {
  int32_t count = 0;
  int32_t left = INT32_MAX;
  int32_t top = INT32_MAX;
  int32_t right = INT32_MIN;   // inclusive
  int32_t bottom = INT32_MIN;  // inclusive
};

Ink InkOf(const AlphaMask& mask) {
  Ink ink;
  for (int32_t py = 0; py < mask.height; ++py) {
    for (int32_t px = 0; px < mask.width; ++px) {
      if (mask.At(px, py) == 0) continue;
      ++ink.count;
      ink.left = std::min(ink.left, px);
      ink.right = std::max(ink.right, px);
      ink.top = std::min(ink.top, py);
      ink.bottom = std::max(ink.bottom, py);
    }
  }
  return ink;
}

std::string Art(const AlphaMask& mask) {
  std::string art;
  for (int32_t py = 0; py < mask.height; ++py) {
    for (int32_t px = 0; px < mask.width; ++px) art += mask.At(px, py) == 255 ? '#' : '.';
    art += '\n';
  }
  return art;
}

// The number mask of a whole board, tile k + 1 at the top-left of its piece.
AlphaMask BoardNumbers(FreeTypeRasterizer& fonts, int32_t size, int32_t grid) {
  AlphaMask mask(size, size);
  const FontSpec spec = Spec(size / grid / 2);
  for (int32_t k = 0; k < grid * grid; ++k) {
    EXPECT_TRUE(fonts.DrawText(spec, std::to_string(k + 1), (k % grid) * size / grid,
                               (k / grid) * size / grid, mask));
  }
  return mask;
}

// --- Finding faces -------------------------------------------------------------------

TEST(FontFaceLookup, ArialComesFromAMetricCompatibleFaceWhenInstalled) {
  if (!HaveLiberationSans()) GTEST_SKIP() << "fonts-liberation is not installed";
  FreeTypeRasterizer fonts;
  const auto regular = fonts.Face(Spec(kLargeTileHeight));
  ASSERT_TRUE(regular.has_value());
  EXPECT_EQ(regular->family, "Liberation Sans");
  EXPECT_EQ(regular->file, kLiberationSans);
  EXPECT_FALSE(regular->syntheticBold);

  FontSpec bold = Spec(kLargeTileHeight);
  bold.weight = 700;
  const auto boldFace = fonts.Face(bold);
  ASSERT_TRUE(boldFace.has_value());
  EXPECT_EQ(boldFace->family, "Liberation Sans");
  EXPECT_EQ(boldFace->style, "Bold");

  FontSpec italic = Spec(kLargeTileHeight);
  italic.italic = true;
  const auto italicFace = fonts.Face(italic);
  ASSERT_TRUE(italicFace.has_value());
  EXPECT_EQ(italicFace->style, "Italic");
}

TEST(FontFaceLookup, UnknownAndOldWindowsFamiliesFallBackToSansSerif) {
  FreeTypeRasterizer fonts;
  FontSpec sans = Spec(kSmallTileHeight);
  sans.face = "sans-serif";
  FontSpec serif = Spec(kSmallTileHeight);
  serif.face = "serif";
  serif.pitchAndFamily = 0x10;
  const auto sansFace = fonts.Face(sans);
  const auto serifFace = fonts.Face(serif);
  ASSERT_TRUE(sansFace.has_value()) << "no sans-serif face on this machine";
  ASSERT_TRUE(serifFace.has_value());

  FontSpec unknown = Spec(kSmallTileHeight);
  unknown.face = "No Such Family 12345";
  const auto unknownFace = fonts.Face(unknown);
  ASSERT_TRUE(unknownFace.has_value());
  EXPECT_EQ(unknownFace->family, sansFace->family);

  FontSpec msSansSerif = Spec(kSmallTileHeight);
  msSansSerif.face = "MS Sans Serif";
  const auto msFace = fonts.Face(msSansSerif);
  ASSERT_TRUE(msFace.has_value());
  if (sansFace->family != serifFace->family) {
    EXPECT_NE(msFace->family, serifFace->family);
  }

  AlphaMask mask(60, 20);
  EXPECT_TRUE(fonts.DrawText(unknown, "42", 0, 0, mask));
  EXPECT_GT(InkOf(mask).count, 0);
}

TEST(FontFaceLookup, WithoutAnyFaceNothingIsDrawn) {
  FreeTypeRasterizer fonts(std::vector<std::string>{});
  AlphaMask mask(40, 40);
  std::fill(mask.coverage.begin(), mask.coverage.end(), uint8_t{9});
  const AlphaMask before = mask;
  EXPECT_FALSE(fonts.DrawText(Spec(kLargeTileHeight), "12", 0, 0, mask));
  EXPECT_EQ(mask.coverage, before.coverage);
  EXPECT_FALSE(fonts.Face(Spec(kLargeTileHeight)).has_value());
  EXPECT_FALSE(fonts.TextWidth(Spec(kLargeTileHeight), "12").has_value());
  // Asking again gives the same answer from the cache.
  EXPECT_FALSE(fonts.DrawText(Spec(kLargeTileHeight), "12", 0, 0, mask));
}

TEST(FontFaceLookup, OnlyGivenFilesAreUsedWhateverFamilyIsAsked) {
  if (!HaveLiberationSans()) GTEST_SKIP() << "fonts-liberation is not installed";
  FreeTypeRasterizer fonts(std::vector<std::string>{kLiberationSans});
  FontSpec spec = Spec(kSmallTileHeight);
  spec.face = "Some Serif Family";
  spec.pitchAndFamily = 0x10;
  const auto face = fonts.Face(spec);
  ASSERT_TRUE(face.has_value());
  EXPECT_EQ(face->file, kLiberationSans);

  // The same face and size through the system's rules draw the same pixels.
  FreeTypeRasterizer system;
  AlphaMask fromFile(80, 30);
  AlphaMask fromSystem(80, 30);
  EXPECT_TRUE(fonts.DrawText(Spec(kSmallTileHeight), "1234567890", 1, 2, fromFile));
  EXPECT_TRUE(system.DrawText(Spec(kSmallTileHeight), "1234567890", 1, 2, fromSystem));
  EXPECT_EQ(fromFile.coverage, fromSystem.coverage);
}

// --- Size and baseline ---------------------------------------------------------------

TEST(FontSize, PositiveHeightIsTheCharacterCell) {
  FreeTypeRasterizer fonts;
  for (int32_t height = 6; height <= 120; ++height) {
    const auto face = fonts.Face(Spec(height));
    ASSERT_TRUE(face.has_value());
    EXPECT_NEAR(face->ascent + face->descent, height, 1) << "height " << height;
    EXPECT_LT(face->pixelsPerEm, height) << "the em is smaller than the cell";
    EXPECT_GT(face->ascent, face->descent);
  }
  // A negative height is the em size itself.
  const auto em = fonts.Face(Spec(-20));
  ASSERT_TRUE(em.has_value());
  EXPECT_EQ(em->pixelsPerEm, 20);
}

TEST(FontSize, LiberationSansAtTheTileNumberSizes) {
  if (!HaveLiberationSans()) GTEST_SKIP() << "fonts-liberation is not installed";
  FreeTypeRasterizer fonts;
  // winAscent 1854 + winDescent 434 over 2048 units to the em.
  const auto large = fonts.Face(Spec(kLargeTileHeight));
  ASSERT_TRUE(large.has_value());
  EXPECT_EQ(large->pixelsPerEm, 33);
  EXPECT_EQ(large->ascent, 30);
  EXPECT_EQ(large->descent, 7);
  const auto small = fonts.Face(Spec(kSmallTileHeight));
  ASSERT_TRUE(small.has_value());
  EXPECT_EQ(small->pixelsPerEm, 13);
  EXPECT_EQ(small->ascent, 12);
  EXPECT_EQ(small->descent, 3);
  // 20 x 2048 / 2288 = 17.9: the em is rounded, not cut.
  const auto twenty = fonts.Face(Spec(20));
  ASSERT_TRUE(twenty.has_value());
  EXPECT_EQ(twenty->pixelsPerEm, 18);
  EXPECT_EQ(twenty->ascent, 16);
  EXPECT_EQ(twenty->descent, 4);
}

TEST(FontSize, ZeroHeightDrawsNothing) {
  FreeTypeRasterizer fonts;
  AlphaMask mask(40, 40);
  EXPECT_TRUE(fonts.DrawText(Spec(0), "88", 0, 0, mask));
  EXPECT_EQ(InkOf(mask).count, 0);
}

// --- Tile numbers --------------------------------------------------------------------

TEST(TileNumbers, SitInTheTopLeftOfTheirCellOnTheBaseline) {
  FreeTypeRasterizer fonts;
  for (const int32_t height : {kLargeTileHeight, kSmallTileHeight}) {
    const FontSpec spec = Spec(height);
    const auto face = fonts.Face(spec);
    ASSERT_TRUE(face.has_value());
    const int32_t x = 11;
    const int32_t y = 7;
    int32_t digitTop = 0;
    for (int n = 1; n <= 100; ++n) {
      const std::string text = std::to_string(n);
      AlphaMask mask(4 * height, 3 * height);
      ASSERT_TRUE(fonts.DrawText(spec, text, x, y, mask));
      const Ink ink = InkOf(mask);
      const int32_t width = fonts.TextWidth(spec, text).value();
      SCOPED_TRACE("height " + std::to_string(height) + " text " + text);
      ASSERT_GT(ink.count, 0);
      EXPECT_GE(ink.top, y);
      // Hinted digits stand exactly on the baseline, all of one height.
      EXPECT_EQ(ink.bottom, y + face->ascent - 1);
      if (n == 1) digitTop = ink.top;
      EXPECT_EQ(ink.top, digitTop);
      EXPECT_GE(ink.bottom - ink.top + 1, height / 2);
      EXPECT_GE(ink.left, x);
      EXPECT_LE(ink.left, x + height / 4);
      EXPECT_LT(ink.right, x + width);
      EXPECT_EQ(width, static_cast<int32_t>(text.size()) * fonts.TextWidth(spec, "0").value())
          << "digits share one advance";
    }
  }
}

TEST(TileNumbers, AreDrawnCharacterByCharacterWithoutKerning) {
  // As GDI's TextOut draws them: "AV" is an "A" and a "V" at the "A"'s hinted advance.
  FreeTypeRasterizer fonts;
  std::vector<std::string> texts = {"AV", "To", "Wa", "L'"};
  for (int n = 1; n <= 100; ++n) texts.push_back(std::to_string(n));
  for (const int32_t height : {kLargeTileHeight, kSmallTileHeight}) {
    const FontSpec spec = Spec(height);
    for (const std::string& text : texts) {
      AlphaMask whole(4 * height, 2 * height);
      AlphaMask pieces(4 * height, 2 * height);
      ASSERT_TRUE(fonts.DrawText(spec, text, 3, 2, whole));
      int32_t pen = 3;
      for (const char ch : text) {
        const std::string one(1, ch);
        ASSERT_TRUE(fonts.DrawText(spec, one, pen, 2, pieces));
        pen += fonts.TextWidth(spec, one).value();
      }
      EXPECT_EQ(whole.coverage, pieces.coverage) << "height " << height << " text " << text;
      EXPECT_EQ(fonts.TextWidth(spec, text).value(), pen - 3);
    }
  }
}

TEST(TileNumbers, DifferentNumbersGiveDifferentPixels) {
  FreeTypeRasterizer fonts;
  for (const int32_t height : {kLargeTileHeight, kSmallTileHeight}) {
    std::vector<std::vector<uint8_t>> masks;
    for (int n = 1; n <= 100; ++n) {
      AlphaMask mask(3 * height, 2 * height);
      ASSERT_TRUE(fonts.DrawText(Spec(height), std::to_string(n), 0, 0, mask));
      masks.push_back(mask.coverage);
    }
    for (size_t a = 0; a < masks.size(); ++a) {
      for (size_t b = a + 1; b < masks.size(); ++b) {
        EXPECT_NE(masks[a], masks[b]) << "height " << height << ": " << a + 1 << " and " << b + 1;
      }
    }
  }
}

TEST(TileNumbers, AreOneBitDeepAndLeaveOtherPixelsAlone) {
  FreeTypeRasterizer fonts;
  AlphaMask mask(120, 60);
  std::fill(mask.coverage.begin(), mask.coverage.end(), uint8_t{7});
  ASSERT_TRUE(fonts.DrawText(Spec(kLargeTileHeight), "100", 4, 4, mask));
  const auto set = std::count(mask.coverage.begin(), mask.coverage.end(), uint8_t{255});
  const auto untouched = std::count(mask.coverage.begin(), mask.coverage.end(), uint8_t{7});
  EXPECT_GT(set, 50);
  EXPECT_EQ(set + untouched, static_cast<std::ptrdiff_t>(mask.coverage.size()));
}

TEST(TileNumbers, LiberationSansDigitsLookAsExpected) {
  if (!HaveLiberationSans()) GTEST_SKIP() << "fonts-liberation is not installed";
  FreeTypeRasterizer fonts(std::vector<std::string>{kLiberationSans});
  AlphaMask mask(24, kSmallTileHeight);
  ASSERT_TRUE(fonts.DrawText(Spec(kSmallTileHeight), "47", 1, 0, mask));
  // Hinted one-bit glyphs: a change here means blurred, shifted or resized numbers.
  const std::string expected =
      "........................\n"
      "........................\n"
      "........................\n"
      ".....#...#####..........\n"
      "....##.......#..........\n"
      "....##......#...........\n"
      "...#.#.....#............\n"
      "...#.#.....#............\n"
      "..#..#.....#............\n"
      "..######..#.............\n"
      ".....#....#.............\n"
      ".....#....#.............\n"
      "........................\n"
      "........................\n"
      "........................\n";
  EXPECT_EQ(Art(mask), expected);
}

// --- Repeatability -------------------------------------------------------------------

TEST(FontDeterminism, TheSameBoardGivesTheSamePixelsEveryTime) {
  // The game takes the numbers out again by writing the same mask a second time.
  FreeTypeRasterizer fonts;
  for (const int32_t grid : {4, 10}) {
    const AlphaMask first = BoardNumbers(fonts, 300, grid);
    EXPECT_GT(InkOf(first).count, 0);
    // Other specs in between, more than are kept at once, must not disturb this one.
    FontSpec bold = Spec(300 / grid / 2);
    bold.weight = 700;
    AlphaMask scratch(300, 300);
    ASSERT_TRUE(fonts.DrawText(bold, "88", 0, 0, scratch));
    for (int32_t height = 5; height <= 45; ++height)
      ASSERT_TRUE(fonts.DrawText(Spec(height), "88", 0, 0, scratch));
    EXPECT_EQ(BoardNumbers(fonts, 300, grid).coverage, first.coverage) << grid << " x " << grid;
    FreeTypeRasterizer fresh;
    EXPECT_EQ(BoardNumbers(fresh, 300, grid).coverage, first.coverage) << grid << " x " << grid;
  }
}

TEST(FontDeterminism, SpecsThatDifferOnlyInStyleAreKeptApart) {
  FreeTypeRasterizer fonts;
  FontSpec bold = Spec(kLargeTileHeight);
  bold.weight = 700;
  FontSpec italic = Spec(kLargeTileHeight);
  italic.italic = true;
  FontSpec underlined = Spec(kLargeTileHeight);
  underlined.underline = true;
  std::vector<std::vector<uint8_t>> masks;
  for (const FontSpec& spec :
       {Spec(kLargeTileHeight), bold, italic, underlined, Spec(kLargeTileHeight + 1)}) {
    AlphaMask mask(100, 50);
    ASSERT_TRUE(fonts.DrawText(spec, "12", 2, 2, mask));
    masks.push_back(mask.coverage);
  }
  for (size_t a = 0; a < masks.size(); ++a) {
    for (size_t b = a + 1; b < masks.size(); ++b) EXPECT_NE(masks[a], masks[b]) << a << " and " << b;
  }
}

// --- Clipping ------------------------------------------------------------------------

// Draws into a small mask and checks it against the same window of a large one, with
// guard bytes after the small mask's pixels.
void ExpectWindowOfLargerMask(FreeTypeRasterizer& fonts, const FontSpec& spec, const std::string& text,
                              int32_t x, int32_t y, int32_t width, int32_t height) {
  constexpr int32_t kMargin = 200;
  constexpr size_t kGuard = 64;
  constexpr uint8_t kGuardValue = 0x5A;
  AlphaMask large(width + 2 * kMargin, height + 2 * kMargin);
  ASSERT_TRUE(fonts.DrawText(spec, text, x + kMargin, y + kMargin, large));
  AlphaMask small(width, height);
  small.coverage.resize(small.coverage.size() + kGuard, kGuardValue);
  ASSERT_TRUE(fonts.DrawText(spec, text, x, y, small));
  SCOPED_TRACE("mask " + std::to_string(width) + " x " + std::to_string(height) + " at " + std::to_string(x) +
               ", " + std::to_string(y));
  for (int32_t py = 0; py < height; ++py) {
    for (int32_t px = 0; px < width; ++px) {
      ASSERT_EQ(small.At(px, py), large.At(px + kMargin, py + kMargin)) << "pixel " << px << ", " << py;
    }
  }
  const auto guard = small.coverage.end() - static_cast<std::ptrdiff_t>(kGuard);
  EXPECT_TRUE(std::all_of(guard, small.coverage.end(), [](uint8_t v) { return v == kGuardValue; }));
}

TEST(FontClipping, TextOverEveryEdgeIsCutAtTheMask) {
  FreeTypeRasterizer fonts;
  FontSpec underlined = Spec(kLargeTileHeight);
  underlined.underline = true;
  for (const FontSpec& spec : {Spec(kLargeTileHeight), Spec(kSmallTileHeight), underlined}) {
    for (const auto& [width, height] : {std::pair{1, 1}, std::pair{3, 2}, std::pair{40, 30}}) {
      for (const int32_t x : {-150, -60, -20, -7, -1, 0, 2, width - 9, width - 1, width, width + 3}) {
        for (const int32_t y : {-150, -37, -25, -9, -1, 0, 3, height - 12, height - 1, height, height + 4}) {
          ExpectWindowOfLargerMask(fonts, spec, "100", x, y, width, height);
        }
      }
    }
  }
}

TEST(FontClipping, FarAwayPositionsAndEmptyMasksAreSafe) {
  FreeTypeRasterizer fonts;
  const FontSpec spec = Spec(kLargeTileHeight);
  AlphaMask mask(10, 10);
  for (const int32_t x : {INT32_MIN, INT32_MIN + 1, -1000000, 1000000, INT32_MAX - 1, INT32_MAX}) {
    for (const int32_t y : {INT32_MIN, -1000000, 0, 1000000, INT32_MAX}) {
      EXPECT_TRUE(fonts.DrawText(spec, "888", x, y, mask));
    }
  }
  FontSpec underlined = spec;
  underlined.underline = true;
  EXPECT_TRUE(fonts.DrawText(underlined, "888", INT32_MAX, INT32_MAX, mask));
  EXPECT_TRUE(fonts.DrawText(underlined, "888", INT32_MIN, INT32_MIN, mask));
  EXPECT_EQ(InkOf(mask).count, 0);

  for (const auto& [width, height] : {std::pair{0, 0}, std::pair{0, 5}, std::pair{5, 0}}) {
    AlphaMask empty(width, height);
    EXPECT_TRUE(fonts.DrawText(spec, "888", 0, 0, empty));
    EXPECT_TRUE(empty.coverage.empty());
  }
  // A mask whose pixels were never allocated is left alone.
  AlphaMask hollow;
  hollow.width = 10;
  hollow.height = 10;
  EXPECT_TRUE(fonts.DrawText(spec, "888", 0, 0, hollow));
  EXPECT_TRUE(hollow.coverage.empty());
}

TEST(FontClipping, EmptyTextDrawsNothing) {
  FreeTypeRasterizer fonts;
  FontSpec underlined = Spec(kLargeTileHeight);
  underlined.underline = true;
  AlphaMask mask(50, 50);
  EXPECT_TRUE(fonts.DrawText(underlined, "", 5, 5, mask));
  EXPECT_EQ(InkOf(mask).count, 0);
  EXPECT_EQ(fonts.TextWidth(underlined, ""), 0);
}

// --- Characters ----------------------------------------------------------------------

TEST(FontCharacters, HighBytesAreWindows1252) {
  FreeTypeRasterizer fonts;
  const auto maskOf = [&](const std::string& text) {
    AlphaMask mask(60, 60);
    EXPECT_TRUE(fonts.DrawText(Spec(kLargeTileHeight), text, 10, 10, mask));
    return mask;
  };
  const auto inkOf = [&](const std::string& text) { return InkOf(maskOf(text)); };
  // 0xE9 is an e with an acute accent over it.
  const Ink e = inkOf("e");
  const Ink eAcute = inkOf("\xE9");
  EXPECT_GT(eAcute.count, e.count);
  EXPECT_LT(eAcute.top, e.top);
  EXPECT_EQ(eAcute.bottom, e.bottom);
  // 0x80 is the euro sign, as tall as a digit; 0x81 is unassigned and has no glyph.
  EXPECT_NE(maskOf("\x80").coverage, maskOf("\x81").coverage);
  const Ink euro = inkOf("\x80");
  const Ink zero = inkOf("0");
  EXPECT_GT(euro.count, 0);
  EXPECT_NEAR(euro.top, zero.top, 1);
  EXPECT_NEAR(euro.bottom, zero.bottom, 1);
}

// --- Styles --------------------------------------------------------------------------

TEST(FontStyles, BoldIsHeavierAndNoNarrower) {
  FreeTypeRasterizer fonts;
  FontSpec bold = Spec(kLargeTileHeight);
  bold.weight = 700;
  const auto regularFace = fonts.Face(Spec(kLargeTileHeight));
  const auto boldFace = fonts.Face(bold);
  ASSERT_TRUE(regularFace.has_value());
  ASSERT_TRUE(boldFace.has_value());
  EXPECT_TRUE(boldFace->style != regularFace->style || boldFace->syntheticBold);

  AlphaMask regularMask(400, 50);
  AlphaMask boldMask(400, 50);
  ASSERT_TRUE(fonts.DrawText(Spec(kLargeTileHeight), "0123456789", 0, 0, regularMask));
  ASSERT_TRUE(fonts.DrawText(bold, "0123456789", 0, 0, boldMask));
  EXPECT_GT(InkOf(boldMask).count, InkOf(regularMask).count * 5 / 4);
  EXPECT_GE(fonts.TextWidth(bold, "0123456789").value(),
            fonts.TextWidth(Spec(kLargeTileHeight), "0123456789").value());
  EXPECT_GT(fonts.TextWidth(bold, "Puzzle").value(),
            fonts.TextWidth(Spec(kLargeTileHeight), "Puzzle").value());
}

TEST(FontStyles, ItalicLeansRight) {
  FreeTypeRasterizer fonts;
  FontSpec italic = Spec(kLargeTileHeight);
  italic.italic = true;
  // The stem of "l" is upright in the roman face and leans in the italic one.
  const auto stemLean = [&](const FontSpec& spec) {
    AlphaMask mask(60, 60);
    EXPECT_TRUE(fonts.DrawText(spec, "l", 10, 10, mask));
    const Ink ink = InkOf(mask);
    int32_t topLeft = -1;
    int32_t bottomLeft = -1;
    for (int32_t px = mask.width - 1; px >= 0; --px) {
      if (mask.At(px, ink.top) != 0) topLeft = px;
      if (mask.At(px, ink.bottom) != 0) bottomLeft = px;
    }
    return topLeft - bottomLeft;
  };
  EXPECT_EQ(stemLean(Spec(kLargeTileHeight)), 0);
  EXPECT_GE(stemLean(italic), 3);
}

TEST(FontStyles, UnderlineIsAFullWidthRunBelowTheBaseline) {
  FreeTypeRasterizer fonts;
  for (const int32_t height : {8, kSmallTileHeight, kLargeTileHeight}) {
    FontSpec underlined = Spec(height);
    underlined.underline = true;
    const auto face = fonts.Face(underlined);
    ASSERT_TRUE(face.has_value());
    const int32_t x = 6;
    const int32_t y = 5;
    const int32_t width = fonts.TextWidth(underlined, "100").value();
    AlphaMask plain(width + 20, height + 20);
    AlphaMask lined(width + 20, height + 20);
    ASSERT_TRUE(fonts.DrawText(Spec(height), "100", x, y, plain));
    ASSERT_TRUE(fonts.DrawText(underlined, "100", x, y, lined));
    SCOPED_TRACE("height " + std::to_string(height));

    std::vector<int32_t> rows;
    for (int32_t py = 0; py < lined.height; ++py) {
      bool added = false;
      for (int32_t px = 0; px < lined.width; ++px) {
        if (plain.At(px, py) != 0) {
          EXPECT_EQ(lined.At(px, py), 255) << "the glyphs stay";
        }
        if (lined.At(px, py) != plain.At(px, py)) added = true;
      }
      if (!added) continue;
      rows.push_back(py);
      for (int32_t px = 0; px < lined.width; ++px) {
        EXPECT_EQ(lined.At(px, py), px >= x && px < x + width ? 255 : plain.At(px, py))
            << "pixel " << px << ", " << py;
      }
    }
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.back() - rows.front() + 1, static_cast<int32_t>(rows.size())) << "one band of rows";
    EXPECT_GE(rows.front(), y + face->ascent) << "below the baseline";
    EXPECT_LT(rows.back(), y + height + 1);
  }
}

}  // namespace
}  // namespace puzzle
