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

// Windows shows a placeable metafile at this many pixels per inch.
constexpr int64_t kMetafileDpi = 96;

struct Size {
  int64_t width = 0;
  int64_t height = 0;
};

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
int16_t S16(const uint8_t* p) { return static_cast<int16_t>(U16(p)); }
uint32_t U32(const uint8_t* p) { return U16(p) | (static_cast<uint32_t>(U16(p + 2)) << 16); }

bool StartsWith(const std::vector<uint8_t>& data, const char* magic, size_t magicSize) {
  return data.size() >= magicSize && std::memcmp(data.data(), magic, magicSize) == 0;
}

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr size_t kPlaceableHeaderBytes = 22;
constexpr size_t kMetaHeaderBytes = 18;

bool IsPlaceable(const std::vector<uint8_t>& data) {
  return data.size() >= kPlaceableHeaderBytes && U32(data.data()) == kPlaceableKey;
}

bool IsMetafile(const std::vector<uint8_t>& data) {
  if (IsPlaceable(data)) return true;
  // A bare header: memory or disk metafile, nine words long, Windows 3.0 or earlier.
  const uint8_t* d = data.data();
  return data.size() >= kMetaHeaderBytes && (U16(d) == 1 || U16(d) == 2) && U16(d + 2) == 9 &&
         (U16(d + 4) == 0x0100 || U16(d + 4) == 0x0300);
}

// Targa has no signature, so its header must make sense as a whole; tried last.
bool IsTarga(const std::vector<uint8_t>& data) {
  if (data.size() < 18) return false;
  const uint8_t mapType = data[1];
  const uint8_t imageType = data[2];
  const bool mapped = imageType == 1 || imageType == 9;
  const bool direct = imageType == 2 || imageType == 3 || imageType == 10 || imageType == 11;
  if (!mapped && !direct) return false;
  if (mapType > 1 || (mapped && mapType != 1)) return false;
  if (mapType == 1) {
    const uint8_t entryBits = data[7];
    if (entryBits != 15 && entryBits != 16 && entryBits != 24 && entryBits != 32) return false;
  }
  const uint8_t depth = data[16];
  if (depth != 8 && depth != 15 && depth != 16 && depth != 24 && depth != 32) return false;
  return U16(&data[12]) > 0 && U16(&data[14]) > 0;
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
  // A negative height means rows top-down.
  return Size{static_cast<int32_t>(U32(&data[18])), std::llabs(static_cast<int32_t>(U32(&data[22])))};
}

// A Targa loader stopped at the size it states complains on stderr, so it's checked here.
std::optional<Size> TargaSize(const std::vector<uint8_t>& data) { return Size{U16(&data[12]), U16(&data[14])}; }

// The metafile loader never states a size: left alone it picks one from the drawing, and a
// crafted file can make that gigabytes. So we choose the size and ask for it: the placeable
// header's box at 96 dpi, or else the window extent, one unit a pixel.
//
// libwmf reports damage on stderr as it plays, so a file whose records don't run whole from
// the header to the end record gets no size and never reaches it.
std::optional<Size> MetafileSize(const std::vector<uint8_t>& data) {
  const bool placeable = IsPlaceable(data);
  size_t at = placeable ? kPlaceableHeaderBytes : 0;
  if (data.size() < at + kMetaHeaderBytes || U16(&data[at + 2]) != 9) return std::nullopt;
  const uint32_t longestRecord = U32(&data[at + 12]);
  at += kMetaHeaderBytes;

  std::optional<Size> windowExtent;
  for (;;) {
    if (data.size() - at < 6) return std::nullopt;
    const uint32_t words = U32(&data[at]);
    const uint16_t function = U16(&data[at + 4]);
    if (words < 3 || words > longestRecord || words > (data.size() - at) / 2) return std::nullopt;
    if (function == 0) break;                                  // META_EOF
    if (function == 0x020C && words >= 5 && !windowExtent) {  // META_SETWINDOWEXT: height, width
      windowExtent = Size{std::llabs(S16(&data[at + 8])), std::llabs(S16(&data[at + 6]))};
    }
    at += static_cast<size_t>(words) * 2;
  }

  if (!placeable) return windowExtent;
  const int64_t unitsPerInch = U16(&data[14]);
  if (unitsPerInch == 0) return std::nullopt;
  auto pixels = [unitsPerInch](int64_t from, int64_t to) {
    return (std::llabs(to - from) * kMetafileDpi + unitsPerInch / 2) / unitsPerInch;
  };
  return Size{pixels(S16(&data[6]), S16(&data[10])), pixels(S16(&data[8]), S16(&data[12]))};
}

