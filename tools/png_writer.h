#pragma once

// PNG files: pictures go through stb_image_write, which picks each row's filter, with zlib
// deflating at its best level, so the icons we ship are as small as a PNG tool makes them.
// The pieces of a file in stored (uncompressed) deflate blocks stay for tests that craft
// unusual files byte by byte.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include <zlib.h>

// stb_image_write's own deflate has fixed Huffman codes only; zlib's is the one PNG tools use.
inline unsigned char* PuzzlePngDeflate(unsigned char* data, int size, int* outSize, int /*quality*/) {
  uLongf length = compressBound(static_cast<uLong>(size));
  auto* out = static_cast<unsigned char*>(std::malloc(length));
  if (out == nullptr || compress2(out, &length, data, static_cast<uLong>(size), Z_BEST_COMPRESSION) != Z_OK) {
    std::free(out);
    return nullptr;
  }
  *outSize = static_cast<int>(length);
  return out;
}

#define STBIW_ZLIB_COMPRESS PuzzlePngDeflate
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wcast-qual"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif
#include <stb/stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace puzzle::tools {

using Bytes = std::vector<uint8_t>;

// The CRC-32 of the PNG and zlib formats.
inline uint32_t Crc32(const uint8_t* data, size_t size) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return crc ^ 0xFFFFFFFFu;
}

inline void PutBigEndian32(Bytes& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

// Scanlines (each with its filter byte) as a zlib stream of stored blocks.
inline Bytes StoredZlib(const Bytes& raw) {
  Bytes out{0x78, 0x01};
  size_t at = 0;
  do {
    const size_t n = std::min<size_t>(raw.size() - at, 65535);
    out.push_back(at + n == raw.size() ? 1 : 0);
    out.push_back(static_cast<uint8_t>(n));
    out.push_back(static_cast<uint8_t>(n >> 8));
    out.push_back(static_cast<uint8_t>(~n));
    out.push_back(static_cast<uint8_t>(~n >> 8));
    out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
               raw.begin() + static_cast<std::ptrdiff_t>(at + n));
    at += n;
  } while (at < raw.size());
  uint32_t a = 1;
  uint32_t b = 0;
  for (uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  PutBigEndian32(out, (b << 16) | a);
  return out;
}

inline void PngChunk(Bytes& out, const char* type, const Bytes& data) {
  PutBigEndian32(out, static_cast<uint32_t>(data.size()));
  Bytes typed(type, type + 4);
  typed.insert(typed.end(), data.begin(), data.end());
  out.insert(out.end(), typed.begin(), typed.end());
  PutBigEndian32(out, Crc32(typed.data(), typed.size()));
}

// A whole 8-bit PNG of the given colour type around its image data.
inline Bytes PngFile(uint32_t width, uint32_t height, uint8_t colourType, const Bytes& idat) {
  Bytes out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes header;
  PutBigEndian32(header, width);
  PutBigEndian32(header, height);
  header.insert(header.end(), {8, colourType, 0, 0, 0});
  PngChunk(out, "IHDR", header);
  PngChunk(out, "IDAT", idat);
  PngChunk(out, "IEND", {});
  return out;
}

// Writes width x height pixels of `channels` 8-bit samples each, rows top to bottom.
inline bool WriteCompressedPng(const std::string& path, int32_t width, int32_t height, int channels,
                               const uint8_t* samples) {
  int size = 0;
  unsigned char* png = stbi_write_png_to_mem(samples, width * channels, width, height, channels, &size);
  if (png == nullptr) return false;
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(png), size);
  STBIW_FREE(png);
  return static_cast<bool>(file);
}

// Writes 32-bit XRGB pixels as an RGB PNG.
inline bool WritePng(const std::string& path, int32_t width, int32_t height, std::span<const uint32_t> pixels) {
  Bytes rgb;
  rgb.reserve(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t p = pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
      rgb.push_back(static_cast<uint8_t>(p >> 16));
      rgb.push_back(static_cast<uint8_t>(p >> 8));
      rgb.push_back(static_cast<uint8_t>(p));
    }
  }
  return WriteCompressedPng(path, width, height, 3, rgb.data());
}

// Writes 8-bit RGBA samples, rows top to bottom, as an RGBA PNG.
inline bool WriteRgbaPng(const std::string& path, int32_t width, int32_t height, const std::vector<uint8_t>& rgba) {
  return WriteCompressedPng(path, width, height, 4, rgba.data());
}

}  // namespace puzzle::tools
