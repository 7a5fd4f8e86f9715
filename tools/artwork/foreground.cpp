// The near meadow: a big tree with a swing, picnic, fence, boat, flowers.
#include <cmath>
#include <numbers>
#include <vector>

#include "noise.h"
#include "scene.h"

namespace art::scene {

namespace {

// Clumpy leaves, lit from the upper left across the whole crown.
Paint Leaves(Color leaf, Point crown, double radius, std::uint32_t seed) {
  return [=](Point p) {
    const double clump = FractalNoise(p.x / 7, p.y / 7, 3, seed);
    const double lit = 0.25 * ((crown.x - p.x) + (crown.y - p.y)) / radius;
    const Color c = Mix(Scale(leaf, 0.5), Scale(leaf, 1.3), Clamp01(Smoothstep(0.3, 0.7, clump) + lit));
    return Scale(c, 0.82 + 0.36 * FractalNoise(p.x / 1.2, p.y / 1.2, 2, seed + 1));
  };
}

void DrawBirdhouse(Canvas& canvas, Point at) {
  canvas.Fill(Capsule({at.x, at.y - 10}, {at.x, at.y - 5}, 0.5), Rgb(90, 70, 50));
  canvas.Fill(Rect(at.x - 3, at.y - 3, at.x + 3, at.y + 4), Rgb(70, 150, 220));
  canvas.Fill(Polygon({{at.x - 4.2, at.y - 2.6}, {at.x, at.y - 6}, {at.x + 4.2, at.y - 2.6}}),
              Rgb(230, 210, 60));
  canvas.Fill(Circle({at.x, at.y}, 1.1), Rgb(30, 30, 40));
}

void DrawBigTree(Canvas& canvas) {
  const Color bark = Rgb(112, 78, 52);
  const Paint barkPaint = [=](Point p) {
    return Grain(Scale(bark, 0.85 + 0.3 * FractalNoise(p.x / 1.5, p.y / 9, 2, 801)), p, 0.1, 2, 802);
  };
  canvas.Fill(Polygon({{276, 300}, {280, 200}, {290, 200}, {298, 300}}), barkPaint);
  canvas.Fill(Stroke(Bezier({282, 212}, {262, 206}, {244, 208}, 12), 3.2), barkPaint);
  canvas.Fill(Ellipse({287, 232}, 2, 3), Rgb(52, 32, 20));  // knot hole
  canvas.Fill(Ellipse({286.6, 230.8}, 1, 1.4), Rgb(26, 16, 10));
  for (int i = 0; i < 3; ++i) {  // bracket fungus
    const Point f{279.5 - i * 0.4, 258.0 + i * 3.2};
    canvas.Fill(Intersect(Ellipse(f, 4 - i * 0.7, 1.8), Rect(f.x - 5, f.y - 2, f.x + 5, f.y + 0.4)),
                Mix(Rgb(240, 170, 60), Rgb(200, 110, 40), i / 2.0));
  }
  // Swing hanging from the branch.
  canvas.Fill(Capsule({250, 208}, {249, 254}, 0.6), Rgb(226, 214, 180));
  canvas.Fill(Capsule({262, 207}, {263, 255}, 0.6), Rgb(226, 214, 180));
  canvas.Fill(Rect(246, 253, 266, 256), Rgb(170, 60, 40));

  const Point clumps[] = {{272, 168}, {250, 180}, {292, 184}, {262, 146}, {288, 150}, {244, 160}, {276, 196}};
  const double radii[] = {24, 15, 16, 15, 16, 12, 14};
  for (int i = 0; i < 7; ++i)
    canvas.Fill(Circle(clumps[i], radii[i]), Leaves(Rgb(62, 140, 48), {270, 170}, 36, 810));
  DrawBirdhouse(canvas, {287, 184});
  // Apples.
  Sequence random(820);
  for (int i = 0; i < 16; ++i) {
    const Point a{random.Range(244, 298), random.Range(142, 196)};
    canvas.Fill(Circle(a, 1.3), Rgb(214, 30, 30));
    canvas.Fill(Circle({a.x - 0.4, a.y - 0.4}, 0.45), Rgb(255, 170, 160));
  }
}

void DrawPicnic(Canvas& canvas) {
  const Point a{114, 262}, b{164, 254}, c{176, 282}, d{122, 292};
  canvas.Fill(Polygon({a, b, c, d}), [=](Point p) {
    // Gingham: coordinates along the two edges of the blanket.
    const double u = ((p.x - a.x) * (b.x - a.x) + (p.y - a.y) * (b.y - a.y)) / 2600;
    const double v = (p.y - a.y - (p.x - a.x) * (b.y - a.y) / (b.x - a.x)) / 30;
    const int bands = (static_cast<int>(std::floor(u * 9)) & 1) + (static_cast<int>(std::floor(v * 6)) & 1);
    const Color colours[] = {Rgb(250, 246, 240), Rgb(236, 120, 120), Rgb(200, 32, 40)};
    return Grain(colours[bands], p, 0.06, 2, 830);
  });
  // Basket with a handle, and a bottle.
  canvas.Fill(Stroke(Bezier({146, 262}, {152, 251}, {158, 262}, 12), 1.2), Rgb(120, 80, 40));
  canvas.Fill(Polygon({{144, 262}, {160, 262}, {158, 272}, {146, 272}}), [](Point p) {
    return Scale(Rgb(196, 140, 72), 0.8 + 0.3 * std::abs(std::sin(p.y * 2.2 + std::floor(p.x / 2.5))));
  });
  canvas.Fill(Rect(132, 266, 135, 276), Rgb(40, 120, 70));
  canvas.Fill(Rect(132.8, 262.5, 134.2, 266), Rgb(40, 120, 70));
  canvas.Fill(Rect(132.6, 268, 134.9, 271), Rgb(246, 240, 200));
}

void DrawFence(Canvas& canvas) {
  const Color wood = Rgb(150, 108, 70);
  Point previous{};
  for (int i = 0; i < 9; ++i) {
    const double t = 0.4 + i * 0.075;
    const double u = 1 - t;
    const Point centre{u * u * 150 + 2 * u * t * 170 + t * t * 240,
                       u * u * 177 + 2 * u * t * 226 + t * t * 300};
    const double halfRoad = 2.5 + 22 * t * t;
    const Point post{centre.x + halfRoad + 3 + 6 * t, centre.y};
    const double height = 4 + 16 * t * t, width = 0.9 + 1.6 * t;
    canvas.Fill(Rect(post.x - width / 2, post.y - height, post.x + width / 2, post.y),
                [=](Point p) { return p.x < post.x ? Scale(wood, 1.2) : wood; });
    if (i > 0) {
      for (double level : {0.35, 0.75}) {
        canvas.Fill(Capsule({previous.x, previous.y - level * (height - 1.5)},
                            {post.x, post.y - level * height}, 0.5 + t),
                    Scale(wood, 1.1));
      }
    }
    previous = post;
  }
}

void DrawSignpost(Canvas& canvas) {
  canvas.Fill(Rect(165.3, 188, 166.7, 204), Rgb(120, 86, 56));
  canvas.Fill(Polygon({{166, 189}, {175, 189}, {177, 191}, {175, 193}, {166, 193}}), Rgb(250, 246, 232));
  canvas.Fill(Polygon({{166, 195}, {157, 195}, {155, 197}, {157, 199}, {166, 199}}), Rgb(250, 220, 120));
  canvas.Fill(Rect(167.5, 190.6, 173.5, 191.4), Rgb(120, 120, 120));
  canvas.Fill(Rect(158.5, 196.6, 164.5, 197.4), Rgb(120, 100, 60));
}

void DrawBoat(Canvas& canvas) {
  const Point c{44, 246};
  canvas.Fill(Ellipse({c.x, c.y + 5}, 16, 2.4), WithAlpha(Rgb(16, 40, 80), 0.45));  // reflection
  canvas.Fill(Polygon({{c.x - 14, c.y - 3}, {c.x + 14, c.y - 4}, {c.x + 10, c.y + 3}, {c.x - 10, c.y + 3}}),
              [&](Point p) { return p.y < c.y - 1.8 ? Rgb(250, 250, 244) : Rgb(204, 44, 36); });
  canvas.Fill(Capsule({c.x - 17, c.y + 4}, {c.x + 4, c.y - 6}, 0.8), Rgb(150, 110, 60));  // oar
  // The rower.
  canvas.Fill(Rect(c.x - 2.5, c.y - 10, c.x + 2.5, c.y - 3), Rgb(250, 210, 40));
  canvas.Fill(Circle({c.x, c.y - 12.2}, 2.4), Rgb(240, 196, 160));
  canvas.Fill(Ellipse({c.x, c.y - 13.6}, 2.8, 1.2), Rgb(40, 80, 170));
}

void DrawDuck(Canvas& canvas, Point at) {
  canvas.Fill(Stroke({{at.x - 5, at.y + 2}, {at.x, at.y + 0.6}, {at.x + 5, at.y + 2}}, 0.5),
              WithAlpha(Rgb(230, 240, 255), 0.8));
  canvas.Fill(Ellipse(at, 3, 1.5), Rgb(248, 248, 240));
  canvas.Fill(Circle({at.x - 2.3, at.y - 1.8}, 1.2), Rgb(30, 110, 60));
  canvas.Fill(Polygon({{at.x - 3.4, at.y - 2}, {at.x - 5, at.y - 1.5}, {at.x - 3.4, at.y - 1.3}}),
              Rgb(250, 150, 30));
}

void DrawLilyPads(Canvas& canvas) {
  const Point pads[] = {{16, 280}, {58, 292}, {36, 270}, {70, 276}, {8, 296}};
  const double sizes[] = {6, 7, 4.5, 4, 6};
  for (int i = 0; i < 5; ++i) {
    const Point p = pads[i];
    const double r = sizes[i];
    const Shape notch = Polygon({p, {p.x + r, p.y - r * 0.2}, {p.x + r, p.y + r * 0.3}});
    canvas.Fill(Subtract(Ellipse(p, r, r * 0.42), notch), [=](Point q) {
      return Mix(Rgb(120, 190, 70), Rgb(40, 110, 40), Clamp01((q.x - p.x + r) / (2 * r)));
    });
  }
  canvas.Fill(Circle({56, 290}, 2.2), Rgb(255, 170, 200));
  canvas.Fill(Circle({56, 290}, 0.9), Rgb(255, 230, 90));
  canvas.Fill(Circle({14, 279}, 1.6), Rgb(255, 250, 250));
}

void DrawReedsAndRocks(Canvas& canvas) {
  Sequence random(840);
  for (int i = 0; i < 14; ++i) {
    const double y = random.Range(214, 272);
    const double x = RiverCentre(y) + RiverHalfWidth(y) + random.Range(-2, 4);
    const double h = 6 + (y - 210) * 0.12 + random.Range(0, 4);
    const Point top{x + random.Range(-1.5, 1.5), y - h};
    canvas.Fill(Capsule({x, y}, top, 0.7), Rgb(70, 120, 50));
    if (i % 2 == 0) canvas.Fill(Capsule({top.x, top.y + 1}, {top.x, top.y + 3.5}, 1.6), Rgb(110, 66, 36));
  }
  const Point rocks[] = {{84, 228}, {90, 232}, {6, 205}, {104, 219}};
  const double sizes[] = {4, 3, 5, 2.5};
  for (int i = 0; i < 4; ++i) {
    const Point c = rocks[i];
    canvas.Fill(Ellipse(c, sizes[i], sizes[i] * 0.65), [=](Point p) {
      return Mix(Rgb(200, 198, 190), Rgb(100, 98, 96),
                 Clamp01(0.5 + (p.x - c.x + p.y - c.y) / (2 * sizes[i])));
    });
  }
}

void DrawMushrooms(Canvas& canvas) {
  const Point spots[] = {{258, 292}, {268, 286}, {244, 296}};
  const double sizes[] = {4, 3, 2.5};
  for (int i = 0; i < 3; ++i) {
    const Point m = spots[i];
    const double s = sizes[i];
    canvas.Fill(Rect(m.x - s * 0.3, m.y - s, m.x + s * 0.3, m.y), Rgb(246, 240, 226));
    canvas.Fill(Intersect(Ellipse({m.x, m.y - s}, s, s * 0.8), Rect(m.x - s, m.y - 2 * s, m.x + s, m.y - s)),
                Rgb(220, 36, 30));
    canvas.Fill(Circle({m.x - s * 0.4, m.y - s * 1.4}, s * 0.18), Rgb(255, 255, 255));
    canvas.Fill(Circle({m.x + s * 0.3, m.y - s * 1.5}, s * 0.15), Rgb(255, 255, 255));
  }
}

void DrawButterfly(Canvas& canvas, Point at, Color wing) {
  for (double side : {-1.0, 1.0}) {
    canvas.Fill(Ellipse({at.x + side * 2, at.y - 1.2}, 2, 1.6), wing);
    canvas.Fill(Ellipse({at.x + side * 1.6, at.y + 1.3}, 1.4, 1.1), Scale(wing, 0.8));
  }
  canvas.Fill(Capsule({at.x, at.y - 2}, {at.x, at.y + 2}, 0.7), Rgb(30, 30, 30));
}

void DrawRabbit(Canvas& canvas, Point at) {
  const Color fur = Rgb(176, 136, 100);
  canvas.Fill(Ellipse({at.x + 1, at.y + 3.6}, 5, 1), WithAlpha(Rgb(20, 60, 20), 0.35));
  canvas.Fill(Ellipse(at, 4, 3), fur);
  canvas.Fill(Circle({at.x + 4.6, at.y - 1.6}, 2.1), fur);
  for (double dx : {3.9, 5.3}) {
    canvas.Fill(Ellipse({at.x + dx, at.y - 5.4}, 0.8, 2.4), fur);
    canvas.Fill(Ellipse({at.x + dx, at.y - 5.2}, 0.35, 1.6), Rgb(240, 170, 170));
  }
  canvas.Fill(Circle({at.x - 3.8, at.y - 0.4}, 1.3), Rgb(250, 250, 246));  // tail
  canvas.Fill(Circle({at.x + 5.4, at.y - 2}, 0.45), Rgb(20, 20, 20));
}

bool FlowerAllowed(Point p) {
  return p.y > MeadowTop(p.x) + 2 && !InRiver({p.x - 3, p.y}) && !InRiver({p.x + 5, p.y});
}

// Flowers grow in patches of one colour, so patches mark their part of the meadow.
void DrawFlowers(Canvas& canvas) {
  const Color palette[] = {Rgb(232, 36, 36),  Rgb(252, 220, 40),  Rgb(164, 92, 214), Rgb(252, 252, 246),
                           Rgb(252, 146, 40), Rgb(250, 128, 190), Rgb(92, 132, 240)};
  Sequence random(850);
  for (int i = 0; i < 520; ++i) {
    const Point p{random.Range(0, kSize), random.Range(200, kSize)};
    const double patch = FractalNoise(p.x / 40, p.y / 26, 2, 851);
    const int kind = (static_cast<int>(patch * 16) + (random.Next() < 0.15 ? 3 : 0)) % 7;
    if (!FlowerAllowed(p)) continue;
    const double size = 0.6 + (p.y - 200) / 100 * 1.4;
    if (size > 1.1) {
      for (int k = 0; k < 5; ++k) {
        const double a = k * 2 * std::numbers::pi / 5 + random.Next();
        canvas.Fill(Circle({p.x + size * 0.8 * std::cos(a), p.y + size * 0.6 * std::sin(a)}, size * 0.55),
                    palette[kind]);
      }
      canvas.Fill(Circle(p, size * 0.4), kind == 1 ? Rgb(200, 110, 20) : Rgb(250, 210, 60));
    } else {
      canvas.Fill(Circle(p, size), palette[kind]);
    }
  }
}

}  // namespace

void DrawForeground(Canvas& canvas) {
  DrawLilyPads(canvas);
  DrawReedsAndRocks(canvas);
  DrawBoat(canvas);
  DrawDuck(canvas, {98, 207});
  DrawDuck(canvas, {108, 212});
  DrawFlowers(canvas);
  DrawSignpost(canvas);
  DrawRabbit(canvas, {134, 228});
  DrawFence(canvas);
  DrawPicnic(canvas);
  DrawBigTree(canvas);
  DrawMushrooms(canvas);
  DrawButterfly(canvas, {206, 244}, Rgb(250, 150, 30));
  DrawButterfly(canvas, {108, 250}, Rgb(120, 170, 250));
}

}  // namespace art::scene
