#include "shell/linux/pixbuf_decoder.h"

#include "metafile_cases.h"
#include "tools/png_writer.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace puzzle {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

constexpr uint32_t kBlue = 0xFF0000FF;
constexpr uint32_t kRed = 0xFFFF0000;
constexpr uint32_t kLime = 0xFF00FF00;
constexpr uint32_t kYellow = 0xFFFFFF00;

// The picture most tests use: 40 x 30 in four quadrants, so a flip, a turn or a row
// out of place shows.
constexpr int32_t kWidth = 40;
constexpr int32_t kHeight = 30;

uint32_t Quadrant(int32_t x, int32_t y) {
  const bool left = x < kWidth / 2;
  const bool top = y < kHeight / 2;
  return top ? (left ? kBlue : kRed) : (left ? kLime : kYellow);
}

// How far (in pixels) a point lies from the quadrants' dividing lines.
int32_t DistanceFromSeams(int32_t x, int32_t y) {
  const int32_t dx = x < kWidth / 2 ? kWidth / 2 - 1 - x : x - kWidth / 2;
  const int32_t dy = y < kHeight / 2 ? kHeight / 2 - 1 - y : y - kHeight / 2;
  return std::min(dx, dy);
}

// --- Writing files byte by byte -----------------------------------------------------

void Le16(Bytes& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Le32(Bytes& out, uint32_t v) {
  Le16(out, v & 0xFFFF);
  Le16(out, v >> 16);
}
void Be16(Bytes& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}
void Be32(Bytes& out, uint32_t v) {
  Be16(out, v >> 16);
  Be16(out, v & 0xFFFF);
}
void Append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }
void Append(Bytes& out, const char* text, size_t size) { out.insert(out.end(), text, text + size); }

using tools::PngFile;
using tools::StoredZlib;

// An 8-bit RGBA PNG of the given 0xAARRGGBB pixels.
Bytes Png(int32_t width, int32_t height, const std::function<uint32_t(int32_t, int32_t)>& pixel) {
  Bytes raw;
  for (int32_t y = 0; y < height; ++y) {
    raw.push_back(0);
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t p = pixel(x, y);
      Append(raw, Bytes{static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p),
                        static_cast<uint8_t>(p >> 24)});
    }
  }
  return PngFile(static_cast<uint32_t>(width), static_cast<uint32_t>(height), 6, StoredZlib(raw));
}

// A grey PNG, for pictures too large to spend four bytes a pixel on.
Bytes GreyPng(uint32_t width, uint32_t height, uint8_t level) {
  const size_t stride = size_t{width} + 1;
  Bytes raw(stride * height, level);
  for (size_t y = 0; y < height; ++y) raw[y * stride] = 0;  // each row's filter byte
  return PngFile(width, height, 0, StoredZlib(raw));
}

// Truecolour Targa; rows stored bottom-up unless topDown, run-length packets if rle.
Bytes Targa(int32_t width, int32_t height, bool topDown, bool rle, bool alpha,
            const std::function<uint32_t(int32_t, int32_t)>& pixel) {
  Bytes out{0, 0, static_cast<uint8_t>(rle ? 10 : 2), 0, 0, 0, 0, 0};
  Le16(out, 0);
  Le16(out, 0);
  Le16(out, static_cast<uint32_t>(width));
  Le16(out, static_cast<uint32_t>(height));
  out.push_back(alpha ? 32 : 24);
  out.push_back(static_cast<uint8_t>((alpha ? 8 : 0) | (topDown ? 0x20 : 0)));
  auto put = [&](uint32_t p) {
    Append(out, Bytes{static_cast<uint8_t>(p), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p >> 16)});
    if (alpha) out.push_back(static_cast<uint8_t>(p >> 24));
  };
  for (int32_t row = 0; row < height; ++row) {
    const int32_t y = topDown ? row : height - 1 - row;
    for (int32_t x = 0; x < width;) {
      if (!rle) {
        put(pixel(x++, y));
        continue;
      }
      int32_t run = 1;
      while (x + run < width && run < 128 && pixel(x + run, y) == pixel(x, y)) ++run;
      out.push_back(static_cast<uint8_t>(0x80 | (run - 1)));
      put(pixel(x, y));
      x += run;
    }
  }
  return out;
}

// A 24-bit BMP; rows stored bottom-up unless topDown, which a negative height tells.
Bytes Bmp24(int32_t width, int32_t height, bool topDown, const std::function<uint32_t(int32_t, int32_t)>& pixel) {
  const auto stride = static_cast<uint32_t>(width * 3 + 3) & ~3u;
  Bytes out{'B', 'M'};
  for (uint32_t v : {54 + stride * static_cast<uint32_t>(height), 0u, 54u, 40u, static_cast<uint32_t>(width),
                     static_cast<uint32_t>(topDown ? -height : height)}) {
    Le32(out, v);
  }
  Le16(out, 1);
  Le16(out, 24);
  for (int i = 0; i < 6; ++i) Le32(out, 0);
  for (int32_t row = 0; row < height; ++row) {
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t p = pixel(x, topDown ? row : height - 1 - row);
      Append(out, Bytes{static_cast<uint8_t>(p), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p >> 16)});
    }
    out.resize(out.size() + stride - static_cast<uint32_t>(width) * 3);
  }
  return out;
}

// An 8-bit run-length BMP, every row one colour from the palette.
Bytes Rle8Bmp(int32_t width, int32_t height, uint32_t rgb) {
  Bytes pixels;
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t left = width; left > 0;) {
      const int32_t n = std::min(left, 255);
      Append(pixels, Bytes{static_cast<uint8_t>(n), 1});
      left -= n;
    }
    Append(pixels, Bytes{0, 0});  // end of line
  }
  Append(pixels, Bytes{0, 1});  // end of bitmap
  const uint32_t offset = 14 + 40 + 256 * 4;
  Bytes out{'B', 'M'};
  Le32(out, offset + static_cast<uint32_t>(pixels.size()));
  Le32(out, 0);
  Le32(out, offset);
  Le32(out, 40);
  Le32(out, static_cast<uint32_t>(width));
  Le32(out, static_cast<uint32_t>(height));
  Le16(out, 1);
  Le16(out, 8);
  Le32(out, 1);  // BI_RLE8
  Le32(out, static_cast<uint32_t>(pixels.size()));
  Le32(out, 2835);
  Le32(out, 2835);
  Le32(out, 256);
  Le32(out, 0);
  for (int i = 0; i < 256; ++i) Le32(out, i == 1 ? rgb : 0);
  Append(out, pixels);
  return out;
}

// A rectangle in logical units with its fill; the metafile draws them in order.
struct MetaRect {
  int16_t left, top, right, bottom;
  uint32_t rgb;
};

struct Metafile {
  bool placeable = true;
  int16_t boxRight = kWidth, boxBottom = kHeight;  // placeable box, from 0, 0
  uint16_t unitsPerInch = 96;
  std::optional<std::array<int16_t, 2>> windowExtent = std::array<int16_t, 2>{kWidth, kHeight};
  std::vector<MetaRect> rects;
};

void MetaRecord(Bytes& out, uint32_t& longest, uint16_t function, const std::vector<uint16_t>& params) {
  const uint32_t words = 3 + static_cast<uint32_t>(params.size());
  longest = std::max(longest, words);
  Le32(out, words);
  Le16(out, function);
  for (uint16_t p : params) Le16(out, p);
}

std::vector<uint16_t> ColorRef(uint32_t rgb) {
  // COLORREF is 0x00BBGGRR.
  const uint32_t ref = ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
  return {static_cast<uint16_t>(ref & 0xFFFF), static_cast<uint16_t>(ref >> 16)};
}

