#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "toolkit/image.h"

namespace puzzle {

// Targa has no signature: the header must make sense as a whole.
bool LooksLikeTarga(const std::vector<uint8_t>& data);
// The whole file through stb_image; its header's size is checked before any pixel is read.
std::optional<DecodedImage> DecodeTarga(const std::vector<uint8_t>& data);

}  // namespace puzzle
