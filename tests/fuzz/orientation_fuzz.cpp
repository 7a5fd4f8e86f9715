// The TIFF and Exif orientation reader and the turn it drives: any directory gives an
// orientation from 1 to 8 and sizes that are no less than 0, and a turned picture has the
// size Oriented gives, holds every stored pixel once and turns back to what was stored.
//
// Input: one byte for the side of a test picture, one byte for an orientation to apply
// besides the one read, then the TIFF structure.

#include <algorithm>
#include <cstring>

#include "shell/pictures/orientation.h"
#include "tests/fuzz/fuzz_support.h"

using namespace puzzle;

namespace {

// The orientation that undoes another: the quarter turns undo each other, the rest themselves.
Orientation Inverse(Orientation o) { return o == 6 ? 8 : o == 8 ? 6 : o; }

void CheckTurn(ImageSize stored, Orientation orientation) {
  DecodedImage picture;
  picture.width = stored.width;
  picture.height = stored.height;
  picture.opaque = true;
  picture.pixels.resize(static_cast<size_t>(stored.width) * static_cast<size_t>(stored.height));
  for (size_t i = 0; i < picture.pixels.size(); ++i) picture.pixels[i] = static_cast<uint32_t>(i);
  const DecodedImage turned = Orient(picture, orientation);
  const ImageSize expected = Oriented(stored, orientation);
  FUZZ_CHECK(turned.width == expected.width && turned.height == expected.height);
  FUZZ_CHECK(turned.pixels.size() == picture.pixels.size());
  FUZZ_CHECK(turned.opaque);
  std::vector<uint8_t> seen(picture.pixels.size(), 0);
  for (uint32_t p : turned.pixels) {
    FUZZ_CHECK(p < seen.size() && seen[p] == 0);
    seen[p] = 1;
  }
  if (orientation < 1 || orientation > 8) {
    FUZZ_CHECK(std::equal(turned.pixels.begin(), turned.pixels.end(), picture.pixels.begin()));
    return;
  }
  const DecodedImage back = Orient(turned, Inverse(orientation));
  FUZZ_CHECK(back.width == stored.width && back.height == stored.height);
  FUZZ_CHECK(std::equal(back.pixels.begin(), back.pixels.end(), picture.pixels.begin()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Prefix prefix(data, size);
  const uint8_t side = prefix.Byte();
  const auto extra = static_cast<Orientation>(static_cast<int8_t>(prefix.Byte()));
  const std::vector<uint8_t> tiff = prefix.Rest();

  uint64_t furthest = 0;
  const std::optional<TiffPicture> picture =
      ReadTiffDirectory([&tiff, &furthest](uint64_t offset, uint8_t* out, size_t count) {
        if (offset > tiff.size() || count > tiff.size() - offset) return false;
        if (count > 0) std::memcpy(out, tiff.data() + offset, count);
        furthest = std::max<uint64_t>(furthest, offset + count);
        return true;
      });
  const Orientation tag = ReadOrientationTag(tiff.data(), tiff.size());
  FUZZ_CHECK(tag >= 1 && tag <= 8);
  FUZZ_CHECK(furthest <= tiff.size());
  if (picture) {
    FUZZ_CHECK(picture->orientation == tag);
    FUZZ_CHECK(picture->stored.width >= 0 && picture->stored.height >= 0);
    const ImageSize oriented = Oriented(picture->stored, tag);
    FUZZ_CHECK(int64_t{oriented.width} * oriented.height == int64_t{picture->stored.width} * picture->stored.height);
  } else {
    FUZZ_CHECK(tag == 1);
  }
  // A small picture, its sides from the directory where they are small.
  const int32_t width = picture && picture->stored.width > 0 && picture->stored.width <= 24 ? picture->stored.width : 1 + side % 7;
  const int32_t height = picture && picture->stored.height > 0 && picture->stored.height <= 24 ? picture->stored.height : 1 + side / 37;
  CheckTurn(ImageSize{width, height}, tag);
  CheckTurn(ImageSize{width, height}, extra);
  return 0;
}
