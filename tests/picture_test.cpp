#include "toolkit/picture.h"

#include <gtest/gtest.h>

#include "test_support.h"
#include "toolkit/bitmap_reader.h"
#include "toolkit/builtin_bitmaps.h"

namespace puzzle {
namespace {

using puzzle::testing::PatternImage;
using puzzle::testing::PatternPixel;
using puzzle::testing::SurfaceBench;

constexpr uint32_t kWhite = 0xFFFFFF;

const SoftwareSurface& Pixels(const Picture& picture) { return static_cast<const SoftwareSurface&>(*picture.surface); }

class PictureTest : public ::testing::Test {
 protected:
  SurfaceBench bench;
};

TEST_F(PictureTest, StripsAreCutIntoEqualFrames) {
  Picture faces(bench.env, PictureName::Resource(105), 130, 26, 5, 1, 5);
  EXPECT_EQ(faces.frameWidth, 26);
  EXPECT_EQ(faces.frameHeight, 26);
  Picture digits(bench.env, PictureName::Resource(104), 143, 23, 11, 1, 11);
  EXPECT_EQ(digits.frameWidth, 13);
  EXPECT_EQ(digits.frameHeight, 23);
  EXPECT_EQ(digits.surface, nullptr) << "nothing is decoded before Load";
  EXPECT_EQ(bench.resources.loads, 0);
}

TEST_F(PictureTest, LoadDecodesOnceAndDrawsOnWhite) {
  bench.resources.images[103] = PatternImage(8, 6);
  Picture picture(bench.env, PictureName::Resource(103), 10, 7, 1, 1, 1);  // larger than the image
  ASSERT_TRUE(picture.Load());
  EXPECT_EQ(Pixels(picture).Width(), 10);
  EXPECT_EQ(Pixels(picture).Pixel(7, 5), PatternPixel(7, 5));
  EXPECT_EQ(Pixels(picture).Pixel(8, 0), kWhite);
  EXPECT_EQ(Pixels(picture).Pixel(0, 6), kWhite);
  EXPECT_TRUE(picture.Load());
  EXPECT_EQ(bench.resources.loads, 1) << "a loaded picture returns at once";

  Picture cut(bench.env, PictureName::Resource(103), 4, 3, 1, 1, 1);  // smaller: cut off
  ASSERT_TRUE(cut.Load());
  EXPECT_EQ(Pixels(cut).Pixel(3, 2), PatternPixel(3, 2));
}

TEST_F(PictureTest, FilesAreLookedUpAfterResourcesAndGiveTheirOwnSize) {
  bench.files.images["/pics/a.png"] = PatternImage(640, 480, 2);
  Picture picture(bench.env, PictureName::File("/pics/a.png"), 1, 1, 1);
  EXPECT_EQ(picture.imageWidth, 640);
  EXPECT_EQ(picture.frameHeight, 480);
  EXPECT_EQ(bench.files.decodes, 0) << "the size comes from the header";
  ASSERT_TRUE(picture.Load());
  EXPECT_EQ(bench.files.probes, 1);
  EXPECT_EQ(bench.files.decodes, 1) << "the pixels are decoded once";
  EXPECT_EQ(Pixels(picture).Pixel(639, 479), PatternPixel(639, 479, 2));
}

TEST_F(PictureTest, AnOpaqueImageBecomesTheSurfaceItself) {
  DecodedImage image = PatternImage(64, 48, 5);
  image.opaque = true;
  bench.files.images["photo.jpg"] = image;
  Picture picture(bench.env, PictureName::File("photo.jpg"), 1, 1, 1);
  bench.monitor.ClearCounts();
  ASSERT_TRUE(picture.Load());
  EXPECT_EQ(Pixels(picture).Pixels().size(), 64u * 48u);
  for (int32_t y = 0; y < 48; ++y) {
    for (int32_t x = 0; x < 64; ++x) ASSERT_EQ(Pixels(picture).Pixel(x, y), PatternPixel(x, y, 5));
  }
  EXPECT_EQ(bench.monitor.Calls(SurfaceOp::Fill), 0) << "nothing to fill under a picture that covers it all";
  EXPECT_EQ(bench.monitor.Calls(SurfaceOp::DrawImage), 0);

  // Reload takes the new picture's pixels the same way.
  DecodedImage other = PatternImage(30, 20, 6);
  other.opaque = true;
  bench.files.images["other.png"] = other;
  ASSERT_TRUE(picture.Reload(PictureName::File("other.png")));
  EXPECT_EQ(picture.imageWidth, 30);
  EXPECT_EQ(Pixels(picture).Pixel(29, 19), PatternPixel(29, 19, 6));
}

TEST_F(PictureTest, AnOpaqueImageThatCantBecomeASurfaceFailsLikeAnyOther) {
  DecodedImage image = PatternImage(8, 8);
  image.opaque = true;
  bench.files.images["photo.jpg"] = image;
  Picture picture(bench.env, PictureName::File("photo.jpg"), 1, 1, 1);
  bench.monitor.FailAlways(SurfaceOp::Create, true);
  EXPECT_FALSE(picture.Load());
  EXPECT_EQ(picture.surface, nullptr);
  bench.monitor.FailAlways(SurfaceOp::Create, false);
  ASSERT_TRUE(picture.Load()) << "the next attempt decodes again";
  EXPECT_EQ(Pixels(picture).Pixel(7, 7), PatternPixel(7, 7));
}

TEST_F(PictureTest, AnOpaqueImageOfAnotherSizeIsDrawnOnWhite) {
  // The header said 10 x 7, the pixels are 8 x 6: the recorded size holds.
  DecodedImage image = PatternImage(8, 6);
  image.opaque = true;
  bench.resources.images[103] = image;
  Picture picture(bench.env, PictureName::Resource(103), 10, 7, 1, 1, 1);
  ASSERT_TRUE(picture.Load());
  EXPECT_EQ(Pixels(picture).Width(), 10);
  EXPECT_EQ(Pixels(picture).Pixel(7, 5), PatternPixel(7, 5));
  EXPECT_EQ(Pixels(picture).Pixel(9, 6), kWhite);
}

TEST_F(PictureTest, UndecodableFileGivesAnEmptyPictureThatWontLoad) {
  Picture picture(bench.env, PictureName::File("/nowhere.bmp"), 1, 1, 1);
  EXPECT_EQ(picture.imageWidth, 0);
  EXPECT_EQ(picture.imageHeight, 0);
  EXPECT_FALSE(picture.Load());
  EXPECT_EQ(picture.surface, nullptr);
}

TEST_F(PictureTest, TransparentPixelsComeOutWhite) {
  DecodedImage image = PatternImage(2, 1);
  image.pixels[0] = 0x00000000;  // fully transparent black
  image.pixels[1] = 0x80000000;  // half transparent black
  bench.files.images["t.png"] = image;
  Picture picture(bench.env, PictureName::File("t.png"), 1, 1, 1);
  ASSERT_TRUE(picture.Load());
  EXPECT_EQ(Pixels(picture).Pixel(0, 0), kWhite);
  EXPECT_EQ(Pixels(picture).Pixel(1, 0), 0x7F7F7Fu);
}

TEST_F(PictureTest, LoadFailuresAnswerFalse) {
  bench.resources.images[103] = PatternImage(4, 4);
  Picture noSurface(bench.env, PictureName::Resource(103), 4, 4, 1, 1, 1);
  bench.monitor.FailNth(SurfaceOp::Create, 1);
  EXPECT_FALSE(noSurface.Load());
  EXPECT_EQ(noSurface.surface, nullptr);
  EXPECT_TRUE(noSurface.Load()) << "a later attempt may succeed";

  Picture noContext(bench.env, PictureName::Resource(103), 4, 4, 1, 1, 1);
  bench.monitor.FailNth(SurfaceOp::GetDC, 1);
  EXPECT_FALSE(noContext.Load());
  EXPECT_NE(noContext.surface, nullptr) << "the surface stays";
  EXPECT_TRUE(noContext.Load()) << "and is not tried again";
  EXPECT_EQ(Pixels(noContext).Pixel(0, 0), kWhite);
}

TEST_F(PictureTest, ReloadSwapsTheImageAndKeepsTheGrid) {
  bench.resources.images[103] = PatternImage(300, 300);
  bench.files.images["big.jpg"] = PatternImage(640, 480, 3);
  Picture picture(bench.env, PictureName::Resource(103), 300, 300, 5, 1, 5);
  ASSERT_TRUE(picture.Load());
  ASSERT_TRUE(picture.Reload(PictureName::File("big.jpg")));
  EXPECT_EQ(picture.imageWidth, 640);
  EXPECT_EQ(picture.frameWidth, 128);
  EXPECT_EQ(picture.frameHeight, 480);
  EXPECT_EQ(picture.frameCount, 5);
  EXPECT_EQ(Pixels(picture).Pixel(639, 0), PatternPixel(639, 0, 3));
}

TEST_F(PictureTest, ReloadOfAnUndecodableNameChangesNothing) {
  bench.resources.images[103] = PatternImage(300, 300);
  Picture picture(bench.env, PictureName::Resource(103), 300, 300, 1, 1, 1);
  ASSERT_TRUE(picture.Load());
  const Surface* before = picture.surface.get();
  EXPECT_FALSE(picture.Reload(PictureName::File("broken.gif")));
  EXPECT_EQ(picture.surface.get(), before);
  EXPECT_EQ(picture.imageWidth, 300);
}

TEST_F(PictureTest, ReloadThatCantMakeASurfaceKeepsTheOldSizes) {
  bench.resources.images[103] = PatternImage(300, 300);
  bench.files.images["b.png"] = PatternImage(20, 10);
  Picture picture(bench.env, PictureName::Resource(103), 300, 300, 1, 1, 1);
  ASSERT_TRUE(picture.Load());
  bench.monitor.FailNth(SurfaceOp::Create, 1);
  EXPECT_FALSE(picture.Reload(PictureName::File("b.png")));
  EXPECT_EQ(picture.surface, nullptr);
  EXPECT_EQ(picture.imageWidth, 300);
}

TEST_F(PictureTest, BlitCopiesUnscaledAndSkipsEmptyRectangles) {
  bench.resources.images[105] = PatternImage(130, 26);
  Picture faces(bench.env, PictureName::Resource(105), 130, 26, 5, 1, 5);
  ASSERT_TRUE(faces.Load());
  bench.target.SetClientArea(0, 0, 40, 40);
  EXPECT_TRUE(faces.Blit(bench.target, Rect{0, 0, 26, 26}, Rect{104, 0, 130, 26}));
  EXPECT_EQ(bench.target.ClientPixel(25, 25), PatternPixel(129, 25));
  const int64_t copies = bench.monitor.Calls(SurfaceOp::Copy);
  EXPECT_TRUE(faces.Blit(bench.target, Rect{5, 5, 4, 9}, Rect{5, 5, 4, 9}));
  EXPECT_TRUE(faces.Blit(bench.target, Rect{5, 5, 5, 9}, Rect{5, 5, 5, 9}));
  EXPECT_EQ(bench.monitor.Calls(SurfaceOp::Copy), copies) << "no copy was asked for";
}

TEST(BuiltinBitmapsTest, TheProgramsBitmapsHaveTheirSizes) {
  BuiltinBitmaps bitmaps;
  const std::pair<int32_t, std::pair<int32_t, int32_t>> expected[] = {
      {103, {300, 300}}, {104, {143, 23}}, {105, {130, 26}}};
  for (const auto& [id, size] : expected) {
    auto image = bitmaps.LoadBitmap(id);
    ASSERT_TRUE(image.has_value()) << id;
    EXPECT_EQ(image->width, size.first) << id;
    EXPECT_EQ(image->height, size.second) << id;
  }
  EXPECT_FALSE(bitmaps.LoadBitmap(106).has_value());
}

// A 24-bit BMP file image of w x h, bottom-up unless topDown.
std::vector<uint8_t> MakeBmp(int32_t w, int32_t h, bool topDown = false, uint16_t bits = 24) {
  const size_t stride = (static_cast<size_t>(w) * 3 + 3) & ~size_t{3};
  std::vector<uint8_t> b(54 + stride * static_cast<size_t>(h), 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
  };
  b[0] = 'B';
  b[1] = 'M';
  put32(2, static_cast<uint32_t>(b.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(w));
  put32(22, static_cast<uint32_t>(topDown ? -h : h));
  b[26] = 1;
  b[28] = static_cast<uint8_t>(bits);
  // The first stored row gets a red first pixel.
  b[54 + 2] = 0xFF;
  return b;
}

TEST(BitmapReaderTest, ReadsBottomUpAndTopDownRows) {
  auto bottomUp = ReadBitmap24(MakeBmp(3, 2));
  ASSERT_TRUE(bottomUp.has_value());
  EXPECT_EQ(bottomUp->At(0, 1), 0xFFFF0000u) << "the first stored row is the bottom one";
  EXPECT_EQ(bottomUp->At(0, 0), 0xFF000000u);
  auto topDown = ReadBitmap24(MakeBmp(3, 2, true));
  ASSERT_TRUE(topDown.has_value());
  EXPECT_EQ(topDown->At(0, 0), 0xFFFF0000u);
}

TEST(BitmapReaderTest, RefusesAnythingButWholeUncompressed24BitFiles) {
  auto truncated = MakeBmp(3, 2);
  truncated.pop_back();
  EXPECT_FALSE(ReadBitmap24(truncated).has_value());
  EXPECT_FALSE(ReadBitmap24(MakeBmp(3, 2, false, 32)).has_value());
  auto compressed = MakeBmp(3, 2);
  compressed[30] = 1;
  EXPECT_FALSE(ReadBitmap24(compressed).has_value());
  auto notBmp = MakeBmp(3, 2);
  notBmp[0] = 'P';
  EXPECT_FALSE(ReadBitmap24(notBmp).has_value());
  auto huge = MakeBmp(1, 1);
  huge[18] = 0xFF;
  huge[19] = 0xFF;  // 65535 wide, far beyond the file
  EXPECT_FALSE(ReadBitmap24(huge).has_value());
  auto zero = MakeBmp(1, 1);
  zero[18] = 0;
  EXPECT_FALSE(ReadBitmap24(zero).has_value());
  EXPECT_FALSE(ReadBitmap24({}).has_value());
}

}  // namespace
}  // namespace puzzle
