#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "toolkit/image.h"

namespace puzzle {

// Targa pictures, for the hosts whose platform decodes none (or decodes some wrongly).
//
// Targa has no signature, so a file is taken for one only when its whole header makes
// sense. Every kind a painting program writes is read: colour-mapped (8- or 16-bit
// indices into 15-, 16-, 24- or 32-bit entries), true colour of 15, 16, 24 or 32 bits,
// greyscale of 8 bits or 16 with alpha, each plain or run-length packed, rows from the
// top or the bottom, pixels from the left or the right. A file whose pixels run out
// before the picture is full gives nothing rather than part of a picture.

// The size the header states, when the file can be a Targa picture.
std::optional<ImageSize> TargaSize(const uint8_t* data, size_t size);

// The whole picture; nothing when the header or the pixel data is damaged, or the
// picture is larger than a surface may be. Opaque unless the pixels carry alpha.
std::optional<DecodedImage> DecodeTarga(const uint8_t* data, size_t size);

}  // namespace puzzle
