// The player's picture files on Windows: each format through the platform (WIC, GDI for
// metafiles) or our Targa decoder, pixels checked; the built-in bitmaps from the program's
// resources; and the hostile files, refused from their headers without a crash.
#include "win32_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "../metafile_cases.h"
#include "shell/pictures/orientation.h"
#include "toolkit/builtin_bitmaps.h"

namespace puzzle::test {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

const fs::path kPictures = fs::path(PUZZLE_TEST_DATA) / "pictures";

// The sample pictures: 12 x 8, red, green, blue and yellow quadrants.
uint32_t Quadrant(int32_t x, int32_t y) {
  if (y < 4) return x < 6 ? 0xFFFF0000u : 0xFF00FF00u;
  return x < 6 ? 0xFF0000FFu : 0xFFFFFF00u;
}

Bytes ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Be16(Bytes& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}
void Le16(Bytes& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Le32(Bytes& out, uint32_t v) {
  Le16(out, v & 0xFFFF);
  Le16(out, v >> 16);
}

// An Exif block holding only an orientation tag, put in front of the rest of the JPEG.
Bytes WithExifOrientation(const Bytes& jpeg, uint16_t orientation) {
  Bytes body{'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8};
  Be16(body, 1);
  Be16(body, 0x0112);
  Be16(body, 3);
  body.insert(body.end(), {0, 0, 0, 1});
  Be16(body, orientation);
  body.insert(body.end(), {0, 0, 0, 0, 0, 0});
  Bytes out(jpeg.begin(), jpeg.begin() + 2);
  out.push_back(0xFF);
  out.push_back(0xE1);
  Be16(out, static_cast<uint32_t>(body.size() + 2));
  out.insert(out.end(), body.begin(), body.end());
  out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
  return out;
}

// A metafile of two rectangles, red over the left half and blue over the right, on a box of
// 2 x 1 inches at 1440 units an inch (placeable), or with only a window extent.
Bytes Metafile(bool placeable, int16_t width = 2880, int16_t height = 1440) {
  Bytes records;
  uint32_t longest = 0;
  auto record = [&](uint16_t function, std::vector<uint16_t> params) {
    const auto words = static_cast<uint32_t>(3 + params.size());
    longest = std::max(longest, words);
    Le32(records, words);
    Le16(records, function);
    for (uint16_t p : params) Le16(records, p);
  };
  record(0x020B, {0, 0});                                                    // SetWindowOrg
  record(0x020C, {static_cast<uint16_t>(height), static_cast<uint16_t>(width)});  // SetWindowExt
  record(0x02FC, {0, 0x00FF, 0x0000, 0});                                    // CreateBrushIndirect: solid red
  record(0x012D, {0});                                                       // SelectObject
  record(0x041B, {static_cast<uint16_t>(height), static_cast<uint16_t>(width / 2), 0, 0});  // Rectangle
  record(0x02FC, {0, 0x0000, 0x00FF, 0});                                    // solid blue
  record(0x012D, {1});
  record(0x041B, {static_cast<uint16_t>(height), static_cast<uint16_t>(width), 0, static_cast<uint16_t>(width / 2)});
  record(0x0000, {});                                                        // EOF
  Bytes out;
  if (placeable) {
    Le32(out, 0x9AC6CDD7);
    Le16(out, 0);
    for (int16_t v : {int16_t{0}, int16_t{0}, width, height}) Le16(out, static_cast<uint16_t>(v));
    Le16(out, 1440);
    Le32(out, 0);
    uint16_t checksum = 0;
    for (size_t i = 0; i < 20; i += 2) checksum ^= static_cast<uint16_t>(out[i] | out[i + 1] << 8);
    Le16(out, checksum);
  }
  Le16(out, 1);
  Le16(out, 9);
  Le16(out, 0x0300);
  Le32(out, static_cast<uint32_t>((18 + records.size()) / 2));
  Le16(out, 2);  // two objects
  Le32(out, longest);
  Le16(out, 0);
  out.insert(out.end(), records.begin(), records.end());
  return out;
}

// The quadrants as a Targa file, rows stored from the top or from the bottom as its origin
// bit says, plain or run-length coded (one run a quadrant's row).
Bytes Targa(bool topDown, bool rle) {
  Bytes out{0, 0, static_cast<uint8_t>(rle ? 10 : 2), 0, 0, 0, 0, 0, 0, 0, 0, 0, 12, 0, 8, 0, 24,
            static_cast<uint8_t>(topDown ? 0x20 : 0)};
  for (int32_t row = 0; row < 8; ++row) {
    const int32_t y = topDown ? row : 7 - row;
    for (int32_t half = 0; half < 2; ++half) {
      const uint32_t rgb = Quadrant(half * 6, y);
      if (rle) out.push_back(0x80 | 5);
      for (int32_t x = 0; x < (rle ? 1 : 6); ++x) {
        out.insert(out.end(), {static_cast<uint8_t>(rgb), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb >> 16)});
      }
    }
  }
  return out;
}

class PictureDecoderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / "brindlewick-decoder-test";
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  fs::path Write(const std::string& name, const Bytes& bytes) {
    const fs::path path = dir / name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  std::optional<DecodedImage> Decode(const fs::path& path) { return decoder.Decode(path.string().c_str()); }

  PictureDecoder decoder;
  fs::path dir;
};

TEST_F(PictureDecoderTest, LosslessFormatsGiveEveryPixel) {
  Write("top-down.tga", Targa(true, false));
  Write("bottom-up.tga", Targa(false, false));
  Write("run-length.tga", Targa(false, true));
  for (const fs::path& path : {kPictures / "quadrants.bmp", kPictures / "quadrants.gif", kPictures / "quadrants.png",
                               kPictures / "quadrants.tif", dir / "top-down.tga", dir / "bottom-up.tga",
                               dir / "run-length.tga"}) {
    const std::string name = path.filename().string();
    auto image = Decode(path);
    ASSERT_TRUE(image) << name;
    ASSERT_EQ(image->width, 12) << name;
    ASSERT_EQ(image->height, 8) << name;
    int64_t wrong = 0;
    for (int32_t y = 0; y < 8; ++y) {
      for (int32_t x = 0; x < 12; ++x) wrong += image->At(x, y) != Quadrant(x, y);
    }
    EXPECT_EQ(wrong, 0) << name;  // the GIF's second, black frame never shows
  }
}

TEST_F(PictureDecoderTest, JpegIsTurnedUprightByItsOrientationTag) {
  const Bytes jpeg = ReadBytes(kPictures / "quadrants.jpg");
  auto similar = [](uint32_t a, uint32_t b) {
    for (int shift = 0; shift < 24; shift += 8) {
      if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > 40) return false;
    }
    return true;
  };
  auto plain = Decode(Write("plain.jpg", jpeg));
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->width, 12);
  EXPECT_TRUE(similar(plain->At(1, 1), 0xFF0000));
  // 6: the camera was turned a quarter clockwise; shown upright the picture is 8 x 12 and
  // its top-left quadrant is the stored bottom-left one.
  auto turned = Decode(Write("turned.jpg", WithExifOrientation(jpeg, 6)));
  ASSERT_TRUE(turned);
  EXPECT_EQ(turned->width, 8);
  EXPECT_EQ(turned->height, 12);
  EXPECT_TRUE(similar(turned->At(1, 1), 0x0000FF));
  EXPECT_TRUE(similar(turned->At(6, 1), 0xFF0000));
  EXPECT_TRUE(similar(turned->At(1, 10), 0xFFFF00));
  auto mirrored = Decode(Write("mirrored.jpg", WithExifOrientation(jpeg, 2)));
  ASSERT_TRUE(mirrored);
  EXPECT_TRUE(similar(mirrored->At(1, 1), 0x00FF00));
}

