// Program icon: a little sliding puzzle, a 3 x 3 picture with one piece missing.
#include <cmath>

#include "artwork.h"

namespace art {

namespace {

// Layout of one icon size, in pixels.
struct IconLayout {
  int size;
  double frameWidth;  // wooden border
  double corner;      // border corner radius
  double firstTile;   // offset of the first tile
  double tileSize;
  double tileStep;  // tile plus gap
  bool bevelTiles;  // only the large icon has room for it
};

IconLayout LayoutFor(int size) {
  if (size >= 32) return {size, 2, 4, 3, 8, 9, true};
  return {size, 1, 2, 1, 4, 5, false};
}

// The whole picture, in 0..1 square coordinates: sky, sun, hill and a house.
Color ScenePixel(Point p) {
  const double hill = 0.58 - 0.12 * std::sin(p.x * 3.0 + 0.4);
  const double sx = p.x - 0.25, sy = p.y - 0.22;
  if (sx * sx + sy * sy < 0.15 * 0.15) return Rgb(255, 214, 40);
  // The house fills the centre piece, so it survives at 16 x 16.
  if (p.x > 0.39 && p.x < 0.61 && p.y > 0.47 && p.y < 0.64) return Rgb(240, 230, 204);
  if (p.y > 0.35 && p.y <= 0.47 && std::abs(p.x - 0.5) < (p.y - 0.33) * 1.1) return Rgb(214, 40, 40);
  if (p.y > hill) return Mix(Rgb(92, 196, 64), Rgb(28, 118, 44), (p.y - hill) / (1 - hill));
  return Mix(Rgb(48, 112, 220), Rgb(150, 210, 252), p.y / 0.6);
}

void DrawTile(Canvas& canvas, const IconLayout& l, int column, int row) {
  const double x0 = l.firstTile + column * l.tileStep, y0 = l.firstTile + row * l.tileStep;
  const double x1 = x0 + l.tileSize, y1 = y0 + l.tileSize;
  canvas.Fill(Rect(x0, y0, x1, y1), [=](Point p) {
    // Tiles are laid out with gaps but show one continuous picture.
    const Point scene{(column + (p.x - x0) / l.tileSize) / 3, (row + (p.y - y0) / l.tileSize) / 3};
    Color c = ScenePixel(scene);
    if (l.bevelTiles && (p.x < x0 + 1 || p.y < y0 + 1)) c = Mix(c, Rgb(255, 255, 255), 0.45);
    if (l.bevelTiles && (p.x > x1 - 1 || p.y > y1 - 1)) c = Scale(c, 0.6);
    return c;
  });
}

}  // namespace

Image DrawIcon(int size) {
  const IconLayout l = LayoutFor(size);
  Canvas canvas(size, size, 4, Color{0, 0, 0, 0});
  canvas.Fill(RoundedRect(0, 0, size, size, l.corner), [&](Point p) {
    // Wood, lit from the top-left.
    return Mix(Rgb(196, 134, 72), Rgb(110, 64, 28), (p.x + p.y) / (2.0 * size));
  });
  canvas.Fill(Rect(l.frameWidth, l.frameWidth, size - l.frameWidth, size - l.frameWidth), Rgb(44, 30, 22));
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column) {
      if (row == 2 && column == 2) continue;  // the hole that makes it a sliding puzzle
      DrawTile(canvas, l, column, row);
    }
  }
  return canvas.Resolve();
}

}  // namespace art
