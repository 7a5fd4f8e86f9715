// Writers for the Windows image files the game ships: BMP, ICO and CUR.
#pragma once

#include <filesystem>
#include <vector>

#include "raster.h"

namespace art {

// Uncompressed 24-bit BMP with a 40-byte BITMAPINFOHEADER; alpha is ignored.
void WriteBmp24(const std::filesystem::path& file, const Image& image);

// Icon with one 32-bit BGRA entry per image, each with its AND mask.
void WriteIcon(const std::filesystem::path& file, const std::vector<Image>& images);

// What a monochrome cursor pixel shows.
enum class CursorPixel { Transparent, Black, White };

struct CursorImage {
  int size = 32;
  int hotX = 0;
  int hotY = 0;
  std::vector<CursorPixel> pixels;  // size * size, top row first
};

// One-image monochrome cursor (AND mask + XOR mask, 2-colour palette).
void WriteCursor(const std::filesystem::path& file, const CursorImage& cursor);

}  // namespace art
