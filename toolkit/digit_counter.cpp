#include "toolkit/digit_counter.h"

#include <algorithm>

namespace puzzle {

namespace {
constexpr int32_t kMinusGlyph = 10;
// Ten digits fill a 32-bit value; more would overflow the powers of ten.
constexpr int32_t kMostDigits = 9;
}  // namespace

DigitCounter::DigitCounter(Component* parentComponent, int32_t nx, int32_t ny, Picture* strip,
                           int32_t digits)
    : Component(parentComponent, nx, ny, strip) {
  DigitCounter::Setup(digits, 0);
}

void DigitCounter::Setup(int32_t digits, int32_t initialValue) {
  digits = std::clamp(digits, 1, kMostDigits);
  drawsSelf = false;
  const int32_t glyphWidth = picture != nullptr ? picture->frameWidth : 0;
  width = glyphWidth * digits;
  height = picture != nullptr ? picture->frameHeight : 0;
  children.clear();
  for (int32_t i = 0; i < digits; ++i) {
    children.push_back(std::make_unique<Component>(this, glyphWidth * i, 0, picture));
  }
  digitCount = digits;
  minValue = 1 - IntPow(10, digits - 1);
  maxValue = 9 - 10 * minValue;
  SetValue(initialValue);
}

void DigitCounter::SetValue(int32_t v) {
  value = v < minValue ? minValue : (v > maxValue ? maxValue : v);
  const auto digits = static_cast<size_t>(digitCount);
  if (v < 0) {
    children[0]->SetFrame(kMinusGlyph);
    for (int32_t i = 0; i <= digitCount - 2; ++i) {
      children[digits - 1 - static_cast<size_t>(i)]->SetFrame((-value) % IntPow(10, i + 1) / IntPow(10, i));
    }
  } else {
    for (int32_t i = 0; i <= digitCount - 1; ++i) {
      children[digits - 1 - static_cast<size_t>(i)]->SetFrame(value % IntPow(10, i + 1) / IntPow(10, i));
    }
  }
}

void DigitCounter::Increment() { SetValue(value + 1); }

int32_t DigitCounter::GetValue() const { return value; }

int32_t DigitCounter::IntPow(int32_t base, int32_t exponent) {
  int32_t result = 1;
  for (int32_t i = 0; i < exponent; ++i) result *= base;
  return result;
}

void DigitCounter::OnChildChanged(Component*) {
  // The digits never overlap and the counter paints nothing itself: only pass the flag on.
  if (!visible) return;
  needsRedraw = true;
  if (parent != nullptr) parent->OnChildChanged(this);
}

}  // namespace puzzle
