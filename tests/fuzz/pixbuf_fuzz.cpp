// The player's picture files through the gdk-pixbuf wrapper, every format the file dialog
// offers (BMP, GIF, JPEG, PNG, TGA, TIFF, WMF): a picture that comes out fits the box it
// was asked to fit, has the size the probe told, and no more pixels than a surface may
// have; what the probe tells fits the box too.
//
// Input: two bytes for the box, then the file.

#include <fcntl.h>
#include <glib.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "shell/linux/pixbuf_decoder.h"
#include "tests/fuzz/fuzz_support.h"

using namespace puzzle;

namespace {

// The file lives in memory: the decoder opens it by name, as it opens the player's files.
struct MemoryFile {
  MemoryFile() : fd(memfd_create("picture", MFD_CLOEXEC)), path("/proc/self/fd/" + std::to_string(fd)) {}
  void Hold(const std::vector<uint8_t>& bytes) const {
    FUZZ_CHECK(ftruncate(fd, 0) == 0);
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
      FUZZ_CHECK(n > 0);
      done += static_cast<size_t>(n);
    }
  }
  int fd;
  std::string path;
};

void Quiet(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const MemoryFile file = [] {
    g_log_set_default_handler(Quiet, nullptr);
    return MemoryFile();
  }();
  FUZZ_CHECK(file.fd >= 0);
  fuzz::Prefix prefix(data, size);
  const uint8_t boxWidth = prefix.Byte();
  const uint8_t boxHeight = prefix.Byte();
  const ImageSize box = fuzz::Box(boxWidth, boxHeight);
  file.Hold(prefix.Rest());

  PixbufDecoder decoder;
  decoder.SetLargestPicture(box);
  const std::optional<ImageSize> probed = decoder.Probe(file.path.c_str());
  const std::optional<DecodedImage> image = decoder.Decode(file.path.c_str());
  if (probed) {
    FUZZ_CHECK(SurfaceSizeAllowed(probed->width, probed->height));
    FUZZ_CHECK(fuzz::Within(*probed, box));
  }
  if (!image) return 0;
  fuzz::CheckPicture(*image);
  FUZZ_CHECK(fuzz::Within(ImageSize{image->width, image->height}, box));
  FUZZ_CHECK(probed.has_value());
  FUZZ_CHECK(probed->width == image->width && probed->height == image->height);
  return 0;
}
