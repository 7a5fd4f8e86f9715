// Sky, mountains, hills, farmland, meadow, river and road.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <iterator>
#include <numbers>
#include <vector>

#include "noise.h"
#include "scene.h"

namespace art::scene {

namespace {

constexpr Point kSun{62, 40};
constexpr double kSunRadius = 15;

double Distance(Point a, Point b) { return std::hypot(a.x - b.x, a.y - b.y); }

// Deep blue at the top, warm near the horizon; cooler and pinker to the right,
// away from the sun, so sky pieces differ across as well as down.
Color SkyGradient(Point p) {
  const double across = p.x / kSize;
  const Color zenith = Mix(Rgb(28, 96, 176), Rgb(54, 60, 150), across);
  const Color middle = Mix(Rgb(96, 170, 228), Rgb(124, 140, 214), across);
  const Color horizon = Mix(Rgb(255, 218, 160), Rgb(246, 178, 186), across);
  const double t = Clamp01(p.y / 112);
  Color c = t < 0.55 ? Mix(zenith, middle, t / 0.55) : Mix(middle, horizon, Smoothstep(0.55, 1, t));
  c = Mix(c, Rgb(255, 246, 206), 0.8 * std::exp(-Distance(p, kSun) / 30));
  return Grain(c, p, 0.05, 3, 1);
}

// Soft cumulus from thresholded noise, lit from the sun's side.
Color Cloud(Point p) {
  const double density = FractalNoise(p.x / 58, p.y / 17, 5, 2);
  const double behind = FractalNoise((p.x + 2.5) / 58, (p.y + 2.0) / 17, 5, 2);
  const double coverage = Smoothstep(0.51, 0.64, density) * (1 - Smoothstep(88, 112, p.y));
  Color c = Mix(Rgb(170, 170, 206), Rgb(255, 253, 247), Clamp01(0.55 + 16 * (density - behind)));
  c = Mix(c, Rgb(255, 226, 180), 0.5 * std::exp(-Distance(p, kSun) / 45));
  return WithAlpha(c, 0.95 * coverage);
}

struct Peak {
  double x, top, leftSlope, rightSlope;
};

// Distinct peaks rather than a noisy band, so the skyline differs along its length.
const Peak kPeaks[] = {
    {8, 70, 0.8, 0.9},    {50, 82, 0.9, 0.7},   {96, 62, 0.75, 0.8},  {142, 80, 0.9, 0.85},
    {178, 66, 0.8, 0.75}, {224, 82, 0.9, 0.95}, {266, 64, 0.8, 0.85}, {308, 74, 0.9, 0.9},
};

double PeakProfile(const Peak& peak, double x) {
  return peak.top + std::abs(x - peak.x) * (x < peak.x ? peak.leftSlope : peak.rightSlope);
}

// The peak whose face is in front at x: the highest profile there.
const Peak& DominantPeak(double x) {
  const Peak* best = &kPeaks[0];
  for (const Peak& peak : kPeaks) {
    if (PeakProfile(peak, x) < PeakProfile(*best, x)) best = &peak;
  }
  return *best;
}

double MountainRidge(double x) {
  return std::min(108.0, PeakProfile(DominantPeak(x), x) + 3 * ValueNoise(x / 5, 0.5, 21));
}

Color MountainPixel(Point p) {
  const Peak& peak = DominantPeak(p.x);
  const double below = p.y - peak.top;
  // Each peak has a sunny west face and a shaded east face; the ridge between
  // them wanders down from the summit.
  const double ridgeX = peak.x + below * 0.35 + 6 * (ValueNoise(p.y / 7, peak.x, 22) - 0.5);
  const double gullies = FractalNoise((p.x - p.y * 0.6) / 2.5, p.y / 9, 3, 23);
  double light = p.x < ridgeX ? 0.8 : 0.28;
  light = Clamp01(light + 0.35 * (gullies - 0.5));
  Color c = Mix(Rgb(88, 90, 150), Rgb(176, 174, 214), light);
  const double snowLine = peak.top + 9 + 6 * ValueNoise(p.x / 3, 1.5, 24) + 4 * (gullies - 0.5) * 2;
  if (p.y < snowLine) c = Mix(Rgb(170, 182, 224), Rgb(252, 252, 255), light);
  return Mix(c, Rgb(206, 196, 214), 0.45 * Smoothstep(peak.top + 6, 112, p.y));
}

double FarHillRidge(double x) { return 110 - 14 * FractalNoise(x / 28, 4.5, 3, 25) - 5 * std::sin(x / 41); }

Color FarHillPixel(Point p) {
  const double below = p.y - FarHillRidge(p.x);
  Color c = Mix(Rgb(104, 146, 150), Rgb(96, 150, 104), Smoothstep(0, 18, below));
  // Distant woods as dark specks.
  if (FractalNoise(p.x / 2.2, p.y / 1.6, 2, 26) > 0.66) c = Scale(c, 0.72);
  return Grain(c, p, 0.06, 2, 27);
}

struct Crop {
  Color colour;
  bool rows;  // ploughed or sown in rows
};

const Crop kCrops[] = {
    {Rgb(228, 196, 92), true},  {Rgb(116, 178, 62), false}, {Rgb(154, 106, 66), true},
    {Rgb(238, 222, 54), false}, {Rgb(152, 122, 196), true}, {Rgb(78, 146, 64), true},
    {Rgb(196, 208, 92), false}, {Rgb(210, 150, 80), true},
};

// A patchwork of fields in perspective: columns converge on a vanishing point
// and rows get shallower towards the horizon. Each field gets its own crop.
Color FarmlandPixel(Point p) {
  const double depth = p.y - 86;
  const double warp = 8 * (FractalNoise(p.x / 30, p.y / 30, 2, 31) - 0.5);
  const double uScale = 1.5 / depth, vScale = 3.4 / depth;
  const double u = (p.x + warp - 150) * uScale + 0.37;
  const double v = 3.4 * std::log(depth) + 0.006 * p.x + 0.03 * warp;
  const double cu = std::floor(u), cv = std::floor(v);
  const double pick = Hash01(static_cast<int>(cu), static_cast<int>(cv), 41);
  const Crop& crop = kCrops[static_cast<std::size_t>(pick * std::size(kCrops))];
  Color c = crop.colour;
  if (crop.rows) c = Scale(c, 1 + 0.09 * std::sin(2 * std::numbers::pi * u * 9));
  // Hedges along field borders, about a pixel wide at any distance.
  const double edgeX = std::min(u - cu, cu + 1 - u) / uScale;
  const double edgeY = std::min(v - cv, cv + 1 - v) / vScale;
  if (std::min(edgeX, edgeY) < 0.5 + depth * 0.012) c = Rgb(52, 104, 46);
  c = Grain(c, p, 0.12, 1.5, 32);
  return Mix(c, Rgb(176, 196, 196), 0.45 * (1 - Smoothstep(20, 70, depth)));
}

Color MeadowPixel(Point p) {
  const double t = Clamp01((p.y - 200) / 100);
  Color c = Mix(Rgb(124, 190, 72), Rgb(42, 122, 38), t);
  // Broad lighter and darker patches, so stretches of meadow differ.
  const double patches = FractalNoise(p.x / 34, p.y / 20, 3, 52);
  c = Mix(c, Rgb(186, 204, 76), 0.7 * Smoothstep(0.55, 0.72, patches));
  c = Mix(c, Rgb(30, 96, 50), 0.5 * Smoothstep(0.45, 0.3, patches));
  // Vertical streaks read as grass blades.
  const double blades = FractalNoise(p.x / (1.0 + t), p.y / (4 + 6 * t), 3, 51);
  return Scale(c, 0.78 + 0.44 * blades);
}

Color WaterPixel(Point p) {
  const double t = Clamp01((p.y - 128) / 172);
  Color c = Mix(Rgb(176, 208, 232), Rgb(32, 86, 152), std::pow(t, 0.7));
  const double ripple = FractalNoise(p.x / (6 + 12 * t), p.y / (0.8 + 2.5 * t), 3, 61);
  c = Mix(c, Rgb(226, 240, 252), 0.65 * Smoothstep(0.6, 0.72, ripple));
  c = Scale(c, 1 - 0.25 * Smoothstep(0.42, 0.28, ripple));
  return c;
}

Shape RiverShape(double widen) {
  return {{0, 120, kSize, kSize}, [widen](Point p) {
            const double half = RiverHalfWidth(p.y);
            return half > 0 && std::abs(p.x - RiverCentre(p.y)) <= half + widen * (p.y - 120) / 180;
          }};
}

// The road comes from the bottom right, widening with perspective, up to the bridge.
Point RoadCentre(double t) {
  const Point a{150, 177}, b{170, 226}, c{240, 300};
  const double u = 1 - t;
  return {u * u * a.x + 2 * u * t * b.x + t * t * c.x, u * u * a.y + 2 * u * t * b.y + t * t * c.y};
}

double RoadHalfWidth(double t) { return 2.5 + 22 * t * t; }

Shape RoadShape() {
  std::vector<Point> left, right;
  for (int i = 0; i <= 40; ++i) {
    const double t = 1.04 * i / 40;
    const Point c = RoadCentre(t);
    left.push_back({c.x - RoadHalfWidth(t), c.y});
    right.push_back({c.x + RoadHalfWidth(t), c.y});
  }
  left.insert(left.end(), right.rbegin(), right.rend());
  return Polygon(left);
}

Color RoadPixel(Point p) {
  const double t = Clamp01((p.y - 177) / 123);
  Color c = Mix(Rgb(214, 190, 146), Rgb(196, 160, 112), t);
  // Wheel ruts: two darker lanes either side of the middle.
  const double across = std::abs(p.x - RoadCentre(t).x) / RoadHalfWidth(t);
  c = Scale(c, 1 - 0.13 * std::exp(-std::pow((across - 0.45) / 0.12, 2)));
  if (FractalNoise(p.x / 1.2, p.y / 1.2, 2, 71) > 0.68) c = Scale(c, 0.8);  // pebbles
  return Grain(c, p, 0.1, 3, 72);
}

}  // namespace

void DrawSky(Canvas& canvas) {
  canvas.PaintAll(SkyGradient);
  // Faint rays and a bright disc.
  for (int i = 0; i < 12; ++i) {
    const double a = i * std::numbers::pi / 6 + 0.2, spread = 0.09;
    const Point far1{kSun.x + 80 * std::cos(a - spread), kSun.y + 80 * std::sin(a - spread)};
    const Point far2{kSun.x + 80 * std::cos(a + spread), kSun.y + 80 * std::sin(a + spread)};
    canvas.Fill(Polygon({kSun, far1, far2}), [](Point p) {
      return WithAlpha(Rgb(255, 248, 214), 0.22 * std::exp(-Distance(p, kSun) / 35));
    });
  }
  canvas.Fill(Circle(kSun, kSunRadius + 4), [](Point p) {
    return WithAlpha(Rgb(255, 240, 180), 0.6 * Smoothstep(kSunRadius + 4, kSunRadius, Distance(p, kSun)));
  });
  canvas.Fill(Circle(kSun, kSunRadius), [](Point p) {
    return Mix(Rgb(255, 252, 230), Rgb(255, 206, 70), std::pow(Distance(p, kSun) / kSunRadius, 2));
  });
  canvas.Fill(Rect(0, 0, kSize, 115), Cloud);
}

void DrawMountains(Canvas& canvas) { canvas.Fill(BelowCurve(MountainRidge, 0, kSize, 130), MountainPixel); }

void DrawFarHills(Canvas& canvas) { canvas.Fill(BelowCurve(FarHillRidge, 0, kSize, 135), FarHillPixel); }

void DrawFarmland(Canvas& canvas) { canvas.Fill(BelowCurve(HillTop, 0, kSize, kSize), FarmlandPixel); }

void DrawMeadow(Canvas& canvas) {
  // Tufts along the top edge so the meadow doesn't start on a clean line.
  const auto top = [](double x) { return MeadowTop(x) - 1.8 * ValueNoise(x / 1.3, 9.5, 53); };
  canvas.Fill(BelowCurve(top, 0, kSize, kSize), MeadowPixel);
}

void DrawRiver(Canvas& canvas) {
  canvas.Fill(RiverShape(4.5), [](Point p) { return Grain(Rgb(150, 128, 86), p, 0.25, 1.5, 62); });
  canvas.Fill(RiverShape(0), WaterPixel);
}

void DrawRoad(Canvas& canvas) {
  canvas.Fill(RoadShape(), RoadPixel);
  // A footpath climbs from the far end of the bridge to the windmill.
  const Shape path = Stroke(Bezier({111, 178}, {84, 160}, {44, 126}, 24), 2.6);
  canvas.Fill(path, [](Point p) { return Grain(Rgb(206, 182, 134), p, 0.15, 1.5, 73); });
}

}  // namespace art::scene
