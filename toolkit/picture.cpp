#include "toolkit/picture.h"

namespace puzzle {

namespace {
constexpr uint32_t kWhite = 0x00FFFFFFu;
}

Picture::Picture(const PictureEnvironment& env, PictureName pictureName, int32_t width, int32_t height,
                 int32_t frameColumns, int32_t frameRows, int32_t frames)
    : name(pictureName),
      imageWidth(width),
      imageHeight(height),
      columns(frameColumns),
      rows(frameRows),
      frameCount(frames),
      env_(env) {
  DeriveFrameSize();
}

Picture::Picture(const PictureEnvironment& env, PictureName pictureName, int32_t frameColumns,
                 int32_t frameRows, int32_t frames)
    : name(pictureName), columns(frameColumns), rows(frameRows), frameCount(frames), env_(env) {
  // A file's header tells its size; its pixels are decoded once, by Load.
  std::optional<ImageSize> size;
  if (!name.IsResource()) {
    if (env_.files != nullptr && name.Path() != nullptr) size = env_.files->Probe(name.Path());
  } else if (auto image = Decode(name)) {
    size = ImageSize{image->width, image->height};
  }
  if (size) {
    imageWidth = size->width;
    imageHeight = size->height;
  }
  DeriveFrameSize();
}

Picture::~Picture() = default;

void Picture::DeriveFrameSize() {
  // A grid of no columns or rows would divide by zero; such a picture has no frames.
  frameWidth = columns > 0 ? imageWidth / columns : 0;
  frameHeight = rows > 0 ? imageHeight / rows : 0;
}

std::optional<DecodedImage> Picture::Decode(PictureName source) const {
  // First as one of the program's bitmaps, then as a file path.
  if (source.IsResource()) {
    if (env_.resources != nullptr) return env_.resources->LoadBitmap(source.ResourceId());
    return std::nullopt;
  }
  if (env_.files != nullptr && source.Path() != nullptr) return env_.files->Decode(source.Path());
  return std::nullopt;
}

bool Picture::PutOnNewSurface(DecodedImage& image, int32_t width, int32_t height) {
  if (env_.surfaces == nullptr) return false;
  // An opaque image that covers the whole surface becomes the surface: nothing to fill
  // under it and no second copy of a large picture.
  if (image.opaque && image.width == width && image.height == height) {
    surface = env_.surfaces->AdoptImage(std::move(image));
    if (surface) return true;
  }
  surface = env_.surfaces->CreateSurface(width, height);
  if (!surface) return false;
  if (!surface->Fill(nullptr, kWhite)) return false;
  auto context = surface->GetDC();
  if (!context) return false;
  return context->DrawImage(image);
}

bool Picture::Load() {
  if (surface) return true;
  auto image = Decode(name);
  if (!image) return false;
  // The surface has the recorded size: a larger image is cut off, a smaller one leaves
  // white at the right and bottom.
  return PutOnNewSurface(*image, imageWidth, imageHeight);
}

bool Picture::Reload(PictureName newName) {
  auto image = Decode(newName);
  if (!image) return false;
  // name keeps what the picture was made from: the caller's text for newName may not
  // outlive this call.
  surface.reset();
  const int32_t width = image->width;
  const int32_t height = image->height;
  if (env_.surfaces == nullptr) return false;
  if (image->opaque && (surface = env_.surfaces->AdoptImage(std::move(*image)))) {
    imageWidth = width;
    imageHeight = height;
    DeriveFrameSize();
    return true;
  }
  surface = env_.surfaces->CreateSurface(width, height);
  if (!surface) return false;
  if (!surface->Fill(nullptr, kWhite)) return false;
  auto context = surface->GetDC();
  if (!context) return false;
  const bool drawn = context->DrawImage(*image);
  imageWidth = width;
  imageHeight = height;
  DeriveFrameSize();
  return drawn;
}

bool Picture::Blit(Surface& target, const Rect& destination, const Rect& source) {
  // Nothing to copy is no failure: a tile of a tiny picture may have no pixels at all.
  if (destination.IsEmpty()) return true;
  if (!surface) return false;
  return target.Blt(destination, *surface, source);
}

}  // namespace puzzle
