#pragma once

#include <cstdint>

namespace puzzle {

// The C runtime's classic 15-bit linear congruential generator, so that a seed gives
// the same shuffles as it always has.
class RuntimeRandom {
 public:
  void Seed(uint32_t seed) { state_ = seed; }
  // A value in 0 .. 32767.
  int32_t Next() {
    state_ = state_ * 214013u + 2531011u;
    return static_cast<int32_t>((state_ >> 16) & 0x7FFFu);
  }

 private:
  uint32_t state_ = 1;
};

}  // namespace puzzle
