#include "shell/win32/ddraw_display.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>

namespace puzzle {

namespace {

constexpr uint32_t kMagenta = 0x00FF00FF;

RECT ToRect(const Rect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

// A channel of 0x00RRGGBB into a mask's bits, and back, scaled to the mask's width.
uint32_t PutChannel(uint32_t value8, uint32_t mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const uint32_t maxValue = mask >> shift;
  return ((value8 * maxValue + 127) / 255) << shift;
}

uint32_t GetChannel(uint32_t pixel, uint32_t mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const uint32_t maxValue = mask >> shift;
  return (((pixel & mask) >> shift) * 255 + maxValue / 2) / maxValue;
}

// A locked surface's memory for the length of a scope.
class Locked {
 public:
  explicit Locked(IDirectDrawSurface* surface) : surface_(surface) {
    desc_.dwSize = sizeof desc_;
    ok_ = surface_ != nullptr && SUCCEEDED(surface_->Lock(nullptr, &desc_, DDLOCK_WAIT | DDLOCK_SURFACEMEMORYPTR,
                                                           nullptr));
  }
  ~Locked() {
    if (ok_) surface_->Unlock(nullptr);
  }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

  bool Ok() const { return ok_; }
  uint8_t* Row(int32_t y) const { return static_cast<uint8_t*>(desc_.lpSurface) + desc_.lPitch * y; }

 private:
  IDirectDrawSurface* surface_;
  DDSURFACEDESC desc_{};
  bool ok_ = false;
};

uint32_t ReadValue(const uint8_t* p, uint32_t bytes) {
  uint32_t v = 0;
  std::memcpy(&v, p, bytes);
  return v;
}

void WriteValue(uint8_t* p, uint32_t bytes, uint32_t v) { std::memcpy(p, &v, bytes); }

// The white mask the tile numbers are written into, on a memory context compatible with
// the surface's own.
class GdiTextMask : public TextMask {
 public:
  GdiTextMask(HDC surfaceDc, int32_t width, int32_t height) : width_(width), height_(height) {
    dc_ = CreateCompatibleDC(surfaceDc);
    if (dc_ == nullptr) return;
    bitmap_ = CreateCompatibleBitmap(surfaceDc, width, height);
    if (bitmap_ == nullptr) return;
    oldBitmap_ = SelectObject(dc_, bitmap_);
    oldBrush_ = SelectObject(dc_, GetStockObject(BLACK_BRUSH));
    ready_ = PatBlt(dc_, 0, 0, width, height, PATCOPY) != FALSE;
  }
  ~GdiTextMask() override {
    if (dc_ != nullptr) {
      if (oldFont_ != nullptr) SelectObject(dc_, oldFont_);
      if (oldBrush_ != nullptr) SelectObject(dc_, oldBrush_);
      if (oldBitmap_ != nullptr) SelectObject(dc_, oldBitmap_);
      DeleteDC(dc_);
    }
    if (font_ != nullptr) DeleteObject(font_);
    if (bitmap_ != nullptr) DeleteObject(bitmap_);
  }
  GdiTextMask(const GdiTextMask&) = delete;
  GdiTextMask& operator=(const GdiTextMask&) = delete;

  bool Ready() const { return ready_; }
  HDC Dc() const { return dc_; }

  int32_t Width() const override { return width_; }
  int32_t Height() const override { return height_; }

  bool SelectFont(const FontSpec& spec) override {
    // Whole pixels only: the mask is exclusive-or'ed into the picture, and the grey or
    // coloured edges of smoothed glyphs would leave fringes there.
    HFONT font = CreateFontA(spec.height, 0, 0, 0, spec.weight, spec.italic, spec.underline, FALSE, ANSI_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, spec.pitchAndFamily,
                             spec.face.c_str());
    if (font == nullptr) return false;
    HGDIOBJ previous = SelectObject(dc_, font);
    if (oldFont_ == nullptr) oldFont_ = previous;
    if (font_ != nullptr) DeleteObject(font_);
    font_ = font;
    SetTextColor(dc_, RGB(255, 255, 255));
    SetBkMode(dc_, TRANSPARENT);
    return true;
  }

  bool TextOut(int32_t x, int32_t y, std::string_view text) override {
    return TextOutA(dc_, x, y, text.data(), static_cast<int>(text.size())) != FALSE;
  }

 private:
  int32_t width_;
  int32_t height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HFONT font_ = nullptr;
  HGDIOBJ oldBitmap_ = nullptr;
  HGDIOBJ oldBrush_ = nullptr;
  HGDIOBJ oldFont_ = nullptr;
  bool ready_ = false;
};

// GDI on a surface's own device context. What it changed is saved when it is given back.
class GdiContext : public DrawingContext {
 public:
  GdiContext(OffscreenSurface& surface, HDC dc) : surface_(surface), dc_(dc) {}
  ~GdiContext() override {
    Release();
    if (changed_) surface_.SavePixels();
  }
  GdiContext(const GdiContext&) = delete;
  GdiContext& operator=(const GdiContext&) = delete;

  std::unique_ptr<TextMask> CreateMask(int32_t width, int32_t height) override {
    if (!Acquire() || width <= 0 || height <= 0) return nullptr;
    auto mask = std::make_unique<GdiTextMask>(dc_, width, height);
    if (!mask->Ready()) return nullptr;
    return mask;
  }

  bool XorMask(const TextMask& mask, int32_t x, int32_t y, int32_t width, int32_t height) override {
    const auto* gdiMask = dynamic_cast<const GdiTextMask*>(&mask);
    if (gdiMask == nullptr || !Acquire()) return false;
    changed_ = true;
    return BitBlt(dc_, x, y, width, height, gdiMask->Dc(), 0, 0, SRCINVERT) != FALSE;
  }

  bool InvertRect(const Rect& rect) override {
    if (!Acquire()) return false;
    changed_ = true;
    return PatBlt(dc_, rect.left, rect.top, rect.Width(), rect.Height(), DSTINVERT) != FALSE;
  }

  bool DrawImage(const DecodedImage& image) override {
    // The blend is done in the surface's memory, which can't be locked while GDI has it.
    Release();
    changed_ = true;
    return surface_.BlendImage(image);
  }

 private:
  bool Acquire() {
    if (dc_ == nullptr && FAILED(surface_.Raw()->GetDC(&dc_))) dc_ = nullptr;
    return dc_ != nullptr;
  }
  void Release() {
    if (dc_ != nullptr) surface_.Raw()->ReleaseDC(dc_);
    dc_ = nullptr;
  }

  OffscreenSurface& surface_;
  HDC dc_;
  bool changed_ = false;
};

}  // namespace

// The primary surface as the window target: screen pixels, clipped to the window.
class PrimaryTarget : public Surface {
 public:
  explicit PrimaryTarget(DirectDrawDisplay& display) : display_(display) {}

