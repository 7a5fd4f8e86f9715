#include "raster.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace art {

Color Rgb(int r, int g, int b) { return {r / 255.0, g / 255.0, b / 255.0, 1.0}; }

Color WithAlpha(Color c, double a) {
  c.a = a;
  return c;
}

Color Mix(Color from, Color to, double t) {
  return {from.r + (to.r - from.r) * t, from.g + (to.g - from.g) * t, from.b + (to.b - from.b) * t,
          from.a + (to.a - from.a) * t};
}

Color Scale(Color c, double factor) {
  return {Clamp01(c.r * factor), Clamp01(c.g * factor), Clamp01(c.b * factor), c.a};
}

double Clamp01(double v) { return std::clamp(v, 0.0, 1.0); }

double Smoothstep(double edge0, double edge1, double v) {
  const double t = Clamp01((v - edge0) / (edge1 - edge0));
  return t * t * (3 - 2 * t);
}

Shape Rect(double x0, double y0, double x1, double y1) {
  return {{x0, y0, x1, y1}, [=](Point p) { return p.x >= x0 && p.x < x1 && p.y >= y0 && p.y < y1; }};
}

Shape Circle(Point centre, double radius) { return Ellipse(centre, radius, radius); }

Shape Ellipse(Point centre, double rx, double ry) {
  return {{centre.x - rx, centre.y - ry, centre.x + rx, centre.y + ry}, [=](Point p) {
            const double dx = (p.x - centre.x) / rx;
            const double dy = (p.y - centre.y) / ry;
            return dx * dx + dy * dy <= 1.0;
          }};
}

Shape RoundedRect(double x0, double y0, double x1, double y1, double radius) {
  return {{x0, y0, x1, y1}, [=](Point p) {
            // Distance from the rectangle shrunk by the radius.
            const double dx = std::max({x0 + radius - p.x, 0.0, p.x - (x1 - radius)});
            const double dy = std::max({y0 + radius - p.y, 0.0, p.y - (y1 - radius)});
            return dx * dx + dy * dy <= radius * radius;
          }};
}

Shape Ring(Point centre, double outer, double inner) {
  return Subtract(Circle(centre, outer), Circle(centre, inner));
}

Shape Polygon(std::vector<Point> corners) {
  Box box{corners[0].x, corners[0].y, corners[0].x, corners[0].y};
  for (const Point& c : corners) {
    box = {std::min(box.x0, c.x), std::min(box.y0, c.y), std::max(box.x1, c.x), std::max(box.y1, c.y)};
  }
  return {box, [pts = std::move(corners)](Point p) {
            // Even-odd crossing test.
            bool inside = false;
            for (std::size_t i = 0, j = pts.size() - 1; i < pts.size(); j = i++) {
              const Point& a = pts[i];
              const Point& b = pts[j];
              if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) {
                inside = !inside;
              }
            }
            return inside;
          }};
}

static double DistanceToSegment(Point p, Point a, Point b) {
  const double vx = b.x - a.x, vy = b.y - a.y;
  const double len2 = vx * vx + vy * vy;
  double t = len2 > 0 ? ((p.x - a.x) * vx + (p.y - a.y) * vy) / len2 : 0;
  t = Clamp01(t);
  const double dx = p.x - (a.x + t * vx), dy = p.y - (a.y + t * vy);
  return std::sqrt(dx * dx + dy * dy);
}

Shape Capsule(Point a, Point b, double width) { return Stroke({a, b}, width); }

Shape Stroke(std::vector<Point> path, double width) {
  const double half = width / 2;
  Box box{path[0].x, path[0].y, path[0].x, path[0].y};
  for (const Point& c : path) {
    box = {std::min(box.x0, c.x), std::min(box.y0, c.y), std::max(box.x1, c.x), std::max(box.y1, c.y)};
  }
  box = {box.x0 - half, box.y0 - half, box.x1 + half, box.y1 + half};
  return {box, [pts = std::move(path), half](Point p) {
            if (pts.size() == 1) return DistanceToSegment(p, pts[0], pts[0]) <= half;
            for (std::size_t i = 1; i < pts.size(); ++i) {
              if (DistanceToSegment(p, pts[i - 1], pts[i]) <= half) return true;
            }
            return false;
          }};
}

Shape Intersect(Shape a, Shape b) {
  const Box box{std::max(a.bounds.x0, b.bounds.x0), std::max(a.bounds.y0, b.bounds.y0),
                std::min(a.bounds.x1, b.bounds.x1), std::min(a.bounds.y1, b.bounds.y1)};
  return {box, [a = std::move(a.contains), b = std::move(b.contains)](Point p) { return a(p) && b(p); }};
}

