#include "toolkit/bitmap_reader.h"

#include <cstdlib>

namespace puzzle {

namespace {

uint32_t U16(std::span<const uint8_t> b, size_t at) { return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8; }
uint32_t U32(std::span<const uint8_t> b, size_t at) { return U16(b, at) | U16(b, at + 2) << 16; }

constexpr size_t kFileHeaderSize = 14;
constexpr size_t kInfoHeaderSize = 40;

}  // namespace

std::optional<DecodedImage> ReadBitmap24(std::span<const uint8_t> bytes) {
  if (bytes.size() < kFileHeaderSize + kInfoHeaderSize) return std::nullopt;
  if (bytes[0] != 'B' || bytes[1] != 'M') return std::nullopt;
  const uint32_t dataOffset = U32(bytes, 10);
  const uint32_t headerSize = U32(bytes, 14);
  if (headerSize < kInfoHeaderSize || kFileHeaderSize + headerSize > bytes.size()) return std::nullopt;
  const auto width = static_cast<int32_t>(U32(bytes, 18));
  const auto rawHeight = static_cast<int32_t>(U32(bytes, 22));
  const uint32_t planes = U16(bytes, 26);
  const uint32_t bitCount = U16(bytes, 28);
  const uint32_t compression = U32(bytes, 30);
  if (planes != 1 || bitCount != 24 || compression != 0) return std::nullopt;
  if (rawHeight == INT32_MIN) return std::nullopt;
  const bool topDown = rawHeight < 0;
  const int32_t height = topDown ? -rawHeight : rawHeight;
  if (!SurfaceSizeAllowed(width, height)) return std::nullopt;

  const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
  if (dataOffset < kFileHeaderSize + headerSize || dataOffset > bytes.size() ||
      stride * static_cast<size_t>(height) > bytes.size() - dataOffset) {
    return std::nullopt;
  }

  DecodedImage image;
  image.width = width;
  image.height = height;
  image.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int32_t row = 0; row < height; ++row) {
    const int32_t fileRow = topDown ? row : height - 1 - row;
    const size_t at = dataOffset + stride * static_cast<size_t>(fileRow);
    uint32_t* out = image.pixels.data() + static_cast<size_t>(row) * static_cast<size_t>(width);
    for (int32_t col = 0; col < width; ++col) {
      const size_t p = at + static_cast<size_t>(col) * 3;
      out[col] = 0xFF000000u | uint32_t{bytes[p + 2]} << 16 | uint32_t{bytes[p + 1]} << 8 | bytes[p];
    }
  }
  return image;
}

}  // namespace puzzle
