// Composes the default puzzle picture. It is busy on purpose: every piece of
// an 8 x 8 or 10 x 10 board must be recognisable on its own.
#include <algorithm>
#include <cmath>

#include "artwork.h"
#include "noise.h"
#include "scene.h"

namespace art {

namespace scene {

double HillTop(double x) {
  const double windmillHill = 20 * std::exp(-std::pow((x - 38) / 48, 2));
  return 128 - windmillHill + 3 * std::sin(x / 21) - 5 * ValueNoise(x / 40, 0.5, 11);
}

double MeadowTop(double x) { return 203 + 6 * std::sin(x / 37 + 1) + 4 * ValueNoise(x / 25, 3.5, 12); }

double RiverCentre(double y) { return 134 + 25 * std::sin((y - 128) / 28) - 0.55 * (y - 128); }

double RiverHalfWidth(double y) {
  if (y < 128) return 0;
  return 1.2 + 46 * std::pow((y - 128) / 172, 1.6);
}

bool InRiver(Point p) { return std::abs(p.x - RiverCentre(p.y)) <= RiverHalfWidth(p.y); }

Color Grain(Color c, Point p, double amount, double size, std::uint32_t seed) {
  const double n = FractalNoise(p.x / size, p.y / size, 3, seed) - 0.5;
  return Scale(c, 1 + amount * 2 * n);
}

Shape BelowCurve(std::function<double(double)> top, double x0, double x1, double bottom) {
  double highest = bottom;
  for (double x = x0; x <= x1; x += 0.5) highest = std::min(highest, top(x));
  return {{x0, highest, x1, bottom}, [top = std::move(top), x0, x1, bottom](Point p) {
            return p.x >= x0 && p.x < x1 && p.y < bottom && p.y >= top(p.x);
          }};
}

}  // namespace scene

Image DrawPicture() {
  using namespace scene;
  Canvas canvas(static_cast<int>(kSize), static_cast<int>(kSize), 4, Rgb(0, 0, 0));
  DrawSky(canvas);
  DrawSkyObjects(canvas);
  DrawMountains(canvas);
  DrawFarHills(canvas);
  DrawDistantLandmarks(canvas);
  DrawFarmland(canvas);
  DrawWindmill(canvas);
  DrawMeadow(canvas);
  DrawRiver(canvas);
  DrawRoad(canvas);
  DrawBridge(canvas);
  DrawVillage(canvas);
  DrawTrees(canvas);
  DrawFarmAnimals(canvas);
  DrawForeground(canvas);
  return canvas.Resolve();
}

}  // namespace art