// From the published record layouts: a null pen, then one solid brush per rectangle.
Bytes MetafileBytes(const Metafile& m) {
  Bytes records;
  uint32_t longest = 0;
  auto u = [](int v) { return static_cast<uint16_t>(v); };
  MetaRecord(records, longest, 0x020B, {0, 0});  // SETWINDOWORG y, x
  if (m.windowExtent) {
    MetaRecord(records, longest, 0x020C, {u((*m.windowExtent)[1]), u((*m.windowExtent)[0])});  // SETWINDOWEXT
  }
  std::vector<uint16_t> pen{5, 0, 0};  // PS_NULL, width 0, 0
  for (uint16_t w : ColorRef(0)) pen.push_back(w);
  MetaRecord(records, longest, 0x02FA, pen);  // CREATEPENINDIRECT -> object 0
  MetaRecord(records, longest, 0x012D, {0});  // SELECTOBJECT
  for (const MetaRect& r : m.rects) {
    std::vector<uint16_t> brush{0};  // BS_SOLID
    for (uint16_t w : ColorRef(r.rgb)) brush.push_back(w);
    brush.push_back(0);
    MetaRecord(records, longest, 0x02FC, brush);                                         // CREATEBRUSHINDIRECT
    MetaRecord(records, longest, 0x012D, {1});                                           // SELECTOBJECT
    MetaRecord(records, longest, 0x041B, {u(r.bottom), u(r.right), u(r.top), u(r.left)});  // RECTANGLE
    MetaRecord(records, longest, 0x01F0, {1});                                           // DELETEOBJECT
  }
  MetaRecord(records, longest, 0x0000, {});  // EOF

  Bytes out;
  if (m.placeable) {
    Bytes header;
    Le32(header, 0x9AC6CDD7);
    Le16(header, 0);
    Le16(header, 0);
    Le16(header, 0);
    Le16(header, u(m.boxRight));
    Le16(header, u(m.boxBottom));
    Le16(header, m.unitsPerInch);
    Le32(header, 0);
    uint16_t checksum = 0;
    for (size_t i = 0; i < header.size(); i += 2) checksum ^= static_cast<uint16_t>(header[i] | (header[i + 1] << 8));
    Le16(header, checksum);
    Append(out, header);
  }
  Le16(out, 1);       // memory metafile
  Le16(out, 9);       // header words
  Le16(out, 0x0300);  // version
  Le32(out, static_cast<uint32_t>((18 + records.size()) / 2));
  Le16(out, 2);  // objects
  Le32(out, longest);
  Le16(out, 0);
  Append(out, records);
  return out;
}

// The quadrant picture as a metafile, in logical units `scale` times its pixels.
Metafile QuadrantMetafile(int16_t scale) {
  Metafile m;
  const auto w = static_cast<int16_t>(kWidth * scale), h = static_cast<int16_t>(kHeight * scale);
  m.boxRight = w;
  m.boxBottom = h;
  m.windowExtent = std::array<int16_t, 2>{w, h};
  m.rects = {{0, 0, w, h, kRed},
             {0, 0, static_cast<int16_t>(w / 2), static_cast<int16_t>(h / 2), kBlue},
             {0, static_cast<int16_t>(h / 2), static_cast<int16_t>(w / 2), h, kLime},
             {static_cast<int16_t>(w / 2), static_cast<int16_t>(h / 2), w, h, kYellow}};
  return m;
}

// An APP1 segment put right after the JPEG's SOI.
Bytes WithApp1(const Bytes& jpeg, const Bytes& body) {
  Bytes out(jpeg.begin(), jpeg.begin() + 2);
  Append(out, Bytes{0xFF, 0xE1});
  Be16(out, static_cast<uint32_t>(body.size() + 2));
  Append(out, body);
  out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
  return out;
}

// EXIF holding only an orientation tag.
Bytes WithExifOrientation(const Bytes& jpeg, uint16_t orientation) {
  Bytes tiff{'M', 'M', 0, 42};
  Be32(tiff, 8);
  Be16(tiff, 1);  // one entry
  Be16(tiff, 0x0112);
  Be16(tiff, 3);  // SHORT
  Be32(tiff, 1);
  Be16(tiff, orientation);
  Be16(tiff, 0);
  Be32(tiff, 0);  // no next directory
  Bytes body{'E', 'x', 'i', 'f', 0, 0};
  Append(body, tiff);
  return WithApp1(jpeg, body);
}

// A JPEG whose metadata carries a whole small JPEG of its own, as cameras' thumbnails do.
Bytes WithThumbnail(const Bytes& jpeg) {
  Bytes body{'E', 'x', 'i', 'f', 0, 0};
  Append(body, jpeg);
  return WithApp1(jpeg, body);
}

// Rewrites the size in a JPEG's frame header.
Bytes WithJpegSize(Bytes jpeg, uint16_t width, uint16_t height) {
  size_t at = 2;
  while (at + 9 < jpeg.size() && jpeg[at] == 0xFF) {
    const uint8_t marker = jpeg[at + 1];
    const size_t length = static_cast<size_t>(jpeg[at + 2] << 8 | jpeg[at + 3]);
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
      jpeg[at + 5] = static_cast<uint8_t>(height >> 8);
      jpeg[at + 6] = static_cast<uint8_t>(height);
      jpeg[at + 7] = static_cast<uint8_t>(width >> 8);
      jpeg[at + 8] = static_cast<uint8_t>(width);
      return jpeg;
    }
    at += 2 + length;
  }
  ADD_FAILURE() << "no frame header in the JPEG";
  return jpeg;
}

// A one-strip 8-bit grey TIFF whose directory states the size.
Bytes GreyTiff(uint32_t width, uint32_t height, size_t dataBytes) {
  struct Entry {
    uint16_t tag, type;
    uint32_t value;
  };
  const std::vector<Entry> entries{{256, 4, width}, {257, 4, height}, {258, 3, 8},   {259, 3, 1}, {262, 3, 1},
                                   {273, 4, 0},     {277, 3, 1},      {278, 4, height}, {279, 4, static_cast<uint32_t>(dataBytes)}};
  const uint32_t dataOffset = 8 + 2 + static_cast<uint32_t>(entries.size()) * 12 + 4;
  Bytes out{'I', 'I', 42, 0};
  Le32(out, 8);
  Le16(out, static_cast<uint32_t>(entries.size()));
  for (const Entry& e : entries) {
    Le16(out, e.tag);
    Le16(out, e.type);
    Le32(out, 1);
    const uint32_t value = e.tag == 273 ? dataOffset : e.value;
    if (e.type == 3) {
      Le16(out, value);
      Le16(out, 0);
    } else {
      Le32(out, value);
    }
  }
  Le32(out, 0);
  out.insert(out.end(), dataBytes, 0x80);
  return out;
}

Bytes GifHeaderOnly(uint16_t width, uint16_t height) {
  Bytes out{'G', 'I', 'F', '8', '9', 'a'};
  Le16(out, width);
  Le16(out, height);
  Append(out, Bytes{0x80, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF});  // two-colour table
  Append(out, Bytes{','});
  Le16(out, 0);
  Le16(out, 0);
  Le16(out, 1);
  Le16(out, 1);
  Append(out, Bytes{0, 2, 2, 0x44, 0x01, 0, ';'});  // one pixel, LZW
  return out;
}

Bytes Garbage(size_t size, uint32_t seed) {
  Bytes out;
  for (size_t i = 0; i < size; ++i) {
    seed = seed * 1664525u + 1013904223u;
    out.push_back(static_cast<uint8_t>(seed >> 24));
  }
  return out;
}

// --- Running the decoder ------------------------------------------------------------

// Whatever reaches stderr while it lives: GLib's warnings and criticals, and anything
// a library prints itself.
class StderrCapture {
 public:
  StderrCapture() {
    std::fflush(stderr);
    file_ = std::tmpfile();
    saved_ = dup(STDERR_FILENO);
    if (file_ != nullptr && saved_ >= 0) dup2(fileno(file_), STDERR_FILENO);
  }
  ~StderrCapture() { Finish(); }
  StderrCapture(const StderrCapture&) = delete;
  StderrCapture& operator=(const StderrCapture&) = delete;

  std::string Finish() {
    if (saved_ < 0) return text_;
    std::fflush(stderr);
    dup2(saved_, STDERR_FILENO);
    close(saved_);
    saved_ = -1;
    if (file_ != nullptr) {
      std::rewind(file_);
      char buffer[4096];
      size_t n;
      while ((n = std::fread(buffer, 1, sizeof buffer, file_)) > 0) text_.append(buffer, n);
      std::fclose(file_);
      file_ = nullptr;
    }
    return text_;
  }

 private:
  std::FILE* file_ = nullptr;
  int saved_ = -1;
  std::string text_;
};

long PeakMemoryKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

struct Outcome {
  std::optional<DecodedImage> image;
  std::string stderrText;
  // How far the process's peak memory rose: a picture refused from its header never
  // comes near what its pixels would take. (It can't tell when the peak was higher before.)
  long peakGrowthKb = 0;
};

