#include "shell/win32/wic_decoder.h"

#include "shell/win32/windows_api.h"
#include "shell/win32/wide_text.h"

#include <wincodec.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "shell/pictures/downscale.h"
#include "shell/pictures/fit.h"
#include "shell/pictures/metafile.h"
#include "shell/pictures/orientation.h"
#include "shell/pictures/targa.h"

namespace puzzle {

namespace {

// A metafile is read whole before it's played; one this big is no picture a player made.
constexpr size_t kMaxMetafileBytes = size_t{64} << 20;
// Targa files are read whole too: the largest picture allowed, uncompressed, and its header.
constexpr size_t kMaxTargaBytes = size_t{kMaxSurfacePixels} * 4 + (size_t{1} << 20);
// Enough of the start of a file to tell its format and read a photo's orientation.
constexpr size_t kSniffBytes = 64 * 1024;

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() {
    if (p_ != nullptr) p_->Release();
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  T** Out() { return &p_; }
  T* operator->() const { return p_; }
  T* Get() const { return p_; }

 private:
  T* p_ = nullptr;
};

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
int16_t S16(const uint8_t* p) { return static_cast<int16_t>(U16(p)); }

bool StartsWith(const std::vector<uint8_t>& data, const char* magic, size_t size) {
  return data.size() >= size && std::memcmp(data.data(), magic, size) == 0;
}

// The orientation tag of a JPEG file's Exif block, among the segments before its first scan.
Orientation JpegOrientation(const std::vector<uint8_t>& data) {
  size_t at = 2;
  while (at + 4 <= data.size() && data[at] == 0xFF) {
    const uint8_t marker = data[at + 1];
    if (marker == 0xDA || marker == 0xD9) break;
    const size_t length = (static_cast<size_t>(data[at + 2]) << 8) | data[at + 3];
    if (length < 2 || at + 2 + length > data.size()) break;
    const uint8_t* segment = data.data() + at + 4;
    if (marker == 0xE1 && length - 2 >= 6 && std::memcmp(segment, "Exif\0\0", 6) == 0) {
      return ReadOrientationTag(segment + 6, length - 2 - 6);
    }
    at += 2 + length;
  }
  return 1;
}

// The file's first bytes, or all of it up to limit; nothing for what is no regular file
// or is longer than limit.
std::optional<std::vector<uint8_t>> ReadFile(const std::wstring& path, size_t count, uint64_t limit) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::optional<std::vector<uint8_t>> result;
  LARGE_INTEGER size{};
  if (GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &size) && static_cast<uint64_t>(size.QuadPart) <= limit) {
    std::vector<uint8_t> data(std::min<size_t>(count, static_cast<size_t>(size.QuadPart)));
    DWORD got = 0;
    size_t done = 0;
    while (done < data.size() &&
           ::ReadFile(file, data.data() + done, static_cast<DWORD>(std::min<size_t>(data.size() - done, 1u << 24)),
                      &got, nullptr) &&
           got > 0) {
      done += got;
    }
    if (done == data.size()) result = std::move(data);
  }
  CloseHandle(file);
  return result;
}

std::optional<ImageSize> AllowedMetafileSize(const std::vector<uint8_t>& data) {
  const std::optional<MetafileExtent> size = MetafileSize(data);
  if (!size || !SurfaceSizeAllowed(size->width, size->height)) return std::nullopt;
  return ImageSize{static_cast<int32_t>(size->width), static_cast<int32_t>(size->height)};
}

