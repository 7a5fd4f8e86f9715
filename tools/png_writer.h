#pragma once

// PNG files without a compression library: scanlines in stored (uncompressed) deflate
// blocks. Enough for looking at what the game draws, and for making test pictures.

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <span>
#include <string>
#include <vector>

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

// Writes 32-bit XRGB pixels as an RGB PNG.
inline bool WritePng(const std::string& path, int32_t width, int32_t height, std::span<const uint32_t> pixels) {
  Bytes raw;
  raw.reserve(static_cast<size_t>(height) * (static_cast<size_t>(width) * 3 + 1));
  for (int32_t y = 0; y < height; ++y) {
    raw.push_back(0);  // no filter
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t p = pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
      raw.push_back(static_cast<uint8_t>(p >> 16));
      raw.push_back(static_cast<uint8_t>(p >> 8));
      raw.push_back(static_cast<uint8_t>(p));
    }
  }
  const Bytes png = PngFile(static_cast<uint32_t>(width), static_cast<uint32_t>(height), 2, StoredZlib(raw));
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  return static_cast<bool>(file);
}

// Writes 8-bit RGBA samples, rows top to bottom, as an RGBA PNG.
inline bool WriteRgbaPng(const std::string& path, int32_t width, int32_t height, const std::vector<uint8_t>& rgba) {
  Bytes raw;
  const size_t stride = static_cast<size_t>(width) * 4;
  raw.reserve(static_cast<size_t>(height) * (stride + 1));
  for (int32_t y = 0; y < height; ++y) {
    raw.push_back(0);  // no filter
    const auto row = rgba.begin() + static_cast<std::ptrdiff_t>(static_cast<size_t>(y) * stride);
    raw.insert(raw.end(), row, row + static_cast<std::ptrdiff_t>(stride));
  }
  const Bytes png = PngFile(static_cast<uint32_t>(width), static_cast<uint32_t>(height), 6, StoredZlib(raw));
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  return static_cast<bool>(file);
}

}  // namespace puzzle::tools