// A refused picture may cost this much at most.
constexpr long kRefusalBudgetKb = 64 * 1024;

Outcome DecodeQuietly(const char* path) {
  PixbufDecoder decoder;
  const long peakBefore = PeakMemoryKb();
  StderrCapture capture;
  Outcome outcome;
  outcome.image = decoder.Decode(path);
  outcome.stderrText = capture.Finish();
  outcome.peakGrowthKb = PeakMemoryKb() - peakBefore;
  return outcome;
}

Outcome DecodeQuietly(const fs::path& path) { return DecodeQuietly(path.c_str()); }

std::string Hex(uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", v);
  return text;
}

// Compares every pixel for which `expected` gives a colour, each channel within tolerance.
::testing::AssertionResult PixelsMatch(const DecodedImage& image, int32_t width, int32_t height,
                                       const std::function<std::optional<uint32_t>(int32_t, int32_t)>& expected,
                                       int tolerance = 0) {
  if (image.width != width || image.height != height) {
    return ::testing::AssertionFailure() << "size " << image.width << " x " << image.height << ", expected " << width
                                         << " x " << height;
  }
  if (image.pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height)) {
    return ::testing::AssertionFailure() << "pixel count " << image.pixels.size();
  }
  int wrong = 0;
  std::string first;
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const std::optional<uint32_t> want = expected(x, y);
      if (!want) continue;
      const uint32_t got = image.At(x, y);
      bool close = true;
      for (int shift = 0; shift < 32; shift += 8) {
        const int a = static_cast<int>((got >> shift) & 0xFF), b = static_cast<int>((*want >> shift) & 0xFF);
        if (std::abs(a - b) > tolerance) close = false;
      }
      if (!close && wrong++ == 0) {
        std::ostringstream where;
        where << "(" << x << ", " << y << ") is " << Hex(got) << ", expected " << Hex(*want);
        first = where.str();
      }
    }
  }
  if (wrong > 0) return ::testing::AssertionFailure() << wrong << " pixels differ, first " << first;
  return ::testing::AssertionSuccess();
}

// The quadrants, leaving out pixels nearer than `margin` to the seams (lossy or drawn).
std::function<std::optional<uint32_t>(int32_t, int32_t)> Quadrants(int32_t margin = 0) {
  return [margin](int32_t x, int32_t y) -> std::optional<uint32_t> {
    if (DistanceFromSeams(x, y) < margin) return std::nullopt;
    return Quadrant(x, y);
  };
}

bool HaveImageMagick() {
  static const bool have = [] {
    std::FILE* pipe = popen("convert -version 2>/dev/null", "r");
    if (pipe == nullptr) return false;
    std::string text;
    char buffer[256];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
    return pclose(pipe) == 0 && text.find("Version: ImageMagick") != std::string::npos;
  }();
  return have;
}

#define REQUIRE_IMAGEMAGICK()                                                                        \
  if (!HaveImageMagick())                                                                            \
  GTEST_SKIP() << "ImageMagick's convert is not installed (apt-get install imagemagick); it makes " \
                  "the BMP, GIF, JPEG and TIFF test pictures"

// Fine enough that pixels a few away from an edge keep their colour.
constexpr const char* kJpegOptions = "-quality 95 -sampling-factor 1x1";

class PixbufDecoderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "pixbuf_decoder_test.XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  fs::path Write(const std::string& name, const Bytes& bytes) {
    const fs::path path = dir_ / name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    EXPECT_TRUE(out.good()) << path;
    return path;
  }

  static Bytes Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  // Runs ImageMagick on files of this test's folder; `to` may carry a format prefix.
  fs::path Convert(const std::string& options, const std::string& from, const std::string& to) {
    const std::string command =
        "cd '" + dir_.string() + "' && convert '" + from + "' " + options + " '" + to + "' >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    const std::string name = to.find(':') == std::string::npos ? to : to.substr(to.find(':') + 1);
    return dir_ / name;
  }

  fs::path QuadrantPng(const std::string& name = "quadrants.png") {
    return Write(name, Png(kWidth, kHeight, [](int32_t x, int32_t y) { return Quadrant(x, y); }));
  }

  // One small quadrant file per format the game takes; those made by ImageMagick only
  // when it is here.
  std::vector<fs::path> OneOfEachFormat() {
    std::vector<fs::path> files{
        QuadrantPng(),
        Write("quadrants.tga", Targa(kWidth, kHeight, false, false, false, Quadrant)),
        Write("quadrants.wmf", MetafileBytes(QuadrantMetafile(1))),
    };
    if (HaveImageMagick()) {
      for (const char* to : {"quadrants.bmp", "quadrants.gif", "quadrants.tif"}) files.push_back(Convert("", "quadrants.png", to));
      files.push_back(Convert(kJpegOptions, "quadrants.png", "quadrants.jpg"));
    }
    return files;
  }

  // How closely a file of OneOfEachFormat() keeps the quadrants: JPEG is lossy and the
  // metafile's rectangles are drawn, so both are looked at away from the seams.
  struct QuadrantAccuracy {
    int32_t margin;
    int tolerance;
  };
  static QuadrantAccuracy AccuracyOf(const fs::path& file) {
    if (file.extension() == ".jpg") return {4, 24};
    if (file.extension() == ".wmf") return {2, 0};
    return {0, 0};
  }

  fs::path dir_;
};

// --- Each format, every pixel ---------------------------------------------------------

struct ConvertedFormat {
  const char* name;
  const char* options;  // for ImageMagick
  const char* output;   // file name, with a format prefix where the extension won't do
  int tolerance;
  int32_t margin;  // pixels left unchecked beside the seams
};

void PrintTo(const ConvertedFormat& format, std::ostream* out) { *out << format.name; }

class PixbufDecoderConvertedTest : public PixbufDecoderTest, public ::testing::WithParamInterface<ConvertedFormat> {};

TEST_P(PixbufDecoderConvertedTest, DecodesEveryPixelInPlace) {
  REQUIRE_IMAGEMAGICK();
  const ConvertedFormat& format = GetParam();
  QuadrantPng();
  const fs::path file = Convert(format.options, "quadrants.png", format.output);
  const Outcome outcome = DecodeQuietly(file);
  ASSERT_TRUE(outcome.image.has_value()) << file;
  EXPECT_TRUE(PixelsMatch(*outcome.image, kWidth, kHeight, Quadrants(format.margin), format.tolerance));
  EXPECT_EQ(outcome.stderrText, "");
}

INSTANTIATE_TEST_SUITE_P(
    ImageMagickFiles, PixbufDecoderConvertedTest,
    ::testing::Values(ConvertedFormat{"Png", "", "png:picture.png", 0, 0},
                      ConvertedFormat{"PngInterlaced", "-interlace PNG", "png:picture.png", 0, 0},
                      ConvertedFormat{"Bmp", "", "picture.bmp", 0, 0},
                      ConvertedFormat{"Bmp3TrueColour", "-type TrueColor", "bmp3:picture.bmp", 0, 0},
                      ConvertedFormat{"BmpRle8", "-type Palette -compress RLE", "bmp3:picture.bmp", 0, 0},
                      ConvertedFormat{"Gif", "", "picture.gif", 0, 0},
                      ConvertedFormat{"GifInterlaced", "-interlace GIF", "picture.gif", 0, 0},
                      ConvertedFormat{"Jpeg", "-quality 95 -sampling-factor 1x1", "picture.jpg", 24, 4},
                      ConvertedFormat{"JpegProgressive", "-quality 95 -interlace JPEG", "picture.jpg", 24, 8},
                      ConvertedFormat{"TiffLzw", "-compress lzw", "picture.tif", 0, 0},
                      ConvertedFormat{"TiffUncompressedBigEndian", "-compress none -endian MSB", "picture.tif", 0, 0},
                      ConvertedFormat{"TargaTopDown", "-orient TopLeft", "picture.tga", 0, 0}),
    [](const ::testing::TestParamInfo<ConvertedFormat>& param) { return std::string(param.param.name); });

TEST_F(PixbufDecoderTest, TargaRowsFollowTheOriginBit) {
  for (bool topDown : {false, true}) {
    for (bool rle : {false, true}) {
      SCOPED_TRACE(std::string(topDown ? "top-down" : "bottom-up") + (rle ? ", run-length" : ", plain"));
      const Outcome outcome = DecodeQuietly(Write("picture.tga", Targa(kWidth, kHeight, topDown, rle, false, Quadrant)));
      ASSERT_TRUE(outcome.image.has_value());
      EXPECT_TRUE(PixelsMatch(*outcome.image, kWidth, kHeight, Quadrants()));
      EXPECT_EQ(outcome.stderrText, "");
    }
  }
}

