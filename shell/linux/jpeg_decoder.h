#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "shell/pictures/orientation.h"
#include "toolkit/image.h"

namespace puzzle {

// The bytes of a file, a piece at a time.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // The next piece into data, empty at the end of the file; false when it can't be read.
  virtual bool Next(std::vector<uint8_t>& data) = 0;
};

struct JpegHeader {
  ImageSize stored;  // as the pixels are stored, before the orientation tag is applied
  Orientation orientation = 1;
};

// JPEG photos straight through libjpeg-turbo, into pixels the game's surfaces take over
// as they are: no second copy of the picture is ever made, and a photo larger than the
// largest picture wanted is scaled while it is decoded (libjpeg's IDCT scaling to the
// nearest eighth above, then averaged down). A file cut short gives nothing. libjpeg's
// messages are never printed.

// The header alone: first holds the file's first bytes, the rest come from more.
std::optional<JpegHeader> ReadJpegHeader(const std::vector<uint8_t>& first, ByteSource& more);

// The picture upright, no larger than largest (0 x 0: no limit), opaque.
std::optional<DecodedImage> DecodeJpeg(const std::vector<uint8_t>& first, ByteSource& more, ImageSize largest);

}  // namespace puzzle
