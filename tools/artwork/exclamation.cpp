// The warning sign of message boxes, for a host whose platform draws none: a yellow
// triangle with a black exclamation mark.
#include "artwork.h"

namespace art {

Image DrawExclamation(int size) {
  const double s = size / 32.0;
  Canvas canvas(size, size, 4, Color{0, 0, 0, 0});
  const Point top{16 * s, 2.5 * s}, left{2 * s, 28.5 * s}, right{30 * s, 28.5 * s};
  // A dark rim with rounded corners, then the face, lit from above.
  const Color rim = Rgb(150, 96, 0);
  canvas.Fill(Polygon({top, left, right}), rim);
  canvas.Fill(Stroke({top, left, right, top}, 3 * s), rim);
  const double inset = 1.6 * s;
  const Point innerTop{top.x, top.y + 2 * inset}, innerLeft{left.x + 1.75 * inset, left.y - inset / 1.3},
      innerRight{right.x - 1.75 * inset, right.y - inset / 1.3};
  canvas.Fill(Polygon({innerTop, innerLeft, innerRight}),
              [&](Point p) { return Mix(Rgb(255, 236, 120), Rgb(250, 180, 20), (p.y - innerTop.y) / (innerLeft.y - innerTop.y)); });
  canvas.Fill(Stroke({innerTop, innerLeft, innerRight, innerTop}, 1.2 * s),
              [&](Point p) { return Mix(Rgb(255, 236, 120), Rgb(250, 180, 20), (p.y - innerTop.y) / (innerLeft.y - innerTop.y)); });
  const Color ink = Rgb(20, 20, 20);
  canvas.Fill(Capsule({16 * s, 10.5 * s}, {16 * s, 19 * s}, 3.4 * s), ink);
  canvas.Fill(Circle({16 * s, 24 * s}, 1.9 * s), ink);
  return canvas.Resolve();
}

}  // namespace art