TEST_F(PixbufDecoderTest, BitmapRowsFollowTheSignOfTheHeight) {
  for (bool topDown : {false, true}) {
    SCOPED_TRACE(topDown ? "top-down" : "bottom-up");
    const Outcome outcome = DecodeQuietly(Write("picture.bmp", Bmp24(kWidth, kHeight, topDown, Quadrant)));
    ASSERT_TRUE(outcome.image.has_value());
    EXPECT_TRUE(PixelsMatch(*outcome.image, kWidth, kHeight, Quadrants()));
  }
}

TEST_F(PixbufDecoderTest, MetafileDrawnAtItsPlaceableSize) {
  // The same 40 x 30 pixel picture, in pixels at 96 to the inch and in twips.
  for (auto [scale, unitsPerInch] : {std::pair<int16_t, uint16_t>{1, 96}, {15, 1440}}) {
    SCOPED_TRACE("units per inch " + std::to_string(unitsPerInch));
    Metafile metafile = QuadrantMetafile(scale);
    metafile.unitsPerInch = unitsPerInch;
    const Outcome outcome = DecodeQuietly(Write("picture.wmf", MetafileBytes(metafile)));
    ASSERT_TRUE(outcome.image.has_value());
    EXPECT_TRUE(PixelsMatch(*outcome.image, kWidth, kHeight, Quadrants(2)));
    EXPECT_EQ(outcome.stderrText, "");
  }
}

TEST_F(PixbufDecoderTest, MetafileWithoutPlaceableHeaderTakesItsWindowExtent) {
  Metafile metafile = QuadrantMetafile(1);
  metafile.placeable = false;
  const Outcome outcome = DecodeQuietly(Write("picture.wmf", MetafileBytes(metafile)));
  ASSERT_TRUE(outcome.image.has_value());
  EXPECT_TRUE(PixelsMatch(*outcome.image, kWidth, kHeight, Quadrants(2)));
  EXPECT_EQ(outcome.stderrText, "");
}

// A drawing that covers only part of its frame is drawn where it lies in the frame, as
// Windows plays it, not stretched over the whole picture: a corner, a frame larger than
// the drawing, a shape in the middle.
TEST_F(PixbufDecoderTest, MetafileDrawingStaysInPlaceWithinItsFrame) {
  struct Case {
    const char* name;
    int16_t boxRight, boxBottom;
    MetaRect rect;
  };
  for (const Case& c : {Case{"corner", 40, 30, {0, 0, 20, 15, kBlue}},
                        Case{"larger frame", 80, 60, {0, 0, 40, 30, kBlue}},
                        Case{"middle", 40, 30, {10, 10, 30, 20, kRed}}}) {
    SCOPED_TRACE(c.name);
    Metafile metafile;
    metafile.boxRight = c.boxRight;
    metafile.boxBottom = c.boxBottom;
    metafile.windowExtent = std::array<int16_t, 2>{c.boxRight, c.boxBottom};
    metafile.rects = {c.rect};
    const Outcome outcome = DecodeQuietly(Write("part.wmf", MetafileBytes(metafile)));
    ASSERT_TRUE(outcome.image.has_value());
    const MetaRect r = c.rect;
    EXPECT_TRUE(PixelsMatch(*outcome.image, c.boxRight, c.boxBottom, [r](int32_t x, int32_t y) -> std::optional<uint32_t> {
      const bool inside = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
      const bool nearEdge = std::abs(x - r.left) < 2 || std::abs(x - r.right) < 2 || std::abs(y - r.top) < 2 ||
                            std::abs(y - r.bottom) < 2;
      if (nearEdge) return std::nullopt;
      return inside ? r.rgb : 0xFFFFFFFFu;
    }));
    EXPECT_EQ(outcome.stderrText, "");
  }
}

// The same files the Windows host's tests play through GDI.
TEST_F(PixbufDecoderTest, PartialMetafilesLookAsWindowsDrawsThem) {
  for (const puzzle::testing::MetafileCase& c : puzzle::testing::PartialMetafiles()) {
    const Outcome outcome = DecodeQuietly(fs::path(PUZZLE_TEST_DATA) / "pictures" / c.file);
    ASSERT_TRUE(outcome.image.has_value()) << c.file;
    EXPECT_TRUE(puzzle::testing::DrawnInPlace(*outcome.image, c));
    EXPECT_EQ(outcome.stderrText, "") << c.file;
  }
}

TEST_F(PixbufDecoderTest, FormatComesFromTheContentsNotTheName) {
  const std::vector<fs::path> files = OneOfEachFormat();
  const std::vector<std::string> misleading{"picture.gif", "picture.png", "picture.bmp", "picture",
                                            "picture.tga", "picture.wmf", "picture.txt"};
  for (size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(files[i].filename().string());
    const fs::path renamed = dir_ / ("renamed" + std::to_string(i)) / misleading[i % misleading.size()];
    fs::create_directories(renamed.parent_path());
    fs::copy_file(files[i], renamed);
    const Outcome outcome = DecodeQuietly(renamed);
    ASSERT_TRUE(outcome.image.has_value());
    const QuadrantAccuracy accuracy = AccuracyOf(files[i]);
    EXPECT_TRUE(PixelsMatch(*outcome.image, kWidth, kHeight, Quadrants(accuracy.margin), accuracy.tolerance));
    EXPECT_EQ(outcome.stderrText, "");
  }
}

TEST_F(PixbufDecoderTest, OnePixelPictures) {
  const Outcome png = DecodeQuietly(Write("dot.png", Png(1, 1, [](int32_t, int32_t) { return 0xFF123456u; })));
  ASSERT_TRUE(png.image.has_value());
  EXPECT_TRUE(PixelsMatch(*png.image, 1, 1, [](int32_t, int32_t) { return 0xFF123456u; }));

  const Outcome tga =
      DecodeQuietly(Write("dot.tga", Targa(1, 1, false, false, false, [](int32_t, int32_t) { return 0xFF654321u; })));
  ASSERT_TRUE(tga.image.has_value());
  EXPECT_TRUE(PixelsMatch(*tga.image, 1, 1, [](int32_t, int32_t) { return 0xFF654321u; }));

  Metafile metafile;
  metafile.boxRight = metafile.boxBottom = 1;
  metafile.windowExtent = std::array<int16_t, 2>{1, 1};
  metafile.rects = {{0, 0, 1, 1, kBlue}};
  const Outcome wmf = DecodeQuietly(Write("dot.wmf", MetafileBytes(metafile)));
  ASSERT_TRUE(wmf.image.has_value());
  EXPECT_EQ(wmf.image->width, 1);
  EXPECT_EQ(wmf.image->height, 1);

  if (HaveImageMagick()) {
    for (const char* to : {"dot.gif", "dot.bmp", "dot.jpg", "dot.tif"}) {
      SCOPED_TRACE(to);
      const Outcome outcome = DecodeQuietly(Convert("", "dot.png", to));
      ASSERT_TRUE(outcome.image.has_value());
      EXPECT_TRUE(PixelsMatch(*outcome.image, 1, 1, [](int32_t, int32_t) { return 0xFF123456u; }, 8));
      EXPECT_EQ(outcome.stderrText, "");
    }
  }
}

TEST_F(PixbufDecoderTest, GifGivesItsFirstFrame) {
  REQUIRE_IMAGEMAGICK();
  QuadrantPng("first.png");
  Write("second.png", Png(kWidth, kHeight, [](int32_t, int32_t) { return kRed; }));
  const std::string command = "cd '" + dir_.string() +
                              "' && convert -delay 10 first.png second.png -loop 0 animated.gif >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const Outcome outcome = DecodeQuietly(dir_ / "animated.gif");
  ASSERT_TRUE(outcome.image.has_value());
  EXPECT_TRUE(PixelsMatch(*outcome.image, kWidth, kHeight, Quadrants()));
}