  int32_t Width() const override { return GetSystemMetrics(SM_CXSCREEN); }
  int32_t Height() const override { return GetSystemMetrics(SM_CYSCREEN); }

  bool Blt(const Rect& dest, Surface& source, const Rect& sourceRect) override {
    auto* offscreen = dynamic_cast<OffscreenSurface*>(&source);
    if (offscreen == nullptr) return false;
    RECT to = ToRect(dest);
    RECT from = ToRect(sourceRect);
    HRESULT result = display_.simulatedLoss_
                         ? DDERR_SURFACELOST
                         : display_.primary_->Blt(&to, offscreen->Raw(), &from, DDBLT_WAIT, nullptr);
    if (result == DDERR_SURFACELOST) {
      if (!display_.Recover()) return false;
      result = display_.primary_->Blt(&to, offscreen->Raw(), &from, DDBLT_WAIT, nullptr);
    }
    return SUCCEEDED(result);
  }

  bool Fill(const Rect* dest, uint32_t color) override {
    RECT to{};
    if (dest != nullptr) to = ToRect(*dest);
    DDBLTFX effects{};
    effects.dwSize = sizeof effects;
    effects.dwFillColor = display_.layout_.Encode(color);
    HRESULT result = display_.simulatedLoss_ ? DDERR_SURFACELOST
                                             : display_.primary_->Blt(dest != nullptr ? &to : nullptr, nullptr,
                                                                      nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &effects);
    if (result == DDERR_SURFACELOST) {
      if (!display_.Recover()) return false;
      result = display_.primary_->Blt(dest != nullptr ? &to : nullptr, nullptr, nullptr,
                                      DDBLT_COLORFILL | DDBLT_WAIT, &effects);
    }
    return SUCCEEDED(result);
  }

