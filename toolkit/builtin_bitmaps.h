#pragma once

#include "toolkit/image.h"

namespace puzzle {

// The bitmaps compiled into the program: 103 the default picture, 104 the digit strip,
// 105 the face strip.
class BuiltinBitmaps : public BitmapResources {
 public:
  std::optional<DecodedImage> LoadBitmap(int32_t id) const override;
};

}  // namespace puzzle