TEST_F(PixbufDecoderTest, JpegReadsToItsEndMarker) {
  // Whatever follows the end of the image (a phone's video, padding) is no damage, and an
  // end marker inside the metadata is not the picture's.
  REQUIRE_IMAGEMAGICK();
  QuadrantPng();
  const Bytes jpeg = Read(Convert(kJpegOptions, "quadrants.png", "plain.jpg"));
  Bytes trailed = jpeg;
  Append(trailed, Garbage(5000, 3));
  const Bytes thumbnailed = WithThumbnail(jpeg);
  for (const Bytes& bytes : {trailed, thumbnailed}) {
    const Outcome outcome = DecodeQuietly(Write("picture.jpg", bytes));
    ASSERT_TRUE(outcome.image.has_value());
    EXPECT_TRUE(PixelsMatch(*outcome.image, kWidth, kHeight, Quadrants(4), 24));
  }
  const Outcome cut = DecodeQuietly(Write("cut.jpg", Bytes(thumbnailed.begin(), thumbnailed.end() - 40)));
  EXPECT_FALSE(cut.image.has_value());
  EXPECT_EQ(cut.stderrText, "");
}

// --- Transparency and orientation -----------------------------------------------------

TEST_F(PixbufDecoderTest, PngAlphaKeptStraight) {
  // Left column clear, middle half-covered, right opaque: straight alpha means the colour
  // of a half-covered pixel comes back whole, not multiplied down.
  const auto pixel = [](int32_t x, int32_t) -> uint32_t {
    return x == 0 ? 0x00000000u : x == 1 ? 0x80C86432u : 0xFF102030u;
  };
  const Outcome outcome = DecodeQuietly(Write("alpha.png", Png(3, 2, pixel)));
  ASSERT_TRUE(outcome.image.has_value());
  EXPECT_TRUE(PixelsMatch(*outcome.image, 3, 2, pixel));
}

TEST_F(PixbufDecoderTest, TargaAlphaKept) {
  const auto pixel = [](int32_t x, int32_t y) -> uint32_t {
    const uint32_t colour = Quadrant(x, y);
    return colour == kYellow ? colour & 0x00FFFFFF : colour == kBlue ? (colour & 0x00FFFFFF) | 0x40000000 : colour;
  };
  const Outcome outcome = DecodeQuietly(Write("alpha.tga", Targa(kWidth, kHeight, true, true, true, pixel)));
  ASSERT_TRUE(outcome.image.has_value());
  EXPECT_TRUE(PixelsMatch(*outcome.image, kWidth, kHeight, pixel));
}

TEST_F(PixbufDecoderTest, GifTransparentColourHasNoAlpha) {
  REQUIRE_IMAGEMAGICK();
  const auto pixel = [](int32_t x, int32_t) -> uint32_t { return x < 2 ? 0x00000000u : kRed; };
  Write("clear.png", Png(4, 4, pixel));
  const Outcome outcome = DecodeQuietly(Convert("", "clear.png", "clear.gif"));
  ASSERT_TRUE(outcome.image.has_value());
  EXPECT_TRUE(PixelsMatch(*outcome.image, 4, 4, [](int32_t x, int32_t) -> std::optional<uint32_t> {
    if (x < 2) return std::nullopt;
    return kRed;
  }));
  for (int32_t y = 0; y < 4; ++y) {
    EXPECT_EQ(outcome.image->At(0, y) >> 24, 0u);
    EXPECT_EQ(outcome.image->At(1, y) >> 24, 0u);
  }
}

