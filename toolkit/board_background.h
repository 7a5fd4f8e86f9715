#pragma once

#include "toolkit/component.h"

namespace puzzle {

// A pictureless component that fills its dirty rectangles with one colour: under the
// tiles it shows as the grid lines and the empty cell.
class BoardBackground : public Component {
 public:
  BoardBackground(Component* parent, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t fillColor);

  bool Render(Surface& target) override;
  virtual void Setup(int32_t w, int32_t h, uint32_t color);

  uint32_t GetFillColor() const { return fillColor; }

 protected:
  uint32_t fillColor = 0;
};

}  // namespace puzzle
