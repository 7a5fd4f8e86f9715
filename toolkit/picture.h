#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "toolkit/geometry.h"
#include "toolkit/image.h"
#include "toolkit/surface.h"

namespace puzzle {

// What a picture loads from: one of the program's bitmaps by number, or a file path.
// A path is not owned; the caller keeps the text alive.
class PictureName {
 public:
  static PictureName Resource(int32_t id) { return PictureName(id, nullptr); }
  static PictureName File(const char* path) { return PictureName(0, path); }

  bool IsResource() const { return path_ == nullptr; }
  int32_t ResourceId() const { return id_; }
  const char* Path() const { return path_; }

 private:
  PictureName(int32_t id, const char* path) : id_(id), path_(path) {}
  int32_t id_;
  const char* path_;
};

// The program-wide services every picture reaches: where surfaces come from, the
// program's own bitmaps, and the decoder of the player's files.
struct PictureEnvironment {
  SurfaceFactory* surfaces = nullptr;
  const BitmapResources* resources = nullptr;
  ImageFileDecoder* files = nullptr;
};

// A decoded image on an offscreen surface, seen as a grid of equal frames.
class Picture {
 public:
  // From one of the program's bitmaps: the given size is trusted, nothing is decoded yet.
  Picture(const PictureEnvironment& env, PictureName name, int32_t imageWidth, int32_t imageHeight,
          int32_t columns, int32_t rows, int32_t frameCount);
  // From a file: its size from the decoder's probe (0 x 0 when it can't be decoded).
  Picture(const PictureEnvironment& env, PictureName name, int32_t columns, int32_t rows, int32_t frameCount);
  virtual ~Picture();

  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;

  // Puts the image on its surface; true when the picture has a surface holding it.
  bool Load();
  // Replaces the image by the one newName designates, keeping the grid.
  bool Reload(PictureName newName);
  // Copies source of this picture onto dest of the target, unscaled.
  bool Blit(Surface& target, const Rect& destination, const Rect& source);

  std::unique_ptr<Surface> surface;
  PictureName name;
  int32_t imageWidth = 0;
  int32_t imageHeight = 0;
  int32_t frameWidth = 0;
  int32_t frameHeight = 0;
  int32_t columns = 1;
  int32_t rows = 1;
  int32_t frameCount = 1;

 private:
  std::optional<DecodedImage> Decode(PictureName source) const;
  // Steps shared by Load and Reload once the image is decoded: a white surface with the
  // image drawn on it, or the image itself when it is opaque and of that size. Leaves
  // surface set as soon as it was created.
  bool PutOnNewSurface(DecodedImage& image, int32_t width, int32_t height);
  void DeriveFrameSize();

  PictureEnvironment env_;
};

}  // namespace puzzle