TEST_F(PixbufDecoderTest, JpegOrientationTagTurnsThePictureUpright) {
  REQUIRE_IMAGEMAGICK();
  QuadrantPng();
  const Bytes jpeg = Read(Convert(kJpegOptions, "quadrants.png", "plain.jpg"));
  ASSERT_FALSE(jpeg.empty());
  struct Case {
    uint16_t tag;
    int32_t width, height;
    // Where a shown pixel was stored.
    std::function<std::pair<int32_t, int32_t>(int32_t, int32_t)> stored;
  };
  const std::vector<Case> cases{
      {1, kWidth, kHeight, [](int32_t x, int32_t y) { return std::pair{x, y}; }},
      {3, kWidth, kHeight, [](int32_t x, int32_t y) { return std::pair{kWidth - 1 - x, kHeight - 1 - y}; }},
      {6, kHeight, kWidth, [](int32_t x, int32_t y) { return std::pair{y, kHeight - 1 - x}; }},
      {8, kHeight, kWidth, [](int32_t x, int32_t y) { return std::pair{kWidth - 1 - y, x}; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("orientation " + std::to_string(c.tag));
    const Outcome outcome = DecodeQuietly(Write("turned.jpg", WithExifOrientation(jpeg, c.tag)));
    ASSERT_TRUE(outcome.image.has_value());
    EXPECT_TRUE(PixelsMatch(
        *outcome.image, c.width, c.height,
        [&](int32_t x, int32_t y) -> std::optional<uint32_t> {
          const auto [sx, sy] = c.stored(x, y);
          return Quadrants(4)(sx, sy);
        },
        24));
    EXPECT_EQ(outcome.stderrText, "");
  }
}

// --- The size limit -------------------------------------------------------------------

TEST_F(PixbufDecoderTest, SideLimitIsInclusive) {
  const Outcome widest = DecodeQuietly(Write("widest.png", GreyPng(kMaxSurfaceSide, 1, 0x40)));
  ASSERT_TRUE(widest.image.has_value());
  EXPECT_EQ(widest.image->width, kMaxSurfaceSide);
  EXPECT_EQ(widest.image->At(kMaxSurfaceSide - 1, 0), 0xFF404040u);

  EXPECT_FALSE(DecodeQuietly(Write("wide.png", GreyPng(kMaxSurfaceSide + 1, 1, 0x40))).image.has_value());
  EXPECT_FALSE(DecodeQuietly(Write("tall.png", GreyPng(1, kMaxSurfaceSide + 1, 0x40))).image.has_value());
  EXPECT_FALSE(DecodeQuietly(Write("wide.tif", GreyTiff(kMaxSurfaceSide + 1, 1, kMaxSurfaceSide + 1))).image.has_value());
  EXPECT_FALSE(DecodeQuietly(Write("wide.tga", Targa(kMaxSurfaceSide + 1, 1, false, true, false,
                                                      [](int32_t, int32_t) { return kRed; })))
                   .image.has_value());
}

TEST_F(PixbufDecoderTest, PixelCountLimit) {
  // Complete, valid run-length bitmaps of a few hundred kilobytes that would decode to
  // a quarter of a gigabyte; the small one shows the construction itself is sound.
  const Outcome small = DecodeQuietly(Write("small.bmp", Rle8Bmp(300, 200, 0x102030)));
  ASSERT_TRUE(small.image.has_value());
  EXPECT_TRUE(PixelsMatch(*small.image, 300, 200, [](int32_t, int32_t) { return 0xFF102030u; }));

  for (auto [width, height] : {std::pair{8193, 8193}, {8192, 8193}, {16384, 4097}}) {
    SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
    const Outcome outcome = DecodeQuietly(Write("big.bmp", Rle8Bmp(width, height, 0x102030)));
    EXPECT_FALSE(outcome.image.has_value());
    EXPECT_LT(outcome.peakGrowthKb, kRefusalBudgetKb);
    EXPECT_EQ(outcome.stderrText, "");
  }
}

TEST_F(PixbufDecoderTest, DecompressionBombsRefusedFromTheHeader) {
  // Tiny files whose headers claim 60000 x 60000, which would take gigabytes, and
  // 9000 x 9000, just over the limit, which a loader let loose would fill in hundreds of
  // megabytes.
  Bytes smallJpeg;
  if (HaveImageMagick()) {
    QuadrantPng();
    smallJpeg = Read(Convert("", "quadrants.png", "small.jpg"));
  }
  for (uint16_t side : {uint16_t{60000}, uint16_t{9000}}) {
    std::vector<std::pair<std::string, Bytes>> bombs;
    bombs.emplace_back("bomb.png", PngFile(side, side, 2, StoredZlib(Bytes(3 * 16 + 1, 0))));
    bombs.emplace_back("bomb.gif", GifHeaderOnly(side, side));
    bombs.emplace_back("bomb.tif", GreyTiff(side, side, 64));
    {
      Bytes bmp = Rle8Bmp(1, 1, 0);
      bmp[18] = bmp[22] = static_cast<uint8_t>(side);
      bmp[19] = bmp[23] = static_cast<uint8_t>(side >> 8);
      bombs.emplace_back("bomb.bmp", bmp);
    }
    {
      Bytes tga = Targa(1, 1, true, false, false, [](int32_t, int32_t) { return kRed; });
      tga[12] = tga[14] = static_cast<uint8_t>(side);
      tga[13] = tga[15] = static_cast<uint8_t>(side >> 8);
      bombs.emplace_back("bomb.tga", tga);
    }
    if (!smallJpeg.empty()) bombs.emplace_back("bomb.jpg", WithJpegSize(smallJpeg, side, side));
    for (const auto& [name, bytes] : bombs) {
      SCOPED_TRACE(name + " claiming " + std::to_string(side) + " pixels a side");
      const Outcome outcome = DecodeQuietly(Write(name, bytes));
      EXPECT_FALSE(outcome.image.has_value());
      EXPECT_LT(outcome.peakGrowthKb, kRefusalBudgetKb);
      EXPECT_EQ(outcome.stderrText, "");
    }
  }
}

TEST_F(PixbufDecoderTest, MetafileCantAskForAHugeDrawing) {
  // Left alone, the metafile loader would draw each of these at hundreds of megapixels.
  Metafile overLimit = QuadrantMetafile(1);
  overLimit.boxRight = 16000;
  overLimit.boxBottom = 8000;
  Metafile tooWide = QuadrantMetafile(1);
  tooWide.boxRight = kMaxSurfaceSide + 1;
  tooWide.boxBottom = 1;
  Metafile bareHuge = QuadrantMetafile(1);
  bareHuge.placeable = false;
  bareHuge.windowExtent = std::array<int16_t, 2>{30000, 30000};
  Metafile bareWithoutExtent = QuadrantMetafile(1);
  bareWithoutExtent.placeable = false;
  bareWithoutExtent.windowExtent.reset();
  bareWithoutExtent.rects = {{-30000, -30000, 30000, 30000, kRed}};
  Metafile noUnits = QuadrantMetafile(1);
  noUnits.unitsPerInch = 0;
  Metafile inches = QuadrantMetafile(1);
  inches.boxRight = inches.boxBottom = 32000;
  inches.unitsPerInch = 1;

  for (const Metafile& metafile : {overLimit, tooWide, bareHuge, bareWithoutExtent, noUnits, inches}) {
    const Outcome outcome = DecodeQuietly(Write("huge.wmf", MetafileBytes(metafile)));
    EXPECT_FALSE(outcome.image.has_value());
    EXPECT_LT(outcome.peakGrowthKb, kRefusalBudgetKb);
    EXPECT_EQ(outcome.stderrText, "");
  }
}

// --- Files that aren't pictures -------------------------------------------------------

TEST_F(PixbufDecoderTest, TruncatedFilesRefusedQuietly) {
  // Every cut through the headers, and cuts all through the rest. Up to half the file is
  // always refused; further on, a cut may only take trailing metadata the picture doesn't
  // need (TIFF's colour tags, PNG's end chunk), so the picture must then come out whole.
  for (const fs::path& file : OneOfEachFormat()) {
    const Bytes whole = Read(file);
    ASSERT_GT(whole.size(), 64u) << file;
    const QuadrantAccuracy accuracy = AccuracyOf(file);
    std::vector<size_t> cuts;
    for (size_t keep = 1; keep <= 64; ++keep) cuts.push_back(keep);
    for (size_t part = 2; part < 48; ++part) cuts.push_back(whole.size() * part / 48);
    cuts.push_back(whole.size() - 1);
    for (size_t keep : cuts) {
      SCOPED_TRACE(file.filename().string() + " cut to " + std::to_string(keep) + " of " +
                   std::to_string(whole.size()) + " bytes");
      const Outcome outcome =
          DecodeQuietly(Write("cut", Bytes(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(keep))));
      if (keep <= whole.size() / 2) {
        EXPECT_FALSE(outcome.image.has_value());
      } else if (outcome.image) {
        EXPECT_TRUE(PixelsMatch(*outcome.image, kWidth, kHeight, Quadrants(accuracy.margin), accuracy.tolerance));
      }
      EXPECT_EQ(outcome.stderrText, "");
    }
  }
}

TEST_F(PixbufDecoderTest, DamagedHeadersRefusedQuietly) {
  // Each format's signature followed by noise.
  const std::vector<std::pair<const char*, size_t>> signatures{
      {"\x89PNG\r\n\x1a\n", 8}, {"\xFF\xD8\xFF\xE0", 4}, {"GIF89a", 6}, {"BM", 2}, {"II*\0", 4},
      {"MM\0*", 4},             {"\xD7\xCD\xC6\x9A", 4}, {"\x01\x00\x09\x00\x00\x03", 6}};
  uint32_t seed = 1;
  for (const auto& [signature, size] : signatures) {
    for (int attempt = 0; attempt < 4; ++attempt) {
      Bytes bytes;
      Append(bytes, signature, size);
      Append(bytes, Garbage(600, seed++));
      SCOPED_TRACE(Hex(bytes[0]) + " with noise, seed " + std::to_string(seed - 1));
      const Outcome outcome = DecodeQuietly(Write("noise", bytes));
      EXPECT_FALSE(outcome.image.has_value());
      EXPECT_LT(outcome.peakGrowthKb, kRefusalBudgetKb);
      EXPECT_EQ(outcome.stderrText, "");
    }
  }
}

TEST_F(PixbufDecoderTest, NothingForWhatIsNoPictureFile) {
  const fs::path text = Write("notes.png", Bytes{'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e', '\n'});
  const fs::path empty = Write("empty.png", {});
  const fs::path folder = dir_ / "folder.png";
  fs::create_directory(folder);
  const fs::path pipe = dir_ / "pipe.png";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);  // opening it for reading must not wait for a writer

  for (const fs::path& path : {text, empty, folder, pipe, dir_ / "missing.png", fs::path("/dev/null")}) {
    SCOPED_TRACE(path.string());
    const Outcome outcome = DecodeQuietly(path);
    EXPECT_FALSE(outcome.image.has_value());
    EXPECT_EQ(outcome.stderrText, "");
  }
  const Outcome none = DecodeQuietly(static_cast<const char*>(nullptr));
  EXPECT_FALSE(none.image.has_value());
  EXPECT_EQ(none.stderrText, "");
}

TEST_F(PixbufDecoderTest, OtherFormatsTheSystemKnowsAreNotTaken) {
  // The game takes seven formats; gdk-pixbuf may have loaders for many more.
  auto text = [](const std::string& t) { return Bytes(t.begin(), t.end()); };
  std::vector<fs::path> files{
      Write("picture.svg", text("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"40\" height=\"30\">"
                                "<rect width=\"40\" height=\"30\" fill=\"red\"/></svg>\n")),
      Write("picture.ppm", text("P6\n2 2\n255\n" + std::string(12, '\x7F'))),
      Write("picture.xpm", text("/* XPM */\nstatic char *picture[] = {\n\"2 2 1 1\",\n\"a c #FF0000\",\n"
                                "\"aa\",\n\"aa\"};\n")),
  };
  if (HaveImageMagick()) {
    QuadrantPng();
    files.push_back(Convert("", "quadrants.png", "picture.ico"));
  }
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.filename().string());
    const Outcome outcome = DecodeQuietly(file);
    EXPECT_FALSE(outcome.image.has_value());
    EXPECT_EQ(outcome.stderrText, "");
  }
}

TEST_F(PixbufDecoderTest, OneDecoderReadsManyFiles) {
  // Nothing carries over from one file to the next, a refused one included.
  PixbufDecoder decoder;
  const fs::path good = QuadrantPng();
  const fs::path bad = Write("bad.png", GreyPng(kMaxSurfaceSide + 1, 1, 0));
  const fs::path metafile = Write("picture.wmf", MetafileBytes(QuadrantMetafile(1)));
  for (int round = 0; round < 2; ++round) {
    std::optional<DecodedImage> image = decoder.Decode(good.c_str());
    ASSERT_TRUE(image.has_value());
    EXPECT_TRUE(PixelsMatch(*image, kWidth, kHeight, Quadrants()));
    EXPECT_FALSE(decoder.Decode(bad.c_str()).has_value());
    image = decoder.Decode(metafile.c_str());
    ASSERT_TRUE(image.has_value());
    EXPECT_TRUE(PixelsMatch(*image, kWidth, kHeight, Quadrants(2)));
  }
}


// --- Targa of every kind, against ImageMagick's reading of the same file ---------------

