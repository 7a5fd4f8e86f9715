#pragma once

#include <optional>

#include "toolkit/image.h"

namespace puzzle {

// Reads the player's BMP, GIF, JPEG, PNG, TGA, TIFF and WMF files through gdk-pixbuf.
//
// The format comes from the file's first bytes, never from its name, and only these seven
// are handed to a loader, so whatever other loaders the system has installed can't be
// reached through a picture file. A picture larger than the game allows is refused as soon
// as its header is read, before any pixels are decoded. A GIF gives its first frame; a
// photo with an orientation tag comes out upright. Metafiles are drawn at the size their
// header gives at 96 dpi, or at their window extent in pixels when they have no
// placeable header. A file cut short gives nothing rather than part of a picture.
//
// Not thread-safe; one decoder may be used for many files.
class PixbufDecoder : public ImageFileDecoder {
 public:
  std::optional<DecodedImage> Decode(const char* path) override;
};

}  // namespace puzzle
