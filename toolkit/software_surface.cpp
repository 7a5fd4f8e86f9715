#include "toolkit/software_surface.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace puzzle {

// --- SurfaceMonitor ---------------------------------------------------------------

void SurfaceMonitor::FailNth(SurfaceOp op, int32_t n) {
  failAt_[Index(op)] = n > 0 ? calls_[Index(op)] + n : 0;
}

void SurfaceMonitor::FailAlways(SurfaceOp op, bool fail) { failAlways_[Index(op)] = fail; }

void SurfaceMonitor::Reset() {
  failAt_.fill(0);
  failAlways_.fill(false);
  ClearCounts();
}

void SurfaceMonitor::ClearCounts() {
  // Pending "fail the nth call" requests stay relative to the calls still to come.
  for (size_t i = 0; i < kSurfaceOpCount; ++i) {
    if (failAt_[i] > 0) failAt_[i] -= calls_[i];
  }
  calls_.fill(0);
  pixelsCopied_ = 0;
}

bool SurfaceMonitor::Attempt(SurfaceOp op) {
  const size_t i = Index(op);
  ++calls_[i];
  if (failAlways_[i]) return true;
  if (failAt_[i] != 0 && calls_[i] == failAt_[i]) {
    failAt_[i] = 0;
    return true;
  }
  return false;
}

namespace {

bool Fails(SurfaceMonitor* monitor, SurfaceOp op) { return monitor != nullptr && monitor->Attempt(op); }

constexpr uint32_t kColorBits = 0x00FFFFFFu;

class SoftwareTextMask : public TextMask {
 public:
  SoftwareTextMask(int32_t width, int32_t height, SurfaceMonitor* monitor, FontRasterizer* fonts)
      : mask_(width, height), monitor_(monitor), fonts_(fonts) {}

  int32_t Width() const override { return mask_.width; }
  int32_t Height() const override { return mask_.height; }

  bool SelectFont(const FontSpec& font) override {
    if (Fails(monitor_, SurfaceOp::SelectFont) || fonts_ == nullptr || font.height <= 0) return false;
    font_ = font;
    hasFont_ = true;
    return true;
  }

  bool TextOut(int32_t px, int32_t py, std::string_view text) override {
    if (Fails(monitor_, SurfaceOp::TextOut) || !hasFont_) return false;
    return fonts_->DrawText(font_, text, px, py, mask_);
  }

  const AlphaMask& Mask() const { return mask_; }

 private:
  AlphaMask mask_;
  SurfaceMonitor* monitor_;
  FontRasterizer* fonts_;
  FontSpec font_;
  bool hasFont_ = false;
};

class SoftwareDrawingContext : public DrawingContext {
 public:
  explicit SoftwareDrawingContext(SoftwareSurface& surface) : surface_(surface) {}

  std::unique_ptr<TextMask> CreateMask(int32_t width, int32_t height) override {
    if (Fails(surface_.Monitor(), SurfaceOp::CreateMask) || !SurfaceSizeAllowed(width, height)) {
      return nullptr;
    }
    return std::make_unique<SoftwareTextMask>(width, height, surface_.Monitor(), surface_.Fonts());
  }

  bool XorMask(const TextMask& mask, int32_t px, int32_t py, int32_t width, int32_t height) override {
    if (Fails(surface_.Monitor(), SurfaceOp::Xor)) return false;
    const auto* soft = dynamic_cast<const SoftwareTextMask*>(&mask);
    if (soft == nullptr) return false;
    const AlphaMask& bits = soft->Mask();
    // The part of the mask that is used and lands on the surface.
    const Rect area = Intersect(Rect{px, py, px + std::min(width, bits.width), py + std::min(height, bits.height)},
                                Rect{0, 0, surface_.Width(), surface_.Height()});
    for (int32_t row = area.top; row < area.bottom; ++row) {
      uint32_t* out = surface_.Row(row);
      for (int32_t col = area.left; col < area.right; ++col) {
        const uint32_t c = bits.At(col - px, row - py);
        if (c != 0) out[col] ^= (c << 16) | (c << 8) | c;
      }
    }
    return true;
  }

  bool InvertRect(const Rect& rect) override {
    if (Fails(surface_.Monitor(), SurfaceOp::Invert)) return false;
    const Rect area = Intersect(rect, Rect{0, 0, surface_.Width(), surface_.Height()});
    for (int32_t row = area.top; row < area.bottom; ++row) {
      uint32_t* out = surface_.Row(row);
      for (int32_t col = area.left; col < area.right; ++col) out[col] ^= kColorBits;
    }
    return true;
  }