// A 16-bit true-colour Targa (5 bits a channel), which ImageMagick doesn't write.
Bytes Targa16(int32_t width, int32_t height, const std::function<uint32_t(int32_t, int32_t)>& pixel) {
  Bytes out{0, 0, 2, 0, 0, 0, 0, 0};
  Le16(out, 0);
  Le16(out, 0);
  Le16(out, static_cast<uint32_t>(width));
  Le16(out, static_cast<uint32_t>(height));
  out.push_back(16);
  out.push_back(0x20);  // top-down, no alpha bit
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t p = pixel(x, y);
      Le16(out, (((p >> 19) & 0x1F) << 10) | (((p >> 11) & 0x1F) << 5) | ((p >> 3) & 0x1F));
    }
  }
  return out;
}

TEST_F(PixbufDecoderTest, TargaOfEveryKindMatchesImageMagick) {
  REQUIRE_IMAGEMAGICK();
  // A photo-like picture with hundreds of colours, one of few colours (written with a colour
  // map), and one with graded alpha.
  Convert("-resize 80x60!", "logo:", "many.png");
  QuadrantPng("few.png");
  Write("alpha.png", Png(kWidth, kHeight, [](int32_t x, int32_t y) { return (Quadrant(x, y) & 0xFFFFFF) | (static_cast<uint32_t>(x * 6) << 24); }));
  Write("sixteen.tga", Targa16(kWidth, kHeight, [](int32_t x, int32_t y) {
          return 0xFF000000u | static_cast<uint32_t>((x * 6) << 16 | (y * 8) << 8 | (x + y) * 3);
        }));
  struct Variant {
    const char* name;
    const char* from;
    const char* options;
    int tolerance = 0;
  };
  const std::vector<Variant> variants{
      {"true colour, bottom-up", "many.png", "-type TrueColor"},
      {"true colour, run-length", "many.png", "-type TrueColor -compress RLE"},
      {"true colour, top-down", "many.png", "-type TrueColor -orient TopLeft"},
      {"true colour, top-down run-length", "many.png", "-type TrueColor -orient TopLeft -compress RLE"},
      {"right to left", "many.png", "-type TrueColor -orient TopRight"},
      {"colour map", "many.png", ""},
      {"colour map, run-length", "many.png", "-compress RLE"},
      {"colour map of 16-bit entries", "few.png", "-depth 5"},
      {"greyscale", "many.png", "-colorspace Gray"},
      {"greyscale, run-length", "many.png", "-colorspace Gray -compress RLE"},
      {"32 bits with alpha", "alpha.png", ""},
      {"32 bits with alpha, run-length", "alpha.png", "-compress RLE"},
      // Five bits widened to eight: ImageMagick rounds, stb_image truncates.
      {"16-bit true colour", "sixteen.tga", nullptr, 1},
  };
  for (const Variant& v : variants) {
    SCOPED_TRACE(v.name);
    const fs::path tga = v.options != nullptr ? Convert(v.options, v.from, "variant.tga") : dir_ / v.from;
    // ImageMagick keeps a Targa's origin as a note beside the rows as stored (and writes
    // rows top first whatever origin it declares); the picture as the origin says it stands
    // is its auto-oriented reading, as other readers show it.
    // Pictures without alpha go through an RGB PNG: some builds of ImageMagick mark a
    // colour of an opaque picture transparent in an RGBA one.
    const bool alpha = std::string(v.from) == "alpha.png";
    const fs::path reference =
        Convert("-auto-orient", tga.filename().string(), alpha ? "png32:variant.png" : "png24:variant.png");
    const Outcome ours = DecodeQuietly(tga);
    const Outcome theirs = DecodeQuietly(reference);
    ASSERT_TRUE(ours.image.has_value());
    ASSERT_TRUE(theirs.image.has_value());
    const DecodedImage& expected = *theirs.image;
    EXPECT_TRUE(PixelsMatch(*ours.image, expected.width, expected.height,
                            [&](int32_t x, int32_t y) -> std::optional<uint32_t> { return expected.At(x, y); },
                            v.tolerance));
    EXPECT_EQ(ours.stderrText, "");
  }
}

TEST_F(PixbufDecoderTest, TargaCutShortGivesNothing) {
  for (bool rle : {false, true}) {
    SCOPED_TRACE(rle ? "run-length" : "plain");
    Bytes whole = Targa(kWidth, kHeight, false, rle, false, Quadrant);
    ASSERT_TRUE(DecodeQuietly(Write("whole.tga", whole)).image.has_value());
    whole.resize(whole.size() - 1);
    EXPECT_FALSE(DecodeQuietly(Write("cut.tga", whole)).image.has_value());
  }
}

// --- The size from the header ----------------------------------------------------------

TEST_F(PixbufDecoderTest, ProbeTellsTheSizeDecodeGives) {
  std::vector<fs::path> files = OneOfEachFormat();
  if (HaveImageMagick()) {
    files.push_back(Write("turned.jpg", WithExifOrientation(Read(dir_ / "quadrants.jpg"), 6)));
    files.push_back(Convert("-orient RightTop", "quadrants.png", "turned.tif"));
    files.push_back(Convert("-interlace JPEG", "quadrants.png", "progressive.jpg"));
  }
  PixbufDecoder decoder;
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.filename().string());
    const std::optional<ImageSize> size = decoder.Probe(file.c_str());
    const std::optional<DecodedImage> image = decoder.Decode(file.c_str());
    ASSERT_TRUE(size.has_value());
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(size->width, image->width);
    EXPECT_EQ(size->height, image->height);
  }
  if (HaveImageMagick()) {
    EXPECT_EQ(decoder.Probe((dir_ / "turned.jpg").c_str()), (ImageSize{kHeight, kWidth}));
  }
  EXPECT_FALSE(decoder.Probe((dir_ / "missing.png").c_str()).has_value());
  EXPECT_FALSE(decoder.Probe(Write("huge.png", GreyPng(kMaxSurfaceSide + 1, 1, 0)).c_str()).has_value());
}

TEST_F(PixbufDecoderTest, ProbeReadsOnlyTheHeader) {
  // The pixel data is cut off: the header alone must do for the size.
  REQUIRE_IMAGEMAGICK();
  Convert("-resize 200x150!", "logo:", "photo.png");
  for (const char* name : {"photo.jpg", "photo.gif", "photo.bmp"}) {
    SCOPED_TRACE(name);
    Bytes bytes = Read(Convert("", "photo.png", name));
    bytes.resize(bytes.size() / 2);
    const fs::path cut = Write(std::string("cut-") + name, bytes);
    PixbufDecoder decoder;
    EXPECT_EQ(decoder.Probe(cut.c_str()), (ImageSize{200, 150}));
    EXPECT_FALSE(decoder.Decode(cut.c_str()).has_value());
  }
}

TEST_F(PixbufDecoderTest, FormatsWithoutAlphaComeOutOpaque) {
  for (const fs::path& file : OneOfEachFormat()) {
    SCOPED_TRACE(file.filename().string());
    const Outcome outcome = DecodeQuietly(file);
    ASSERT_TRUE(outcome.image.has_value());
    EXPECT_TRUE(outcome.image->opaque);
  }
  const Outcome alpha = DecodeQuietly(Write("alpha.png", Png(2, 1, [](int32_t x, int32_t) { return x == 0 ? 0xFF102030u : 0x80102030u; })));
  ASSERT_TRUE(alpha.image.has_value());
  EXPECT_FALSE(alpha.image->opaque);
}

TEST_F(PixbufDecoderTest, AdobeCmykJpegComesOutInColour) {
  REQUIRE_IMAGEMAGICK();
  QuadrantPng();
  const Outcome outcome = DecodeQuietly(Convert("-colorspace CMYK " + std::string(kJpegOptions), "quadrants.png", "cmyk.jpg"));
  ASSERT_TRUE(outcome.image.has_value());
  EXPECT_TRUE(PixelsMatch(*outcome.image, kWidth, kHeight, Quadrants(4), 24));
}

