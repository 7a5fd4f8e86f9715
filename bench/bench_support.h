#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "game/board.h"
#include "toolkit/picture.h"
#include "toolkit/software_surface.h"

namespace puzzle::bench {

// Where the window's client area sits on the screen, as the headless host puts it.
inline constexpr int32_t kScreenX = 40;
inline constexpr int32_t kScreenY = 60;
inline constexpr uint32_t kBoardSeed = 1700000000;

// A photo-like picture: smooth gradients with per-pixel noise, so that every tile's
// piece differs from its neighbours and from the black background. Made once per size.
const DecodedImage& NoiseImage(int32_t width, int32_t height);

// The program's bitmaps, all of them one noise picture.
class NoiseBitmaps : public BitmapResources {
 public:
  NoiseBitmaps(int32_t width, int32_t height) : width_(width), height_(height) {}
  std::optional<DecodedImage> LoadBitmap(int32_t id) const override;

 private:
  int32_t width_;
  int32_t height_;
};

// One board as the root of its own window: a noise picture on a software surface, a
// window target the size of the picture, shuffled and fully painted.
struct BoardScene {
  BoardScene(int32_t width, int32_t height, int32_t grid, FontRasterizer* fonts = nullptr);

  // Everything dirty, painted, damage handed over: what a WM_PAINT of the whole board does.
  bool RepaintAll();
  // The next move of the closed walk; the walk ends where it began, so it repeats forever.
  int32_t NextMove();

  int32_t width;
  int32_t height;
  int32_t grid;
  SurfaceMonitor monitor;
  SoftwareSurfaceFactory factory;
  NoiseBitmaps bitmaps;
  PictureEnvironment env;
  std::unique_ptr<Picture> picture;
  SoftwareWindowTarget target;
  std::unique_ptr<Board> board;
  std::vector<int32_t> walk;
  size_t walkPos = 0;
};

// Slide directions that take the hole on a random walk of `length` steps from where it
// is (never straight back) and then the same way home, so the list is a closed loop.
std::vector<int32_t> ClosedWalk(int32_t columns, int32_t rows, int32_t emptyColumn, int32_t emptyRow,
                                size_t length, uint32_t seed);

// What one paint wrote on the window target, averaged over the paints measured.
struct PaintCost {
  double copiedPixels = 0;   // SurfaceMonitor::PixelsCopied: picture-to-window copies
  double damagePixels = 0;   // area of the damage rectangles: copies and fills
  double changedPixels = 0;  // target pixels whose value differs afterwards
  double rects = 0;          // damage rectangles
  double copies = 0;         // Blt calls
  double fills = 0;          // Fill calls
  // After the measured slides the window matched a full repaint of the same board.
  bool matchesFullRepaint = true;
};

// Plays the scene's whole walk once, comparing the window before and after each slide.
// Leaves the board as it found it. Slow: not for timed loops.
PaintCost MeasureSlides(BoardScene& scene);
// One full repaint, counted the same way.
PaintCost MeasureFullRepaint(BoardScene& scene);

// Renders the board onto its target and hands the damage over, as every message ends;
// false when the render failed.
bool RenderAndPresent(BoardScene& scene);

size_t CountDifferentPixels(const PixelVector& before, const PixelVector& after);

// Scenes are large (a 1920 x 1080 picture is 8 MB, and so is its window), and the
// benchmark library calls each benchmark several times; build each one once.
enum class ScenePurpose { Slides, Shuffles, Numbers };
BoardScene& SceneFor(ScenePurpose purpose, int32_t width, int32_t height, int32_t grid,
                     FontRasterizer* fonts = nullptr);

}  // namespace puzzle::bench