Shape Subtract(Shape a, Shape b) {
  return {a.bounds,
          [a = std::move(a.contains), b = std::move(b.contains)](Point p) { return a(p) && !b(p); }};
}

std::vector<Point> Bezier(Point from, Point control, Point to, int steps) {
  std::vector<Point> points;
  for (int i = 0; i <= steps; ++i) {
    const double t = static_cast<double>(i) / steps, u = 1 - t;
    points.push_back({u * u * from.x + 2 * u * t * control.x + t * t * to.x,
                      u * u * from.y + 2 * u * t * control.y + t * t * to.y});
  }
  return points;
}

Image::Image(int w, int h) : width(w), height(h), rgba(static_cast<std::size_t>(w * h) * 4, 0) {}

static std::uint8_t ToByte(double v) { return static_cast<std::uint8_t>(std::lround(Clamp01(v) * 255)); }

void Image::Set(int x, int y, Color c) {
  std::uint8_t* px = &rgba[static_cast<std::size_t>(y * width + x) * 4];
  px[0] = ToByte(c.r);
  px[1] = ToByte(c.g);
  px[2] = ToByte(c.b);
  px[3] = ToByte(c.a);
}

Color Image::Get(int x, int y) const {
  const std::uint8_t* px = &rgba[static_cast<std::size_t>(y * width + x) * 4];
  return {px[0] / 255.0, px[1] / 255.0, px[2] / 255.0, px[3] / 255.0};
}

Canvas::Canvas(int width, int height, int supersample, Color background)
    : width_(width * supersample),
      height_(height * supersample),
      factor_(supersample),
      samples_(static_cast<std::size_t>(width_ * height_), background) {}

void Canvas::Fill(const Shape& shape, Color color, double opacity) {
  Fill(
      shape, [color](Point) { return color; }, opacity);
}

void Canvas::Fill(const Shape& shape, const Paint& paint, double opacity) {
  const double step = 1.0 / factor_;
  const int sx0 = std::max(0, static_cast<int>(std::floor(shape.bounds.x0 * factor_)));
  const int sy0 = std::max(0, static_cast<int>(std::floor(shape.bounds.y0 * factor_)));
  const int sx1 = std::min(width_, static_cast<int>(std::ceil(shape.bounds.x1 * factor_)) + 1);
  const int sy1 = std::min(height_, static_cast<int>(std::ceil(shape.bounds.y1 * factor_)) + 1);
  for (int sy = sy0; sy < sy1; ++sy) {
    for (int sx = sx0; sx < sx1; ++sx) {
      const Point p{(sx + 0.5) * step, (sy + 0.5) * step};
      if (!shape.contains(p)) continue;
      const Color src = paint(p);
      const double a = Clamp01(src.a * opacity);
      Color& dst = samples_[static_cast<std::size_t>(sy * width_ + sx)];
      const double outA = a + dst.a * (1 - a);
      if (outA <= 0) continue;
      dst.r = (src.r * a + dst.r * dst.a * (1 - a)) / outA;
      dst.g = (src.g * a + dst.g * dst.a * (1 - a)) / outA;
      dst.b = (src.b * a + dst.b * dst.a * (1 - a)) / outA;
      dst.a = outA;
    }
  }
}

void Canvas::PaintAll(const Paint& paint) {
  Fill(Rect(0, 0, static_cast<double>(width_) / factor_, static_cast<double>(height_) / factor_), paint);
}

Image Canvas::Resolve() const {
  Image out(width_ / factor_, height_ / factor_);
  const double n = factor_ * factor_;
  for (int y = 0; y < out.height; ++y) {
    for (int x = 0; x < out.width; ++x) {
      // Weight colour by coverage so transparent samples don't darken edges.
      Color sum{0, 0, 0, 0};
      for (int j = 0; j < factor_; ++j) {
        for (int i = 0; i < factor_; ++i) {
          const Color& s = samples_[static_cast<std::size_t>((y * factor_ + j) * width_ + x * factor_ + i)];
          sum.r += s.r * s.a;
          sum.g += s.g * s.a;
          sum.b += s.b * s.a;
          sum.a += s.a;
        }
      }
      const Color avg =
          sum.a > 0 ? Color{sum.r / sum.a, sum.g / sum.a, sum.b / sum.a, sum.a / n} : Color{0, 0, 0, 0};
      out.Set(x, y, avg);
    }
  }
  return out;
}

}  // namespace art
