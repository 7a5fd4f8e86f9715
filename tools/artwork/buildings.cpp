// Windmill, bridge and village houses.
#include <cmath>
#include <numbers>
#include <vector>

#include "noise.h"
#include "scene.h"

namespace art::scene {

namespace {

Point Add(Point a, Point b) { return {a.x + b.x, a.y + b.y}; }

Point Rotated(Point v, double angle) {
  return {v.x * std::cos(angle) - v.y * std::sin(angle), v.x * std::sin(angle) + v.y * std::cos(angle)};
}

// A window with a light frame; some are lit, which helps tell houses apart.
void DrawWindow(Canvas& canvas, double x, double y, double w, double h, bool lit) {
  canvas.Fill(Rect(x - 0.5, y - 0.5, x + w + 0.5, y + h + 0.5), Rgb(246, 242, 228));
  const Color glass = lit ? Rgb(255, 214, 96) : Rgb(92, 140, 196);
  canvas.Fill(Rect(x, y, x + w, y + h),
              [=](Point p) { return Mix(Scale(glass, 1.2), Scale(glass, 0.8), (p.y - y) / h); });
  canvas.Fill(Rect(x, y + h / 2 - 0.2, x + w, y + h / 2 + 0.2), Rgb(246, 242, 228));
}

struct House {
  double x, base, width, wallHeight, roofHeight;
  Color wall, roof;
  int windowRows;
  std::uint32_t seed;
};

// Seen from the front-left: gable end facing us, side wall and roof slope
// receding to the upper right.
void DrawHouse(Canvas& canvas, const House& h) {
  const double left = h.x, right = h.x + h.width, top = h.base - h.wallHeight;
  const Point apex{h.x + h.width / 2, top - h.roofHeight};
  const Point depth{h.width * 0.55, -h.width * 0.25};

  const Shape side =
      Polygon({{right, h.base}, {right, top}, Add({right, top}, depth), Add({right, h.base}, depth)});
  canvas.Fill(side, [&](Point p) { return Grain(Scale(h.wall, 0.7), p, 0.08, 1.5, h.seed); });
  const Shape roof = Polygon({Add(apex, {0, -0.5}),
                              Add(apex, Add(depth, {0, -0.5})),
                              Add({right + 1.2, top + 1}, depth),
                              {right + 1.2, top + 1}});
  canvas.Fill(roof, [&](Point p) {
    // Rows of tiles run parallel to the ridge.
    const double rows = std::sin((p.y - p.x * depth.y / depth.x) * 2.6);
    return Grain(Scale(h.roof, 0.95 + 0.12 * rows), p, 0.1, 1.2, h.seed + 1);
  });
  const Shape front = Polygon({{left, h.base}, {left, top}, apex, {right, top}, {right, h.base}});
  canvas.Fill(front, [&](Point p) {
    return Grain(Mix(h.wall, Scale(h.wall, 0.86), (p.y - apex.y) / (h.base - apex.y)), p, 0.06, 1.5,
                 h.seed + 2);
  });
  canvas.Fill(Stroke({{left - 1.5, top + 1.4}, apex, {right + 1.5, top + 1.4}}, 1.5), Scale(h.roof, 0.7));

  const Point chimney = Add(apex, {depth.x * 0.65, depth.y * 0.65});
  canvas.Fill(Rect(chimney.x, chimney.y - 4, chimney.x + 2.2, chimney.y + 1.5), Rgb(150, 70, 56));

  Sequence random(h.seed);
  const double windowW = h.width * 0.18, windowH = h.wallHeight * 0.22;
  for (int row = 0; row < h.windowRows; ++row) {
    const double wy = top + 2 + row * (windowH + 2.2);
    DrawWindow(canvas, left + h.width * 0.16, wy, windowW, windowH, random.Next() < 0.3);
    DrawWindow(canvas, right - h.width * 0.16 - windowW, wy, windowW, windowH, random.Next() < 0.3);
  }
  if (h.roofHeight > 6)
    DrawWindow(canvas, apex.x - 1, apex.y + h.roofHeight * 0.45, 2, 2.4, random.Next() < 0.5);
  const double doorW = h.width * 0.2;
  canvas.Fill(Rect(apex.x - doorW / 2, h.base - h.wallHeight * 0.42, apex.x + doorW / 2, h.base),
              Scale(h.roof, 0.55));
  // Side windows, skewed to follow the wall.
  const Point sw = Add({right, top + 2.5}, {depth.x * 0.35, depth.y * 0.35});
  canvas.Fill(Polygon({sw, Add(sw, {2.2, -1}), Add(sw, {2.2, 2.4}), Add(sw, {0, 3.4})}), Rgb(70, 104, 150));
}

void DrawChurch(Canvas& canvas) {
  DrawHouse(canvas, {196, 156, 20, 13, 9, Rgb(244, 238, 224), Rgb(86, 96, 118), 1, 301});
  const double x0 = 188, x1 = 198, base = 160, top = 104;
  canvas.Fill(Rect(x0, top, x1, base), [](Point p) {
    // Courses of stone.
    const double course = std::abs(std::sin(p.y * 1.6));
    return Grain(Scale(Rgb(236, 226, 204), 0.92 + 0.08 * course), p, 0.08, 1.2, 302);
  });
  canvas.Fill(Rect(x1, top - 1, x1 + 3, base - 1), Rgb(176, 166, 150));  // shaded side
  canvas.Fill(Polygon({{x0 - 1, top}, {(x0 + x1) / 2 + 1, 74}, {x1 + 4, top - 1}}), [](Point p) {
    return Mix(Rgb(72, 164, 140), Rgb(34, 106, 96), (p.x - 187) / 14);  // copper spire
  });
  canvas.Fill(Stroke({{193.5, 74}, {193.5, 68}}, 0.8), Rgb(226, 180, 40));
  canvas.Fill(Stroke({{191.5, 70.5}, {195.5, 70.5}}, 0.8), Rgb(226, 180, 40));
  // Clock and belfry.
  canvas.Fill(Circle({193, 113}, 3.4), Rgb(60, 50, 40));
  canvas.Fill(Circle({193, 113}, 2.8), Rgb(255, 252, 240));
  canvas.Fill(Stroke({{193, 113}, {193, 110.8}}, 0.6), Rgb(20, 20, 20));
  canvas.Fill(Stroke({{193, 113}, {194.7, 113.6}}, 0.6), Rgb(20, 20, 20));
  canvas.Fill(Subtract(Rect(190.8, 120, 195.2, 127),
                       Subtract(Rect(190.8, 120, 195.2, 122), Ellipse({193, 122}, 2.2, 2))),
              Rgb(54, 44, 40));
  canvas.Fill(Rect(191, 148, 195, 160), Rgb(110, 60, 36));
  canvas.Fill(Ellipse({193, 148}, 2, 2), Rgb(110, 60, 36));
}

}  // namespace

void DrawWindmill(Canvas& canvas) {
  const double base = HillTop(40) + 5, top = base - 26, cx = 40;
  canvas.Fill(Polygon({{cx - 7.5, base}, {cx - 4.5, top}, {cx + 4.5, top}, {cx + 7.5, base}}), [=](Point p) {
    const double lit = Clamp01((cx + 6 - p.x) / 12);  // sun from the left
    return Grain(Mix(Rgb(190, 176, 158), Rgb(250, 244, 230), lit), p, 0.06, 1.3, 401);
  });
  canvas.Fill(Ellipse({cx, top}, 5.8, 4.2), Rgb(166, 58, 44));
  canvas.Fill(Rect(cx - 6, top, cx + 6, top + 1.2), Rgb(120, 40, 32));
  canvas.Fill(Ellipse({cx, base - 3}, 2, 3.2), Rgb(96, 62, 40));
  DrawWindow(canvas, cx - 1, top + 7, 2, 2.6, false);

  const Point hub{cx + 0.5, top + 1.5};
  for (int i = 0; i < 4; ++i) {
    const double angle = 0.42 + i * std::numbers::pi / 2;
    const Point tip = Add(hub, Rotated({0, -23}, angle));
    canvas.Fill(Capsule(hub, tip, 1.0), Rgb(92, 64, 44));
    // Lattice sail on the trailing side of the arm.
    const Point s0 = Add(hub, Rotated({0, -7}, angle)), s1 = tip;
    const Point off = Rotated({3.8, 0}, angle);
    const Shape sail = Polygon({s0, s1, Add(s1, off), Add(s0, off)});
    canvas.Fill(sail, [=](Point p) {
      const Point local = Rotated({p.x - hub.x, p.y - hub.y}, -angle);
      const bool lattice = std::fmod(-local.y, 3.2) < 0.55 || std::abs(local.x - 1.9) < 0.3;
      return lattice ? Rgb(110, 80, 56) : Rgb(246, 236, 214);
    });
  }
  canvas.Fill(Circle(hub, 1.4), Rgb(60, 40, 30));
}

void DrawBridge(Canvas& canvas) {
  const double left = 108, right = 152, deck = 172.5, bottom = 184;
  const Point archCentre{RiverCentre(181), 186};
  const Shape arch = Ellipse(archCentre, 10, 8.5);
  canvas.Fill(Intersect(arch, Rect(left, deck, right, bottom)), WithAlpha(Rgb(20, 40, 60), 0.45));
  canvas.Fill(Subtract(Polygon({{left, bottom}, {left + 3, deck}, {right - 3, deck}, {right, bottom}}), arch),
              [](Point p) {
                // Stone blocks in staggered courses.
                const double course = std::floor(p.y / 2.4);
                const double offset = std::fmod(course, 2) * 2.5;
                const bool mortar = std::fmod(p.y, 2.4) < 0.45 || std::fmod(p.x + offset, 5) < 0.45;
                const Color stone = Grain(Rgb(186, 164, 140), p, 0.2, 1.5, 501);
                return mortar ? Scale(stone, 0.72) : stone;
              });
  canvas.Fill(Rect(left + 2, deck - 1.6, right - 2, deck), Rgb(214, 198, 176));  // parapet
}

void DrawVillage(Canvas& canvas) {
  const House back[] = {
      {166, 150, 15, 10, 7, Rgb(250, 226, 170), Rgb(190, 64, 46), 1, 101},
      {208, 150, 16, 11, 7, Rgb(170, 206, 230), Rgb(120, 70, 50), 1, 102},
      {230, 149, 14, 10, 6, Rgb(246, 190, 190), Rgb(70, 90, 120), 1, 103},
  };
  for (const House& h : back) DrawHouse(canvas, h);
  DrawChurch(canvas);
  const House middle[] = {
      {160, 170, 20, 13, 8, Rgb(252, 244, 226), Rgb(208, 98, 42), 2, 111},
      {210, 168, 19, 14, 8, Rgb(250, 214, 96), Rgb(150, 50, 50), 2, 112},
      {234, 172, 17, 12, 8, Rgb(190, 226, 180), Rgb(176, 90, 60), 1, 113},
  };
  for (const House& h : middle) DrawHouse(canvas, h);
  const House front[] = {
      {176, 190, 22, 16, 10, Rgb(232, 160, 126), Rgb(92, 76, 96), 2, 121},
      {212, 194, 24, 17, 11, Rgb(176, 200, 240), Rgb(196, 60, 44), 2, 122},
  };
  for (const House& h : front) DrawHouse(canvas, h);
}

}  // namespace art::scene