// GDI plays the metafile onto white at the size it is shown at: a drawing is drawn small,
// not drawn large and made smaller.
std::optional<DecodedImage> PlayMetafile(const std::vector<uint8_t>& data, ImageSize largest) {
  const std::optional<ImageSize> natural = AllowedMetafileSize(data);
  if (!natural) return std::nullopt;
  const ImageSize size = FitWithin(*natural, largest);
  const bool placeable = IsPlaceableMetafile(data);
  const size_t skip = placeable ? kPlaceableHeaderBytes : 0;
  HMETAFILE metafile = SetMetaFileBitsEx(static_cast<UINT>(data.size() - skip), data.data() + skip);
  if (metafile == nullptr) return std::nullopt;

  const int32_t width = size.width;
  const int32_t height = size.height;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // rows top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = dc != nullptr ? CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
  std::optional<DecodedImage> image;
  if (bitmap != nullptr && bits != nullptr) {
    HGDIOBJ old = SelectObject(dc, bitmap);
    PatBlt(dc, 0, 0, width, height, WHITENESS);
    SetMapMode(dc, MM_ANISOTROPIC);
    if (placeable) {
      const int16_t left = S16(&data[6]);
      const int16_t top = S16(&data[8]);
      SetWindowOrgEx(dc, left, top, nullptr);
      SetWindowExtEx(dc, S16(&data[10]) - left, S16(&data[12]) - top, nullptr);
    } else {
      SetWindowExtEx(dc, width, height, nullptr);
    }
    SetViewportExtEx(dc, width, height, nullptr);
    const bool played = PlayMetaFile(dc, metafile) != FALSE;
    GdiFlush();
    SelectObject(dc, old);
    if (played) {
      DecodedImage out;
      out.width = width;
      out.height = height;
      out.pixels.assign(static_cast<const uint32_t*>(bits),
                        static_cast<const uint32_t*>(bits) + static_cast<size_t>(width) * static_cast<size_t>(height));
      // GDI leaves the unused byte alone: every pixel it drew is opaque.
      for (uint32_t& pixel : out.pixels) pixel |= 0xFF000000u;
      out.opaque = true;
      image = std::move(out);
    }
  }
  if (bitmap != nullptr) DeleteObject(bitmap);
  if (dc != nullptr) DeleteDC(dc);
  DeleteMetaFile(metafile);
  return image;
}

// BMP, GIF, JPEG, PNG and TIFF through the Windows Imaging Component: the first frame,
// opened from the file; its size comes from the header, before any pixel is decoded.
class WicPicture {
 public:
  explicit WicPicture(const std::wstring& path) {
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(factory_.Out()))) ||
        FAILED(factory_->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ,
                                                   WICDecodeMetadataCacheOnDemand, decoder_.Out())) ||
        FAILED(decoder_->GetFrame(0, frame_.Out()))) {
      return;
    }
    UINT width = 0;
    UINT height = 0;
    if (SUCCEEDED(frame_->GetSize(&width, &height)) && SurfaceSizeAllowed(width, height)) {
      size_ = ImageSize{static_cast<int32_t>(width), static_cast<int32_t>(height)};
    }
  }

  std::optional<ImageSize> Size() const { return size_; }

  std::optional<DecodedImage> Pixels() {
    if (!size_) return std::nullopt;
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(factory_->CreateFormatConverter(converter.Out())) ||
        FAILED(converter->Initialize(frame_.Get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr,
                                     0.0, WICBitmapPaletteTypeCustom))) {
      return std::nullopt;
    }
    DecodedImage image;
    image.width = size_->width;
    image.height = size_->height;
    image.pixels.resize(static_cast<size_t>(image.width) * static_cast<size_t>(image.height));
    // BGRA bytes are 0xAARRGGBB words on this little-endian machine.
    const UINT stride = static_cast<UINT>(image.width) * 4;
    if (FAILED(converter->CopyPixels(nullptr, stride, static_cast<UINT>(image.pixels.size() * 4),
                                     reinterpret_cast<BYTE*>(image.pixels.data())))) {
      return std::nullopt;
    }
    uint32_t allAlpha = 0xFFu;
    for (uint32_t pixel : image.pixels) allAlpha &= pixel >> 24;
    // A picture whose every pixel is opaque is drawn without blending, alpha channel or not.
    image.opaque = allAlpha == 0xFFu;
    return image;
  }

 private:
  ComPtr<IWICImagingFactory> factory_;
  ComPtr<IWICBitmapDecoder> decoder_;
  ComPtr<IWICBitmapFrameDecode> frame_;
  std::optional<ImageSize> size_;
};

enum class Kind { None, Wic, Jpeg, Metafile, Targa };

