#include "shell/linux/pixbuf_decoder.h"

#include <fcntl.h>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "shell/linux/jpeg_decoder.h"
#include "shell/pictures/downscale.h"
#include "shell/pictures/fit.h"
#include "shell/pictures/metafile.h"
#include "shell/pictures/orientation.h"
#include "shell/pictures/targa.h"

namespace puzzle {
namespace {

// Read in pieces: a loader refuses an oversized picture from its header, and we stop
// feeding it there rather than reading a huge file for nothing.
constexpr size_t kChunkSize = 64 * 1024;

// No picture the game can show needs more (64 megapixels at 16 bytes each), and some
// loaders keep the whole file in memory.
constexpr uint64_t kMaxFileBytes = uint64_t{1} << 30;

// A metafile is read whole before it's drawn; one this big is no picture a player made.
constexpr size_t kMaxMetafileBytes = size_t{64} << 20;

struct Size {
  int64_t width = 0;
  int64_t height = 0;
};

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) { return U16(p) | (static_cast<uint32_t>(U16(p + 2)) << 16); }

bool StartsWith(const std::vector<uint8_t>& data, const char* magic, size_t magicSize) {
  return data.size() >= magicSize && std::memcmp(data.data(), magic, magicSize) == 0;
}

// The bitmap loader sets aside as much memory as the header claims to take, before it
// reads any size, so only the header sizes Windows writes get through.
std::optional<Size> BitmapSize(const std::vector<uint8_t>& data) {
  if (data.size() < 26) return std::nullopt;
  const uint32_t infoBytes = U32(&data[14]);
  if (infoBytes == 12) return Size{U16(&data[18]), U16(&data[20])};  // OS/2 1.x core header
  if (infoBytes != 40 && infoBytes != 52 && infoBytes != 56 && infoBytes != 64 && infoBytes != 108 &&
      infoBytes != 124) {
    return std::nullopt;
  }
  // So does the colour table: the loader takes the count of colours as a signed number
  // and sets aside four bytes for each, so "-1" asks it for four gigabytes. Windows holds
  // at most one colour for each value a pixel can have, and we take at most 65536.
  if (data.size() < 50) return std::nullopt;
  const uint32_t depth = U16(&data[28]);
  const uint32_t colours = U32(&data[46]);
  if (colours > (depth <= 8 ? uint32_t{1} << depth : uint32_t{1} << 16)) return std::nullopt;
  // A negative height means rows top-down.
  return Size{static_cast<int32_t>(U32(&data[18])), std::llabs(static_cast<int32_t>(U32(&data[22])))};
}

// The metafile loader never states a size: we choose it (shell/pictures/metafile.h) and ask
// for it. libwmf reports damage on stderr as it plays, so a file whose records don't run
// whole never reaches it.
std::optional<Size> MetafileSizeBeforeLoading(const std::vector<uint8_t>& data) {
  const std::optional<MetafileExtent> extent = MetafileSize(data);
  if (!extent) return std::nullopt;
  return Size{extent->width, extent->height};
}

// The bitmap loader also sets aside as much memory as the header says lies before the
// pixels: an offset past the end of the file would have it take gigabytes for nothing.
bool BitmapPixelsWithin(const std::vector<uint8_t>& data, uint64_t fileSize) {
  return data.size() >= 14 && U32(&data[10]) <= fileSize;
}

enum class Kind { Loader, Jpeg, Targa, Metafile };

struct Format {
  Kind kind;
  const char* loader;  // gdk-pixbuf's name for it
  // Where the loader's own word on the size can't be used, the size read beforehand.
  std::optional<Size> (*sizeBeforeLoading)(const std::vector<uint8_t>& data);
};

constexpr Format kBmp{Kind::Loader, "bmp", BitmapSize};
constexpr Format kGif{Kind::Loader, "gif", nullptr};
constexpr Format kJpeg{Kind::Jpeg, nullptr, nullptr};
constexpr Format kPng{Kind::Loader, "png", nullptr};
constexpr Format kTga{Kind::Targa, nullptr, nullptr};
constexpr Format kTiff{Kind::Loader, "tiff", nullptr};
constexpr Format kWmf{Kind::Metafile, "wmf", MetafileSizeBeforeLoading};

const Format* Sniff(const std::vector<uint8_t>& data) {
  if (StartsWith(data, "\x89PNG\r\n\x1a\n", 8)) return &kPng;
  if (StartsWith(data, "\xFF\xD8\xFF", 3)) return &kJpeg;
  if (StartsWith(data, "GIF87a", 6) || StartsWith(data, "GIF89a", 6)) return &kGif;
  if (StartsWith(data, "BM", 2)) return &kBmp;
  if (StartsWith(data, "II*\0", 4) || StartsWith(data, "MM\0*", 4)) return &kTiff;
  if (IsMetafile(data)) return &kWmf;
  if (TargaSize(data.data(), data.size())) return &kTga;
  return nullptr;
}

class OpenFile : public ByteSource {
 public:
  // Non-blocking so that a named pipe can't hang us before fstat turns it away.
  explicit OpenFile(const char* path) : fd_(open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)) {}
  ~OpenFile() {
    if (fd_ >= 0) close(fd_);
  }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;

