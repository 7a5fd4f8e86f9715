// Small supersampling rasteriser: shapes are point-sampled on a fine grid and
// box-filtered down, which gives clean anti-aliased edges at 1:1.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace art {

struct Point {
  double x = 0;
  double y = 0;
};

struct Box {
  double x0, y0, x1, y1;
};

// RGB in 0..1 with straight (not premultiplied) alpha.
struct Color {
  double r = 0, g = 0, b = 0, a = 1;
};

Color Rgb(int r, int g, int b);
Color WithAlpha(Color c, double a);
Color Mix(Color from, Color to, double t);
Color Scale(Color c, double factor);

double Clamp01(double v);
double Smoothstep(double edge0, double edge1, double v);

struct Shape {
  Box bounds;
  std::function<bool(Point)> contains;
};

Shape Rect(double x0, double y0, double x1, double y1);
Shape Circle(Point centre, double radius);
Shape Ellipse(Point centre, double rx, double ry);
Shape RoundedRect(double x0, double y0, double x1, double y1, double radius);
Shape Ring(Point centre, double outer, double inner);
Shape Polygon(std::vector<Point> corners);
// A thick line with round ends.
Shape Capsule(Point a, Point b, double width);
// A thick open path with round joints.
Shape Stroke(std::vector<Point> path, double width);
Shape Intersect(Shape a, Shape b);
Shape Subtract(Shape a, Shape b);

// Points along a quadratic Bezier curve, for strokes and outlines.
std::vector<Point> Bezier(Point from, Point control, Point to, int steps = 16);

using Paint = std::function<Color(Point)>;

// 8-bit image, RGBA per pixel, top row first.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgba;

  Image(int w, int h);
  void Set(int x, int y, Color c);
  Color Get(int x, int y) const;
};

class Canvas {
 public:
  // width and height are in output pixels; every output pixel is
  // sampled supersample x supersample times.
  Canvas(int width, int height, int supersample, Color background);

  void Fill(const Shape& shape, Color color, double opacity = 1.0);
  void Fill(const Shape& shape, const Paint& paint, double opacity = 1.0);
  void PaintAll(const Paint& paint);

  // Averages the samples of each output pixel, coverage into alpha.
  Image Resolve() const;

 private:
  int width_;
  int height_;
  int factor_;
  std::vector<Color> samples_;
};

}  // namespace art
