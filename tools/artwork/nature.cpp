// Things that grow, graze or fly, and the distant landmarks.
#include <cmath>
#include <numbers>
#include <vector>

#include "noise.h"
#include "scene.h"

namespace art::scene {

namespace {

// Leaf clumps lit from the upper left, with a leafy speckle.
Paint Foliage(Point centre, double radius, Color leaf, std::uint32_t seed) {
  return [=](Point p) {
    const double lit = Clamp01(0.55 - ((p.x - centre.x) + (p.y - centre.y)) / (2.8 * radius));
    const Color c = Mix(Scale(leaf, 0.55), Scale(leaf, 1.3), lit);
    return Scale(c, 0.8 + 0.4 * FractalNoise(p.x / 1.1, p.y / 1.1, 2, seed));
  };
}

struct RoundTree {
  Point base;
  double height;  // base to top of the crown
  double radius;  // crown radius
  Color leaf;
  std::uint32_t seed;
};

void DrawRoundTree(Canvas& canvas, const RoundTree& t) {
  const Point crown{t.base.x, t.base.y - t.height + t.radius};
  const double trunkW = std::max(0.9, t.radius * 0.22);
  canvas.Fill(Rect(t.base.x - trunkW / 2, crown.y, t.base.x + trunkW / 2, t.base.y), Rgb(104, 72, 46));
  canvas.Fill(Ellipse({t.base.x + t.radius * 0.3, t.base.y}, t.radius * 0.8, t.radius * 0.18),
              WithAlpha(Rgb(20, 50, 20), 0.3));
  // A few overlapping clumps make an irregular outline.
  Sequence random(t.seed);
  for (int i = 0; i < 6; ++i) {
    const double angle = random.Range(0, 2 * std::numbers::pi);
    const double dist = random.Range(0.25, 0.45) * t.radius;
    const Point c{crown.x + dist * std::cos(angle), crown.y + dist * std::sin(angle) * 0.8};
    canvas.Fill(Circle(c, t.radius * random.Range(0.5, 0.65)), Foliage(crown, t.radius, t.leaf, t.seed));
  }
}

void DrawPoplar(Canvas& canvas, Point base, double height, double width, std::uint32_t seed) {
  const Point centre{base.x, base.y - height / 2 - 1};
  canvas.Fill(Rect(base.x - 0.6, base.y - 3, base.x + 0.6, base.y), Rgb(96, 66, 44));
  canvas.Fill(Ellipse(centre, width / 2, height / 2), Foliage(centre, width, Rgb(52, 118, 58), seed));
}

void DrawBird(Canvas& canvas, Point at, double span) {
  const double h = span * 0.35;
  std::vector<Point> wings = Bezier({at.x - span / 2, at.y - h}, {at.x - span / 5, at.y - h * 1.2}, at, 6);
  const std::vector<Point> right =
      Bezier(at, {at.x + span / 5, at.y - h * 1.2}, {at.x + span / 2, at.y - h}, 6);
  wings.insert(wings.end(), right.begin() + 1, right.end());
  canvas.Fill(Stroke(wings, 0.9), Rgb(40, 44, 70));
}

// Striped hot-air balloon; firstStripe varies the colour order between balloons.
void DrawBalloon(Canvas& canvas, Point c, double r, int firstStripe) {
  const double k = r / 15;  // the shape is laid out for radius 15
  const Color palette[] = {Rgb(226, 48, 48),  Rgb(252, 206, 44), Rgb(48, 110, 216),
                           Rgb(252, 206, 44), Rgb(226, 48, 48),  Rgb(60, 170, 90)};
  Color stripes[6];
  for (int i = 0; i < 6; ++i) stripes[i] = palette[(i + firstStripe) % 6];
  const Shape envelope = Polygon([&] {
    std::vector<Point> outline;
    for (int i = 0; i <= 48; ++i) {
      const double a = std::numbers::pi * (-0.2 + 1.4 * i / 48);  // upper arc
      outline.push_back({c.x - r * std::cos(a), c.y - r * std::sin(a)});
    }
    outline.push_back({c.x + 5 * k, c.y + 21 * k});
    outline.push_back({c.x - 5 * k, c.y + 21 * k});
    return outline;
  }());
  canvas.Fill(envelope, [&](Point p) {
    // Gores follow the curve of the envelope.
    const double halfWidth =
        std::max(1.0, p.y < c.y + 3 ? std::sqrt(std::max(1.0, r * r - std::pow(p.y - c.y, 2)))
                                    : r - (p.y - c.y - 3 * k) * 0.55);
    const double u = std::asin(std::clamp((p.x - c.x) / halfWidth, -1.0, 1.0)) / std::numbers::pi + 0.5;
    const Color base = stripes[std::min(5, static_cast<int>(u * 6))];
    const double lit = Clamp01(1.05 - 0.45 * u - 0.3 * (p.y - c.y + r) / (2 * r));
    return Scale(base, 0.55 + 0.6 * lit);
  });
  for (double side : {-1.0, 1.0}) {
    canvas.Fill(Stroke({{c.x + side * 5 * k, c.y + 21 * k}, {c.x + side * 3 * k, c.y + 27 * k}}, 0.5),
                Rgb(70, 50, 40));
  }
  canvas.Fill(Rect(c.x - 3.2 * k, c.y + 27 * k, c.x + 3.2 * k, c.y + 31 * k), [](Point p) {
    return Grain(Rgb(150, 100, 56), p, 0.3, 0.8, 601);  // wicker
  });
}

void DrawHayBale(Canvas& canvas, Point at, double r) {
  canvas.Fill(Ellipse({at.x + r * 0.5, at.y + r * 0.9}, r * 1.3, r * 0.3), WithAlpha(Rgb(40, 50, 20), 0.35));
  canvas.Fill(Rect(at.x - r * 0.6, at.y - r, at.x + r * 0.6, at.y + r), [=](Point p) {
    return Grain(Mix(Rgb(236, 200, 110), Rgb(176, 130, 56), (p.y - at.y + r) / (2 * r)), p, 0.2, 0.7, 631);
  });
  canvas.Fill(Ellipse({at.x - r * 0.6, at.y}, r * 0.45, r), Rgb(242, 214, 130));
  canvas.Fill(Ring({at.x - r * 0.6, at.y}, r * 0.3, r * 0.18), Rgb(196, 150, 70));
}

void DrawSheep(Canvas& canvas, Point at, double size, bool facingLeft) {
  const double dir = facingLeft ? -1 : 1;
  for (double leg : {-0.5, 0.4}) {
    canvas.Fill(Rect(at.x + leg * size - 0.3, at.y, at.x + leg * size + 0.3, at.y + size * 0.7),
                Rgb(50, 40, 40));
  }
  canvas.Fill(Ellipse(at, size, size * 0.62), [=](Point p) {
    return Scale(Rgb(250, 250, 244), 0.85 + 0.2 * FractalNoise(p.x / 0.8, p.y / 0.8, 1, 641));
  });
  canvas.Fill(Ellipse({at.x + dir * size * 0.95, at.y - size * 0.35}, size * 0.38, size * 0.3),
              Rgb(46, 40, 40));
}

void DrawCastle(Canvas& canvas, Point base) {
  const Color stone = Rgb(196, 190, 200);
  const auto wall = [=](Point p) {
    return Grain(p.x < base.x + 2 ? stone : Scale(stone, 0.8), p, 0.08, 1, 651);
  };
  canvas.Fill(Rect(base.x - 8, base.y - 7, base.x + 8, base.y), wall);
  for (double dx = -8; dx < 8; dx += 2.4)
    canvas.Fill(Rect(base.x + dx, base.y - 8.2, base.x + dx + 1.2, base.y - 7), wall);
  for (double dx : {-9.0, 6.5}) {
    canvas.Fill(Rect(base.x + dx, base.y - 12, base.x + dx + 3, base.y), wall);
    canvas.Fill(Polygon({{base.x + dx - 0.6, base.y - 12},
                         {base.x + dx + 1.5, base.y - 17},
                         {base.x + dx + 3.6, base.y - 12}}),
                Rgb(200, 60, 60));
  }
  canvas.Fill(Rect(base.x - 2, base.y - 15, base.x + 2, base.y - 6), wall);  // keep
  canvas.Fill(Polygon({{base.x - 2.6, base.y - 15}, {base.x, base.y - 20}, {base.x + 2.6, base.y - 15}}),
              Rgb(80, 90, 160));
  canvas.Fill(Capsule({base.x, base.y - 20}, {base.x, base.y - 23}, 0.4), Rgb(60, 60, 60));
  canvas.Fill(Polygon({{base.x, base.y - 23}, {base.x + 3, base.y - 22.2}, {base.x, base.y - 21.4}}),
              Rgb(250, 200, 40));
  canvas.Fill(Ellipse({base.x, base.y - 1.5}, 1.2, 1.6), Rgb(70, 56, 56));
}

void DrawPineWood(Canvas& canvas, double x0, double x1, double groundY) {
  Sequence random(661);
  for (double x = x0; x < x1; x += random.Range(1.6, 3)) {
    const double h = random.Range(4, 7), y = groundY + random.Range(-1.5, 2);
    canvas.Fill(Polygon({{x - h * 0.3, y}, {x, y - h}, {x + h * 0.3, y}}),
                [=](Point p) { return p.x < x ? Rgb(44, 96, 64) : Rgb(26, 70, 50); });
  }
}

void DrawWaterfall(Canvas& canvas) {
  canvas.Fill(Stroke({{226, 89}, {225, 96}, {227, 103}, {226.5, 109}}, 1.6), [](Point p) {
    return Mix(Rgb(190, 220, 250), Rgb(255, 255, 255), FractalNoise(p.x, p.y / 0.7, 2, 671));
  });
  canvas.Fill(Ellipse({226.5, 109}, 4, 1.6), WithAlpha(Rgb(250, 252, 255), 0.8));
}

void DrawLake(Canvas& canvas) {
  const Point c{84, 108};
  canvas.Fill(Ellipse(c, 13, 2.4), [=](Point p) {
    return Mix(Rgb(120, 170, 220), Rgb(200, 226, 246), Clamp01(0.5 + (p.y - c.y) / 4));
  });
  canvas.Fill(Capsule({c.x - 6, c.y + 0.3}, {c.x + 2, c.y + 0.3}, 0.5), Rgb(250, 250, 255));
}

// A small plane with its contrail fading towards the top right.
void DrawPlane(Canvas& canvas) {
  const Point nose{203, 23}, tailEnd{300, 3};
  canvas.Fill(Capsule({nose.x + 6, nose.y - 1.2}, tailEnd, 1.6), [=](Point p) {
    return WithAlpha(Rgb(255, 255, 255), 0.85 - 0.5 * (p.x - nose.x) / (tailEnd.x - nose.x));
  });
  canvas.Fill(Capsule(nose, {nose.x + 6, nose.y - 1.2}, 1.3), Rgb(236, 236, 244));
  canvas.Fill(Polygon({{nose.x + 2, nose.y - 0.6}, {nose.x + 4.5, nose.y + 2.6}, {nose.x + 4.2, nose.y - 1}}),
              Rgb(200, 60, 60));
  canvas.Fill(Polygon({{nose.x + 5, nose.y - 1}, {nose.x + 6.5, nose.y - 3.6}, {nose.x + 6.4, nose.y - 1.2}}),
              Rgb(200, 60, 60));
}

void DrawFarmhouse(Canvas& canvas, Point base) {
  canvas.Fill(Rect(base.x - 3, base.y - 3, base.x + 3, base.y), Rgb(246, 240, 226));
  canvas.Fill(Polygon({{base.x - 4, base.y - 3}, {base.x, base.y - 6}, {base.x + 4, base.y - 3}}),
              Rgb(196, 60, 44));
  canvas.Fill(Rect(base.x + 3, base.y - 4, base.x + 8, base.y), Rgb(170, 60, 50));  // barn
  canvas.Fill(Rect(base.x + 4.8, base.y - 2.4, base.x + 6.2, base.y), Rgb(250, 240, 220));
}

}  // namespace

void DrawDistantLandmarks(Canvas& canvas) {
  DrawLake(canvas);
  DrawFarmhouse(canvas, {108, 113});
  DrawPineWood(canvas, 132, 182, 112);
  DrawWaterfall(canvas);
  DrawCastle(canvas, {266, 110});
}

void DrawFarmAnimals(Canvas& canvas) {
  const Point bales[] = {{46, 181}, {58, 178}, {98, 160}, {24, 168}};
  const double sizes[] = {3.2, 3, 2.2, 2.6};
  for (int i = 0; i < 4; ++i) DrawHayBale(canvas, bales[i], sizes[i]);
  DrawSheep(canvas, {18, 214}, 3.4, false);
  DrawSheep(canvas, {31, 218}, 3.6, true);
  DrawSheep(canvas, {12, 225}, 3.8, false);
  DrawSheep(canvas, {126, 145}, 1.8, true);
  DrawSheep(canvas, {132, 147}, 1.8, false);
}

void DrawSkyObjects(Canvas& canvas) {
  DrawBalloon(canvas, {236, 38}, 15, 0);
  DrawBalloon(canvas, {288, 84}, 5, 2);
  DrawPlane(canvas);
  const Point flock[] = {{118, 20}, {131, 14}, {140, 24}, {152, 17}, {107, 31}, {172, 58},
                         {182, 52}, {28, 76},  {14, 48},  {22, 41},  {132, 52}};
  const double spans[] = {6, 5, 5.5, 4.5, 5, 4, 3.5, 4.5, 4, 3.5, 4.5};
  for (int i = 0; i < 11; ++i) DrawBird(canvas, flock[i], spans[i]);
}

void DrawTrees(Canvas& canvas) {
  // Small trees along the hedges, smaller towards the horizon.
  const RoundTree distant[] = {
      {{12, 120}, 13, 6, Rgb(64, 130, 60), 701},   {{70, 121}, 12, 5.5, Rgb(80, 140, 56), 702},
      {{98, 137}, 9, 4, Rgb(70, 124, 60), 703},    {{118, 131}, 7, 3, Rgb(60, 120, 64), 704},
      {{150, 140}, 8, 3.5, Rgb(86, 138, 52), 705}, {{258, 138}, 8, 3.5, Rgb(70, 124, 60), 706},
      {{28, 150}, 14, 6, Rgb(92, 150, 50), 707},   {{64, 176}, 16, 7, Rgb(58, 126, 58), 708},
  };
  for (const RoundTree& t : distant) DrawRoundTree(canvas, t);
  DrawPoplar(canvas, {156, 172}, 30, 6, 711);
  DrawPoplar(canvas, {250, 162}, 34, 7, 712);
  DrawPoplar(canvas, {258, 168}, 26, 6, 713);
  DrawRoundTree(canvas, {{86, 206}, 30, 13, Rgb(250, 150, 190), 721});  // blossom
  DrawRoundTree(canvas, {{200, 214}, 24, 10, Rgb(232, 128, 36), 722});  // autumn
}

}  // namespace art::scene