  // Nothing draws on the window through a context.
  std::unique_ptr<DrawingContext> GetDC() override { return nullptr; }

 private:
  DirectDrawDisplay& display_;
};

// --- PixelLayout --------------------------------------------------------------------------

PixelLayout PixelLayout::From(const DDPIXELFORMAT& format) {
  PixelLayout layout;
  layout.bytesPerPixel = std::max<uint32_t>(format.dwRGBBitCount / 8, 1);
  layout.redMask = format.dwRBitMask;
  layout.greenMask = format.dwGBitMask;
  layout.blueMask = format.dwBBitMask;
  return layout;
}

uint32_t PixelLayout::Encode(uint32_t rgb) const {
  return PutChannel((rgb >> 16) & 0xFF, redMask) | PutChannel((rgb >> 8) & 0xFF, greenMask) |
         PutChannel(rgb & 0xFF, blueMask);
}

uint32_t PixelLayout::Decode(uint32_t value) const {
  return (GetChannel(value, redMask) << 16) | (GetChannel(value, greenMask) << 8) | GetChannel(value, blueMask);
}

// --- DirectDrawDisplay ----------------------------------------------------------------------

DirectDrawDisplay::~DirectDrawDisplay() {
  target_.reset();
  if (primary_ != nullptr) primary_->Release();
  if (directDraw_ != nullptr) directDraw_->Release();
}

bool DirectDrawDisplay::Create(HWND window) {
  window_ = window;
  if (FAILED(DirectDrawCreate(nullptr, &directDraw_, nullptr))) {
    directDraw_ = nullptr;
    return false;
  }
  if (FAILED(directDraw_->SetCooperativeLevel(window, DDSCL_NORMAL))) return false;
  DDSURFACEDESC desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
  if (FAILED(directDraw_->CreateSurface(&desc, &primary_, nullptr))) {
    primary_ = nullptr;
    return false;
  }
  IDirectDrawClipper* clipper = nullptr;
  if (FAILED(directDraw_->CreateClipper(0, &clipper, nullptr))) return false;
  // The surface keeps the clipper; our own reference goes either way.
  const bool clipped = SUCCEEDED(clipper->SetHWnd(0, window)) && SUCCEEDED(primary_->SetClipper(clipper));
  clipper->Release();
  if (!clipped) return false;
  DDPIXELFORMAT format{};
  format.dwSize = sizeof format;
  if (FAILED(primary_->GetPixelFormat(&format))) return false;
  layout_ = PixelLayout::From(format);
  target_ = std::make_unique<PrimaryTarget>(*this);
  return true;
}

Surface& DirectDrawDisplay::WindowTarget() { return *target_; }

IDirectDrawSurface* DirectDrawDisplay::MakeOffscreen(int32_t width, int32_t height) {
  if (directDraw_ == nullptr || !SurfaceSizeAllowed(width, height)) return nullptr;
  DDSURFACEDESC desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
  desc.dwWidth = static_cast<DWORD>(width);
  desc.dwHeight = static_cast<DWORD>(height);
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
  IDirectDrawSurface* surface = nullptr;
  if (FAILED(directDraw_->CreateSurface(&desc, &surface, nullptr))) return nullptr;
  return surface;
}

std::unique_ptr<Surface> DirectDrawDisplay::CreateSurface(int32_t width, int32_t height) {
  IDirectDrawSurface* surface = MakeOffscreen(width, height);
  if (surface == nullptr) return nullptr;
  auto made = std::make_unique<OffscreenSurface>(*this, surface, width, height);
  made->SavePixels();
  return made;
}

std::unique_ptr<Surface> DirectDrawDisplay::AdoptImage(DecodedImage&& image) {
  if (image.pixels.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height)) return nullptr;
  IDirectDrawSurface* surface = MakeOffscreen(image.width, image.height);
  if (surface == nullptr) return nullptr;
  auto made = std::make_unique<OffscreenSurface>(*this, surface, image.width, image.height);
  if (!made->Adopt(std::move(image.pixels))) return nullptr;
  return made;
}

bool DirectDrawDisplay::Recover() {
  const bool simulated = simulatedLoss_;
  simulatedLoss_ = false;
  if (primary_ == nullptr || simulatedRestoreFails_) return false;
  if (primary_->IsLost() == DDERR_SURFACELOST && FAILED(primary_->Restore())) return false;
  DDPIXELFORMAT format{};
  format.dwSize = sizeof format;
  if (FAILED(primary_->GetPixelFormat(&format))) return false;
  const PixelLayout now = PixelLayout::From(format);
  const bool formatChanged = !(now == layout_);
  layout_ = now;
  for (OffscreenSurface* surface : surfaces_) {
    if (!surface->Restore(formatChanged, simulated)) return false;
  }
  // What the window showed is gone too.
  InvalidateRect(window_, nullptr, FALSE);
  ++recoveries_;
  return true;
}

void DirectDrawDisplay::SimulateLoss(bool restorable) {
  simulatedLoss_ = true;
  simulatedRestoreFails_ = !restorable;
}

// --- OffscreenSurface ------------------------------------------------------------------------

OffscreenSurface::OffscreenSurface(DirectDrawDisplay& display, IDirectDrawSurface* surface, int32_t width,
                                   int32_t height)
    : display_(display), surface_(surface), width_(width), height_(height) {
  display_.surfaces_.insert(this);
}

OffscreenSurface::~OffscreenSurface() {
  display_.surfaces_.erase(this);
  if (surface_ != nullptr) surface_->Release();
}

bool OffscreenSurface::Blt(const Rect& dest, Surface& source, const Rect& sourceRect) {
  auto* offscreen = dynamic_cast<OffscreenSurface*>(&source);
  if (offscreen == nullptr) return false;
  RECT to = ToRect(dest);
  RECT from = ToRect(sourceRect);
  HRESULT result = surface_->Blt(&to, offscreen->Raw(), &from, DDBLT_WAIT, nullptr);
  if (result == DDERR_SURFACELOST && display_.Recover()) {
    result = surface_->Blt(&to, offscreen->Raw(), &from, DDBLT_WAIT, nullptr);
  }
  return SUCCEEDED(result) && SavePixels();
}

bool OffscreenSurface::Fill(const Rect* dest, uint32_t color) {
  RECT to{};
  if (dest != nullptr) to = ToRect(*dest);
  DDBLTFX effects{};
  effects.dwSize = sizeof effects;
  effects.dwFillColor = display_.Layout().Encode(color);
  auto fill = [&] {
    return surface_->Blt(dest != nullptr ? &to : nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &effects);
  };
  HRESULT result = fill();
  if (result == DDERR_SURFACELOST && display_.Recover()) result = fill();
  return SUCCEEDED(result) && SavePixels();
}

std::unique_ptr<DrawingContext> OffscreenSurface::GetDC() {
  HDC dc = nullptr;
  HRESULT result = surface_->GetDC(&dc);
  // Numbers drawn into lost memory would be lost with it, and the next toggle would
  // write them in rather than take them out: restore first.
  if (result == DDERR_SURFACELOST && display_.Recover()) result = surface_->GetDC(&dc);
  if (FAILED(result) || dc == nullptr) return nullptr;
  return std::make_unique<GdiContext>(*this, dc);
}

PixelVector OffscreenSurface::ReadPixels() {
  Locked memory(surface_);
  if (!memory.Ok()) return {};
  const PixelLayout& layout = display_.Layout();
  PixelVector pixels(static_cast<size_t>(width_) * static_cast<size_t>(height_));
  uint32_t* out = pixels.data();
  for (int32_t y = 0; y < height_; ++y) {
    const uint8_t* row = memory.Row(y);
    for (int32_t x = 0; x < width_; ++x) *out++ = layout.Decode(ReadValue(row + x * layout.bytesPerPixel, layout.bytesPerPixel));
  }
  return pixels;
}

bool OffscreenSurface::WritePixels(const PixelVector& pixels) {
  if (pixels.size() != static_cast<size_t>(width_) * static_cast<size_t>(height_)) return false;
  Locked memory(surface_);
  if (!memory.Ok()) return false;
  const PixelLayout& layout = display_.Layout();
  const uint32_t* in = pixels.data();
  for (int32_t y = 0; y < height_; ++y) {
    uint8_t* row = memory.Row(y);
    for (int32_t x = 0; x < width_; ++x) WriteValue(row + x * layout.bytesPerPixel, layout.bytesPerPixel, layout.Encode(*in++));
  }
  return true;
}

bool OffscreenSurface::Adopt(PixelVector&& pixels) {
  // Only the colour bits are written; the alpha of an opaque image means nothing here.
  if (!WritePixels(pixels)) return false;
  saved_ = std::move(pixels);
  return true;
}

bool OffscreenSurface::SavePixels() {
  PixelVector pixels = ReadPixels();
  if (pixels.empty()) return false;
  saved_ = std::move(pixels);
  return true;
}

bool OffscreenSurface::BlendImage(const DecodedImage& image) {
  if (image.width < 0 || image.height < 0 ||
      image.pixels.size() < static_cast<size_t>(image.width) * static_cast<size_t>(image.height)) {
    return false;
  }
  Locked memory(surface_);
  if (!memory.Ok()) return false;
  const PixelLayout& layout = display_.Layout();
  const uint32_t bytes = layout.bytesPerPixel;
  const int32_t w = std::min(image.width, width_);
  const int32_t h = std::min(image.height, height_);
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* row = memory.Row(y);
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t src = image.At(x, y);
      uint8_t* p = row + x * bytes;
      const uint32_t under = (src >> 24) == 255 ? 0 : layout.Decode(ReadValue(p, bytes));
      WriteValue(p, bytes, layout.Encode(BlendOver(src, under)));
    }
  }
  return true;
}

bool OffscreenSurface::Restore(bool formatChanged, bool simulated) {
  if (formatChanged) {
    if (surface_ != nullptr) surface_->Release();
    surface_ = display_.MakeOffscreen(width_, height_);
    if (surface_ == nullptr) return false;
    return WritePixels(saved_);
  }
  if (simulated) {
    // What lost memory may hold: anything. The pixels must come back from our copy.
    DDBLTFX effects{};
    effects.dwSize = sizeof effects;
    effects.dwFillColor = display_.Layout().Encode(kMagenta);
    surface_->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &effects);
    return WritePixels(saved_);
  }
  if (surface_->IsLost() != DDERR_SURFACELOST) return true;
  if (FAILED(surface_->Restore())) return false;
  return WritePixels(saved_);
}

}  // namespace puzzle
