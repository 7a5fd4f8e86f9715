#pragma once

#include <cstdint>

#include "toolkit/image.h"

namespace puzzle {

// A picture larger than the screen is shown smaller, so that the whole game stays on the
// screen and every piece can be reached. Pictures that fit are shown as they are.

// The largest size of the picture's shape that fits in the box: the picture's own size
// when it fits already. Never less than 1 x 1; a box of no size sets no limit.
ImageSize FitWithin(ImageSize picture, ImageSize box);

// The largest picture whose game fits a client area of that size: the panel's top bar
// and margins taken off. A client area of no size sets no limit (0 x 0).
ImageSize LargestPictureFor(ImageSize clientArea);

}  // namespace puzzle
