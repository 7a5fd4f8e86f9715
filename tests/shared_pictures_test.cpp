#include <gtest/gtest.h>

#include <vector>

#include "shell/application.h"
#include "shell/pictures/downscale.h"
#include "shell/pictures/fit.h"
#include "shell/pictures/orientation.h"
#include "shell/pictures/targa.h"
#include "test_support.h"

namespace puzzle {
namespace {

using puzzle::testing::PatternImage;

DecodedImage Solid(int32_t width, int32_t height, uint32_t argb) {
  DecodedImage image;
  image.width = width;
  image.height = height;
  image.pixels.assign(static_cast<size_t>(width * height), argb);
  image.opaque = (argb >> 24) == 0xFF;
  return image;
}

// --- Fitting pictures to the screen ------------------------------------------------------

TEST(FitTest, LargePicturesShrinkToTheBoxKeepingTheirShape) {
  EXPECT_EQ(FitWithin({5000, 3000}, {1260, 900}), (ImageSize{1260, 756}));
  EXPECT_EQ(FitWithin({3000, 5000}, {1260, 900}), (ImageSize{540, 900}));
  EXPECT_EQ(FitWithin({8000, 8000}, {1000, 700}), (ImageSize{700, 700}));
  // Rounded down, so the result always fits.
  EXPECT_EQ(FitWithin({1001, 1000}, {500, 500}), (ImageSize{500, 499}));
}

TEST(FitTest, PicturesThatFitAndBoxesOfNoSizeChangeNothing) {
  EXPECT_EQ(FitWithin({300, 300}, {1260, 900}), (ImageSize{300, 300}));
  EXPECT_EQ(FitWithin({1260, 900}, {1260, 900}), (ImageSize{1260, 900}));
  EXPECT_EQ(FitWithin({5000, 3000}, {0, 0}), (ImageSize{5000, 3000}));
  // A sliver keeps at least one pixel.
  EXPECT_EQ(FitWithin({16384, 1}, {100, 100}), (ImageSize{100, 1}));
}

TEST(FitTest, TheLargestPictureLeavesRoomForTheTopBarAndMargins) {
  // The panel adds 10 pixels each side and the 26-pixel top bar with its margins above.
  const ImageSize largest = LargestPictureFor({1280, 900});
  EXPECT_EQ(largest, (ImageSize{1260, 844}));
  const ImageSize around = GamePanel::ExtentAround(kDigitStripSize.height, kFaceStripSize.height);
  EXPECT_EQ(around, (ImageSize{20, 56}));
  EXPECT_EQ(LargestPictureFor({0, 0}), (ImageSize{0, 0})) << "no screen known: no limit";
}

// --- Making pictures smaller ------------------------------------------------------------

TEST(DownscaleTest, EachNewPixelIsTheMeanOfTheAreaUnderIt) {
  DecodedImage image = Solid(4, 2, 0xFF000000);
  image.pixels = {0xFF000000, 0xFFFFFFFF, 0xFF102030, 0xFF102030,   //
                  0xFFFFFFFF, 0xFF000000, 0xFF102030, 0xFF102030};
  const DecodedImage half = Downscale(image, {2, 1});
  ASSERT_EQ(half.pixels.size(), 2u);
  EXPECT_EQ(half.pixels[0], 0xFF808080u);
  EXPECT_EQ(half.pixels[1], 0xFF102030u);
  EXPECT_TRUE(half.opaque);

  // A third of the way: each new pixel takes one and a half old ones.
  DecodedImage row = Solid(3, 1, 0xFF000000);
  row.pixels = {0xFF000000, 0xFFC8C8C8, 0xFF000000};
  const DecodedImage two = Downscale(row, {2, 1});
  EXPECT_EQ(two.pixels[0], 0xFF434343u);
  EXPECT_EQ(two.pixels[1], 0xFF434343u);
}

TEST(DownscaleTest, TransparentPixelsLendNoColour) {
  DecodedImage image = Solid(2, 1, 0);
  image.pixels = {0x00FF0000, 0xFF0000FF};  // invisible red beside blue
  const DecodedImage one = Downscale(image, {1, 1});
  EXPECT_EQ(one.pixels[0], 0x800000FFu);
  EXPECT_FALSE(one.opaque);
}

TEST(DownscaleTest, NothingChangesWhenTheSizeIsNotSmaller) {
  const DecodedImage image = PatternImage(5, 4);
  EXPECT_EQ(Downscale(image, {5, 4}).pixels, image.pixels);
  EXPECT_EQ(Downscale(image, {9, 9}).pixels, image.pixels);
}

// --- Orientation --------------------------------------------------------------------------

TEST(OrientationTest, EveryTagStandsThePictureUpright) {
  // Stored 3 x 2: a b c / d e f. Upright as each tag says.
  DecodedImage stored = Solid(3, 2, 0);
  stored.pixels = {'a', 'b', 'c', 'd', 'e', 'f'};
  const std::vector<std::pair<ImageSize, PixelVector>> upright{
      {{3, 2}, {'a', 'b', 'c', 'd', 'e', 'f'}},  // 1
      {{3, 2}, {'c', 'b', 'a', 'f', 'e', 'd'}},  // 2 mirrored
      {{3, 2}, {'f', 'e', 'd', 'c', 'b', 'a'}},  // 3 half turn
      {{3, 2}, {'d', 'e', 'f', 'a', 'b', 'c'}},  // 4 flipped
      {{2, 3}, {'a', 'd', 'b', 'e', 'c', 'f'}},  // 5 transposed
      {{2, 3}, {'d', 'a', 'e', 'b', 'f', 'c'}},  // 6 quarter clockwise
      {{2, 3}, {'f', 'c', 'e', 'b', 'd', 'a'}},  // 7 transversed
      {{2, 3}, {'c', 'f', 'b', 'e', 'a', 'd'}},  // 8 quarter anticlockwise
  };
  for (Orientation o = 1; o <= 8; ++o) {
    SCOPED_TRACE(o);
    const DecodedImage result = Orient(stored, o);
    const auto& [size, pixels] = upright[static_cast<size_t>(o - 1)];
    EXPECT_EQ((ImageSize{result.width, result.height}), size);
    EXPECT_EQ(Oriented({3, 2}, o), size);
    EXPECT_EQ(result.pixels, pixels);
  }
}

TEST(OrientationTest, TheTagIsReadFromEitherByteOrderAndNonsenseIsUpright) {
  const std::vector<uint8_t> little{'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0, 6, 0, 0, 0, 0, 0, 0, 0};
  const std::vector<uint8_t> big{'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1, 0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, 8, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(ReadOrientationTag(little.data(), little.size()), 6);
  EXPECT_EQ(ReadOrientationTag(big.data(), big.size()), 8);
  std::vector<uint8_t> nine = big;
  nine[19] = 9;
  EXPECT_EQ(ReadOrientationTag(nine.data(), nine.size()), 1);
  // A directory said to lie past the end, or cut off, is no tag.
  std::vector<uint8_t> far = little;
  far[4] = 0xF0;
  EXPECT_EQ(ReadOrientationTag(far.data(), far.size()), 1);
  EXPECT_EQ(ReadOrientationTag(little.data(), 20), 1);
}

// A decoder's image whose pixels fall short of its sides is handed back as it came. These
// sides multiply past 32 bits: counted in a 32-bit size_t, as in the browser, the product
// wraps round to exactly the pixels there are.
TEST(PictureSidesTest, PixelsShortOfTheSidesAreHandedBackUntouched) {
  DecodedImage image = Solid(1, 1, 0xFF102030);
  image.width = 65537;
  image.height = 65536;
  image.pixels.assign(65536, 0xFF102030);
  image.pixels.back() = 0xFF405060;
  for (const Orientation o : {2, 3, 6}) {
    SCOPED_TRACE(o);
    const DecodedImage result = Orient(image, o);
    EXPECT_EQ((ImageSize{result.width, result.height}), (ImageSize{65537, 65536}));
    EXPECT_EQ(result.pixels, image.pixels);
  }
  const DecodedImage smaller = Downscale(image, {100, 100});
  EXPECT_EQ((ImageSize{smaller.width, smaller.height}), (ImageSize{65537, 65536}));
  EXPECT_EQ(smaller.pixels, image.pixels);
}

TEST(OrientationTest, ATagGivenTwiceCountsWhereItIsFirstGiven) {
  // As libtiff reads a directory: the size told before decoding is the size decoded.
  const std::vector<uint8_t> twice{'I', 'I', 42, 0, 8, 0, 0, 0, 6, 0,
                                   0x00, 0x01, 3, 0, 1, 0, 0, 0, 12, 0, 0, 0,   // width 12
                                   0x01, 0x01, 3, 0, 1, 0, 0, 0, 8, 0, 0, 0,    // height 8
                                   0x12, 0x01, 3, 0, 1, 0, 0, 0, 6, 0, 0, 0,    // turned clockwise
                                   0x00, 0x01, 4, 0, 1, 0, 0, 0, 99, 0, 0, 0,   // width again
                                   0x01, 0x01, 3, 0, 1, 0, 0, 0, 2, 0, 0, 0,    // height again
                                   0x12, 0x01, 3, 0, 1, 0, 0, 0, 3, 0, 0, 0,    // orientation again
                                   0, 0, 0, 0};
  const auto picture = ReadTiffDirectory([&twice](uint64_t offset, uint8_t* out, size_t count) {
    if (offset > twice.size() || count > twice.size() - offset) return false;
    std::copy_n(twice.begin() + static_cast<ptrdiff_t>(offset), count, out);
    return true;
  });
  ASSERT_TRUE(picture.has_value());
  EXPECT_EQ(picture->stored, (ImageSize{12, 8}));
  EXPECT_EQ(picture->orientation, 6);
  EXPECT_EQ(ReadOrientationTag(twice.data(), twice.size()), 6);
}

// --- Targa, byte by byte -------------------------------------------------------------------

std::vector<uint8_t> TargaHeader(uint8_t imageType, uint16_t width, uint16_t height, uint8_t depth, uint8_t descriptor,
                                 uint8_t mapType = 0, uint16_t mapLength = 0, uint8_t mapBits = 0) {
  return {0, mapType, imageType, 0, 0, static_cast<uint8_t>(mapLength), static_cast<uint8_t>(mapLength >> 8), mapBits,
          0, 0, 0, 0, static_cast<uint8_t>(width), static_cast<uint8_t>(width >> 8), static_cast<uint8_t>(height),
          static_cast<uint8_t>(height >> 8), depth, descriptor};
}

TEST(TargaTest, AColourMappedRunLengthPictureFollowsItsOrigin) {
  // 2 x 2, bottom-up: the first packet repeats entry 1 over the bottom row, the second
  // gives the top row raw.
  std::vector<uint8_t> file = TargaHeader(9, 2, 2, 8, 0x00, 1, 2, 24);
  for (uint8_t b : {0x00, 0x00, 0xFF, /* entry 0: red */ 0xFF, 0x00, 0x00 /* entry 1: blue */}) file.push_back(b);
  for (uint8_t b : {0x81, 0x01, 0x01, 0x00, 0x01}) file.push_back(b);
  const auto image = DecodeTarga(file.data(), file.size());
  ASSERT_TRUE(image.has_value());
  EXPECT_EQ(image->pixels, (PixelVector{0xFFFF0000, 0xFF0000FF, 0xFF0000FF, 0xFF0000FF}));
  EXPECT_TRUE(image->opaque);
  EXPECT_EQ(TargaSize(file.data(), file.size()), (ImageSize{2, 2}));
}

TEST(TargaTest, DamagedFilesGiveNothing) {
  std::vector<uint8_t> good = TargaHeader(2, 2, 1, 24, 0x20);
  for (int i = 0; i < 6; ++i) good.push_back(0x40);
  ASSERT_TRUE(DecodeTarga(good.data(), good.size()).has_value());

  std::vector<uint8_t> cut(good.begin(), good.end() - 1);
  EXPECT_FALSE(DecodeTarga(cut.data(), cut.size()).has_value());
  std::vector<uint8_t> noWidth = good;
  noWidth[12] = 0;
  EXPECT_FALSE(TargaSize(noWidth.data(), noWidth.size()).has_value());
  std::vector<uint8_t> badDepth = good;
  badDepth[16] = 7;
  EXPECT_FALSE(DecodeTarga(badDepth.data(), badDepth.size()).has_value());
  std::vector<uint8_t> mapWithoutEntries = TargaHeader(1, 1, 1, 8, 0x20, 1, 0, 24);
  mapWithoutEntries.push_back(0);
  EXPECT_FALSE(DecodeTarga(mapWithoutEntries.data(), mapWithoutEntries.size()).has_value());
  // A run that would run past the last pixel.
  std::vector<uint8_t> longRun = TargaHeader(10, 2, 1, 24, 0x20);
  for (uint8_t b : {0x83, 1, 2, 3}) longRun.push_back(b);
  EXPECT_TRUE(DecodeTarga(longRun.data(), longRun.size()).has_value()) << "a run may end past the picture";
  EXPECT_FALSE(DecodeTarga(nullptr, 0).has_value());
}

TEST(TargaTest, RandomDamageNeverCrashes) {
  // Flipped bytes all over a valid run-length file: whatever comes out, nothing is read or
  // written out of bounds (the sanitizers watch).
  std::vector<uint8_t> file = TargaHeader(10, 16, 16, 24, 0x00);
  for (int i = 0; i < 16 * 16; ++i) {
    file.push_back(0x80);
    for (int k = 0; k < 3; ++k) file.push_back(static_cast<uint8_t>(i * 7 + k));
  }
  uint32_t seed = 12345;
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> damaged = file;
    for (int flips = 0; flips < 4; ++flips) {
      seed = seed * 1664525u + 1013904223u;
      damaged[(seed >> 8) % damaged.size()] = static_cast<uint8_t>(seed >> 24);
    }
    const auto image = DecodeTarga(damaged.data(), damaged.size());
    if (image) {
      EXPECT_EQ(image->pixels.size(), static_cast<size_t>(image->width) * static_cast<size_t>(image->height));
    }
  }
}

}  // namespace
}  // namespace puzzle
