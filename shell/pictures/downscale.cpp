#include "shell/pictures/downscale.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace puzzle {
namespace {

// The source pixels under one new pixel along one side, with how much of each lies under it.
struct Span {
  int32_t first = 0;
  std::vector<float> weights;
};

std::vector<Span> Spans(int32_t from, int32_t to) {
  std::vector<Span> spans(static_cast<size_t>(to));
  const double scale = static_cast<double>(from) / to;
  for (int32_t i = 0; i < to; ++i) {
    const double begin = i * scale;
    const double end = (i + 1) * scale;
    Span& span = spans[static_cast<size_t>(i)];
    span.first = static_cast<int32_t>(begin);
    const int32_t last = std::min(static_cast<int32_t>(std::ceil(end)), from);
    for (int32_t s = span.first; s < last; ++s) {
      const double covered = std::min<double>(s + 1, end) - std::max<double>(s, begin);
      span.weights.push_back(static_cast<float>(covered / scale));
    }
  }
  return spans;
}

using Channels = std::array<float, 4>;  // alpha-weighted red, green, blue; alpha

Channels Unpack(uint32_t p) {
  const float a = static_cast<float>(p >> 24) / 255.0f;
  return {static_cast<float>((p >> 16) & 0xFF) * a, static_cast<float>((p >> 8) & 0xFF) * a,
          static_cast<float>(p & 0xFF) * a, a};
}

uint32_t Pack(const Channels& c) {
  const float a = std::clamp(c[3], 0.0f, 1.0f);
  if (a <= 0.0f) return 0;
  auto channel = [a](float v) { return static_cast<uint32_t>(std::clamp(std::lround(v / a), 0L, 255L)); };
  const uint32_t alpha = static_cast<uint32_t>(std::lround(a * 255.0f));
  return (alpha << 24) | (channel(c[0]) << 16) | (channel(c[1]) << 8) | channel(c[2]);
}

}  // namespace

DecodedImage DownscaleRows(int32_t width, int32_t height, bool opaque, const SourceRow& source, ImageSize size) {
  size.width = std::clamp(size.width, 1, std::max(width, 1));
  size.height = std::clamp(size.height, 1, std::max(height, 1));
  DecodedImage out;
  out.width = size.width;
  out.height = size.height;
  out.opaque = opaque;
  out.pixels.resize(static_cast<size_t>(size.width) * static_cast<size_t>(size.height));
  if (width <= 0 || height <= 0) return out;
  const std::vector<Span> columns = Spans(width, size.width);
  const std::vector<Span> rows = Spans(height, size.height);

  // One source row narrowed at a time, added into the new row it lies under.
  std::vector<uint32_t> line(static_cast<size_t>(width));
  std::vector<Channels> narrowed(static_cast<size_t>(size.width));
  std::vector<Channels> sum(static_cast<size_t>(size.width));
  for (int32_t y = 0; y < size.height; ++y) {
    std::fill(sum.begin(), sum.end(), Channels{});
    const Span& rowSpan = rows[static_cast<size_t>(y)];
    for (size_t r = 0; r < rowSpan.weights.size(); ++r) {
      source(rowSpan.first + static_cast<int32_t>(r), line.data());
      for (int32_t x = 0; x < size.width; ++x) {
        const Span& columnSpan = columns[static_cast<size_t>(x)];
        Channels acc{};
        for (size_t c = 0; c < columnSpan.weights.size(); ++c) {
          const Channels p = Unpack(line[static_cast<size_t>(columnSpan.first) + c]);
          for (size_t k = 0; k < 4; ++k) acc[k] += p[k] * columnSpan.weights[c];
        }
        narrowed[static_cast<size_t>(x)] = acc;
      }
      const float w = rowSpan.weights[r];
      for (size_t x = 0; x < sum.size(); ++x) {
        for (size_t k = 0; k < 4; ++k) sum[x][k] += narrowed[x][k] * w;
      }
    }
    uint32_t* target = out.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(size.width);
    for (size_t x = 0; x < sum.size(); ++x) target[x] = Pack(sum[x]);
  }
  return out;
}

DecodedImage Downscale(DecodedImage image, ImageSize size) {
  // Counted in 64 bits: a 32-bit size_t would wrap sides that multiply past it.
  const uint64_t count =
      static_cast<uint64_t>(std::max(image.width, 0)) * static_cast<uint64_t>(std::max(image.height, 0));
  if (size.width <= 0 || size.height <= 0 || image.pixels.size() < count ||
      (size.width >= image.width && size.height >= image.height)) {
    return image;
  }
  const uint32_t* pixels = image.pixels.data();
  const size_t stride = static_cast<size_t>(image.width);
  return DownscaleRows(
      image.width, image.height, image.opaque,
      [pixels, stride](int32_t y, uint32_t* out) {
        std::copy_n(pixels + static_cast<size_t>(y) * stride, stride, out);
      },
      size);
}

}  // namespace puzzle
