#include "toolkit/builtin_bitmaps.h"

#include "resources/embedded.h"
#include "toolkit/bitmap_reader.h"

namespace puzzle {

std::optional<DecodedImage> BuiltinBitmaps::LoadBitmap(int32_t id) const {
  const auto bytes = EmbeddedResource(ResourceKind::Bitmap, id);
  if (bytes.empty()) return std::nullopt;
  return ReadBitmap24(bytes);
}

}  // namespace puzzle
