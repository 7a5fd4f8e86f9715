#include "bench/bench_support.h"

#include <algorithm>
#include <map>
#include <tuple>
#include <utility>

#include <benchmark/benchmark.h>

namespace puzzle::bench {

namespace {

uint32_t XorShift(uint32_t& s) {
  s ^= s << 13;
  s ^= s >> 17;
  s ^= s << 5;
  return s;
}

uint32_t Channel(int32_t value) { return static_cast<uint32_t>(std::clamp(value, 0, 255)); }

int32_t Opposite(int32_t direction) {
  switch (direction) {
    case SlideLeft: return SlideRight;
    case SlideRight: return SlideLeft;
    case SlideUp: return SlideDown;
    default: return SlideUp;
  }
}

}  // namespace

const DecodedImage& NoiseImage(int32_t width, int32_t height) {
  static std::map<std::pair<int32_t, int32_t>, DecodedImage> made;
  auto [it, fresh] = made.try_emplace({width, height});
  DecodedImage& image = it->second;
  if (!fresh) return image;
  image.width = width;
  image.height = height;
  image.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  uint32_t s = 0x9E3779B9u;
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t n = XorShift(s);
      const auto noise = [&](int shift) { return static_cast<int32_t>((n >> shift) & 0x3F) - 32; };
      const int32_t r = 255 * x / std::max(width - 1, 1) + noise(0);
      const int32_t g = 255 * y / std::max(height - 1, 1) + noise(8);
      const int32_t b = 128 + 96 * ((x / 37 + y / 23) % 3 - 1) + noise(16);
      image.pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] =
          0xFF000000u | Channel(r) << 16 | Channel(g) << 8 | Channel(b);
    }
  }
  return image;
}

std::optional<DecodedImage> NoiseBitmaps::LoadBitmap(int32_t /*id*/) const { return NoiseImage(width_, height_); }

BoardScene::BoardScene(int32_t w, int32_t h, int32_t gridSize, FontRasterizer* fonts)
    : width(w),
      height(h),
      grid(gridSize),
      factory(&monitor, fonts),
      bitmaps(w, h),
      target(&monitor) {
  env.surfaces = &factory;
  env.resources = &bitmaps;
  picture = std::make_unique<Picture>(env, PictureName::Resource(1), w, h, 1, 1, 1);
  target.SetClientArea(kScreenX, kScreenY, w, h);
  board = std::make_unique<Board>(nullptr, 0, 0, picture.get(), grid, grid, -1, 100, false, kBoardSeed);
  board->SetOrigin(kScreenX, kScreenY);
  board->Shuffle();
  RepaintAll();
  walk = ClosedWalk(grid, grid, board->GetEmptyColumn(), board->GetEmptyRow(), 128, 12345);
  monitor.ClearCounts();
}

bool BoardScene::RepaintAll() {
  board->InvalidateAll();
  const bool painted = board->Render(target);
  target.TakeDamage();
  return painted;
}

int32_t BoardScene::NextMove() {
  const int32_t move = walk[walkPos];
  walkPos = walkPos + 1 == walk.size() ? 0 : walkPos + 1;
  return move;
}

std::vector<int32_t> ClosedWalk(int32_t columns, int32_t rows, int32_t emptyColumn, int32_t emptyRow,
                                size_t length, uint32_t seed) {
  std::vector<int32_t> moves;
  uint32_t s = seed | 1u;
  int32_t c = emptyColumn;
  int32_t r = emptyRow;
  int32_t last = -1;
  while (moves.size() < length) {
    const auto direction = static_cast<int32_t>(XorShift(s) % 4);
    if (last >= 0 && direction == Opposite(last)) continue;
    // The direction names the way the tile travels, so the hole goes the other way.
    int32_t nc = c;
    int32_t nr = r;
    switch (direction) {
      case SlideLeft: ++nc; break;
      case SlideRight: --nc; break;
      case SlideUp: ++nr; break;
      default: --nr; break;
    }
    if (nc < 0 || nc >= columns || nr < 0 || nr >= rows) continue;
    c = nc;
    r = nr;
    last = direction;
    moves.push_back(direction);
  }
  for (size_t i = length; i-- > 0;) moves.push_back(Opposite(moves[i]));
  return moves;
}

size_t CountDifferentPixels(const PixelVector& before, const PixelVector& after) {
  size_t differ = 0;
  const size_t n = std::min(before.size(), after.size());
  for (size_t i = 0; i < n; ++i) differ += before[i] != after[i] ? 1 : 0;
  return differ + std::max(before.size(), after.size()) - n;
}

namespace {

// Adds one paint's counts to cost; before holds the window as it was and is brought up to date.
void AddPaint(BoardScene& scene, const std::vector<Rect>& damage, PixelVector& before, PaintCost& cost) {
  for (const Rect& r : damage) cost.damagePixels += double{1} * r.Width() * r.Height();
  cost.rects += static_cast<double>(damage.size());
  cost.copiedPixels += static_cast<double>(scene.monitor.PixelsCopied());
  cost.copies += static_cast<double>(scene.monitor.Calls(SurfaceOp::Copy));
  cost.fills += static_cast<double>(scene.monitor.Calls(SurfaceOp::Fill));
  const auto& after = scene.target.Backing().Pixels();
  cost.changedPixels += static_cast<double>(CountDifferentPixels(before, after));
  before = after;
}

void Average(PaintCost& cost, double paints) {
  cost.copiedPixels /= paints;
  cost.damagePixels /= paints;
  cost.changedPixels /= paints;
  cost.rects /= paints;
  cost.copies /= paints;
  cost.fills /= paints;
}

}  // namespace

PaintCost MeasureSlides(BoardScene& scene) {
  PaintCost cost;
  PixelVector before = scene.target.Backing().Pixels();
  for (size_t i = 0; i < scene.walk.size(); ++i) {
    scene.monitor.ClearCounts();
    const bool moved = scene.board->SlideTile(scene.NextMove());
    const bool painted = scene.board->Render(scene.target);
    if (!moved || !painted) cost.matchesFullRepaint = false;
    AddPaint(scene, scene.target.TakeDamage(), before, cost);
  }
  Average(cost, static_cast<double>(scene.walk.size()));
  // The slides alone must leave the window exactly as a full repaint would.
  scene.RepaintAll();
  if (CountDifferentPixels(before, scene.target.Backing().Pixels()) != 0) cost.matchesFullRepaint = false;
  scene.monitor.ClearCounts();
  return cost;
}

PaintCost MeasureFullRepaint(BoardScene& scene) {
  PaintCost cost;
  PixelVector before = scene.target.Backing().Pixels();
  scene.monitor.ClearCounts();
  scene.board->InvalidateAll();
  if (!scene.board->Render(scene.target)) cost.matchesFullRepaint = false;
  AddPaint(scene, scene.target.TakeDamage(), before, cost);
  scene.monitor.ClearCounts();
  return cost;
}

BoardScene& SceneFor(ScenePurpose purpose, int32_t width, int32_t height, int32_t grid, FontRasterizer* fonts) {
  static std::map<std::tuple<ScenePurpose, int32_t, int32_t, int32_t>, std::unique_ptr<BoardScene>> scenes;
  auto& scene = scenes[{purpose, width, height, grid}];
  if (!scene) scene = std::make_unique<BoardScene>(width, height, grid, fonts);
  return *scene;
}

bool RenderAndPresent(BoardScene& scene) {
  const bool painted = scene.board->Render(scene.target);
  auto damage = scene.target.TakeDamage();
  benchmark::DoNotOptimize(damage.data());
  benchmark::ClobberMemory();
  return painted;
}

}  // namespace puzzle::bench
