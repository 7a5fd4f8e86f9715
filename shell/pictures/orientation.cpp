#include "shell/pictures/orientation.h"

#include <algorithm>
#include <climits>
#include <utility>
#include <vector>

namespace puzzle {
namespace {

constexpr uint16_t kWidthTag = 256;
constexpr uint16_t kHeightTag = 257;
constexpr uint16_t kOrientationTag = 274;
constexpr uint16_t kShortType = 3;
constexpr uint16_t kLongType = 4;
constexpr size_t kEntryBytes = 12;
// No picture needs more; a damaged count must not make us read for ever.
constexpr uint32_t kMostEntries = 4096;

}  // namespace

std::optional<TiffPicture> ReadTiffDirectory(const ReadAt& read) {
  uint8_t header[8];
  if (!read(0, header, sizeof header)) return std::nullopt;
  const bool little = header[0] == 'I' && header[1] == 'I';
  if (!little && !(header[0] == 'M' && header[1] == 'M')) return std::nullopt;
  auto u16 = [little](const uint8_t* p) -> uint32_t {
    return little ? static_cast<uint32_t>(p[0] | (p[1] << 8)) : static_cast<uint32_t>((p[0] << 8) | p[1]);
  };
  auto u32 = [&](const uint8_t* p) -> uint32_t { return little ? u16(p) | (u16(p + 2) << 16) : (u16(p) << 16) | u16(p + 2); };
  if (u16(header + 2) != 42) return std::nullopt;
  const uint64_t directory = u32(header + 4);
  uint8_t countBytes[2];
  if (!read(directory, countBytes, sizeof countBytes)) return std::nullopt;
  const uint32_t entries = u16(countBytes);
  if (entries > kMostEntries) return std::nullopt;
  std::vector<uint8_t> table(size_t{entries} * kEntryBytes);
  if (!read(directory + 2, table.data(), table.size())) return std::nullopt;

  TiffPicture picture;
  // A tag given twice counts only where it is first given, as libtiff reads it: otherwise
  // the size told before decoding would not be the size decoded.
  bool seenWidth = false;
  bool seenHeight = false;
  bool seenOrientation = false;
  for (uint32_t i = 0; i < entries; ++i) {
    const uint8_t* entry = table.data() + size_t{i} * kEntryBytes;
    const uint32_t tag = u16(entry);
    const uint32_t type = u16(entry + 2);
    if (tag != kWidthTag && tag != kHeightTag && tag != kOrientationTag) continue;
    bool& seen = tag == kWidthTag ? seenWidth : tag == kHeightTag ? seenHeight : seenOrientation;
    if (std::exchange(seen, true)) continue;
    if (u32(entry + 4) != 1) continue;  // one value, held in the entry itself
    const uint32_t value = type == kShortType ? u16(entry + 8) : type == kLongType ? u32(entry + 8) : 0;
    if (value == 0 || value > static_cast<uint32_t>(INT32_MAX)) continue;
    if (tag == kWidthTag) picture.stored.width = static_cast<int32_t>(value);
    if (tag == kHeightTag) picture.stored.height = static_cast<int32_t>(value);
    if (tag == kOrientationTag && type == kShortType && value <= 8) picture.orientation = static_cast<Orientation>(value);
  }
  return picture;
}

Orientation ReadOrientationTag(const uint8_t* tiff, size_t size) {
  if (tiff == nullptr) return 1;
  const auto picture = ReadTiffDirectory([tiff, size](uint64_t offset, uint8_t* out, size_t count) {
    if (offset > size || count > size - offset) return false;
    std::copy_n(tiff + offset, count, out);
    return true;
  });
  return picture ? picture->orientation : 1;
}

ImageSize Oriented(ImageSize stored, Orientation orientation) {
  // 5 to 8 turn the picture a quarter: its sides swap.
  return orientation >= 5 && orientation <= 8 ? ImageSize{stored.height, stored.width} : stored;
}

DecodedImage Orient(DecodedImage stored, Orientation orientation) {
  if (orientation < 2 || orientation > 8) return stored;
  const int32_t w = stored.width;
  const int32_t h = stored.height;
  // Counted in 64 bits: a 32-bit size_t would wrap sides that multiply past it.
  const uint64_t count = static_cast<uint64_t>(std::max(w, 0)) * static_cast<uint64_t>(std::max(h, 0));
  if (stored.pixels.size() < count || count == 0) return stored;
  auto row = [&](DecodedImage& image, int32_t y) {
    return image.pixels.begin() + static_cast<ptrdiff_t>(y) * image.width;
  };
  // The mirrorings and the half turn stay in place.
  if (orientation == 2 || orientation == 3) {
    for (int32_t y = 0; y < h; ++y) std::reverse(row(stored, y), row(stored, y) + w);
  }
  if (orientation == 3 || orientation == 4) {
    for (int32_t y = 0; y < h / 2; ++y) std::swap_ranges(row(stored, y), row(stored, y) + w, row(stored, h - 1 - y));
  }
  if (orientation <= 4) return stored;

  // Quarter turns: stored (x, y) lands at (u, v) of a picture h wide and w high.
  DecodedImage upright;
  upright.width = h;
  upright.height = w;
  upright.opaque = stored.opaque;
  upright.pixels.resize(static_cast<size_t>(count));
  for (int32_t y = 0; y < h; ++y) {
    const uint32_t* in = stored.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(w);
    for (int32_t x = 0; x < w; ++x) {
      int32_t u = 0;
      int32_t v = 0;
      switch (orientation) {
        case 5: u = y; v = x; break;                  // mirrored along the top-left diagonal
        case 6: u = h - 1 - y; v = x; break;          // turned a quarter clockwise
        case 7: u = h - 1 - y; v = w - 1 - x; break;  // mirrored along the other diagonal
        default: u = y; v = w - 1 - x; break;         // 8: turned a quarter anticlockwise
      }
      upright.pixels[static_cast<size_t>(v) * static_cast<size_t>(h) + static_cast<size_t>(u)] = in[x];
    }
  }
  return upright;
}

}  // namespace puzzle
