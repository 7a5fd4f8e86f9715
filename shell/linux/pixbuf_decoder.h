#pragma once

#include <optional>

#include "toolkit/image.h"

namespace puzzle {

// Reads the player's BMP, GIF, JPEG, PNG, TGA, TIFF and WMF files: JPEG through libjpeg,
// Targa through the shared decoder, the others through gdk-pixbuf.
//
// The format comes from the file's first bytes, never from its name, and only these seven
// are handed to a loader, so whatever other loaders the system has installed can't be
// reached through a picture file. A picture larger than the game allows is refused as soon
// as its header is read, before any pixels are decoded. A GIF gives its first frame; a
// photo with an orientation tag comes out upright. Metafiles are drawn at the size their
// header gives at 96 dpi, or at their window extent in pixels when they have no
// placeable header. A file cut short gives nothing rather than part of a picture.
//
// The probe reads only what tells the size: the header, or for a TIFF file its first
// directory (a metafile is read whole, since its size comes from its records).
//
// Not thread-safe; one decoder may be used for many files.
class PixbufDecoder : public ImageFileDecoder {
 public:
  // Pictures larger than this come out smaller, their shape kept, so that the game fits
  // on the screen; 0 x 0 sets no limit.
  void SetLargestPicture(ImageSize largest) { largest_ = largest; }
  ImageSize LargestPicture() const { return largest_; }

  std::optional<ImageSize> Probe(const char* path) override;
  std::optional<ImageSize> NaturalSize(const char* path) override;
  std::optional<DecodedImage> Decode(const char* path) override;
  bool Exists(const char* path) override;

 private:
  ImageSize largest_{};
};

}  // namespace puzzle
