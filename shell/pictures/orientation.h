#pragma once

#include <cstdint>
#include <span>

#include "toolkit/image.h"

namespace puzzle {

// A photo's orientation tag (1 to 8, as the camera wrote it in its Exif block), read
// from the start of a JPEG file; 1, upright, when it has none or it can't be read.
int JpegOrientation(std::span<const uint8_t> start);

// The image turned and mirrored the way the tag says, so that it stands upright.
DecodedImage TurnUpright(DecodedImage image, int orientation);

}  // namespace puzzle
