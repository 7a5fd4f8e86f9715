#include "shell/pictures/orientation.h"

#include <cstring>

namespace puzzle {

namespace {

constexpr uint16_t kOrientationTag = 0x0112;

}  // namespace

int JpegOrientation(std::span<const uint8_t> data) {
  if (data.size() < 4 || data[0] != 0xFF || data[1] != 0xD8) return 1;
  size_t at = 2;
  // Segments up to the first scan; the Exif block is an APP1 segment among them.
  while (at + 4 <= data.size() && data[at] == 0xFF) {
    const uint8_t marker = data[at + 1];
    if (marker == 0xDA || marker == 0xD9) break;
    const size_t length = (static_cast<size_t>(data[at + 2]) << 8) | data[at + 3];
    if (length < 2 || at + 2 + length > data.size()) break;
    const uint8_t* segment = data.data() + at + 4;
    const size_t size = length - 2;
    if (marker == 0xE1 && size >= 14 && std::memcmp(segment, "Exif\0\0", 6) == 0) {
      const uint8_t* tiff = segment + 6;
      const size_t tiffSize = size - 6;
      const bool little = tiff[0] == 'I' && tiff[1] == 'I';
      if (!little && !(tiff[0] == 'M' && tiff[1] == 'M')) return 1;
      auto u16 = [&](size_t o) -> uint32_t {
        return little ? (tiff[o] | (tiff[o + 1] << 8)) : ((tiff[o] << 8) | tiff[o + 1]);
      };
      auto u32 = [&](size_t o) -> uint32_t { return little ? (u16(o) | (u16(o + 2) << 16)) : ((u16(o) << 16) | u16(o + 2)); };
      const uint32_t ifd = u32(4);
      if (ifd > tiffSize || tiffSize - ifd < 2) return 1;
      const uint32_t entries = u16(ifd);
      for (uint32_t i = 0; i < entries; ++i) {
        const size_t entry = ifd + 2 + static_cast<size_t>(i) * 12;
        if (entry + 12 > tiffSize) return 1;
        if (u16(entry) == kOrientationTag) {
          const uint32_t value = u16(entry + 8);
          return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
        }
      }
      return 1;
    }
    at += 2 + length;
  }
  return 1;
}

DecodedImage TurnUpright(DecodedImage image, int orientation) {
  if (orientation <= 1 || orientation > 8) return image;
  const int32_t w = image.width;
  const int32_t h = image.height;
  // Orientations 5 to 8 stand on their side: width and height change places.
  const bool swap = orientation >= 5;
  DecodedImage out;
  out.width = swap ? h : w;
  out.height = swap ? w : h;
  out.pixels.resize(image.pixels.size());
  for (int32_t y = 0; y < out.height; ++y) {
    for (int32_t x = 0; x < out.width; ++x) {
      // Where the pixel shown at (x, y) is stored.
      int32_t sx = x;
      int32_t sy = y;
      switch (orientation) {
        case 2: sx = w - 1 - x; break;
        case 3: sx = w - 1 - x; sy = h - 1 - y; break;
        case 4: sy = h - 1 - y; break;
        case 5: sx = y; sy = x; break;
        case 6: sx = y; sy = h - 1 - x; break;
        case 7: sx = w - 1 - y; sy = h - 1 - x; break;
        case 8: sx = w - 1 - y; sy = x; break;
        default: break;
      }
      out.pixels[static_cast<size_t>(y) * static_cast<size_t>(out.width) + static_cast<size_t>(x)] = image.At(sx, sy);
    }
  }
  return out;
}

}  // namespace puzzle