TEST_F(PictureDecoderTest, PngAlphaIsKeptForTheWhiteUnderneath) {
  auto image = Decode(kPictures / "half-alpha.png");
  ASSERT_TRUE(image);
  EXPECT_EQ(image->At(0, 0) >> 24, 0u);
  EXPECT_EQ(image->At(0, 3) & 0x00FFFFFF, 0x0000FFu);
  EXPECT_NEAR(static_cast<int>(image->At(0, 3) >> 24), 128, 1);
}

TEST_F(PictureDecoderTest, MetafilesArePlayedAtTheirHeadersSize) {
  auto placeable = Decode(Write("box.wmf", Metafile(true)));
  ASSERT_TRUE(placeable);
  EXPECT_EQ(placeable->width, 192);  // 2 inches at 96 dpi
  EXPECT_EQ(placeable->height, 96);
  EXPECT_EQ(placeable->At(40, 40), 0xFFFF0000u);
  EXPECT_EQ(placeable->At(150, 40), 0xFF0000FFu);
  auto plain = Decode(Write("plain.wmf", Metafile(false, 120, 60)));
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->width, 120);
  EXPECT_EQ(plain->height, 60);
  EXPECT_EQ(plain->At(10, 10), 0xFFFF0000u);
  EXPECT_EQ(plain->At(100, 10), 0xFF0000FFu);
}