  bool IsRegular() {
    struct stat info {};
    if (fd_ < 0 || fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) return false;
    size_ = static_cast<uint64_t>(info.st_size);
    return size_ <= kMaxFileBytes;
  }

  // As it was when IsRegular looked.
  uint64_t Size() const { return size_; }

  // Replaces data with the next bytes, at most `limit` of them, as many as the file
  // has; false on a read error or when the file has grown past kMaxFileBytes.
  bool Read(std::vector<uint8_t>& data, size_t limit) {
    data.resize(limit);
    size_t got = 0;
    while (got < limit) {
      const ssize_t n = read(fd_, data.data() + got, limit - got);
      if (n < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      if (n == 0) break;
      got += static_cast<size_t>(n);
    }
    data.resize(got);
    total_ += got;
    return total_ <= kMaxFileBytes;
  }

  bool Next(std::vector<uint8_t>& data) override { return Read(data, kChunkSize); }

  // Reads count bytes at offset, wherever the next read stands; false when the file ends first.
  bool ReadAt(uint64_t offset, uint8_t* out, size_t count) const {
    size_t got = 0;
    while (got < count) {
      const ssize_t n = pread(fd_, out + got, count - got, static_cast<off_t>(offset + got));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      got += static_cast<size_t>(n);
    }
    return true;
  }

  // The rest of the file after data, appended to it; false past the limit.
  bool ReadRest(std::vector<uint8_t>& data, size_t limit) {
    std::vector<uint8_t> rest;
    do {
      if (!Read(rest, kChunkSize)) return false;
      data.insert(data.end(), rest.begin(), rest.end());
      if (data.size() > limit) return false;
    } while (!rest.empty());
    return true;
  }

 private:
  int fd_;
  uint64_t size_ = 0;
  uint64_t total_ = 0;
};

// What the loader's signals tell us while it runs.
struct LoadWatch {
  std::optional<Size> drawnSize;  // for a metafile: the size we ask for
  bool refused = false;
  // One flag per row of the picture: some loaders give a half-drawn picture for a
  // truncated file without a word of complaint.
  std::vector<uint8_t> rowsDrawn;
  size_t rowsLeft = 0;
};

void OnSizePrepared(GdkPixbufLoader* loader, gint width, gint height, gpointer data) {
  auto* watch = static_cast<LoadWatch*>(data);
  if (watch->drawnSize) {
    gdk_pixbuf_loader_set_size(loader, static_cast<int>(watch->drawnSize->width),
                               static_cast<int>(watch->drawnSize->height));
    return;
  }
  if (!SurfaceSizeAllowed(width, height)) {
    // Zero tells the loader to stop before it allocates anything.
    watch->refused = true;
    gdk_pixbuf_loader_set_size(loader, 0, 0);
  }
}

void OnAreaPrepared(GdkPixbufLoader* loader, gpointer data) {
  auto* watch = static_cast<LoadWatch*>(data);
  const GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader);
  const int height = pixbuf != nullptr ? gdk_pixbuf_get_height(pixbuf) : 0;
  watch->rowsDrawn.assign(static_cast<size_t>(std::max(height, 0)), 0);
  watch->rowsLeft = watch->rowsDrawn.size();
}

