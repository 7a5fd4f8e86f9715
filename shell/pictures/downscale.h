#pragma once

#include <cstdint>
#include <functional>

#include "toolkit/image.h"

namespace puzzle {

// A picture made smaller by averaging the area of the picture under each new pixel, so
// that fine detail turns to its mean colour instead of breaking into noise. Colours are
// weighted by their alpha.

// Writes row y of the source, width pixels of 0xAARRGGBB, to out.
using SourceRow = std::function<void(int32_t y, uint32_t* out)>;

// The source, width x height pixels read a row at a time, at the new size (which is no
// larger than the source on either side).
DecodedImage DownscaleRows(int32_t width, int32_t height, bool opaque, const SourceRow& source, ImageSize size);

// The picture at the new size; unchanged when the size is not smaller on both sides.
DecodedImage Downscale(DecodedImage image, ImageSize size);

}  // namespace puzzle
