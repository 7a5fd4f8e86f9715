#include "shell/linux/jpeg_decoder.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

#include <jpeglib.h>

#include "shell/pictures/downscale.h"
#include "shell/pictures/fit.h"

namespace puzzle {
namespace {

constexpr uint8_t kFakeEnd[] = {0xFF, 0xD9};
constexpr char kExif[] = "Exif\0\0";
constexpr size_t kExifBytes = 6;

// Everything one decoding needs, on the heap: libjpeg's error exit jumps back over the
// library's frames, and nothing that must be destroyed may live in those.
struct Decoding {
  jpeg_decompress_struct info{};
  jpeg_error_mgr errors{};
  jpeg_source_mgr source{};
  std::jmp_buf failed;
  const std::vector<uint8_t>* first = nullptr;
  ByteSource* more = nullptr;
  std::vector<uint8_t> piece;
  std::vector<JSAMPLE> cmykRow;
  bool servedFirst = false;
  bool cutShort = false;
  bool created = false;

  ~Decoding() {
    if (created) jpeg_destroy_decompress(&info);
  }
};

Decoding& Of(j_decompress_ptr info) { return *static_cast<Decoding*>(info->client_data); }

[[noreturn]] void ErrorExit(j_common_ptr info) {
  std::longjmp(static_cast<Decoding*>(info->client_data)->failed, 1);
}
void EmitMessage(j_common_ptr, int) {}  // warnings about damaged data are no reason to refuse
void OutputMessage(j_common_ptr) {}

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

boolean FillInput(j_decompress_ptr info) {
  Decoding& d = Of(info);
  const std::vector<uint8_t>* next = nullptr;
  if (!d.servedFirst) {
    d.servedFirst = true;
    next = d.first;
  } else if (!d.cutShort) {
    if (!d.more->Next(d.piece)) ErrorExit(reinterpret_cast<j_common_ptr>(info));
    next = &d.piece;
  }
  if (next == nullptr || next->empty()) {
    // The data ran out before the picture's end: finish it off as libjpeg does, and
    // remember that the file was cut short.
    d.cutShort = true;
    info->src->next_input_byte = kFakeEnd;
    info->src->bytes_in_buffer = sizeof kFakeEnd;
    return TRUE;
  }
  info->src->next_input_byte = next->data();
  info->src->bytes_in_buffer = next->size();
  return TRUE;
}

void SkipInput(j_decompress_ptr info, long count) {
  while (count > 0) {
    if (info->src->bytes_in_buffer == 0) FillInput(info);
    const size_t step = std::min(info->src->bytes_in_buffer, static_cast<size_t>(count));
    info->src->next_input_byte += step;
    info->src->bytes_in_buffer -= step;
    count -= static_cast<long>(step);
  }
}

// Sets up libjpeg on the file and reads its header; false on any failure. Must be called
// in the frame that set d.failed.
void Start(Decoding& d, const std::vector<uint8_t>& first, ByteSource& more) {
  d.first = &first;
  d.more = &more;
  d.info.err = jpeg_std_error(&d.errors);
  d.errors.error_exit = ErrorExit;
  d.errors.emit_message = EmitMessage;
  d.errors.output_message = OutputMessage;
  d.info.client_data = &d;
  jpeg_create_decompress(&d.info);
  d.created = true;
  d.source.init_source = InitSource;
  d.source.fill_input_buffer = FillInput;
  d.source.skip_input_data = SkipInput;
  d.source.resync_to_restart = jpeg_resync_to_restart;
  d.source.term_source = TermSource;
  d.info.src = &d.source;
  jpeg_save_markers(&d.info, JPEG_APP0 + 1, 0xFFFF);
  jpeg_read_header(&d.info, TRUE);
}

JpegHeader HeaderOf(const jpeg_decompress_struct& info) {
  JpegHeader header;
  header.stored = ImageSize{static_cast<int32_t>(info.image_width), static_cast<int32_t>(info.image_height)};
  for (jpeg_saved_marker_ptr m = info.marker_list; m != nullptr; m = m->next) {
    if (m->marker == JPEG_APP0 + 1 && m->data_length > kExifBytes && std::memcmp(m->data, kExif, kExifBytes) == 0) {
      header.orientation = ReadOrientationTag(m->data + kExifBytes, m->data_length - kExifBytes);
      break;
    }
  }
  return header;
}

// The smallest eighth the IDCT can scale by that still gives at least the wanted size.
unsigned int ScaleEighths(ImageSize stored, ImageSize wanted) {
  for (unsigned int n = 1; n < 8; ++n) {
    const int64_t w = (int64_t{stored.width} * n + 7) / 8;
    const int64_t h = (int64_t{stored.height} * n + 7) / 8;
    if (w >= wanted.width && h >= wanted.height) return n;
  }
  return 8;
}

// Cyan, magenta, yellow and black as Adobe writes them (inverted) into 0xAARRGGBB.
void CmykRow(const JSAMPLE* in, uint32_t* out, JDIMENSION width) {
  for (JDIMENSION x = 0; x < width; ++x, in += 4) {
    const uint32_t k = in[3];
    out[x] = 0xFF000000u | ((in[0] * k / 255) << 16) | ((in[1] * k / 255) << 8) | (in[2] * k / 255);
  }
}

bool Decompress(Decoding& d, const std::vector<uint8_t>& first, ByteSource& more, ImageSize largest,
                JpegHeader& header, DecodedImage& image) {
  if (setjmp(d.failed) != 0) return false;
  Start(d, first, more);
  header = HeaderOf(d.info);
  // The file's own size is held to the limits whatever it is scaled to: the decoder's
  // working memory follows it.
  if (!SurfaceSizeAllowed(header.stored.width, header.stored.height)) return false;
  const ImageSize upright = FitWithin(Oriented(header.stored, header.orientation), largest);
  const ImageSize wanted = Oriented(upright, header.orientation);
  d.info.scale_num = ScaleEighths(header.stored, wanted);
  d.info.scale_denom = 8;
  const bool cmyk = d.info.jpeg_color_space == JCS_CMYK || d.info.jpeg_color_space == JCS_YCCK;
  d.info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
  jpeg_calc_output_dimensions(&d.info);
  if (!SurfaceSizeAllowed(d.info.output_width, d.info.output_height)) return false;
  image.width = static_cast<int32_t>(d.info.output_width);
  image.height = static_cast<int32_t>(d.info.output_height);
  image.opaque = true;
  image.pixels.resize(static_cast<size_t>(image.width) * static_cast<size_t>(image.height));
  d.cmykRow.resize(cmyk ? size_t{d.info.output_width} * 4 : 0);

  jpeg_start_decompress(&d.info);
  while (d.info.output_scanline < d.info.output_height) {
    uint32_t* row = image.pixels.data() + static_cast<size_t>(d.info.output_scanline) * d.info.output_width;
    // BGRA in memory is 0xAARRGGBB in a little-endian word, with the alpha set to 255.
    JSAMPROW target = cmyk ? d.cmykRow.data() : reinterpret_cast<JSAMPROW>(row);
    if (jpeg_read_scanlines(&d.info, &target, 1) != 1) return false;
    if (cmyk) CmykRow(d.cmykRow.data(), row, d.info.output_width);
  }
  jpeg_finish_decompress(&d.info);
  return !d.cutShort;
}

}  // namespace

std::optional<JpegHeader> ReadJpegHeader(const std::vector<uint8_t>& first, ByteSource& more) {
  auto d = std::make_unique<Decoding>();
  if (setjmp(d->failed) != 0) return std::nullopt;
  Start(*d, first, more);
  if (d->cutShort) return std::nullopt;
  return HeaderOf(d->info);
}

std::optional<DecodedImage> DecodeJpeg(const std::vector<uint8_t>& first, ByteSource& more, ImageSize largest) {
  auto d = std::make_unique<Decoding>();
  JpegHeader header;
  DecodedImage image;
  if (!Decompress(*d, first, more, largest, header, image)) return std::nullopt;
  d.reset();
  const ImageSize upright = FitWithin(Oriented(header.stored, header.orientation), largest);
  image = Downscale(std::move(image), Oriented(upright, header.orientation));
  return Orient(std::move(image), header.orientation);
}

}  // namespace puzzle