void OnAreaUpdated(GdkPixbufLoader*, gint, gint y, gint, gint height, gpointer data) {
  auto* watch = static_cast<LoadWatch*>(data);
  const int64_t rows = static_cast<int64_t>(watch->rowsDrawn.size());
  const int64_t end = std::min<int64_t>(int64_t{y} + height, rows);
  for (int64_t row = std::max<int64_t>(y, 0); row < end; ++row) {
    uint8_t& drawn = watch->rowsDrawn[static_cast<size_t>(row)];
    if (drawn == 0) {
      drawn = 1;
      --watch->rowsLeft;
    }
  }
}

// gdk-pixbuf warns when a loader goes without being closed, so every path closes it.
class Loader {
 public:
  Loader(const char* type, LoadWatch* watch) {
    GError* error = nullptr;
    loader_ = gdk_pixbuf_loader_new_with_type(type, &error);
    g_clear_error(&error);
    if (loader_ == nullptr) return;
    g_signal_connect(loader_, "size-prepared", G_CALLBACK(OnSizePrepared), watch);
    g_signal_connect(loader_, "area-prepared", G_CALLBACK(OnAreaPrepared), watch);
    g_signal_connect(loader_, "area-updated", G_CALLBACK(OnAreaUpdated), watch);
  }
  ~Loader() {
    if (loader_ == nullptr) return;
    Close();
    g_object_unref(loader_);
  }
  Loader(const Loader&) = delete;
  Loader& operator=(const Loader&) = delete;

  bool Valid() const { return loader_ != nullptr; }

  bool Write(const std::vector<uint8_t>& data) {
    GError* error = nullptr;
    const bool ok = gdk_pixbuf_loader_write(loader_, data.data(), data.size(), &error);
    g_clear_error(&error);
    return ok;
  }

  bool Close() {
    if (closed_) return closedOk_;
    closed_ = true;
    GError* error = nullptr;
    closedOk_ = gdk_pixbuf_loader_close(loader_, &error);
    g_clear_error(&error);
    return closedOk_;
  }

  // Owned by the loader.
  GdkPixbuf* Pixbuf() const { return gdk_pixbuf_loader_get_pixbuf(loader_); }

 private:
  GdkPixbufLoader* loader_ = nullptr;
  bool closed_ = false;
  bool closedOk_ = false;
};

class PixbufRef {
 public:
  explicit PixbufRef(GdkPixbuf* owned) : pixbuf_(owned) {}
  ~PixbufRef() {
    if (pixbuf_ != nullptr) g_object_unref(pixbuf_);
  }
  PixbufRef(const PixbufRef&) = delete;
  PixbufRef& operator=(const PixbufRef&) = delete;
  const GdkPixbuf* get() const { return pixbuf_; }

 private:
  GdkPixbuf* pixbuf_;
};

