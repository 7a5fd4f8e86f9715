#include "shell/win32/targa_stb.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_TGA
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_ASSERT(x) ((void)0)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wshadow"
#include <stb_image.h>
#pragma GCC diagnostic pop

namespace puzzle {

bool LooksLikeTarga(const std::vector<uint8_t>& data) {
  if (data.size() < 18) return false;
  const uint8_t mapType = data[1];
  const uint8_t imageType = data[2];
  const bool mapped = imageType == 1 || imageType == 9;
  const bool direct = imageType == 2 || imageType == 3 || imageType == 10 || imageType == 11;
  if (!mapped && !direct) return false;
  if (mapType > 1 || (mapped && mapType != 1)) return false;
  const uint8_t depth = data[16];
  if (depth != 8 && depth != 15 && depth != 16 && depth != 24 && depth != 32) return false;
  return (data[12] | data[13] << 8) > 0 && (data[14] | data[15] << 8) > 0;
}

namespace {

// stb_image makes up whatever a cut-off file lacks; a picture must be there whole.
bool PixelDataComplete(const std::vector<uint8_t>& data, int64_t pixels) {
  const size_t idLength = data[0];
  const size_t mapEntries = data[5] | data[6] << 8;
  const size_t mapBytes = data[1] == 1 ? mapEntries * ((data[7] + 7) / 8) : 0;
  const size_t pixelBytes = (data[16] + 7) / 8;
  size_t at = 18 + idLength + mapBytes;
  if (at > data.size()) return false;
  const bool rle = data[2] >= 9;
  if (!rle) return static_cast<uint64_t>(data.size() - at) >= static_cast<uint64_t>(pixels) * pixelBytes;
  while (pixels > 0) {
    if (at >= data.size()) return false;
    const uint8_t packet = data[at++];
    const int64_t count = (packet & 0x7F) + 1;
    const size_t bytes = (packet & 0x80) != 0 ? pixelBytes : pixelBytes * static_cast<size_t>(count);
    if (data.size() - at < bytes) return false;
    at += bytes;
    pixels -= count;
  }
  return true;
}

}  // namespace

std::optional<DecodedImage> DecodeTarga(const std::vector<uint8_t>& data) {
  if (!LooksLikeTarga(data) || data.size() > INT32_MAX) return std::nullopt;
  const int width = data[12] | data[13] << 8;
  const int height = data[14] | data[15] << 8;
  if (!SurfaceSizeAllowed(width, height)) return std::nullopt;
  if (!PixelDataComplete(data, int64_t{width} * height)) return std::nullopt;
  int w = 0;
  int h = 0;
  int channels = 0;
  stbi_uc* pixels = stbi_load_from_memory(data.data(), static_cast<int>(data.size()), &w, &h, &channels, 4);
  if (pixels == nullptr) return std::nullopt;
  std::optional<DecodedImage> image;
  if (w == width && h == height) {
    DecodedImage out;
    out.width = w;
    out.height = h;
    out.pixels.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
    const stbi_uc* p = pixels;
    for (uint32_t& pixel : out.pixels) {
      pixel = (static_cast<uint32_t>(p[3]) << 24) | (static_cast<uint32_t>(p[0]) << 16) |
              (static_cast<uint32_t>(p[1]) << 8) | p[2];
      p += 4;
    }
    image = std::move(out);
  }
  stbi_image_free(pixels);
  return image;
}

}  // namespace puzzle
