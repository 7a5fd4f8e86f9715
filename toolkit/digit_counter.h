#pragma once

#include "toolkit/component.h"

namespace puzzle {

// A row of seven-segment digits showing a signed value with leading zeros; the digits
// are plain components sharing the digit strip (glyphs 0-9, then the minus sign).
class DigitCounter : public Component {
 public:
  DigitCounter(Component* parent, int32_t x, int32_t y, Picture* picture, int32_t digitCount);

  void OnChildChanged(Component* child) override;
  virtual void Setup(int32_t digits, int32_t initialValue);

  void SetValue(int32_t v);
  void Increment();
  int32_t GetValue() const;
  static int32_t IntPow(int32_t base, int32_t exponent);

  int32_t GetMinValue() const { return minValue; }
  int32_t GetMaxValue() const { return maxValue; }

 protected:
  int32_t digitCount = 0;
  int32_t minValue = 0;
  int32_t maxValue = 0;
  int32_t value = 0;
};

}  // namespace puzzle
