#pragma once

#include <optional>

#include "toolkit/image.h"

namespace puzzle {

// The player's picture files on Windows. The format comes from the file's first bytes,
// never from its name: BMP, GIF (its first frame), JPEG (turned upright by its orientation
// tag), PNG (alpha kept, for the picture's white to show through) and TIFF through the
// Windows Imaging Component; metafiles, placeable or plain, played back through GDI at
// their header's size at 96 dpi or their window extent; Targa through our own decoder,
// since Windows has none. The size is read from the header first: a picture larger than
// the game allows is refused before any pixel is decoded. A picture larger than the
// screen allows comes out smaller, its shape kept (a metafile is played at that size).
class PictureDecoder : public ImageFileDecoder {
 public:
  PictureDecoder();
  ~PictureDecoder() override;
  PictureDecoder(const PictureDecoder&) = delete;
  PictureDecoder& operator=(const PictureDecoder&) = delete;

  // Pictures larger than this come out smaller; 0 x 0 sets no limit.
  void SetLargestPicture(ImageSize largest) { largest_ = largest; }
  ImageSize LargestPicture() const { return largest_; }

  std::optional<ImageSize> Probe(const char* path) override;
  std::optional<ImageSize> NaturalSize(const char* path) override;
  std::optional<DecodedImage> Decode(const char* path) override;
  bool Exists(const char* path) override;

 private:
  bool comStarted_ = false;
  ImageSize largest_{};
};

}  // namespace puzzle