struct Format {
  const char* loader;  // gdk-pixbuf's name for it
  // Where the loader's own word on the size can't be used, the size read beforehand.
  std::optional<Size> (*sizeBeforeLoading)(const std::vector<uint8_t>& data);
  bool vector;  // read whole, and drawn at that size rather than at one of its own
};

constexpr Format kBmp{"bmp", BitmapSize, false};
constexpr Format kGif{"gif", nullptr, false};
constexpr Format kJpeg{"jpeg", nullptr, false};
constexpr Format kPng{"png", nullptr, false};
constexpr Format kTga{"tga", TargaSize, false};
constexpr Format kTiff{"tiff", nullptr, false};
constexpr Format kWmf{"wmf", MetafileSize, true};

const Format* Sniff(const std::vector<uint8_t>& data) {
  if (StartsWith(data, "\x89PNG\r\n\x1a\n", 8)) return &kPng;
  if (StartsWith(data, "\xFF\xD8\xFF", 3)) return &kJpeg;
  if (StartsWith(data, "GIF87a", 6) || StartsWith(data, "GIF89a", 6)) return &kGif;
  if (StartsWith(data, "BM", 2)) return &kBmp;
  if (StartsWith(data, "II*\0", 4) || StartsWith(data, "MM\0*", 4)) return &kTiff;
  if (IsMetafile(data)) return &kWmf;
  if (IsTarga(data)) return &kTga;
  return nullptr;
}

// libjpeg makes up whatever a cut-off JPEG lacks and the loader calls that a success, so
// we follow the markers ourselves and want to see the end of the image after a scan.
class JpegEndWatch {
 public:
  void Feed(const std::vector<uint8_t>& data) {
    for (uint8_t byte : data) Step(byte);
  }
  bool SawEnd() const { return state_ == State::End; }

 private:
  enum class State { Marker, MarkerCode, Length1, Length2, Segment, Scan, ScanMarker, End };

  void Step(uint8_t byte) {
    switch (state_) {
      case State::Marker:  // anything but 0xFF between segments is skipped, as libjpeg does
        if (byte == 0xFF) state_ = State::MarkerCode;
        return;
      case State::MarkerCode:
        if (byte != 0xFF) OnMarker(byte);  // 0xFF is fill
        return;
      case State::Length1:
        remaining_ = static_cast<uint32_t>(byte) << 8;
        state_ = State::Length2;
        return;
      case State::Length2:
        remaining_ |= byte;
        remaining_ = remaining_ > 2 ? remaining_ - 2 : 0;
        state_ = remaining_ > 0 ? State::Segment : afterSegment_;
        return;
      case State::Segment:
        if (--remaining_ == 0) state_ = afterSegment_;
        return;
      case State::Scan:
        if (byte == 0xFF) state_ = State::ScanMarker;
        return;
      case State::ScanMarker:  // a stuffed zero or a restart marker belongs to the scan
        if (byte == 0x00 || (byte >= 0xD0 && byte <= 0xD7)) {
          state_ = State::Scan;
        } else if (byte != 0xFF) {
          OnMarker(byte);
        }
        return;
      case State::End:
        return;
    }
  }