  bool DrawImage(const DecodedImage& image) override {
    if (Fails(surface_.Monitor(), SurfaceOp::DrawImage)) return false;
    if (image.width < 0 || image.height < 0 ||
        image.pixels.size() < static_cast<size_t>(image.width) * static_cast<size_t>(image.height)) {
      return false;
    }
    const int32_t w = std::min(image.width, surface_.Width());
    const int32_t h = std::min(image.height, surface_.Height());
    for (int32_t row = 0; row < h; ++row) {
      uint32_t* out = surface_.Row(row);
      const uint32_t* in = image.pixels.data() + static_cast<size_t>(row) * static_cast<size_t>(image.width);
      if (image.opaque) {
        for (int32_t col = 0; col < w; ++col) out[col] = in[col] & kColorBits;
      } else {
        for (int32_t col = 0; col < w; ++col) out[col] = BlendOver(in[col], out[col]);
      }
    }
    return true;
  }

 private:
  SoftwareSurface& surface_;
};

}  // namespace

// --- SoftwareSurface --------------------------------------------------------------

SoftwareSurface::SoftwareSurface(int32_t width, int32_t height, SurfaceMonitor* monitor,
                                 FontRasterizer* fonts)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      pixels_(static_cast<size_t>(width_) * static_cast<size_t>(height_), 0),
      monitor_(monitor),
      fonts_(fonts) {}

SoftwareSurface::SoftwareSurface(int32_t width, int32_t height, PixelVector&& pixels,
                                 SurfaceMonitor* monitor, FontRasterizer* fonts)
    : width_(width), height_(height), pixels_(std::move(pixels)), monitor_(monitor), fonts_(fonts) {
  for (uint32_t& p : pixels_) p &= kColorBits;
}

bool SoftwareSurface::CopyClipped(Rect dest, const SoftwareSurface& source, Rect sourceRect,
                                  const Rect& destClip, Rect* written) {
  if (written != nullptr) *written = Rect{};
  if (dest.Width() != sourceRect.Width() || dest.Height() != sourceRect.Height()) return false;
  if (dest.IsEmpty()) return true;
  // Trim the source to its surface, then the destination to its clip, moving the other
  // rectangle along so that the copy stays unscaled.
  const Rect sourceBounds{0, 0, source.Width(), source.Height()};
  const Rect destBounds = Intersect(destClip, Rect{0, 0, width_, height_});
  const Rect s = Intersect(sourceRect, sourceBounds);
  Rect d = Offset(s, dest.left - sourceRect.left, dest.top - sourceRect.top);
  d = Intersect(d, destBounds);
  if (d.IsEmpty()) return true;
  const int32_t sx = d.left - (dest.left - sourceRect.left);
  const int32_t sy = d.top - (dest.top - sourceRect.top);
  const size_t rowBytes = static_cast<size_t>(d.Width()) * sizeof(uint32_t);
  const bool bottomUp = (&source == this) && d.top > sy;  // overlapping copy on one surface
  for (int32_t i = 0; i < d.Height(); ++i) {
    const int32_t row = bottomUp ? d.Height() - 1 - i : i;
    std::memmove(Row(d.top + row) + d.left, source.Row(sy + row) + sx, rowBytes);
  }
  if (written != nullptr) *written = d;
  return true;
}

void SoftwareSurface::FillClipped(Rect dest, uint32_t color) {
  const Rect d = Intersect(dest, Rect{0, 0, width_, height_});
  // An inverted rectangle covers no pixel; its rows would otherwise run backwards off the row.
  if (d.IsEmpty()) return;
  for (int32_t row = d.top; row < d.bottom; ++row) {
    std::fill(Row(row) + d.left, Row(row) + d.right, color);
  }
}

bool SoftwareSurface::Blt(const Rect& dest, Surface& source, const Rect& sourceRect) {
  if (Fails(monitor_, SurfaceOp::Copy)) return false;
  auto* soft = dynamic_cast<SoftwareSurface*>(&source);
  if (soft == nullptr) return false;
  Rect written;
  if (!CopyClipped(dest, *soft, sourceRect, Rect{0, 0, width_, height_}, &written)) return false;
  if (monitor_ != nullptr) monitor_->CountPixels(int64_t{written.Width()} * written.Height());
  return true;
}

