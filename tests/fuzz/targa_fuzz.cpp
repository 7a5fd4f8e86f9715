// The Targa decoder with stb_image under it: whatever the bytes, a picture that comes out
// has the size its header states and no more pixels than a surface may have.

#include "shell/pictures/targa.h"
#include "tests/fuzz/fuzz_support.h"

using namespace puzzle;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::optional<ImageSize> stated = TargaSize(data, size);
  const std::optional<DecodedImage> image = DecodeTarga(data, size);
  if (stated) FUZZ_CHECK(stated->width > 0 && stated->height > 0);
  if (!image) return 0;
  FUZZ_CHECK(stated.has_value());
  FUZZ_CHECK(image->width == stated->width && image->height == stated->height);
  fuzz::CheckPicture(*image);
  return 0;
}
