#include "shell/pictures/targa.h"

#include <algorithm>
#include <cstring>
#include <memory>

// stb_image, for Targa alone: its other decoders are never reached through a picture.
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_TGA
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_MAX_DIMENSIONS 16384
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wdouble-promotion"
#endif
#include <stb/stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace puzzle {
namespace {

constexpr size_t kHeaderBytes = 18;

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

struct Header {
  size_t idBytes = 0;
  bool mapped = false;
  bool runLength = false;
  bool grey = false;
  uint32_t mapFirst = 0;
  uint32_t mapLength = 0;
  uint32_t mapEntryBits = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t depth = 0;
  uint32_t alphaBits = 0;
  bool rightToLeft = false;
  bool topDown = false;

  size_t MapBytes() const { return static_cast<size_t>(mapLength) * ((mapEntryBits + 7) / 8); }
  size_t PixelBytes() const { return (depth + 7) / 8; }
};

std::optional<Header> ReadHeader(const uint8_t* data, size_t size) {
  if (data == nullptr || size < kHeaderBytes) return std::nullopt;
  Header h;
  h.idBytes = data[0];
  const uint8_t mapType = data[1];
  const uint8_t imageType = data[2];
  h.mapped = imageType == 1 || imageType == 9;
  const bool direct = imageType == 2 || imageType == 3 || imageType == 10 || imageType == 11;
  if (!h.mapped && !direct) return std::nullopt;
  // A colour map belongs to a colour-mapped picture; any other use of it is no Targa we read.
  if (mapType != (h.mapped ? 1 : 0)) return std::nullopt;
  h.runLength = imageType >= 9;
  h.grey = imageType == 3 || imageType == 11;
  h.mapFirst = U16(data + 3);
  h.mapLength = U16(data + 5);
  h.mapEntryBits = data[7];
  h.width = U16(data + 12);
  h.height = U16(data + 14);
  h.depth = data[16];
  h.alphaBits = data[17] & 0x0Fu;
  h.rightToLeft = (data[17] & 0x10u) != 0;
  h.topDown = (data[17] & 0x20u) != 0;
  if (h.width == 0 || h.height == 0) return std::nullopt;
  if (h.mapped) {
    const uint32_t e = h.mapEntryBits;
    if (e != 15 && e != 16 && e != 24 && e != 32) return std::nullopt;
    if (h.depth != 8 && h.depth != 16) return std::nullopt;
    // Entries are numbered from the first one the file holds; the decoder only reads maps
    // that start at the first.
    if (h.mapFirst != 0 || h.mapLength == 0) return std::nullopt;
  } else if (h.grey) {
    if (h.depth != 8 && h.depth != 16) return std::nullopt;
  } else if (h.depth != 15 && h.depth != 16 && h.depth != 24 && h.depth != 32) {
    return std::nullopt;
  }
  return h;
}

// True when the pixel data holds every pixel of the picture, plain or packed, within the file.
bool PixelsComplete(const Header& h, const uint8_t* data, size_t size) {
  size_t at = kHeaderBytes + h.idBytes + h.MapBytes();
  if (at > size) return false;
  const uint64_t pixels = uint64_t{h.width} * h.height;
  const size_t pixelBytes = h.PixelBytes();
  if (!h.runLength) return (size - at) / pixelBytes >= pixels;
  uint64_t done = 0;
  while (done < pixels) {
    if (at >= size) return false;
    const uint8_t packet = data[at++];
    const uint64_t count = (packet & 0x7Fu) + 1u;
    const uint64_t bytes = (packet & 0x80u) != 0 ? pixelBytes : count * pixelBytes;
    if (size - at < bytes) return false;
    at += static_cast<size_t>(bytes);
    // A packet may run across rows, but not past the picture's last pixel.
    done += count;
  }
  return true;
}

struct StbFree {
  void operator()(stbi_uc* p) const { stbi_image_free(p); }
};

}  // namespace

std::optional<ImageSize> TargaSize(const uint8_t* data, size_t size) {
  const std::optional<Header> header = ReadHeader(data, size);
  if (!header) return std::nullopt;
  return ImageSize{static_cast<int32_t>(header->width), static_cast<int32_t>(header->height)};
}

std::optional<DecodedImage> DecodeTarga(const uint8_t* data, size_t size) {
  const std::optional<Header> header = ReadHeader(data, size);
  if (!header || !SurfaceSizeAllowed(header->width, header->height)) return std::nullopt;
  if (!PixelsComplete(*header, data, size) || size > static_cast<size_t>(INT32_MAX)) return std::nullopt;

  int width = 0;
  int height = 0;
  int channels = 0;
  std::unique_ptr<stbi_uc, StbFree> rgba(
      stbi_load_from_memory(data, static_cast<int>(size), &width, &height, &channels, 4));
  if (!rgba || static_cast<uint32_t>(width) != header->width || static_cast<uint32_t>(height) != header->height) {
    return std::nullopt;
  }
  // Alpha only where the pixels have a fourth channel that the header calls alpha: a
  // 32-bit picture that declares no alpha bits keeps its fourth byte to itself.
  const bool alpha = (channels == 4 || channels == 2) && (header->alphaBits != 0 || header->grey);

  DecodedImage image;
  image.width = width;
  image.height = height;
  image.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  const stbi_uc* in = rgba.get();
  uint32_t allAlpha = 0xFFu;
  for (int y = 0; y < height; ++y) {
    uint32_t* row = image.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
    for (int x = 0; x < width; ++x, in += 4) {
      const uint32_t a = alpha ? in[3] : 0xFFu;
      allAlpha &= a;
      row[x] = (a << 24) | (uint32_t{in[0]} << 16) | (uint32_t{in[1]} << 8) | in[2];
    }
    if (header->rightToLeft) std::reverse(row, row + width);
  }
  image.opaque = allAlpha == 0xFFu;
  return image;
}

}  // namespace puzzle
