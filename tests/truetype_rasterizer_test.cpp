// The browser's tile numbers: stb_truetype from one font file, one bit deep, sized as GDI
// sizes a font, and safe with a damaged file.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "shell/text/truetype_rasterizer.h"

namespace puzzle {
namespace {

std::vector<uint8_t> LiberationSans() {
  std::ifstream file("/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf", std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

FontSpec Numbers(int32_t height) {
  FontSpec font;
  font.height = height;
  return font;
}

TEST(TrueTypeRasterizerTest, DigitsAreOneBitDeepInsideTheirCellAndTheSameEveryTime) {
  const auto file = LiberationSans();
  ASSERT_FALSE(file.empty()) << "fonts-liberation is missing";
  TrueTypeRasterizer fonts(file);
  ASSERT_TRUE(fonts.HasFace());
  for (int32_t height : {7, 15, 37, 150}) {
    AlphaMask mask(4 * height, 2 * height);
    ASSERT_TRUE(fonts.DrawText(Numbers(height), "10", 0, 0, mask));
    int32_t set = 0;
    int32_t lowest = -1;
    for (int32_t y = 0; y < mask.height; ++y) {
      for (int32_t x = 0; x < mask.width; ++x) {
        const uint8_t value = mask.At(x, y);
        ASSERT_TRUE(value == 0 || value == 255) << height;
        if (value != 0) {
          ++set;
          lowest = y;
        }
      }
    }
    EXPECT_GT(set, 0) << height;
    // Digits stand on the baseline: nothing below the character cell.
    EXPECT_LT(lowest, height) << height;
    EXPECT_GT(fonts.TextWidth(Numbers(height), "10"), height / 2) << height;

    AlphaMask again(4 * height, 2 * height);
    TrueTypeRasterizer other(file);
    ASSERT_TRUE(other.DrawText(Numbers(height), "10", 0, 0, again));
    EXPECT_EQ(again.coverage, mask.coverage) << height;
  }
}

TEST(TrueTypeRasterizerTest, TextOffTheMaskOrOfNoSizeTouchesNothing) {
  TrueTypeRasterizer fonts(LiberationSans());
  AlphaMask mask(20, 20);
  EXPECT_TRUE(fonts.DrawText(Numbers(15), "88", -1000, -1000, mask));
  EXPECT_TRUE(fonts.DrawText(Numbers(15), "88", 1000, 1000, mask));
  EXPECT_TRUE(fonts.DrawText(Numbers(0), "88", 0, 0, mask));
  EXPECT_TRUE(fonts.DrawText(Numbers(0x7FFFFFFF), "8", 0, 0, mask));
  EXPECT_TRUE(fonts.DrawText(Numbers(-0x7FFFFFFF), "8", 0, 0, mask));
  for (uint8_t value : mask.coverage) ASSERT_EQ(value, 0);
}

TEST(TrueTypeRasterizerTest, ADamagedFontFileGivesNoFaceAndNoCrash) {
  const auto file = LiberationSans();
  ASSERT_GT(file.size(), 4096u);
  std::vector<std::vector<uint8_t>> damaged = {{}, {0, 1, 0, 0}, std::vector<uint8_t>(file.begin(), file.begin() + 64)};
  // A table directory pointing past the end of the file.
  std::vector<uint8_t> pointing(file.begin(), file.begin() + 512);
  damaged.push_back(pointing);
  for (const auto& bytes : damaged) {
    TrueTypeRasterizer fonts(bytes);
    AlphaMask mask(40, 40);
    EXPECT_FALSE(fonts.HasFace()) << bytes.size();
    EXPECT_FALSE(fonts.DrawText(Numbers(15), "12", 0, 0, mask));
    EXPECT_EQ(fonts.TextWidth(Numbers(15), "12"), 0);
  }
}

}  // namespace
}  // namespace puzzle
