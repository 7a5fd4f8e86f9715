#pragma once

#include "shell/win32/windows_api.h"

#include <cstdint>
#include <memory>
#include <set>
#include <vector>

#include "toolkit/surface.h"

namespace puzzle {

class OffscreenSurface;

// How a surface's pixels are laid out: bytes per pixel and the colour masks of the
// primary surface, which every offscreen surface shares.
struct PixelLayout {
  uint32_t bytesPerPixel = 4;
  uint32_t redMask = 0x00FF0000;
  uint32_t greenMask = 0x0000FF00;
  uint32_t blueMask = 0x000000FF;

  static PixelLayout From(const DDPIXELFORMAT& format);
  // 0x00RRGGBB to the surface's value, and back.
  uint32_t Encode(uint32_t rgb) const;
  uint32_t Decode(uint32_t value) const;
  friend bool operator==(const PixelLayout&, const PixelLayout&) = default;
};

// DirectDraw in windowed mode: the primary surface with a clipper bound to the main
// window (the window target, addressed in screen pixels), and the offscreen surfaces
// the pictures live on.
//
// DirectDraw loses its surfaces' memory when the display mode changes, on a switch to
// a remote session or to the lock screen. Every offscreen surface therefore keeps a copy
// of its pixels in the program's memory, taken after each change; when a copy onto the
// window reports DDERR_SURFACELOST the surfaces are restored (or made anew in the new
// display format), their pixels written back - tile numbers and all, since they are in
// the pixels - and the whole window is repainted. Only when that fails does the copy
// report failure.
class DirectDrawDisplay : public SurfaceFactory {
 public:
  DirectDrawDisplay() = default;
  ~DirectDrawDisplay() override;
  DirectDrawDisplay(const DirectDrawDisplay&) = delete;
  DirectDrawDisplay& operator=(const DirectDrawDisplay&) = delete;

  // DirectDrawCreate, the cooperative level, the primary surface and its clipper; the
  // first failing step ends it with false.
  bool Create(HWND window);

  std::unique_ptr<Surface> CreateSurface(int32_t width, int32_t height) override;
  // The image's pixels written straight into a new surface, and kept as its copy.
  std::unique_ptr<Surface> AdoptImage(DecodedImage&& image) override;
  Surface& WindowTarget();

  const PixelLayout& Layout() const { return layout_; }
  IDirectDraw* Object() const { return directDraw_; }
  IDirectDrawSurface* Primary() const { return primary_; }

  // After DDERR_SURFACELOST: restores every surface and its pixels and asks for the whole
  // window to be repainted. False when any of it fails.
  bool Recover();
  // For tests: makes the next copy onto the window report DDERR_SURFACELOST, and the
  // recovery find every surface's memory gone; with restorable false, the restore fails.
  void SimulateLoss(bool restorable = true);
  bool LossPending() const { return simulatedLoss_; }
  int Recoveries() const { return recoveries_; }

 private:
  friend class OffscreenSurface;
  friend class PrimaryTarget;

  IDirectDrawSurface* MakeOffscreen(int32_t width, int32_t height);

  HWND window_ = nullptr;
  IDirectDraw* directDraw_ = nullptr;
  IDirectDrawSurface* primary_ = nullptr;
  PixelLayout layout_;
  std::unique_ptr<Surface> target_;
  std::set<OffscreenSurface*> surfaces_;
  bool simulatedLoss_ = false;
  bool simulatedRestoreFails_ = false;
  int recoveries_ = 0;
};

// A picture's surface: an offscreen DirectDraw surface in the primary's format, with the
// copy of its pixels it is restored from.
class OffscreenSurface : public Surface {
 public:
  OffscreenSurface(DirectDrawDisplay& display, IDirectDrawSurface* surface, int32_t width, int32_t height);
  ~OffscreenSurface() override;

  int32_t Width() const override { return width_; }
  int32_t Height() const override { return height_; }
  bool Blt(const Rect& dest, Surface& source, const Rect& sourceRect) override;
  bool Fill(const Rect* dest, uint32_t color) override;
  std::unique_ptr<DrawingContext> GetDC() override;

  IDirectDrawSurface* Raw() const { return surface_; }
  // Takes the copy of the pixels after a change.
  bool SavePixels();
  // Blends a decoded image over the surface at (0, 0), in its own format.
  bool BlendImage(const DecodedImage& image);
  // The pixels as 0x00RRGGBB, rows top to bottom; empty when the surface can't be read.
  PixelVector ReadPixels();

 private:
  friend class DirectDrawDisplay;
  bool Adopt(PixelVector&& pixels);
  // Restores lost memory (or makes the surface anew after a change of format) and writes
  // the saved pixels back.
  bool Restore(bool formatChanged, bool forceLost);
  bool WritePixels(const PixelVector& pixels);

  DirectDrawDisplay& display_;
  IDirectDrawSurface* surface_;
  int32_t width_;
  int32_t height_;
  PixelVector saved_;
};

}  // namespace puzzle