bool SoftwareSurface::Fill(const Rect* dest, uint32_t color) {
  if (Fails(monitor_, SurfaceOp::Fill)) return false;
  FillClipped(dest != nullptr ? *dest : Rect{0, 0, width_, height_}, color);
  return true;
}

std::unique_ptr<DrawingContext> SoftwareSurface::GetDC() {
  if (Fails(monitor_, SurfaceOp::GetDC)) return nullptr;
  return std::make_unique<SoftwareDrawingContext>(*this);
}

std::unique_ptr<Surface> SoftwareSurfaceFactory::CreateSurface(int32_t width, int32_t height) {
  if (Fails(monitor_, SurfaceOp::Create) || !SurfaceSizeAllowed(width, height)) return nullptr;
  try {
    return std::make_unique<SoftwareSurface>(width, height, monitor_, fonts_);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

std::unique_ptr<Surface> SoftwareSurfaceFactory::AdoptImage(DecodedImage&& image) {
  const size_t count = static_cast<size_t>(std::max(image.width, 0)) * static_cast<size_t>(std::max(image.height, 0));
  if (!image.opaque || !SurfaceSizeAllowed(image.width, image.height) || image.pixels.size() != count) {
    return nullptr;
  }
  // Counted as the surface's creation: a failure injected there fails this too.
  if (Fails(monitor_, SurfaceOp::Create)) return nullptr;
  auto surface = std::make_unique<SoftwareSurface>(image.width, image.height, std::move(image.pixels), monitor_, fonts_);
  image.pixels = {};
  return surface;
}

// --- SoftwareWindowTarget ---------------------------------------------------------

SoftwareWindowTarget::SoftwareWindowTarget(SurfaceMonitor* monitor)
    : monitor_(monitor), backing_(0, 0, monitor, nullptr) {}

void SoftwareWindowTarget::SetClientArea(int32_t screenX, int32_t screenY, int32_t width, int32_t height) {
  screenX_ = screenX;
  screenY_ = screenY;
  width = std::clamp(width, 0, kMaxSurfaceSide);
  height = std::clamp(height, 0, kMaxSurfaceSide);
  if (width == backing_.Width() && height == backing_.Height()) return;
  SoftwareSurface resized(width, height, monitor_, nullptr);
  resized.CopyClipped(Rect{0, 0, backing_.Width(), backing_.Height()}, backing_,
                      Rect{0, 0, backing_.Width(), backing_.Height()}, Rect{0, 0, width, height}, nullptr);
  backing_ = std::move(resized);
}

Rect SoftwareWindowTarget::VisibleClient() const {
  return Intersect(visible_, Rect{0, 0, backing_.Width(), backing_.Height()});
}

bool SoftwareWindowTarget::Blt(const Rect& dest, Surface& source, const Rect& sourceRect) {
  if (Fails(monitor_, SurfaceOp::Copy)) return false;
  auto* soft = dynamic_cast<SoftwareSurface*>(&source);
  if (soft == nullptr) return false;
  if (dest.Width() != sourceRect.Width() || dest.Height() != sourceRect.Height()) return false;
  const Rect client = Offset(dest, -screenX_, -screenY_);
  // Squeezed at the end of the coordinate range: so far off that nothing can land.
  if (client.Width() != dest.Width() || client.Height() != dest.Height()) return true;
  Rect written;
  if (!backing_.CopyClipped(client, *soft, sourceRect, VisibleClient(), &written)) return false;
  if (!written.IsEmpty()) {
    damage_.push_back(written);
    if (monitor_ != nullptr) monitor_->CountPixels(int64_t{written.Width()} * written.Height());
  }
  return true;
}

bool SoftwareWindowTarget::Fill(const Rect* dest, uint32_t color) {
  if (Fails(monitor_, SurfaceOp::Fill)) return false;
  const Rect client = dest != nullptr ? Offset(*dest, -screenX_, -screenY_)
                                      : Rect{0, 0, backing_.Width(), backing_.Height()};
  const Rect d = Intersect(client, VisibleClient());
  if (d.IsEmpty()) return true;
  backing_.FillClipped(d, color);
  damage_.push_back(d);
  return true;
}

void SoftwareWindowTarget::EraseClient(uint32_t color) {
  const Rect all{0, 0, backing_.Width(), backing_.Height()};
  backing_.FillClipped(all, color);
  if (!all.IsEmpty()) damage_.push_back(all);
}

std::vector<Rect> SoftwareWindowTarget::TakeDamage() {
  std::vector<Rect> taken;
  taken.swap(damage_);
  return taken;
}

}  // namespace puzzle