// The same files the Linux host's tests play through its metafile loader.
TEST_F(PictureDecoderTest, PartialMetafilesAreDrawnWhereTheyLieInTheirFrame) {
  for (const puzzle::testing::MetafileCase& c : puzzle::testing::PartialMetafiles()) {
    auto image = Decode(kPictures / c.file);
    ASSERT_TRUE(image.has_value()) << c.file;
    EXPECT_TRUE(puzzle::testing::DrawnInPlace(*image, c));
  }
}

TEST_F(PictureDecoderTest, ProbeTellsTheSizeDecodeGivesFromTheHeader) {
  const Bytes jpeg = ReadBytes(kPictures / "quadrants.jpg");
  Write("turned.jpg", WithExifOrientation(jpeg, 6));
  Write("box.wmf", Metafile(true));
  Write("top-down.tga", Targa(true, true));
  for (const fs::path& path : {kPictures / "quadrants.bmp", kPictures / "quadrants.gif", kPictures / "quadrants.png",
                               kPictures / "quadrants.tif", kPictures / "quadrants.jpg", dir / "turned.jpg",
                               dir / "box.wmf", dir / "top-down.tga"}) {
    const auto size = decoder.Probe(path.string().c_str());
    const auto image = Decode(path);
    ASSERT_TRUE(size) << path;
    ASSERT_TRUE(image) << path;
    EXPECT_EQ(size->width, image->width) << path;
    EXPECT_EQ(size->height, image->height) << path;
  }
  EXPECT_FALSE(decoder.Probe((dir / "missing.png").string().c_str()));
}

TEST_F(PictureDecoderTest, PicturesLargerThanTheScreenAllowsComeOutSmaller) {
  decoder.SetLargestPicture(ImageSize{6, 100});
  // Half the size: each new pixel the mean of one quadrant's 2 x 2 block.
  const auto size = decoder.Probe((kPictures / "quadrants.png").string().c_str());
  auto image = Decode(kPictures / "quadrants.png");
  ASSERT_TRUE(size);
  ASSERT_TRUE(image);
  EXPECT_EQ(*size, (ImageSize{6, 4}));
  EXPECT_EQ(image->width, 6);
  EXPECT_EQ(image->height, 4);
  EXPECT_EQ(image->At(0, 0), 0xFFFF0000u);
  EXPECT_EQ(image->At(5, 3), 0xFFFFFF00u);
  EXPECT_TRUE(image->opaque);
  // A metafile is played at the smaller size, not played large and shrunk.
  decoder.SetLargestPicture(ImageSize{96, 96});
  auto drawing = Decode(Write("box.wmf", Metafile(true)));
  ASSERT_TRUE(drawing);
  EXPECT_EQ(drawing->width, 96);
  EXPECT_EQ(drawing->height, 48);
  EXPECT_EQ(drawing->At(20, 20), 0xFFFF0000u);
  EXPECT_EQ(drawing->At(75, 20), 0xFF0000FFu);
}

