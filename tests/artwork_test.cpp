// The artwork committed under resources/ is what the generator draws: the program icon at
// every size of the desktop's icon theme, each drawn for its size, and its scalable twin.
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "artwork.h"

namespace puzzle {
namespace {

struct PixbufDeleter {
  void operator()(GdkPixbuf* pixbuf) const { g_object_unref(pixbuf); }
};
using Pixbuf = std::unique_ptr<GdkPixbuf, PixbufDeleter>;

std::string IconFile(const std::string& name) { return std::string(PUZZLE_RESOURCES "/icons/") + name; }

// Straight RGBA bytes of a picture file, rendered at size x size when it is scalable.
std::optional<art::Image> Load(const std::string& path, int size = 0) {
  GError* error = nullptr;
  Pixbuf pixbuf(size > 0 ? gdk_pixbuf_new_from_file_at_size(path.c_str(), size, size, &error)
                         : gdk_pixbuf_new_from_file(path.c_str(), &error));
  if (error != nullptr) {
    ADD_FAILURE() << path << ": " << error->message;
    g_error_free(error);
  }
  if (!pixbuf || gdk_pixbuf_get_n_channels(pixbuf.get()) != 4) return std::nullopt;
  art::Image image(gdk_pixbuf_get_width(pixbuf.get()), gdk_pixbuf_get_height(pixbuf.get()));
  const guchar* pixels = gdk_pixbuf_get_pixels(pixbuf.get());
  const int stride = gdk_pixbuf_get_rowstride(pixbuf.get());
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      for (int c = 0; c < 4; ++c) {
        image.rgba[static_cast<size_t>((y * image.width + x) * 4 + c)] = pixels[y * stride + x * 4 + c];
      }
    }
  }
  return image;
}

const uint8_t* Pixel(const art::Image& image, int x, int y) {
  return &image.rgba[static_cast<size_t>((y * image.width + x) * 4)];
}

bool IsHole(const art::Image& image, int x, int y) {
  const uint8_t* p = Pixel(image, x, y);
  return p[0] == 44 && p[1] == 30 && p[2] == 22 && p[3] == 255;
}

TEST(ArtworkTest, TheIconIsDrawnForEverySizeOfTheIconTheme) {
  EXPECT_EQ(art::IconSizes(), (std::vector<int>{16, 22, 24, 32, 48, 64, 128, 256}));
  for (int size : art::IconSizes()) {
    SCOPED_TRACE(size);
    const auto committed = Load(IconFile("program-" + std::to_string(size) + ".png"));
    ASSERT_TRUE(committed);
    ASSERT_EQ(committed->width, size);
    ASSERT_EQ(committed->height, size);
    EXPECT_EQ(committed->rgba, art::DrawIcon(size).rgba) << "run make_artwork after changing the drawing";

    // Drawn for its size, not scaled: the empty cell in the bottom-right corner is the frame's
    // dark inside to the last pixel, with sharp edges against the pieces beside it.
    const int c = size * 5 / 6;  // inside the empty cell at every size
    ASSERT_TRUE(IsHole(*committed, c, c));
    int holeLeft = c;
    while (holeLeft > 0 && IsHole(*committed, holeLeft - 1, c)) --holeLeft;
    int holeTop = c;
    while (holeTop > 0 && IsHole(*committed, c, holeTop - 1)) --holeTop;
    int inner = c;
    while (inner < size && IsHole(*committed, inner, inner)) ++inner;
    ASSERT_LT(holeLeft, size * 3 / 4);
    ASSERT_LT(holeTop, size * 3 / 4);
    for (int y = holeTop; y < inner; ++y) {
      for (int x = holeLeft; x < inner; ++x) EXPECT_TRUE(IsHole(*committed, x, y)) << x << "," << y;
    }
    // The piece left of the gap is picture, not a blend of picture and gap.
    const uint8_t* beside = Pixel(*committed, holeLeft - 1, (holeTop + inner) / 2);
    EXPECT_FALSE(IsHole(*committed, holeLeft - 1, (holeTop + inner) / 2));
    EXPECT_EQ(beside[3], 255);
  }
}

TEST(ArtworkTest, TheScalableIconShowsTheSamePicture) {
  const auto drawn = art::DrawIcon(256);
  const auto rendered = Load(IconFile("program.svg"), 256);
  ASSERT_TRUE(rendered) << "no SVG loader: librsvg2-common";
  ASSERT_EQ(rendered->width, 256);
  ASSERT_EQ(rendered->height, 256);
  // Anti-aliasing and the gradients differ a little; the picture is the same.
  long long difference = 0;
  int far = 0;
  for (size_t i = 0; i < drawn.rgba.size(); ++i) {
    const int d = std::abs(int{drawn.rgba[i]} - int{rendered->rgba[i]});
    difference += d;
    if (d > 96) ++far;
  }
  EXPECT_LT(difference / static_cast<long long>(drawn.rgba.size()), 6);
  EXPECT_LT(far, 256 * 256 * 4 / 100);
}

TEST(ArtworkTest, TheMessageBoxSignIsTheGeneratorsDrawing) {
  for (const char* file : {"exclamation.ico", "exclamation-32.png"}) {
    const auto committed = Load(IconFile(file));
    ASSERT_TRUE(committed) << file;
    ASSERT_EQ(committed->width, 32) << file;
    EXPECT_EQ(committed->rgba, art::DrawExclamation(32).rgba) << file;
  }
}

TEST(ArtworkTest, TheWebManifestsIconsAreDrawnForTheirSizes) {
  EXPECT_EQ(art::WebIconSizes(), (std::vector<int>{192, 512}));
  for (int size : art::WebIconSizes()) {
    const auto committed = Load(IconFile("program-" + std::to_string(size) + ".png"));
    ASSERT_TRUE(committed) << size;
    EXPECT_EQ(committed->width, size);
    EXPECT_EQ(committed->rgba, art::DrawIcon(size).rgba) << "run make_artwork after changing the drawing";
  }
}

// A launcher may cut the maskable icon to any shape holding the middle circle of 40 % of its
// size: everything but the desk colour lies inside that circle, and the rest is opaque desk.
TEST(ArtworkTest, TheMaskableIconKeepsItsPictureInsideTheSafeCircle) {
  const auto committed = Load(IconFile("program-maskable-512.png"));
  ASSERT_TRUE(committed);
  const art::Image drawn = art::DrawMaskableIcon();
  EXPECT_EQ(committed->rgba, drawn.rgba) << "run make_artwork after changing the drawing";
  int outside = 0;
  int picture = 0;
  for (int y = 0; y < 512; ++y) {
    for (int x = 0; x < 512; ++x) {
      const uint8_t* p = &drawn.rgba[4 * (static_cast<size_t>(y) * 512 + x)];
      ASSERT_EQ(p[3], 255);
      if (p[0] == 0x17 && p[1] == 0x56 && p[2] == 0x5c) continue;
      ++picture;
      const double dx = x + 0.5 - 256;
      const double dy = y + 0.5 - 256;
      if (dx * dx + dy * dy > 0.4 * 512 * 0.4 * 512) ++outside;
    }
  }
  EXPECT_EQ(outside, 0);
  EXPECT_GT(picture, 256 * 256 / 2);
}

}  // namespace
}  // namespace puzzle
