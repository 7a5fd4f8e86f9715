#include "noise.h"

#include <cmath>

namespace art {

static std::uint32_t Mix32(std::uint32_t h) {
  h ^= h >> 16;
  h *= 0x7feb352dU;
  h ^= h >> 15;
  h *= 0x846ca68bU;
  h ^= h >> 16;
  return h;
}

double Hash01(std::int32_t x, std::int32_t y, std::uint32_t seed) {
  std::uint32_t h = Mix32(static_cast<std::uint32_t>(x) * 0x9e3779b1U ^ seed);
  h = Mix32(h ^ static_cast<std::uint32_t>(y) * 0x85ebca77U);
  return (h >> 8) / 16777216.0;
}

static double Fade(double t) { return t * t * (3 - 2 * t); }

double ValueNoise(double x, double y, std::uint32_t seed) {
  const double fx = std::floor(x), fy = std::floor(y);
  const auto ix = static_cast<std::int32_t>(fx), iy = static_cast<std::int32_t>(fy);
  const double tx = Fade(x - fx), ty = Fade(y - fy);
  const double top = Hash01(ix, iy, seed) + (Hash01(ix + 1, iy, seed) - Hash01(ix, iy, seed)) * tx;
  const double bottom =
      Hash01(ix, iy + 1, seed) + (Hash01(ix + 1, iy + 1, seed) - Hash01(ix, iy + 1, seed)) * tx;
  return top + (bottom - top) * ty;
}

double FractalNoise(double x, double y, int octaves, std::uint32_t seed) {
  double sum = 0, amplitude = 1, total = 0;
  for (int i = 0; i < octaves; ++i) {
    sum += ValueNoise(x, y, seed + static_cast<std::uint32_t>(i) * 101U) * amplitude;
    total += amplitude;
    amplitude *= 0.5;
    x *= 2.03;
    y *= 2.03;
  }
  return sum / total;
}

double Sequence::Next() {
  state_ = state_ * 1664525U + 1013904223U;
  return (Mix32(state_) >> 8) / 16777216.0;
}

}  // namespace art