TEST_F(PictureDecoderTest, FormatComesFromTheContentsNotTheName) {
  fs::copy_file(kPictures / "quadrants.png", dir / "really-a-png.bmp");
  auto image = Decode(dir / "really-a-png.bmp");
  ASSERT_TRUE(image);
  EXPECT_EQ(image->At(11, 7), 0xFFFFFF00u);
}

TEST_F(PictureDecoderTest, HugeHeadersAreRefusedBeforeAnyPixelIsDecoded) {
  // GIF: a logical screen of 60000 x 60000 and one tiny image.
  Bytes gif{'G', 'I', 'F', '8', '9', 'a'};
  Le16(gif, 60000);
  Le16(gif, 60000);
  gif.insert(gif.end(), {0x80, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x2C, 0, 0, 0, 0});
  Le16(gif, 60000);
  Le16(gif, 60000);
  gif.insert(gif.end(), {0, 2, 2, 0x4C, 0x01, 0, 0x3B});
  // BMP: 40000 x 40000 at 24 bits, a header and nothing else.
  Bytes bmp{'B', 'M'};
  Le32(bmp, 54);
  Le32(bmp, 0);
  Le32(bmp, 54);
  Le32(bmp, 40);
  Le32(bmp, 40000);
  Le32(bmp, 40000);
  Le16(bmp, 1);
  Le16(bmp, 24);
  for (int i = 0; i < 6; ++i) Le32(bmp, 0);
  // Targa: 65535 x 65535, run-length coded, one packet.
  Bytes tga{0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 24, 0x20, 0xFF, 0, 0, 0};
  for (const auto& [name, bytes] : {std::pair{"bomb.gif", gif}, std::pair{"bomb.bmp", bmp}, std::pair{"bomb.tga", tga}}) {
    EXPECT_FALSE(Decode(Write(name, bytes))) << name;
  }
  // A metafile's box of 32000 units at 1440 an inch is 2133 pixels; at 1 unit an inch it is
  // 3 million, and nothing is played.
  Bytes wide = Metafile(true, 32000, 32000);
  wide[14] = 1;
  wide[15] = 0;
  EXPECT_FALSE(Decode(Write("bomb2.wmf", wide)));
}

TEST_F(PictureDecoderTest, DamagedAndForeignFilesGiveNothing) {
  const Bytes png = ReadBytes(kPictures / "quadrants.png");
  EXPECT_FALSE(Decode(Write("cut.png", Bytes(png.begin(), png.begin() + png.size() / 2))));
  for (bool rle : {false, true}) {
    const Bytes tga = Targa(true, rle);
    EXPECT_FALSE(Decode(Write("cut.tga", Bytes(tga.begin(), tga.end() - 3)))) << rle;
  }
  Bytes wmf = Metafile(true);
  EXPECT_FALSE(Decode(Write("cut.wmf", Bytes(wmf.begin(), wmf.end() - 10))));
  EXPECT_FALSE(Decode(Write("text.png", Bytes{'h', 'e', 'l', 'l', 'o'})));
  EXPECT_FALSE(Decode(Write("empty.jpg", Bytes{})));
  EXPECT_FALSE(Decode(dir / "missing.png"));
  EXPECT_FALSE(Decode(dir));  // a folder
  EXPECT_FALSE(decoder.Decode(nullptr));
}

TEST_F(PictureDecoderTest, BuiltInBitmapsComeFromTheResourcesAsCompiledIn) {
  ResourceBitmaps resources(GetModuleHandleA(nullptr));
  BuiltinBitmaps embedded;
  for (int32_t id : {103, 104, 105}) {
    auto fromResource = resources.LoadBitmap(id);
    auto fromTable = embedded.LoadBitmap(id);
    ASSERT_TRUE(fromResource) << id;
    ASSERT_TRUE(fromTable) << id;
    EXPECT_EQ(fromResource->width, fromTable->width);
    EXPECT_EQ(fromResource->height, fromTable->height);
    EXPECT_TRUE(fromResource->pixels == fromTable->pixels) << id;
  }
  EXPECT_FALSE(resources.LoadBitmap(106));  // a dialog, not a bitmap
}

}  // namespace
}  // namespace puzzle::test