// The pixbuf's pixels as 0xAARRGGBB, made smaller when it is larger than largest.
std::optional<DecodedImage> ToImage(const GdkPixbuf* pixbuf, ImageSize largest) {
  const int channels = gdk_pixbuf_get_n_channels(pixbuf);
  const bool alpha = gdk_pixbuf_get_has_alpha(pixbuf);
  if (gdk_pixbuf_get_colorspace(pixbuf) != GDK_COLORSPACE_RGB || gdk_pixbuf_get_bits_per_sample(pixbuf) != 8 ||
      channels != (alpha ? 4 : 3)) {
    return std::nullopt;
  }
  const int width = gdk_pixbuf_get_width(pixbuf);
  const int height = gdk_pixbuf_get_height(pixbuf);
  // Once more, in case a loader drew something other than the size it announced.
  if (!SurfaceSizeAllowed(width, height)) return std::nullopt;
  const size_t stride = static_cast<size_t>(gdk_pixbuf_get_rowstride(pixbuf));
  const guint8* pixels = gdk_pixbuf_read_pixels(pixbuf);
  uint32_t allAlpha = 0xFFu;
  auto row = [&](int32_t y, uint32_t* out) {
    const guint8* p = pixels + static_cast<size_t>(y) * stride;
    for (int x = 0; x < width; ++x, p += channels) {
      const uint32_t a = alpha ? p[3] : 0xFFu;
      allAlpha &= a;
      *out++ = (a << 24) | (static_cast<uint32_t>(p[0]) << 16) | (static_cast<uint32_t>(p[1]) << 8) | p[2];
    }
  };

  const ImageSize fitted = FitWithin(ImageSize{width, height}, largest);
  DecodedImage image;
  if (fitted != ImageSize{width, height}) {
    image = DownscaleRows(width, height, !alpha, row, fitted);
  } else {
    image.width = width;
    image.height = height;
    image.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) row(y, image.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width));
  }
  // A picture whose every pixel is opaque is drawn without blending, alpha channel or not.
  image.opaque = allAlpha == 0xFFu;
  return image;
}

// What Probe and Decode both start with: the file open, its first bytes read, its format known.
struct Opened {
  explicit Opened(const char* path) : file(path) {}
  bool Start() {
    if (!file.IsRegular() || !file.Read(data, kChunkSize)) return false;
    format = Sniff(data);
    if (format == &kBmp && !BitmapPixelsWithin(data, file.Size())) return false;
    return format != nullptr;
  }
  OpenFile file;
  std::vector<uint8_t> data;
  const Format* format = nullptr;
};

// A TIFF file's first picture: its size and orientation, wherever its directory lies.
std::optional<TiffPicture> TiffDirectory(const OpenFile& file) {
  return ReadTiffDirectory([&file](uint64_t offset, uint8_t* out, size_t count) { return file.ReadAt(offset, out, count); });
}

std::optional<DecodedImage> DecodeWithLoader(Opened& opened, ImageSize largest) {
  const Format& format = *opened.format;
  std::vector<uint8_t>& data = opened.data;
  LoadWatch watch;
  if (format.kind == Kind::Metafile && !opened.file.ReadRest(data, kMaxMetafileBytes)) return std::nullopt;
  if (format.sizeBeforeLoading != nullptr) {
    const std::optional<Size> size = format.sizeBeforeLoading(data);
    if (!size || !SurfaceSizeAllowed(size->width, size->height)) return std::nullopt;
    // A drawing is drawn at the size it is shown at, not drawn large and made smaller.
    if (format.kind == Kind::Metafile) {
      const ImageSize fitted = FitWithin(ImageSize{static_cast<int32_t>(size->width), static_cast<int32_t>(size->height)}, largest);
      watch.drawnSize = Size{fitted.width, fitted.height};
      // The loader fits the drawing's own bounds to the picture: given the frame as bounds,
      // a drawing over part of it stays in place.
      std::optional<std::vector<uint8_t>> framed = WithFrameOutlined(data);
      if (!framed) return std::nullopt;
      data = std::move(*framed);
    }
  }

  Loader loader(format.loader, &watch);
  if (!loader.Valid()) return std::nullopt;
  while (!data.empty()) {
    if (!loader.Write(data) || watch.refused) return std::nullopt;
    if (!opened.file.Read(data, kChunkSize)) return std::nullopt;
  }
  // Some loaders only learn the size here, once they have the whole file.
  if (!loader.Close() || watch.refused) return std::nullopt;
  GdkPixbuf* decoded = loader.Pixbuf();
  if (decoded == nullptr || watch.rowsDrawn.empty() || watch.rowsLeft != 0 ||
      static_cast<size_t>(gdk_pixbuf_get_height(decoded)) != watch.rowsDrawn.size()) {
    return std::nullopt;
  }

  PixbufRef upright(gdk_pixbuf_apply_embedded_orientation(decoded));
  if (upright.get() == nullptr) return std::nullopt;
  return ToImage(upright.get(), largest);
}

}  // namespace

