#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <optional>
#include <vector>

namespace puzzle {

// The largest surface the game will make: more than this is refused before any
// memory is taken, so a hostile picture can't exhaust the machine.
inline constexpr int32_t kMaxSurfaceSide = 16384;
inline constexpr int64_t kMaxSurfacePixels = 64LL * 1024 * 1024;

constexpr bool SurfaceSizeAllowed(int64_t width, int64_t height) {
  return width > 0 && height > 0 && width <= kMaxSurfaceSide && height <= kMaxSurfaceSide &&
         width * height <= kMaxSurfacePixels;
}

// An allocator that leaves new elements uninitialised: a picture's pixels are all written
// by whoever makes them, and zeroing megabytes first would cost as much as a fast decoder.
template <typename T>
struct UninitialisedAllocator : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = UninitialisedAllocator<U>;
  };
  UninitialisedAllocator() = default;
  template <typename U>
  UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
  template <typename U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

// 32-bit pixels, rows top to bottom; resize leaves new pixels unset.
using PixelVector = std::vector<uint32_t, UninitialisedAllocator<uint32_t>>;

struct ImageSize {
  int32_t width = 0;
  int32_t height = 0;
  friend bool operator==(const ImageSize&, const ImageSize&) = default;
};

// A decoded image: 0xAARRGGBB pixels, rows top to bottom, straight (not premultiplied)
// alpha, 255 opaque.
struct DecodedImage {
  int32_t width = 0;
  int32_t height = 0;
  PixelVector pixels;
  // Set by a decoder that knows every alpha is 255 (a format without alpha): the image
  // can then be copied as it is, without blending.
  bool opaque = false;

  uint32_t At(int32_t px, int32_t py) const {
    return pixels[static_cast<size_t>(py) * static_cast<size_t>(width) + static_cast<size_t>(px)];
  }
};

// A straight-alpha pixel over an opaque one, as 0x00RRGGBB; every surface blends alike, so
// a picture with alpha looks the same on every host.
constexpr uint32_t BlendOver(uint32_t src, uint32_t dst) {
  const uint32_t a = src >> 24;
  if (a == 255) return src & 0x00FFFFFFu;
  if (a == 0) return dst & 0x00FFFFFFu;
  uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const uint32_t s = (src >> shift) & 0xFF;
    const uint32_t d = (dst >> shift) & 0xFF;
    out |= ((s * a + d * (255 - a) + 127) / 255) << shift;
  }
  return out;
}

// The program's own bitmaps, looked up by resource number.
class BitmapResources {
 public:
  virtual ~BitmapResources() = default;
  virtual std::optional<DecodedImage> LoadBitmap(int32_t id) const = 0;
};

// Decodes the player's picture files; the format is found from the contents.
class ImageFileDecoder {
 public:
  virtual ~ImageFileDecoder() = default;
  // The size Decode will give, from as little of the file as tells it (its header);
  // nothing when Decode surely gives nothing.
  virtual std::optional<ImageSize> Probe(const char* path) = 0;
  // The picture's own size, before a decoder that fits pictures to the screen makes it
  // smaller: why a picture came out too small to play.
  virtual std::optional<ImageSize> NaturalSize(const char* path) { return Probe(path); }
  // Nothing when the file can't be read, is no picture it knows, or is too large.
  virtual std::optional<DecodedImage> Decode(const char* path) = 0;
  // Whether anything is at the path, picture or not: a file that can't be decoded but is
  // there was damaged rather than removed.
  virtual bool Exists(const char* path) { (void)path; return false; }
};

}  // namespace puzzle
