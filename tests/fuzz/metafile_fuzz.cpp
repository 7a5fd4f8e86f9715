// The metafile header and the size rule: a size comes only from a file whose records run
// whole from the header to the end record, so nothing after that record changes it; it is
// never negative, never more than a 16-bit extent (or a placeable box at 96 dpi) can say,
// and a placeable header is always taken for a metafile.

#include "shell/pictures/metafile.h"
#include "tests/fuzz/fuzz_support.h"

using namespace puzzle;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  const bool placeable = IsPlaceableMetafile(bytes);
  if (placeable) FUZZ_CHECK(IsMetafile(bytes));
  const std::optional<MetafileExtent> extent = MetafileSize(bytes);
  if (!extent) return 0;
  FUZZ_CHECK(extent->width >= 0 && extent->height >= 0);
  // |a - b| of two 16-bit numbers at 96 dpi, one unit to the inch, rounded.
  const int64_t most = placeable ? 65535 * 96 : 32768;
  FUZZ_CHECK(extent->width <= most && extent->height <= most);
  // The records end at the end record: whatever follows it is not read.
  for (uint8_t tail : {uint8_t{0x00}, uint8_t{0xFF}, uint8_t{0x03}}) {
    std::vector<uint8_t> longer = bytes;
    longer.insert(longer.end(), 9, tail);
    const std::optional<MetafileExtent> again = MetafileSize(longer);
    FUZZ_CHECK(again.has_value() && again->width == extent->width && again->height == extent->height);
  }
  return 0;
}