std::optional<ImageSize> PixbufDecoder::Probe(const char* path) {
  const std::optional<ImageSize> natural = NaturalSize(path);
  if (!natural) return std::nullopt;
  return FitWithin(*natural, largest_);
}

std::optional<ImageSize> PixbufDecoder::NaturalSize(const char* path) {
  if (path == nullptr) return std::nullopt;
  Opened opened(path);
  if (!opened.Start()) return std::nullopt;
  const std::vector<uint8_t>& data = opened.data;
  std::optional<ImageSize> size;
  Orientation orientation = 1;
  if (opened.format == &kJpeg) {
    const std::optional<JpegHeader> header = ReadJpegHeader(data, opened.file);
    if (!header) return std::nullopt;
    size = header->stored;
    orientation = header->orientation;
  } else if (opened.format == &kTga) {
    size = TargaSize(data.data(), data.size());
  } else if (opened.format == &kPng) {
    // The first chunk is the header: width and height, big-endian.
    if (data.size() >= 24 && std::memcmp(&data[12], "IHDR", 4) == 0) {
      auto be32 = [&](size_t at) { return (uint32_t{data[at]} << 24) | (uint32_t{data[at + 1]} << 16) | (uint32_t{data[at + 2]} << 8) | data[at + 3]; };
      if (be32(16) <= static_cast<uint32_t>(INT32_MAX) && be32(20) <= static_cast<uint32_t>(INT32_MAX)) {
        size = ImageSize{static_cast<int32_t>(be32(16)), static_cast<int32_t>(be32(20))};
      }
    }
  } else if (opened.format == &kGif) {
    // The logical screen, which every frame is drawn on.
    if (data.size() >= 10) size = ImageSize{U16(&data[6]), U16(&data[8])};
  } else if (opened.format == &kTiff) {
    if (const std::optional<TiffPicture> picture = TiffDirectory(opened.file)) {
      size = picture->stored;
      orientation = picture->orientation;
    }
  } else {
    std::vector<uint8_t> whole = data;
    if (opened.format == &kWmf && !opened.file.ReadRest(whole, kMaxMetafileBytes)) return std::nullopt;
    if (const std::optional<Size> s = opened.format->sizeBeforeLoading(whole)) {
      if (SurfaceSizeAllowed(s->width, s->height)) size = ImageSize{static_cast<int32_t>(s->width), static_cast<int32_t>(s->height)};
    }
  }
  if (!size || !SurfaceSizeAllowed(size->width, size->height)) return std::nullopt;
  return Oriented(*size, orientation);
}

std::optional<DecodedImage> PixbufDecoder::Decode(const char* path) {
  if (path == nullptr) return std::nullopt;
  Opened opened(path);
  if (!opened.Start()) return std::nullopt;
  switch (opened.format->kind) {
    case Kind::Jpeg:
      return DecodeJpeg(opened.data, opened.file, largest_);
    case Kind::Targa: {
      if (!opened.file.ReadRest(opened.data, kMaxFileBytes)) return std::nullopt;
      std::optional<DecodedImage> image = DecodeTarga(opened.data.data(), opened.data.size());
      if (!image) return std::nullopt;
      const ImageSize fitted = FitWithin(ImageSize{image->width, image->height}, largest_);
      return Downscale(std::move(*image), fitted);
    }
    default:
      return DecodeWithLoader(opened, largest_);
  }
}

bool PixbufDecoder::Exists(const char* path) {
  struct stat status {};
  return path != nullptr && *path != '\0' && ::stat(path, &status) == 0;
}

}  // namespace puzzle
