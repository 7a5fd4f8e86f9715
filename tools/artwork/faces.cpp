// Face-button frames: a smiley on a grey bevelled button. Frames 0, 1, 3, 4 are
// raised; frame 2 is pressed (sunken bevel, face nudged down-right).
#include <algorithm>
#include <cmath>
#include <vector>

#include "artwork.h"

namespace art {

namespace {

constexpr int kFrameSize = 26;
constexpr int kFrameCount = 5;
constexpr int kSupersample = 8;  // the face is tiny; edges need many samples

const Color kButtonGrey = Rgb(192, 192, 192);
const Color kInk = Rgb(52, 34, 6);

enum class Expression { Smile, Eager, Ooh, Surprised, Cool };

Point Offset(Point c, double dx, double dy) { return {c.x + dx, c.y + dy}; }

void DrawHead(Canvas& canvas, Point c, bool raised, double brightness) {
  if (raised) canvas.Fill(Circle(Offset(c, 0.7, 0.8), 9.2), WithAlpha(Rgb(90, 90, 90), 0.35));
  canvas.Fill(Circle(c, 9.2), kInk);
  const Color light = Scale(Rgb(255, 246, 150), brightness);
  const Color deep = Scale(Rgb(240, 184, 16), brightness);
  // Light from the top-left, like the button's bevel.
  canvas.Fill(Circle(c, 8.1), [=](Point p) {
    const double dx = p.x - (c.x - 3), dy = p.y - (c.y - 3.5);
    return Mix(light, deep, Smoothstep(0, 12, std::sqrt(dx * dx + dy * dy)));
  });
}

void DrawDotEyes(Canvas& canvas, Point c, double ry) {
  for (double side : {-1.0, 1.0}) {
    canvas.Fill(Ellipse(Offset(c, side * 3.1, -2.4), 1.05, ry), kInk);
  }
}

void DrawGlintEyes(Canvas& canvas, Point c) {
  DrawDotEyes(canvas, c, 1.8);
  for (double side : {-1.0, 1.0}) {
    canvas.Fill(Circle(Offset(c, side * 3.1 + 0.35, -3.1), 0.45), Rgb(255, 255, 255));
  }
}

void DrawRaisedBrows(Canvas& canvas, Point c, double height) {
  for (double side : {-1.0, 1.0}) {
    const Point inner = Offset(c, side * 1.6, -height);
    const Point outer = Offset(c, side * 4.6, -height + 0.2);
    canvas.Fill(Stroke(Bezier(inner, Offset(c, side * 3.1, -height - 1.3), outer, 8), 1.1), kInk);
  }
}

void DrawSmile(Canvas& canvas, Point c, double width, double depth) {
  canvas.Fill(Stroke(Bezier(Offset(c, -width, 2.2), Offset(c, 0, 2.2 + depth), Offset(c, width, 2.2)), 1.3),
              kInk);
}

void DrawGrin(Canvas& canvas, Point c) {
  // Open mouth: flat-ish top lip, deep lower curve, tongue at the bottom.
  std::vector<Point> mouth = Bezier(Offset(c, -5, 1.4), Offset(c, 0, 2.4), Offset(c, 5, 1.4), 10);
  const std::vector<Point> lower = Bezier(Offset(c, 5, 1.4), Offset(c, 0, 9.6), Offset(c, -5, 1.4), 14);
  mouth.insert(mouth.end(), lower.begin() + 1, lower.end());
  const Shape opening = Polygon(mouth);
  canvas.Fill(opening, Rgb(128, 24, 16));
  canvas.Fill(Intersect(opening, Ellipse(Offset(c, 0, 6.4), 3.0, 1.7)), Rgb(236, 96, 96));
  canvas.Fill(Intersect(opening, Rect(c.x - 5, c.y + 1, c.x + 5, c.y + 2.9)), Rgb(255, 255, 255));
  canvas.Fill(Subtract(Stroke(mouth, 1.1), opening), kInk);
  canvas.Fill(Stroke(mouth, 0.6), kInk);
}

void DrawCheeks(Canvas& canvas, Point c) {
  for (double side : {-1.0, 1.0}) {
    canvas.Fill(Ellipse(Offset(c, side * 5.6, 1.6), 1.7, 1.1), WithAlpha(Rgb(255, 110, 90), 0.45));
  }
}

void DrawRoundMouth(Canvas& canvas, Point c, double rx, double ry, double dy) {
  canvas.Fill(Ellipse(Offset(c, 0, dy), rx + 0.7, ry + 0.7), kInk);
  canvas.Fill(Ellipse(Offset(c, 0, dy), rx, ry), Rgb(128, 24, 16));
}

void DrawWideEyes(Canvas& canvas, Point c) {
  for (double side : {-1.0, 1.0}) {
    const Point eye = Offset(c, side * 3.2, -2.4);
    canvas.Fill(Ellipse(eye, 2.5, 2.9), kInk);
    canvas.Fill(Ellipse(eye, 1.8, 2.2), Rgb(255, 255, 255));
    canvas.Fill(Circle(Offset(eye, 0, 0.2), 1.05), kInk);
  }
}

void DrawSunglasses(Canvas& canvas, Point c) {
  canvas.Fill(Stroke({Offset(c, -8.2, -3.4), Offset(c, 8.2, -3.4)}, 0.8), kInk);
  for (double side : {-1.0, 1.0}) {
    const Point lens = Offset(c, side * 3.3, -2.3);
    canvas.Fill(Polygon({Offset(lens, -2.9, -1.6), Offset(lens, 2.9, -1.6), Offset(lens, 2.4, 1.1),
                         Offset(lens, 0, 2.1), Offset(lens, -2.4, 1.1)}),
                Rgb(20, 20, 28));
    canvas.Fill(Capsule(Offset(lens, -1.7, -0.8), Offset(lens, -0.6, -0.8), 0.6), Rgb(200, 210, 255));
  }
}

void DrawExpression(Canvas& canvas, Point c, Expression e) {
  switch (e) {
    case Expression::Smile:
      DrawDotEyes(canvas, c, 1.6);
      DrawSmile(canvas, c, 4.4, 4.6);
      break;
    case Expression::Eager:
      DrawCheeks(canvas, c);
      DrawRaisedBrows(canvas, c, 5.4);
      DrawGlintEyes(canvas, c);
      DrawGrin(canvas, c);
      break;
    case Expression::Ooh:
      DrawDotEyes(canvas, c, 1.3);
      DrawRoundMouth(canvas, c, 1.4, 1.8, 4.0);
      break;
    case Expression::Surprised:
      DrawRaisedBrows(canvas, c, 6.3);
      DrawWideEyes(canvas, c);
      DrawRoundMouth(canvas, c, 2.0, 2.5, 4.3);
      break;
    case Expression::Cool:
      DrawSunglasses(canvas, c);
      DrawSmile(canvas, c, 4.8, 5.2);
      break;
  }
}

// 2-px bevel. The light and dark edges meet on the diagonal at the top-right
// and bottom-left corners, like a standard push button.
void DrawBevel(Image& image, bool raised) {
  const Color outerLight = Rgb(255, 255, 255), innerLight = Rgb(228, 228, 228);
  const Color outerDark = Rgb(96, 96, 96), innerDark = Rgb(136, 136, 136);
  const int last = kFrameSize - 1;
  for (int y = 0; y < kFrameSize; ++y) {
    for (int x = 0; x < kFrameSize; ++x) {
      const int depth = std::min(std::min(x, y), std::min(last - x, last - y));
      if (depth > 1) continue;
      const bool topLeft = x + y < last;
      const bool light = topLeft == raised;
      const Color c = light ? (depth == 0 ? outerLight : innerLight) : (depth == 0 ? outerDark : innerDark);
      image.Set(x, y, c);
    }
  }
}

Image DrawFrame(Expression e, bool raised) {
  Canvas canvas(kFrameSize, kFrameSize, kSupersample, kButtonGrey);
  // A pressed button shifts its label, as push buttons do.
  const Point centre = raised ? Point{13, 13} : Point{14, 14};
  DrawHead(canvas, centre, raised, e == Expression::Eager ? 1.06 : 1.0);
  DrawExpression(canvas, centre, e);
  Image frame = canvas.Resolve();
  DrawBevel(frame, raised);
  return frame;
}

}  // namespace

Image DrawFaces() {
  struct FrameLook {
    Expression expression;
    bool raised;
  };
  const FrameLook frames[kFrameCount] = {
      {Expression::Smile, true},     {Expression::Eager, true}, {Expression::Ooh, false},
      {Expression::Surprised, true}, {Expression::Cool, true},
  };
  Image strip(kFrameSize * kFrameCount, kFrameSize);
  for (int f = 0; f < kFrameCount; ++f) {
    const Image frame = DrawFrame(frames[f].expression, frames[f].raised);
    for (int y = 0; y < kFrameSize; ++y) {
      for (int x = 0; x < kFrameSize; ++x) strip.Set(f * kFrameSize + x, y, frame.Get(x, y));
    }
  }
  return strip;
}

}  // namespace art
