// Tile numbers written with the real font engine, against a picture checked by eye.
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "shell/application.h"
#include "shell/fonts/freetype_rasterizer.h"
#include "shell/headless/headless_host.h"
#include "toolkit/bitmap_reader.h"
#include "toolkit/platform_codes.h"

namespace puzzle {
namespace {

std::optional<DecodedImage> ReadReference(const std::string& name) {
  std::ifstream file(std::string(PUZZLE_TEST_DATA) + "/" + name, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  return ReadBitmap24(bytes);
}

class NumbersReferenceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FontSpec arial;
    arial.height = 15;
    auto face = fonts.Face(arial);
    if (!face || face->family != "Liberation Sans") GTEST_SKIP() << "the reference was drawn with Liberation Sans";
    ASSERT_EQ(app.Start(SW_SHOWNORMAL), std::nullopt);
  }
  FreeTypeRasterizer fonts;
  HeadlessHost host{&fonts};
  Application app{host};
};

TEST_F(NumbersReferenceTest, TenByTenNumbersMatchTheReferenceAndComeOutAgain) {
  const auto before = host.target.Backing().Pixels();
  app.gamePanel->SetBoardSize(10, 10);
  app.RenderPanel();
  host.Command(ID_OPTIONS_SHOW_NUMBERS);
  auto reference = ReadReference("numbers_10x10.bmp");
  ASSERT_TRUE(reference.has_value());
  ASSERT_EQ(reference->width, host.target.Width());
  ASSERT_EQ(reference->height, host.target.Height());
  int differing = 0;
  for (int32_t y = 0; y < reference->height; ++y) {
    for (int32_t x = 0; x < reference->width; ++x) {
      differing += (reference->At(x, y) & 0xFFFFFFu) != host.target.ClientPixel(x, y) ? 1 : 0;
    }
  }
  EXPECT_EQ(differing, 0);
  host.Command(ID_OPTIONS_SHOW_NUMBERS);
  app.gamePanel->SetBoardSize(4, 4);
  app.RenderPanel();
  EXPECT_EQ(host.target.Backing().Pixels(), before) << "numbers off and the grid back: the very same picture";
}

TEST_F(NumbersReferenceTest, EveryNumberStartsAtTheTopLeftOfItsPiece) {
  host.Command(ID_OPTIONS_SHOW_NUMBERS);
  // Tile 6 of 4 x 4 is the piece at (75, 75) of the picture: its "6" lies in the piece's
  // top-left quarter and nowhere else changed in that piece.
  const auto& picture = static_cast<const SoftwareSurface&>(*app.puzzlePicture->surface);
  BuiltinBitmaps bitmaps;
  const auto original = bitmaps.LoadBitmap(IDB_PICTURE);
  ASSERT_TRUE(original.has_value());
  int inside = 0;
  int outside = 0;
  for (int32_t y = 75; y < 150; ++y) {
    for (int32_t x = 75; x < 150; ++x) {
      const bool changed = picture.Pixel(x, y) != (original->At(x, y) & 0xFFFFFFu);
      (x < 75 + 37 && y < 75 + 37 ? inside : outside) += changed ? 1 : 0;
    }
  }
  EXPECT_GT(inside, 40);
  EXPECT_EQ(outside, 0);
}

}  // namespace
}  // namespace puzzle