  void OnMarker(uint8_t code) {
    if (code == 0xD9) {  // EOI
      state_ = sawScan_ ? State::End : State::Marker;
    } else if (code == 0xD8 || code == 0x01 || (code >= 0xD0 && code <= 0xD7)) {
      state_ = State::Marker;  // no length follows
    } else {
      if (code == 0xDA) sawScan_ = true;  // SOS: entropy-coded data follows its header
      afterSegment_ = code == 0xDA ? State::Scan : State::Marker;
      state_ = State::Length1;
    }
  }

  State state_ = State::Marker;
  State afterSegment_ = State::Marker;
  uint32_t remaining_ = 0;
  bool sawScan_ = false;
};

class OpenFile {
 public:
  // Non-blocking so that a named pipe can't hang us before fstat turns it away.
  explicit OpenFile(const char* path) : fd_(open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)) {}
  ~OpenFile() {
    if (fd_ >= 0) close(fd_);
  }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;

  bool IsRegular() const {
    struct stat info {};
    return fd_ >= 0 && fstat(fd_, &info) == 0 && S_ISREG(info.st_mode) &&
           static_cast<uint64_t>(info.st_size) <= kMaxFileBytes;
  }

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

 private:
  int fd_;
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

std::optional<DecodedImage> ToImage(const GdkPixbuf* pixbuf) {
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

  DecodedImage image;
  image.width = width;
  image.height = height;
  image.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  uint32_t* out = image.pixels.data();
  for (int y = 0; y < height; ++y) {
    const guint8* p = pixels + static_cast<size_t>(y) * stride;
    for (int x = 0; x < width; ++x, p += channels) {
      const uint32_t a = alpha ? p[3] : 0xFFu;
      *out++ = (a << 24) | (static_cast<uint32_t>(p[0]) << 16) | (static_cast<uint32_t>(p[1]) << 8) | p[2];
    }
  }
  return image;
}

}  // namespace

std::optional<DecodedImage> PixbufDecoder::Decode(const char* path) {
  if (path == nullptr) return std::nullopt;
  OpenFile file(path);
  if (!file.IsRegular()) return std::nullopt;

  std::vector<uint8_t> data;
  if (!file.Read(data, kChunkSize)) return std::nullopt;
  const Format* format = Sniff(data);
  if (format == nullptr) return std::nullopt;

  LoadWatch watch;
  if (format->vector) {
    std::vector<uint8_t> rest;
    do {
      if (!file.Read(rest, kChunkSize)) return std::nullopt;
      data.insert(data.end(), rest.begin(), rest.end());
      if (data.size() > kMaxMetafileBytes) return std::nullopt;
    } while (!rest.empty());
  }
  if (format->sizeBeforeLoading != nullptr) {
    const std::optional<Size> size = format->sizeBeforeLoading(data);
    if (!size || !SurfaceSizeAllowed(size->width, size->height)) return std::nullopt;
    if (format->vector) watch.drawnSize = size;
  }

  Loader loader(format->loader, &watch);
  if (!loader.Valid()) return std::nullopt;
  JpegEndWatch jpegEnd;
  const bool jpeg = format == &kJpeg;
  while (!data.empty()) {
    if (jpeg) jpegEnd.Feed(data);
    if (!loader.Write(data) || watch.refused) return std::nullopt;
    if (!file.Read(data, kChunkSize)) return std::nullopt;
  }
  // Some loaders only learn the size here, once they have the whole file.
  if (!loader.Close() || watch.refused || (jpeg && !jpegEnd.SawEnd())) return std::nullopt;
  GdkPixbuf* decoded = loader.Pixbuf();
  if (decoded == nullptr || watch.rowsDrawn.empty() || watch.rowsLeft != 0 ||
      static_cast<size_t>(gdk_pixbuf_get_height(decoded)) != watch.rowsDrawn.size()) {
    return std::nullopt;
  }

  PixbufRef upright(gdk_pixbuf_apply_embedded_orientation(decoded));
  if (upright.get() == nullptr) return std::nullopt;
  return ToImage(upright.get());
}

}  // namespace puzzle
