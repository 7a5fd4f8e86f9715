// The reader of the program's own bitmaps, fed damaged ones: a bitmap it takes has the
// size its header states, every row within the file, and reads back pixel for pixel when
// written out again.

#include <cstring>

#include "tests/fuzz/fuzz_support.h"
#include "toolkit/bitmap_reader.h"

using namespace puzzle;

namespace {

uint32_t Le32(const uint8_t* p) { return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24; }

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// The plainest 24-bit bitmap there is, rows bottom-up or top-down.
std::vector<uint8_t> Write(const DecodedImage& image, bool topDown) {
  const size_t stride = (static_cast<size_t>(image.width) * 3 + 3) & ~size_t{3};
  std::vector<uint8_t> out{'B', 'M'};
  Put32(out, static_cast<uint32_t>(54 + stride * static_cast<size_t>(image.height)));
  Put32(out, 0);
  Put32(out, 54);
  Put32(out, 40);
  Put32(out, static_cast<uint32_t>(image.width));
  Put32(out, static_cast<uint32_t>(topDown ? -image.height : image.height));
  out.insert(out.end(), {1, 0, 24, 0});
  for (int i = 0; i < 6; ++i) Put32(out, 0);
  for (int32_t r = 0; r < image.height; ++r) {
    const int32_t y = topDown ? r : image.height - 1 - r;
    const size_t start = out.size();
    for (int32_t x = 0; x < image.width; ++x) {
      const uint32_t p = image.At(x, y);
      out.insert(out.end(), {static_cast<uint8_t>(p), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p >> 16)});
    }
    out.resize(start + stride, 0);
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::optional<DecodedImage> image = ReadBitmap24(std::span<const uint8_t>(data, size));
  if (!image) return 0;
  fuzz::CheckPicture(*image);
  for (uint32_t pixel : image->pixels) FUZZ_CHECK(pixel >> 24 == 0xFFu);
  // The size is the header's, the height without its sign.
  FUZZ_CHECK(size >= 54);
  const auto width = static_cast<int32_t>(Le32(data + 18));
  const auto height = static_cast<int32_t>(Le32(data + 22));
  FUZZ_CHECK(image->width == width);
  FUZZ_CHECK(image->height == (height < 0 ? -static_cast<int64_t>(height) : height));
  // Every row, padded to four bytes, lies within the file.
  const uint64_t stride = (uint64_t(width) * 3 + 3) & ~uint64_t{3};
  FUZZ_CHECK(Le32(data + 10) + stride * uint64_t(image->height) <= size);
  for (bool topDown : {false, true}) {
    const std::vector<uint8_t> again = Write(*image, topDown);
    const std::optional<DecodedImage> back = ReadBitmap24(again);
    FUZZ_CHECK(back.has_value());
    FUZZ_CHECK(back->width == image->width && back->height == image->height);
    FUZZ_CHECK(std::equal(back->pixels.begin(), back->pixels.end(), image->pixels.begin()));
  }
  return 0;
}
