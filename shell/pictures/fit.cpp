#include "shell/pictures/fit.h"

#include <algorithm>

#include "game/game_panel.h"
#include "shell/application.h"

namespace puzzle {

ImageSize FitWithin(ImageSize picture, ImageSize box) {
  if (box.width <= 0 || box.height <= 0 || picture.width <= 0 || picture.height <= 0) return picture;
  if (picture.width <= box.width && picture.height <= box.height) return picture;
  const int64_t w = picture.width;
  const int64_t h = picture.height;
  // The side that meets the box first sets the scale; the other keeps the shape, rounded down.
  ImageSize fitted;
  if (w * box.height >= h * box.width) {
    fitted.width = box.width;
    fitted.height = static_cast<int32_t>(h * box.width / w);
  } else {
    fitted.height = box.height;
    fitted.width = static_cast<int32_t>(w * box.height / h);
  }
  fitted.width = std::max(fitted.width, 1);
  fitted.height = std::max(fitted.height, 1);
  return fitted;
}

ImageSize LargestPictureFor(ImageSize clientArea) {
  if (clientArea.width <= 0 || clientArea.height <= 0) return ImageSize{};
  const ImageSize around = GamePanel::ExtentAround(kDigitStripSize.height, kFaceStripSize.height);
  return ImageSize{std::max(clientArea.width - around.width, 1), std::max(clientArea.height - around.height, 1)};
}

}  // namespace puzzle
