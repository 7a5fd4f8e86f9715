#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "toolkit/image.h"

namespace puzzle {

// Reads an uncompressed 24-bit BMP file image (the program's own bitmaps). Anything
// else - another depth, compression, a truncated or oversized file - gives nothing.
std::optional<DecodedImage> ReadBitmap24(std::span<const uint8_t> bytes);

}  // namespace puzzle
