#pragma once

// Metafiles whose drawing covers only part of their frame (tests/data/pictures): every host
// must show each of them the same way, the drawing where it lies in the frame.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "toolkit/image.h"

namespace puzzle::testing {

struct MetafileCase {
  std::string file;
  int32_t width, height;
  // Where the drawing lies; everything else is white.
  int32_t left, top, right, bottom;
  // A shape fills its box with this colour (0xRRGGBB); text (solid false) only has ink in it.
  bool solid;
  uint32_t rgb;
};

inline std::vector<MetafileCase> PartialMetafiles() {
  return {{"corner.wmf", 40, 30, 0, 0, 20, 15, true, 0x0000FF},
          {"larger-frame.wmf", 80, 60, 10, 10, 40, 30, true, 0xFF0000},
          {"text.wmf", 120, 80, 2, 2, 40, 30, false, 0}};
}

inline ::testing::AssertionResult DrawnInPlace(const DecodedImage& image, const MetafileCase& c) {
  if (image.width != c.width || image.height != c.height) {
    return ::testing::AssertionFailure() << c.file << ": " << image.width << " x " << image.height;
  }
  int64_t ink = 0;
  for (int32_t y = 0; y < c.height; ++y) {
    for (int32_t x = 0; x < c.width; ++x) {
      const uint32_t pixel = image.pixels[static_cast<size_t>(y) * c.width + x] & 0xFFFFFF;
      const bool inside = x >= c.left && x < c.right && y >= c.top && y < c.bottom;
      // Shapes' edges may be rounded either way.
      const bool nearEdge = c.solid && (std::abs(x - c.left) < 2 || std::abs(x - c.right) < 2 ||
                                        std::abs(y - c.top) < 2 || std::abs(y - c.bottom) < 2);
      if (nearEdge) continue;
      if (!inside && pixel != 0xFFFFFF) {
        return ::testing::AssertionFailure() << c.file << ": ink outside the drawing at " << x << ", " << y;
      }
      if (inside && c.solid && pixel != c.rgb) {
        return ::testing::AssertionFailure() << c.file << ": " << std::hex << pixel << " inside the shape at "
                                             << std::dec << x << ", " << y;
      }
      if (inside && pixel != 0xFFFFFF) ++ink;
    }
  }
  if (ink < 20) return ::testing::AssertionFailure() << c.file << ": only " << ink << " pixels drawn";
  return ::testing::AssertionSuccess();
}

}  // namespace puzzle::testing
