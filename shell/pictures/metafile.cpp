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

}  // namespace puzzle
