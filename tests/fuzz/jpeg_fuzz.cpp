// The JPEG path through libjpeg: the header probe and the decode agree on the size, the
// decode fits the box it is given, and how the file arrives - its first bytes, then pieces
// of any length - changes nothing of the picture.
//
// Input: two bytes for the box, one for the length of the first piece (in 16 bytes), one
// for the length of every later piece, then the file.

#include <algorithm>

#include "shell/linux/jpeg_decoder.h"
#include "shell/pictures/fit.h"
#include "tests/fuzz/fuzz_support.h"

using namespace puzzle;

namespace {

class Pieces : public ByteSource {
 public:
  Pieces(const std::vector<uint8_t>& file, size_t from, size_t piece) : file_(file), at_(from), piece_(piece) {}
  bool Next(std::vector<uint8_t>& data) override {
    const size_t n = std::min(piece_, file_.size() - at_);
    data.assign(file_.begin() + static_cast<ptrdiff_t>(at_), file_.begin() + static_cast<ptrdiff_t>(at_ + n));
    at_ += n;
    return true;
  }

 private:
  const std::vector<uint8_t>& file_;
  size_t at_;
  size_t piece_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Prefix prefix(data, size);
  const uint8_t boxWidth = prefix.Byte();
  const uint8_t boxHeight = prefix.Byte();
  const ImageSize box = fuzz::Box(boxWidth, boxHeight);
  const size_t firstBytes = size_t{prefix.Byte()} * 16;
  const size_t piece = 1 + size_t{prefix.Byte()} * 8;
  const std::vector<uint8_t> file = prefix.Rest();
  const size_t split = std::min(firstBytes == 0 ? file.size() : firstBytes, file.size());
  const std::vector<uint8_t> first(file.begin(), file.begin() + static_cast<ptrdiff_t>(split));

  Pieces forHeader(file, split, piece);
  const std::optional<JpegHeader> header = ReadJpegHeader(first, forHeader);
  Pieces forPicture(file, split, piece);
  const std::optional<DecodedImage> image = DecodeJpeg(first, forPicture, box);
  if (header) {
    FUZZ_CHECK(header->orientation >= 1 && header->orientation <= 8);
    FUZZ_CHECK(header->stored.width >= 0 && header->stored.height >= 0);
  }
  if (!image) return 0;
  FUZZ_CHECK(header.has_value());
  fuzz::CheckPicture(*image);
  FUZZ_CHECK(image->opaque);
  const ImageSize expected = FitWithin(Oriented(header->stored, header->orientation), box);
  FUZZ_CHECK(image->width == expected.width && image->height == expected.height);
  FUZZ_CHECK(fuzz::Within(ImageSize{image->width, image->height}, box));

  // The whole file in one piece gives the very same picture.
  const std::vector<uint8_t> none;
  Pieces nothingMore(none, 0, 1);
  const std::optional<DecodedImage> whole = DecodeJpeg(file, nothingMore, box);
  FUZZ_CHECK(whole.has_value());
  FUZZ_CHECK(whole->width == image->width && whole->height == image->height);
  FUZZ_CHECK(std::equal(whole->pixels.begin(), whole->pixels.end(), image->pixels.begin()));
  return 0;
}
