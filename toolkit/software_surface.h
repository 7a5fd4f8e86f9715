#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "toolkit/surface.h"

namespace puzzle {

// Operations of the software surfaces that can be counted and made to fail.
enum class SurfaceOp { Create, Copy, Fill, GetDC, CreateMask, SelectFont, TextOut, Xor, Invert, DrawImage };
inline constexpr size_t kSurfaceOpCount = 10;

// Shared by a factory and everything it makes: counts calls and copied pixels, and
// fails chosen calls on demand so that the failure paths can be tested.
class SurfaceMonitor {
 public:
  // The nth call of op from now on fails (1: the very next one).
  void FailNth(SurfaceOp op, int32_t n);
  // Every call of op fails while set.
  void FailAlways(SurfaceOp op, bool fail);
  void Reset();

  // Counts the call; true when it must fail.
  bool Attempt(SurfaceOp op);
  void CountPixels(int64_t copied) { pixelsCopied_ += copied; }

  int64_t Calls(SurfaceOp op) const { return calls_[Index(op)]; }
  int64_t PixelsCopied() const { return pixelsCopied_; }
  void ClearCounts();

 private:
  static size_t Index(SurfaceOp op) { return static_cast<size_t>(op); }
  std::array<int64_t, kSurfaceOpCount> calls_{};
  std::array<int64_t, kSurfaceOpCount> failAt_{};
  std::array<bool, kSurfaceOpCount> failAlways_{};
  int64_t pixelsCopied_ = 0;
};

// 32-bit XRGB pixels in memory.
class SoftwareSurface : public Surface {
 public:
  SoftwareSurface(int32_t width, int32_t height, SurfaceMonitor* monitor, FontRasterizer* fonts);
  // Takes over width x height pixels; their top bytes are cleared.
  SoftwareSurface(int32_t width, int32_t height, PixelVector&& pixels, SurfaceMonitor* monitor,
                  FontRasterizer* fonts);

  int32_t Width() const override { return width_; }
  int32_t Height() const override { return height_; }
  bool Blt(const Rect& dest, Surface& source, const Rect& sourceRect) override;
  bool Fill(const Rect* dest, uint32_t color) override;
  std::unique_ptr<DrawingContext> GetDC() override;

  uint32_t Pixel(int32_t px, int32_t py) const { return pixels_[PixelIndex(px, py)]; }
  void SetPixel(int32_t px, int32_t py, uint32_t value) { pixels_[PixelIndex(px, py)] = value; }
  uint32_t* Row(int32_t py) { return pixels_.data() + PixelIndex(0, py); }
  const uint32_t* Row(int32_t py) const { return pixels_.data() + PixelIndex(0, py); }
  const PixelVector& Pixels() const { return pixels_; }

  SurfaceMonitor* Monitor() const { return monitor_; }
  FontRasterizer* Fonts() const { return fonts_; }

  // Unchecked, unmonitored pieces that the window target shares.
  // Copies sourceRect to dest, both trimmed so that nothing is read outside the source
  // or written outside destClip; written receives the destination area actually changed.
  bool CopyClipped(Rect dest, const SoftwareSurface& source, Rect sourceRect, const Rect& destClip,
                   Rect* written);
  void FillClipped(Rect dest, uint32_t color);

 private:
  size_t PixelIndex(int32_t px, int32_t py) const {
    return static_cast<size_t>(py) * static_cast<size_t>(width_) + static_cast<size_t>(px);
  }
  int32_t width_;
  int32_t height_;
  PixelVector pixels_;
  SurfaceMonitor* monitor_;
  FontRasterizer* fonts_;
};

class SoftwareSurfaceFactory : public SurfaceFactory {
 public:
  // Both may be null: no counting and no faults, or no text.
  explicit SoftwareSurfaceFactory(SurfaceMonitor* monitor = nullptr, FontRasterizer* fonts = nullptr)
      : monitor_(monitor), fonts_(fonts) {}
  std::unique_ptr<Surface> CreateSurface(int32_t width, int32_t height) override;
  std::unique_ptr<Surface> AdoptImage(DecodedImage&& image) override;

 private:
  SurfaceMonitor* monitor_;
  FontRasterizer* fonts_;
};

// The render target of a window: a backing store of the client area, addressed in
// screen pixels. Copies and fills land at (screen - client origin), clipped to the
// visible part of the client area; every changed rectangle is remembered so the host
// can present just those.
class SoftwareWindowTarget : public Surface {
 public:
  explicit SoftwareWindowTarget(SurfaceMonitor* monitor = nullptr);

  // Where the client area lies on the screen and how large it is. A new size keeps the
  // pixels that still fit and makes the rest black.
  void SetClientArea(int32_t screenX, int32_t screenY, int32_t width, int32_t height);
  // The visible part of the client area, in client coordinates.
  void SetVisibleRect(const Rect& clientRect) { visible_ = clientRect; }
  int32_t ScreenX() const { return screenX_; }
  int32_t ScreenY() const { return screenY_; }

  int32_t Width() const override { return backing_.Width(); }
  int32_t Height() const override { return backing_.Height(); }
  bool Blt(const Rect& dest, Surface& source, const Rect& sourceRect) override;
  bool Fill(const Rect* dest, uint32_t color) override;
  std::unique_ptr<DrawingContext> GetDC() override { return nullptr; }

  // Fills the whole client area in client coordinates, as an erase does.
  void EraseClient(uint32_t color);

  SoftwareSurface& Backing() { return backing_; }
  const SoftwareSurface& Backing() const { return backing_; }
  uint32_t ClientPixel(int32_t cx, int32_t cy) const { return backing_.Pixel(cx, cy); }

  // The client rectangles changed since the last call, in the order they changed.
  std::vector<Rect> TakeDamage();
  const std::vector<Rect>& Damage() const { return damage_; }

 private:
  Rect VisibleClient() const;
  SurfaceMonitor* monitor_;
  SoftwareSurface backing_;
  int32_t screenX_ = 0;
  int32_t screenY_ = 0;
  Rect visible_{0, 0, kMaxSurfaceSide, kMaxSurfaceSide};
  std::vector<Rect> damage_;
};

}  // namespace puzzle
