#include "formats.h"

#include <cstdint>
#include <fstream>
#include <stdexcept>

namespace art {

namespace {

// Little-endian byte buffer.
class Bytes {
 public:
  void U8(std::uint32_t v) { data.push_back(static_cast<char>(v & 0xFF)); }
  void U16(std::uint32_t v) {
    U8(v);
    U8(v >> 8);
  }
  void U32(std::uint32_t v) {
    U16(v & 0xFFFF);
    U16(v >> 16);
  }
  void Append(const Bytes& other) { data.insert(data.end(), other.data.begin(), other.data.end()); }
  std::uint32_t Size() const { return static_cast<std::uint32_t>(data.size()); }

  std::vector<char> data;
};

void Save(const std::filesystem::path& file, const Bytes& bytes) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data.data(), static_cast<std::streamsize>(bytes.data.size()));
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

// Rows of every DIB are padded to a multiple of four bytes.
std::uint32_t RowStride(int width, int bitsPerPixel) {
  return static_cast<std::uint32_t>((width * bitsPerPixel + 31) / 32 * 4);
}

// BITMAPINFOHEADER. Icons and cursors store XOR and AND masks stacked,
// hence the separate height.
void InfoHeader(Bytes& b, int width, int height, int bitsPerPixel, std::uint32_t imageSize) {
  b.U32(40);
  b.U32(static_cast<std::uint32_t>(width));
  b.U32(static_cast<std::uint32_t>(height));  // positive: bottom-up rows
  b.U16(1);                                   // planes
  b.U16(static_cast<std::uint32_t>(bitsPerPixel));
  b.U32(0);  // BI_RGB, uncompressed
  b.U32(imageSize);
  b.U32(2835);  // 72 dpi
  b.U32(2835);
  b.U32(0);  // colours used: all
  b.U32(0);  // colours important: all
}

void PadRow(Bytes& b, std::uint32_t written, std::uint32_t stride) {
  for (; written < stride; ++written) b.U8(0);
}

// 1-bit mask rows, bottom-up; bit set where isSet(x, y).
template <class Predicate>
void MaskBits(Bytes& b, int width, int height, Predicate isSet) {
  const std::uint32_t stride = RowStride(width, 1);
  for (int y = height - 1; y >= 0; --y) {
    std::uint32_t written = 0;
    for (int x0 = 0; x0 < width; x0 += 8, ++written) {
      std::uint32_t byte = 0;
      for (int bit = 0; bit < 8 && x0 + bit < width; ++bit) {
        if (isSet(x0 + bit, y)) byte |= 0x80U >> bit;
      }
      b.U8(byte);
    }
    PadRow(b, written, stride);
  }
}

Bytes IconImage(const Image& image) {
  const std::uint32_t xorSize = RowStride(image.width, 32) * static_cast<std::uint32_t>(image.height);
  const std::uint32_t andSize = RowStride(image.width, 1) * static_cast<std::uint32_t>(image.height);
  Bytes b;
  InfoHeader(b, image.width, image.height * 2, 32, xorSize + andSize);
  for (int y = image.height - 1; y >= 0; --y) {
    for (int x = 0; x < image.width; ++x) {
      const std::uint8_t* px = &image.rgba[static_cast<std::size_t>(y * image.width + x) * 4];
      b.U8(px[2]);
      b.U8(px[1]);
      b.U8(px[0]);
      b.U8(px[3]);
    }
  }
  // Readers that ignore alpha fall back on the mask: set means transparent.
  MaskBits(b, image.width, image.height, [&](int x, int y) {
    return image.rgba[static_cast<std::size_t>(y * image.width + x) * 4 + 3] < 128;
  });
  return b;
}

}  // namespace

void WriteBmp24(const std::filesystem::path& file, const Image& image) {
  const std::uint32_t stride = RowStride(image.width, 24);
  const std::uint32_t pixelBytes = stride * static_cast<std::uint32_t>(image.height);
  const std::uint32_t headerBytes = 14 + 40;
  Bytes b;
  b.U8('B');
  b.U8('M');
  b.U32(headerBytes + pixelBytes);
  b.U32(0);  // reserved
  b.U32(headerBytes);
  InfoHeader(b, image.width, image.height, 24, pixelBytes);
  for (int y = image.height - 1; y >= 0; --y) {
    for (int x = 0; x < image.width; ++x) {
      const std::uint8_t* px = &image.rgba[static_cast<std::size_t>(y * image.width + x) * 4];
      b.U8(px[2]);
      b.U8(px[1]);
      b.U8(px[0]);
    }
    PadRow(b, static_cast<std::uint32_t>(image.width) * 3, stride);
  }
  Save(file, b);
}

void WriteIcon(const std::filesystem::path& file, const std::vector<Image>& images) {
  const auto count = static_cast<std::uint32_t>(images.size());
  Bytes header;
  header.U16(0);  // reserved
  header.U16(1);  // type: icon
  header.U16(count);
  Bytes bodies;
  std::uint32_t offset = 6 + 16 * count;
  for (const Image& image : images) {
    const Bytes body = IconImage(image);
    header.U8(static_cast<std::uint32_t>(image.width) & 0xFF);  // 256 is stored as 0
    header.U8(static_cast<std::uint32_t>(image.height) & 0xFF);
    header.U8(0);   // no palette
    header.U8(0);   // reserved
    header.U16(1);  // planes
    header.U16(32);
    header.U32(body.Size());
    header.U32(offset);
    offset += body.Size();
    bodies.Append(body);
  }
  header.Append(bodies);
  Save(file, header);
}

void WriteCursor(const std::filesystem::path& file, const CursorImage& cursor) {
  const int n = cursor.size;
  const auto at = [&](int x, int y) { return cursor.pixels[static_cast<std::size_t>(y * n + x)]; };
  Bytes body;
  const std::uint32_t maskSize = RowStride(n, 1) * static_cast<std::uint32_t>(n);
  InfoHeader(body, n, n * 2, 1, maskSize * 2);
  body.U32(0x00000000);  // palette 0: black
  body.U32(0x00FFFFFF);  // palette 1: white
  // XOR mask picks the colour; AND mask set leaves the screen untouched.
  MaskBits(body, n, n, [&](int x, int y) { return at(x, y) == CursorPixel::White; });
  MaskBits(body, n, n, [&](int x, int y) { return at(x, y) == CursorPixel::Transparent; });

  Bytes b;
  b.U16(0);  // reserved
  b.U16(2);  // type: cursor
  b.U16(1);
  b.U8(static_cast<std::uint32_t>(n));
  b.U8(static_cast<std::uint32_t>(n));
  b.U8(2);  // palette entries
  b.U8(0);
  // In a cursor directory these two fields hold the hot spot.
  b.U16(static_cast<std::uint32_t>(cursor.hotX));
  b.U16(static_cast<std::uint32_t>(cursor.hotY));
  b.U32(body.Size());
  b.U32(6 + 16);
  b.Append(body);
  Save(file, b);
}

}  // namespace art
