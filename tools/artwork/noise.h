// Deterministic value noise: our own hash, so the artwork is byte-identical on
// every run and every standard library (std:: distributions are not).
#pragma once

#include <cstdint>

namespace art {

// Uniform in [0, 1) for an integer lattice point.
double Hash01(std::int32_t x, std::int32_t y, std::uint32_t seed);

// Smooth noise in [0, 1), one lattice cell per unit.
double ValueNoise(double x, double y, std::uint32_t seed);

// Sum of octaves of value noise, normalised to [0, 1).
double FractalNoise(double x, double y, int octaves, std::uint32_t seed);

// A small reproducible sequence for scattering details.
class Sequence {
 public:
  explicit Sequence(std::uint32_t seed) : state_(seed) {}
  double Next();  // [0, 1)
  double Range(double lo, double hi) { return lo + (hi - lo) * Next(); }

 private:
  std::uint32_t state_;
};

}  // namespace art
