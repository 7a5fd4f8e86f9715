#pragma once

// What every fuzz target shares: a broken promise stops the run as a crash does, so that
// libFuzzer keeps the input that broke it.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "toolkit/image.h"

#define FUZZ_CHECK(condition)                                                                  \
  do {                                                                                         \
    if (!(condition)) {                                                                        \
      std::fprintf(stderr, "%s:%d: broken promise: %s\n", __FILE__, __LINE__, #condition);     \
      std::abort();                                                                            \
    }                                                                                          \
  } while (0)

namespace puzzle::fuzz {

// The input's first bytes, taken one by one for the target's own choices; the rest is the file.
class Prefix {
 public:
  Prefix(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t Byte() {
    if (at_ >= size_) return 0;
    return data_[at_++];
  }
  uint32_t Word() {
    uint32_t word = 0;
    for (int i = 0; i < 4; ++i) word |= uint32_t{Byte()} << (8 * i);
    return word;
  }
  std::vector<uint8_t> Take(size_t count) {
    const size_t n = count < size_ - at_ ? count : size_ - at_;
    std::vector<uint8_t> taken(data_ + at_, data_ + at_ + n);
    at_ += n;
    return taken;
  }
  std::vector<uint8_t> Rest() { return Take(size_ - at_); }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// What every decoded picture promises, whoever decoded it.
inline void CheckPicture(const DecodedImage& image) {
  FUZZ_CHECK(SurfaceSizeAllowed(image.width, image.height));
  FUZZ_CHECK(image.pixels.size() == static_cast<size_t>(image.width) * static_cast<size_t>(image.height));
  if (image.opaque) {
    for (uint32_t pixel : image.pixels) FUZZ_CHECK(pixel >> 24 == 0xFFu);
  }
}

// A box a picture is fitted into: one of the sizes a screen might leave, never none, so
// that the large pictures a fuzzer makes are decoded small, as on a screen.
inline ImageSize Box(uint8_t width, uint8_t height) {
  return ImageSize{1 + int32_t{width} * 4, 1 + int32_t{height} * 4};
}

inline bool Within(ImageSize size, ImageSize box) { return size.width <= box.width && size.height <= box.height; }

}  // namespace puzzle::fuzz
