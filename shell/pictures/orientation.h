#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "toolkit/image.h"

namespace puzzle {

// A photo's orientation tag: how the stored pixels must be turned to stand upright.
// 1 is upright; 2 to 8 are the mirrorings and quarter turns of the TIFF and Exif tag.
using Orientation = int32_t;

// What the first directory of a TIFF structure (a TIFF file, or the Exif block of a JPEG
// after its "Exif\0\0") says of its picture: the stored size (0 x 0 when not given) and
// the orientation (1 when not given or senseless).
struct TiffPicture {
  ImageSize stored;
  Orientation orientation = 1;
};
// Reads count bytes at offset from the start of the structure; false past its end.
using ReadAt = std::function<bool(uint64_t offset, uint8_t* out, size_t count)>;
std::optional<TiffPicture> ReadTiffDirectory(const ReadAt& read);

// The orientation tag of a TIFF structure held in memory.
Orientation ReadOrientationTag(const uint8_t* tiff, size_t size);

// The size of a stored picture once it stands upright.
ImageSize Oriented(ImageSize stored, Orientation orientation);

// Turns stored pixels upright.
DecodedImage Orient(DecodedImage stored, Orientation orientation);

}  // namespace puzzle
