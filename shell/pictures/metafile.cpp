#include "shell/pictures/metafile.h"

#include <cstdlib>

namespace puzzle {

namespace {

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr size_t kMetaHeaderBytes = 18;
// Windows shows a placeable metafile at this many pixels per inch.
constexpr int64_t kMetafileDpi = 96;

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
int16_t S16(const uint8_t* p) { return static_cast<int16_t>(U16(p)); }
uint32_t U32(const uint8_t* p) { return U16(p) | (static_cast<uint32_t>(U16(p + 2)) << 16); }

void Put16(std::vector<uint8_t>& out, int v) {
  out.push_back(static_cast<uint8_t>(v & 0xFF));
  out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}

void PutRecord(std::vector<uint8_t>& out, uint16_t function, std::initializer_list<int> params) {
  const uint32_t words = 3 + static_cast<uint32_t>(params.size());
  Put16(out, static_cast<int>(words & 0xFFFF));
  Put16(out, static_cast<int>(words >> 16));
  Put16(out, function);
  for (int p : params) Put16(out, p);
}

}  // namespace

bool IsPlaceableMetafile(const std::vector<uint8_t>& data) {
  return data.size() >= kPlaceableHeaderBytes && U32(data.data()) == kPlaceableKey;
}

bool IsMetafile(const std::vector<uint8_t>& data) {
  if (IsPlaceableMetafile(data)) return true;
  const uint8_t* d = data.data();
  return data.size() >= kMetaHeaderBytes && (U16(d) == 1 || U16(d) == 2) && U16(d + 2) == 9 &&
         (U16(d + 4) == 0x0100 || U16(d + 4) == 0x0300);
}

std::optional<MetafileExtent> MetafileSize(const std::vector<uint8_t>& data) {
  const bool placeable = IsPlaceableMetafile(data);
  size_t at = placeable ? kPlaceableHeaderBytes : 0;
  if (data.size() < at + kMetaHeaderBytes || U16(&data[at + 2]) != 9) return std::nullopt;
  const uint32_t longestRecord = U32(&data[at + 12]);
  at += kMetaHeaderBytes;
  // A player sets aside room for the longest record the header names before it reads one:
  // no record can be longer than the file holds.
  if (longestRecord > (data.size() - at) / 2) return std::nullopt;

  std::optional<MetafileExtent> windowExtent;
  for (;;) {
    if (data.size() - at < 6) return std::nullopt;
    const uint32_t words = U32(&data[at]);
    const uint16_t function = U16(&data[at + 4]);
    if (words < 3 || words > longestRecord || words > (data.size() - at) / 2) return std::nullopt;
    if (function == 0) break;                                  // META_EOF
    if (function == 0x020C && words >= 5 && !windowExtent) {  // META_SETWINDOWEXT: height, width
      windowExtent = MetafileExtent{std::llabs(S16(&data[at + 8])), std::llabs(S16(&data[at + 6]))};
    }
    at += static_cast<size_t>(words) * 2;
  }

  if (!placeable) return windowExtent;
  const int64_t unitsPerInch = U16(&data[14]);
  if (unitsPerInch == 0) return std::nullopt;
  auto pixels = [unitsPerInch](int64_t from, int64_t to) {
    return (std::llabs(to - from) * kMetafileDpi + unitsPerInch / 2) / unitsPerInch;
  };
  return MetafileExtent{pixels(S16(&data[6]), S16(&data[10])), pixels(S16(&data[8]), S16(&data[12]))};
}

std::optional<std::vector<uint8_t>> WithFrameOutlined(const std::vector<uint8_t>& data) {
  if (!MetafileSize(data)) return std::nullopt;
  const bool placeable = IsPlaceableMetafile(data);
  const size_t header = placeable ? kPlaceableHeaderBytes : 0;
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  if (placeable) {
    left = S16(&data[6]);
    top = S16(&data[8]);
    right = S16(&data[10]);
    bottom = S16(&data[12]);
  } else {
    // The window the file sets up first: its origin and extent.
    bool haveExtent = false;
    for (size_t at = header + kMetaHeaderBytes; data.size() - at >= 6;) {
      const uint32_t words = U32(&data[at]);
      const uint16_t function = U16(&data[at + 4]);
      if (function == 0 || words < 3) break;
      if (function == 0x020B && words >= 5 && !haveExtent) {  // META_SETWINDOWORG: y, x
        top = S16(&data[at + 6]);
        left = S16(&data[at + 8]);
      }
      if (function == 0x020C && words >= 5 && !haveExtent) {  // META_SETWINDOWEXT: height, width
        bottom = S16(&data[at + 6]);
        right = S16(&data[at + 8]);
        haveExtent = true;
      }
      at += static_cast<size_t>(words) * 2;
    }
    if (!haveExtent) return std::nullopt;
    right += left;
    bottom += top;
  }

  // A rectangle over the whole frame with no pen and no brush, in a saved state of its own,
  // with objects that are gone again before the file's first record.
  std::vector<uint8_t> frame;
  PutRecord(frame, 0x001E, {});                                    // META_SAVEDC
  PutRecord(frame, 0x020B, {top, left});                           // META_SETWINDOWORG
  PutRecord(frame, 0x020C, {bottom - top, right - left});          // META_SETWINDOWEXT
  PutRecord(frame, 0x02FA, {5, 0, 0, 0, 0});                       // META_CREATEPENINDIRECT, PS_NULL
  PutRecord(frame, 0x012D, {0});                                   // META_SELECTOBJECT
  PutRecord(frame, 0x02FC, {1, 0, 0, 0});                          // META_CREATEBRUSHINDIRECT, BS_NULL
  PutRecord(frame, 0x012D, {1});                                   // META_SELECTOBJECT
  PutRecord(frame, 0x041B, {bottom, right, top, left});            // META_RECTANGLE
  PutRecord(frame, 0x0127, {-1});                                  // META_RESTOREDC
  PutRecord(frame, 0x01F0, {0});                                   // META_DELETEOBJECT
  PutRecord(frame, 0x01F0, {1});                                   // META_DELETEOBJECT

  std::vector<uint8_t> out(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(header + kMetaHeaderBytes));
  out.insert(out.end(), frame.begin(), frame.end());
  out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(header + kMetaHeaderBytes), data.end());
  uint8_t* meta = out.data() + header;
  const uint32_t size = U32(meta + 6) + static_cast<uint32_t>(frame.size() / 2);
  meta[6] = static_cast<uint8_t>(size);
  meta[7] = static_cast<uint8_t>(size >> 8);
  meta[8] = static_cast<uint8_t>(size >> 16);
  meta[9] = static_cast<uint8_t>(size >> 24);
  if (U16(meta + 10) < 2) {
    meta[10] = 2;
    meta[11] = 0;
  }
  if (U32(meta + 12) < 8) {
    meta[12] = 8;
    meta[13] = meta[14] = meta[15] = 0;
  }
  return out;
}

}  // namespace puzzle
