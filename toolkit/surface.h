#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "toolkit/font.h"
#include "toolkit/geometry.h"
#include "toolkit/image.h"

namespace puzzle {

class DrawingContext;

// A rectangle of pixels the game draws on: a picture's offscreen store, or the window
// target, which is addressed in screen pixels and clipped to the visible client area.
// Every operation answers success or failure; nothing is retried.
class Surface {
 public:
  virtual ~Surface() = default;

  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;

  // Copies sourceRect of source onto dest, unscaled; both rectangles have the same size.
  virtual bool Blt(const Rect& dest, Surface& source, const Rect& sourceRect) = 0;

  // Fills dest, or the whole surface when dest is null, with a colour value in this
  // surface's pixel format.
  virtual bool Fill(const Rect* dest, uint32_t color) = 0;

  // A drawing context on the surface's pixels, given back when it is destroyed; null
  // when none can be had.
  virtual std::unique_ptr<DrawingContext> GetDC() = 0;
};

class SurfaceFactory {
 public:
  virtual ~SurfaceFactory() = default;
  // An offscreen surface of exactly that size, or null.
  virtual std::unique_ptr<Surface> CreateSurface(int32_t width, int32_t height) = 0;
  // A surface of an opaque image's size that takes over the image's own pixels instead
  // of copying them, so a large picture is never held twice. Null when this factory
  // can't, and then the image is left as it was.
  virtual std::unique_ptr<Surface> AdoptImage(DecodedImage&& image) {
    (void)image;
    return nullptr;
  }
};

// A black memory bitmap that takes white text: what the tile numbers are written into
// before they are combined with the picture.
class TextMask {
 public:
  virtual ~TextMask() = default;
  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;
  // Creates the font and selects it; false when no such font can be made.
  virtual bool SelectFont(const FontSpec& font) = 0;
  // Writes text in white with a transparent background, the top-left of its character
  // cell at (x, y), in the selected font.
  virtual bool TextOut(int32_t x, int32_t y, std::string_view text) = 0;
};

// Raster operations on a surface's own pixels.
class DrawingContext {
 public:
  virtual ~DrawingContext() = default;

  // A new mask of that size, all black; null when it can't be made.
  virtual std::unique_ptr<TextMask> CreateMask(int32_t width, int32_t height) = 0;
  // Exclusive-or of the mask's top-left width x height pixels onto the surface at (x, y).
  virtual bool XorMask(const TextMask& mask, int32_t x, int32_t y, int32_t width,
                       int32_t height) = 0;
  // Inverts every pixel of the rectangle.
  virtual bool InvertRect(const Rect& rect) = 0;
  // Draws a decoded image at (0, 0) at its own size, blended by its alpha over what the
  // surface holds.
  virtual bool DrawImage(const DecodedImage& image) = 0;
};

}  // namespace puzzle