Kind Sniff(const std::vector<uint8_t>& head) {
  if (StartsWith(head, "\xFF\xD8\xFF", 3)) return Kind::Jpeg;
  if (StartsWith(head, "\x89PNG\r\n\x1a\n", 8) || StartsWith(head, "GIF87a", 6) || StartsWith(head, "GIF89a", 6) ||
      StartsWith(head, "BM", 2) || StartsWith(head, "II*\0", 4) || StartsWith(head, "MM\0*", 4)) {
    return Kind::Wic;
  }
  if (IsMetafile(head)) return Kind::Metafile;
  if (TargaSize(head.data(), head.size())) return Kind::Targa;
  return Kind::None;
}

}  // namespace

PictureDecoder::PictureDecoder() {
  const HRESULT started = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  comStarted_ = SUCCEEDED(started);
}

PictureDecoder::~PictureDecoder() {
  if (comStarted_) CoUninitialize();
}

namespace {

// The file's wide path and its first bytes; nothing for what can't be read.
std::optional<std::pair<std::wstring, std::vector<uint8_t>>> OpenPicture(const char* path) {
  if (path == nullptr || *path == '\0') return std::nullopt;
  std::wstring wide = win32::Wide(path);
  auto head = wide.empty() ? std::nullopt : ReadFile(wide, kSniffBytes, UINT64_MAX);
  if (!head) return std::nullopt;
  return std::pair{std::move(wide), std::move(*head)};
}

}  // namespace

std::optional<ImageSize> PictureDecoder::Probe(const char* path) {
  const std::optional<ImageSize> natural = NaturalSize(path);
  if (!natural) return std::nullopt;
  return FitWithin(*natural, largest_);
}

std::optional<ImageSize> PictureDecoder::NaturalSize(const char* path) {
  auto opened = OpenPicture(path);
  if (!opened) return std::nullopt;
  const std::wstring& wide = opened->first;
  const std::vector<uint8_t>* head = &opened->second;
  std::optional<ImageSize> size;
  Orientation orientation = 1;
  switch (Sniff(*head)) {
    case Kind::Jpeg:
      orientation = JpegOrientation(*head);
      [[fallthrough]];
    case Kind::Wic:
      size = WicPicture(wide).Size();
      break;
    case Kind::Metafile:
      if (auto whole = ReadFile(wide, kMaxMetafileBytes, kMaxMetafileBytes)) size = AllowedMetafileSize(*whole);
      break;
    case Kind::Targa:
      size = TargaSize(head->data(), head->size());
      break;
    case Kind::None:
      break;
  }
  if (!size || !SurfaceSizeAllowed(size->width, size->height)) return std::nullopt;
  return Oriented(*size, orientation);
}

std::optional<DecodedImage> PictureDecoder::Decode(const char* path) {
  auto opened = OpenPicture(path);
  if (!opened) return std::nullopt;
  const std::wstring& wide = opened->first;
  const std::vector<uint8_t>* head = &opened->second;
  std::optional<DecodedImage> image;
  switch (Sniff(*head)) {
    case Kind::Jpeg:
      // A photo is shown the way up its camera says.
      image = WicPicture(wide).Pixels();
      if (image) image = Orient(std::move(*image), JpegOrientation(*head));
      break;
    case Kind::Wic:
      image = WicPicture(wide).Pixels();
      break;
    case Kind::Metafile:
      if (auto whole = ReadFile(wide, kMaxMetafileBytes, kMaxMetafileBytes)) return PlayMetafile(*whole, largest_);
      return std::nullopt;
    case Kind::Targa:
      if (auto whole = ReadFile(wide, kMaxTargaBytes, kMaxTargaBytes)) image = DecodeTarga(whole->data(), whole->size());
      break;
    case Kind::None:
      break;
  }
  if (!image) return std::nullopt;
  const ImageSize shown = FitWithin(ImageSize{image->width, image->height}, largest_);
  return Downscale(std::move(*image), shown);
}

bool PictureDecoder::Exists(const char* path) {
  if (path == nullptr || *path == '\0') return false;
  return GetFileAttributesW(win32::Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace puzzle
