#pragma once

#include <map>
#include <string>
#include <vector>

#include "toolkit/picture.h"
#include "toolkit/software_surface.h"

namespace puzzle::testing {

// A pixel value that tells where in its picture it came from.
constexpr uint32_t PatternPixel(int32_t x, int32_t y, uint32_t tag = 0) {
  return ((tag & 0xFu) << 20) | ((static_cast<uint32_t>(x) & 0x3FFu) << 10) | (static_cast<uint32_t>(y) & 0x3FFu);
}

inline DecodedImage PatternImage(int32_t width, int32_t height, uint32_t tag = 0) {
  DecodedImage image;
  image.width = width;
  image.height = height;
  image.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      image.pixels[static_cast<size_t>(y * width + x)] = 0xFF000000u | PatternPixel(x, y, tag);
    }
  }
  return image;
}

class FakeResources : public BitmapResources {
 public:
  std::optional<DecodedImage> LoadBitmap(int32_t id) const override {
    ++loads;
    auto it = images.find(id);
    if (it == images.end()) return std::nullopt;
    return it->second;
  }
  std::map<int32_t, DecodedImage> images;
  mutable int loads = 0;
};

class FakeFiles : public ImageFileDecoder {
 public:
  std::optional<ImageSize> Probe(const char* path) override {
    ++probes;
    auto it = images.find(path);
    if (it == images.end()) return std::nullopt;
    return ImageSize{it->second.width, it->second.height};
  }
  std::optional<DecodedImage> Decode(const char* path) override {
    ++decodes;
    auto it = images.find(path);
    if (it == images.end()) return std::nullopt;
    return it->second;
  }
  std::map<std::string, DecodedImage> images;
  int probes = 0;
  int decodes = 0;
};

// Software surfaces with a monitor, fake bitmaps and files, and a window target.
struct SurfaceBench {
  explicit SurfaceBench(FontRasterizer* fonts = nullptr) : factory(&monitor, fonts), target(&monitor) {
    env.surfaces = &factory;
    env.resources = &resources;
    env.files = &files;
  }
  SurfaceMonitor monitor;
  SoftwareSurfaceFactory factory;
  FakeResources resources;
  FakeFiles files;
  PictureEnvironment env;
  SoftwareWindowTarget target;
};

// Every pixel of the target's client area, for before/after comparisons.
inline std::vector<uint32_t> Snapshot(const SoftwareWindowTarget& target) {
  const PixelVector& pixels = target.Backing().Pixels();
  return std::vector<uint32_t>(pixels.begin(), pixels.end());
}

// The client pixels that differ between two snapshots, as one bounding rectangle each
// way they are found; empty when equal.
inline std::vector<std::pair<int32_t, int32_t>> ChangedPixels(const std::vector<uint32_t>& before,
                                                              const std::vector<uint32_t>& after, int32_t width) {
  std::vector<std::pair<int32_t, int32_t>> changed;
  for (size_t i = 0; i < before.size() && i < after.size(); ++i) {
    if (before[i] != after[i]) {
      changed.emplace_back(static_cast<int32_t>(i) % width, static_cast<int32_t>(i) / width);
    }
  }
  return changed;
}

}  // namespace puzzle::testing

namespace puzzle::testing {

// Draws each character as a solid block the cell's height tall: enough to see where
// text lands without a real font.
class BlockFont : public FontRasterizer {
 public:
  bool DrawText(const FontSpec& font, std::string_view text, int32_t x, int32_t y, AlphaMask& mask) override {
    ++calls;
    const int32_t w = font.height / 2;
    for (size_t i = 0; i < text.size(); ++i) {
      const int32_t left = x + static_cast<int32_t>(i) * (w + 1);
      for (int32_t py = y; py < y + font.height; ++py) {
        for (int32_t px = left; px < left + w; ++px) {
          if (px >= 0 && py >= 0 && px < mask.width && py < mask.height) {
            mask.coverage[static_cast<size_t>(py * mask.width + px)] = 255;
          }
        }
      }
    }
    lastHeight = font.height;
    return true;
  }
  int calls = 0;
  int32_t lastHeight = 0;
};

}  // namespace puzzle::testing