TEST_F(PixbufDecoderTest, ABitmapWhoseColourTableWouldTakeGigabytesIsRefusedFromItsHeader) {
  // The loader reads the count of colours as a signed number and sets aside four bytes
  // for each before it reads one: "-1" would ask it for four gigabytes.
  PixbufDecoder decoder;
  Bytes bmp = Rle8Bmp(2, 2, kRed);
  EXPECT_EQ(decoder.Probe(Write("fine.bmp", bmp).c_str()), (ImageSize{2, 2}));
  for (uint32_t colours : {0xFFFFFFFFu, 257u}) {
    SCOPED_TRACE(colours);
    for (int i = 0; i < 4; ++i) bmp[46 + i] = static_cast<uint8_t>(colours >> (8 * i));
    const fs::path file = Write("colours.bmp", bmp);
    EXPECT_FALSE(decoder.Probe(file.c_str()).has_value());
    const Outcome outcome = DecodeQuietly(file);
    EXPECT_FALSE(outcome.image.has_value());
    EXPECT_EQ(outcome.stderrText, "");
  }
}

TEST_F(PixbufDecoderTest, ABitmapWhosePixelsAreSaidToLieFarPastItsEndIsRefusedFromItsHeader) {
  // The loader sets aside as much memory as the header says lies before the pixels.
  PixbufDecoder decoder;
  Bytes bmp = Bmp24(2, 2, false, [](int32_t, int32_t) { return kRed; });
  for (uint32_t offset : {0xC4FF0036u, static_cast<uint32_t>(bmp.size() + 1)}) {
    SCOPED_TRACE(offset);
    for (int i = 0; i < 4; ++i) bmp[10 + i] = static_cast<uint8_t>(offset >> (8 * i));
    const fs::path file = Write("far.bmp", bmp);
    EXPECT_FALSE(decoder.Probe(file.c_str()).has_value());
    const Outcome outcome = DecodeQuietly(file);
    EXPECT_FALSE(outcome.image.has_value());
    EXPECT_EQ(outcome.stderrText, "");
  }
}

TEST_F(PixbufDecoderTest, AMetafileNamingARecordLongerThanItselfIsRefusedFromItsHeader) {
  // libwmf sets aside twice the longest record's words before it plays the first.
  Bytes wmf = MetafileBytes(QuadrantMetafile(1));
  const size_t longest = 22 + 12;  // after the placeable header
  for (uint32_t words : {0x66697845u, static_cast<uint32_t>(wmf.size() / 2)}) {
    SCOPED_TRACE(words);
    for (int i = 0; i < 4; ++i) wmf[longest + i] = static_cast<uint8_t>(words >> (8 * i));
    PixbufDecoder decoder;
    const fs::path file = Write("long.wmf", wmf);
    EXPECT_FALSE(decoder.Probe(file.c_str()).has_value());
    const Outcome outcome = DecodeQuietly(file);
    EXPECT_FALSE(outcome.image.has_value());
    EXPECT_LT(outcome.peakGrowthKb, kRefusalBudgetKb);
    EXPECT_EQ(outcome.stderrText, "");
  }
}

TEST_F(PixbufDecoderTest, ACmykJpegThatFailsAfterItsPixelsGivesNothingAndLeaksNothing) {
  // A second frame header before the end: libjpeg gives up only once every row is read,
  // and jumps back past whatever the decoding held (the leak check sees the rest).
  REQUIRE_IMAGEMAGICK();
  QuadrantPng();
  Bytes jpeg = Read(Convert("-colorspace CMYK " + std::string(kJpegOptions), "quadrants.png", "cmyk.jpg"));
  const uint8_t startOfFrame[] = {0xFF, 0xC0};
  const auto frame = std::search(jpeg.begin(), jpeg.end(), std::begin(startOfFrame), std::end(startOfFrame));
  ASSERT_NE(frame, jpeg.end());
  const Bytes header(frame, frame + 2 + ((frame[2] << 8) | frame[3]));
  ASSERT_EQ(jpeg.end()[-1], 0xD9);
  jpeg.insert(jpeg.end() - 2, header.begin(), header.end());
  const Outcome outcome = DecodeQuietly(Write("twice.jpg", jpeg));
  EXPECT_FALSE(outcome.image.has_value());
  EXPECT_EQ(outcome.stderrText, "");
}

// --- Pictures larger than the screen ------------------------------------------------------

TEST_F(PixbufDecoderTest, PicturesLargerThanTheLargestAreScaledDownKeepingTheirShape) {
  // Four quadrants of 200 x 150: at a quarter of the size each quadrant keeps its colour
  // away from the seams, and the shape is kept.
  const int32_t w = 200, h = 150;
  auto big = [&](int32_t x, int32_t y) { return Quadrant(x * kWidth / w, y * kHeight / h); };
  std::vector<fs::path> files{Write("big.png", Png(w, h, big)), Write("big.tga", Targa(w, h, false, true, false, big))};
  if (HaveImageMagick()) {
    files.push_back(Convert(kJpegOptions, "big.png", "big.jpg"));
    files.push_back(Convert("", "big.png", "big.bmp"));
    files.push_back(Convert("", "big.png", "big.gif"));
    files.push_back(Convert("", "big.png", "big.tif"));
  }
  Metafile metafile = QuadrantMetafile(5);
  metafile.boxRight = static_cast<int16_t>(w);
  metafile.boxBottom = static_cast<int16_t>(h);
  files.push_back(Write("big.wmf", MetafileBytes(metafile)));

  PixbufDecoder decoder;
  decoder.SetLargestPicture(ImageSize{60, 100});
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.filename().string());
    EXPECT_EQ(decoder.Probe(file.c_str()), (ImageSize{60, 45}));
    // Why a fitted picture came out small: its own size is still known.
    EXPECT_EQ(decoder.NaturalSize(file.c_str()), (ImageSize{w, h}));
    StderrCapture capture;
    const std::optional<DecodedImage> image = decoder.Decode(file.c_str());
    EXPECT_EQ(capture.Finish(), "");
    ASSERT_TRUE(image.has_value());
    const int tolerance = file.extension() == ".jpg" ? 24 : 2;
    EXPECT_TRUE(PixelsMatch(*image, 60, 45, [](int32_t x, int32_t y) -> std::optional<uint32_t> {
      // 1.5 pixels of the seams mix both colours.
      if (std::abs(2 * x + 1 - 60) < 4 || std::abs(2 * y + 1 - 45) < 4) return std::nullopt;
      return Quadrant(x * kWidth / 60, y * kHeight / 45);
    }, tolerance));
  }
}

TEST_F(PixbufDecoderTest, PicturesThatFitStayPixelForPixel) {
  PixbufDecoder decoder;
  decoder.SetLargestPicture(ImageSize{kWidth, kHeight});
  for (const fs::path& file : OneOfEachFormat()) {
    SCOPED_TRACE(file.filename().string());
    PixbufDecoder unlimited;
    const std::optional<DecodedImage> limited = decoder.Decode(file.c_str());
    const std::optional<DecodedImage> whole = unlimited.Decode(file.c_str());
    ASSERT_TRUE(limited.has_value());
    ASSERT_TRUE(whole.has_value());
    EXPECT_EQ(limited->pixels, whole->pixels);
  }
}

TEST_F(PixbufDecoderTest, AJpegFarLargerThanTheScreenIsScaledWhileDecoding) {
  REQUIRE_IMAGEMAGICK();
  // 3200 x 2400 down to 200 x 150: libjpeg decodes at an eighth, so the decoder never holds
  // the whole photo.
  Convert("-resize 3200x2400! " + std::string(kJpegOptions), "logo:", "photo.jpg");
  PixbufDecoder decoder;
  decoder.SetLargestPicture(ImageSize{200, 200});
  const std::optional<DecodedImage> image = decoder.Decode((dir_ / "photo.jpg").c_str());
  ASSERT_TRUE(image.has_value());
  EXPECT_EQ(image->width, 200);
  EXPECT_EQ(image->height, 150);
  // Against the same photo made small by ImageMagick: the same picture, not just the same size.
  const Outcome reference = DecodeQuietly(Convert("-resize 200x150!", "photo.jpg", "small.png"));
  ASSERT_TRUE(reference.image.has_value());
  int64_t difference = 0;
  for (size_t i = 0; i < image->pixels.size(); ++i) {
    for (int shift = 0; shift < 24; shift += 8) {
      difference += std::abs(static_cast<int>((image->pixels[i] >> shift) & 0xFF) -
                             static_cast<int>((reference.image->pixels[i] >> shift) & 0xFF));
    }
  }
  EXPECT_LT(difference / static_cast<int64_t>(image->pixels.size() * 3), 6) << "mean difference per channel";
}

}  // namespace
}  // namespace puzzle
