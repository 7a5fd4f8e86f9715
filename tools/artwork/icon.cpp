// Program icon: a little sliding puzzle, a 3 x 3 picture with one piece missing. Each size
// has its own layout with every edge on a whole pixel, and more detail the more room there is.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>

#include "artwork.h"

namespace art {

namespace {

// Layout of one icon size, in pixels: frame, margin, tiles and gaps add up to the size.
struct IconLayout {
  int size;
  int frame;   // wooden border
  int margin;  // dark space between the border and the tiles
  int tile;
  int gap;
  int bevel;     // lit and shaded tile edges; 0 where there is no room
  double corner;  // border corner radius
  int detail;    // 0: shapes only, 1: door and window, 2: clouds and wood grain

  int FirstTile() const { return frame + margin; }
  int TileStep() const { return tile + gap; }
};

// 2 * frame + 2 * margin + 3 * tile + 2 * gap == size for every entry.
constexpr IconLayout kLayouts[] = {
    {16, 1, 0, 4, 1, 0, 2, 0},    {22, 1, 0, 6, 1, 0, 2, 0},     {24, 1, 1, 6, 1, 1, 3, 0},
    {32, 2, 1, 8, 1, 1, 4, 0},    {48, 3, 1, 12, 2, 1, 5, 1},    {64, 4, 2, 16, 2, 1, 7, 1},
    {128, 8, 4, 32, 4, 2, 12, 2}, {256, 14, 6, 68, 6, 3, 22, 2},
};

// The sizes a web application's manifest asks for, which no desktop icon theme has.
constexpr IconLayout kWebLayouts[] = {
    {192, 10, 5, 50, 6, 3, 16, 2},
    {512, 28, 12, 136, 12, 6, 44, 2},
};

IconLayout LayoutFor(int size) {
  for (const IconLayout& layout : kLayouts) {
    if (layout.size == size) return layout;
  }
  for (const IconLayout& layout : kWebLayouts) {
    if (layout.size == size) return layout;
  }
  throw std::invalid_argument("no icon layout for size " + std::to_string(size));
}

const Color kHole = Rgb(44, 30, 22);
const Color kWoodLight = Rgb(196, 134, 72);
const Color kWoodDark = Rgb(110, 64, 28);
const Color kSun = Rgb(255, 214, 40);
const Color kWall = Rgb(240, 230, 204);
const Color kRoof = Rgb(214, 40, 40);
const Color kDoor = Rgb(122, 72, 36);
const Color kWindow = Rgb(120, 180, 230);
const Color kCloud = Rgb(250, 252, 255);
const Color kGrassLight = Rgb(92, 196, 64);
const Color kGrassDark = Rgb(28, 118, 44);
const Color kSkyTop = Rgb(48, 112, 220);
const Color kSkyLow = Rgb(150, 210, 252);

// The scene in 0..1 square coordinates: sky, sun, hill and a house. The house fills the
// centre piece, so it survives at 16 x 16.
constexpr double kSunX = 0.25, kSunY = 0.22, kSunRadius = 0.15;
constexpr double kWallLeft = 0.39, kWallRight = 0.61, kWallTop = 0.47, kWallBottom = 0.64;
constexpr double kRoofTop = 0.33, kRoofSlope = 1.1;
constexpr double kDoorLeft = 0.47, kDoorRight = 0.53, kDoorTop = 0.54;
constexpr double kWindowLeft = 0.415, kWindowRight = 0.455, kWindowTop = 0.505, kWindowBottom = 0.55;
struct Cloud {
  double x, y, rx, ry;
};
constexpr Cloud kClouds[] = {{0.66, 0.16, 0.09, 0.035}, {0.74, 0.14, 0.07, 0.03}, {0.82, 0.17, 0.08, 0.03}};

double HillTop(double x) { return 0.58 - 0.12 * std::sin(x * 3.0 + 0.4); }
double SkyShade(double y) { return Clamp01(y / 0.6); }

Color ScenePixel(Point p, int detail) {
  const double hill = HillTop(p.x);
  const double sx = p.x - kSunX, sy = p.y - kSunY;
  if (sx * sx + sy * sy < kSunRadius * kSunRadius) return kSun;
  const bool inWall = p.x > kWallLeft && p.x < kWallRight && p.y > kWallTop && p.y < kWallBottom;
  if (inWall && detail >= 1) {
    if (p.x > kDoorLeft && p.x < kDoorRight && p.y > kDoorTop) return kDoor;
    if (p.y > kWindowTop && p.y < kWindowBottom &&
        ((p.x > kWindowLeft && p.x < kWindowRight) || (p.x > 1 - kWindowRight && p.x < 1 - kWindowLeft))) {
      return kWindow;
    }
  }
  if (inWall) return kWall;
  if (p.y > kRoofTop + 0.02 && p.y <= kWallTop && std::abs(p.x - 0.5) < (p.y - kRoofTop) * kRoofSlope) return kRoof;
  if (p.y > hill) return Mix(kGrassLight, kGrassDark, (p.y - hill) / (1 - hill));
  if (detail >= 2) {
    for (const Cloud& c : kClouds) {
      const double dx = (p.x - c.x) / c.rx, dy = (p.y - c.y) / c.ry;
      if (dx * dx + dy * dy <= 1) return kCloud;
    }
  }
  return Mix(kSkyTop, kSkyLow, SkyShade(p.y));
}

Color Wood(Point p, const IconLayout& l) {
  Color c = Mix(kWoodLight, kWoodDark, (p.x + p.y) / (2.0 * l.size));
  // Grain along the border, where it is wide enough to show.
  if (l.detail >= 2) c = Scale(c, 1.0 + 0.06 * std::sin((p.x + p.y) * 0.9 + 3.0 * std::sin(p.y * 0.21)));
  return c;
}

void DrawTile(Canvas& canvas, const IconLayout& l, int column, int row) {
  const double x0 = l.FirstTile() + column * l.TileStep(), y0 = l.FirstTile() + row * l.TileStep();
  const double x1 = x0 + l.tile, y1 = y0 + l.tile;
  const double bevel = l.bevel;
  canvas.Fill(Rect(x0, y0, x1, y1), [=](Point p) {
    // Tiles are laid out with gaps but show one continuous picture.
    const Point scene{(column + (p.x - x0) / l.tile) / 3, (row + (p.y - y0) / l.tile) / 3};
    Color c = ScenePixel(scene, l.detail);
    if (p.x < x0 + bevel || p.y < y0 + bevel) c = Mix(c, Rgb(255, 255, 255), 0.45);
    if (p.x > x1 - bevel || p.y > y1 - bevel) c = Scale(c, 0.6);
    return c;
  });
}

// --- The scalable icon -----------------------------------------------------------------------

std::string Hex(Color c) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", static_cast<int>(std::lround(Clamp01(c.r) * 255)),
                static_cast<int>(std::lround(Clamp01(c.g) * 255)), static_cast<int>(std::lround(Clamp01(c.b) * 255)));
  return text;
}

std::string Number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", v);
  std::string s = text;
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s;
}

// The scene in 0..300 units, a hundred per piece.
std::string SvgScene() {
  const double u = 300;
  std::string hill = "M0 " + Number(HillTop(0) * u);
  for (int i = 1; i <= 60; ++i) {
    const double x = i / 60.0;
    hill += " L" + Number(x * u) + " " + Number(HillTop(x) * u);
  }
  hill += " L300 300 L0 300 Z";
  std::string out;
  out += "    <g id=\"scene\">\n";
  out += "      <rect width=\"300\" height=\"300\" fill=\"url(#sky)\"/>\n";
  for (const Cloud& c : kClouds) {
    out += "      <ellipse cx=\"" + Number(c.x * u) + "\" cy=\"" + Number(c.y * u) + "\" rx=\"" + Number(c.rx * u) +
           "\" ry=\"" + Number(c.ry * u) + "\" fill=\"" + Hex(kCloud) + "\"/>\n";
  }
  out += "      <circle cx=\"" + Number(kSunX * u) + "\" cy=\"" + Number(kSunY * u) + "\" r=\"" +
         Number(kSunRadius * u) + "\" fill=\"" + Hex(kSun) + "\"/>\n";
  out += "      <path d=\"" + hill + "\" fill=\"url(#grass)\"/>\n";
  const double roofBase = (kWallTop - kRoofTop) * kRoofSlope;
  out += "      <path d=\"M" + Number(0.5 * u) + " " + Number((kRoofTop + 0.02) * u) + " L" + Number((0.5 + roofBase) * u) +
         " " + Number(kWallTop * u) + " L" + Number((0.5 - roofBase) * u) + " " + Number(kWallTop * u) +
         " Z\" fill=\"" + Hex(kRoof) + "\"/>\n";
  auto rect = [&](double x0, double y0, double x1, double y1, Color c) {
    out += "      <rect x=\"" + Number(x0 * u) + "\" y=\"" + Number(y0 * u) + "\" width=\"" + Number((x1 - x0) * u) +
           "\" height=\"" + Number((y1 - y0) * u) + "\" fill=\"" + Hex(c) + "\"/>\n";
  };
  rect(kWallLeft, kWallTop, kWallRight, kWallBottom, kWall);
  rect(kDoorLeft, kDoorTop, kDoorRight, kWallBottom, kDoor);
  rect(kWindowLeft, kWindowTop, kWindowRight, kWindowBottom, kWindow);
  rect(1 - kWindowRight, kWindowTop, 1 - kWindowLeft, kWindowBottom, kWindow);
  out += "    </g>\n";
  return out;
}

}  // namespace

Image DrawIcon(int size) {
  const IconLayout l = LayoutFor(size);
  Canvas canvas(size, size, 4, Color{0, 0, 0, 0});
  canvas.Fill(RoundedRect(0, 0, size, size, l.corner), [&](Point p) { return Wood(p, l); });
  canvas.Fill(Rect(l.frame, l.frame, size - l.frame, size - l.frame), kHole);
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column) {
      if (row == 2 && column == 2) continue;  // the hole that makes it a sliding puzzle
      DrawTile(canvas, l, column, row);
    }
  }
  return canvas.Resolve();
}

Image DrawMaskableIcon() {
  // The 256-pixel icon in the middle of the page's desk colour: its corners stay inside the
  // circle of 40 % of the size that a launcher's mask always keeps.
  constexpr int kSize = 512;
  constexpr std::uint8_t kDesk[3] = {0x17, 0x56, 0x5c};
  const Image inner = DrawIcon(256);
  const int offset = (kSize - inner.width) / 2;
  Image out(kSize, kSize);
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      std::uint8_t* pixel = &out.rgba[4 * (static_cast<size_t>(y) * kSize + x)];
      const bool inside = x >= offset && y >= offset && x < offset + inner.width && y < offset + inner.height;
      const std::uint8_t* over =
          inside ? &inner.rgba[4 * (static_cast<size_t>(y - offset) * inner.width + (x - offset))] : nullptr;
      const int alpha = over ? over[3] : 0;
      for (int k = 0; k < 3; ++k) {
        const int under = kDesk[k];
        pixel[k] = static_cast<std::uint8_t>((over ? over[k] * alpha : 0) / 255 + (under * (255 - alpha) + 127) / 255);
      }
      pixel[3] = 255;
    }
  }
  return out;
}

std::vector<int> IconSizes() {
  std::vector<int> sizes;
  for (const IconLayout& layout : kLayouts) sizes.push_back(layout.size);
  return sizes;
}

std::vector<int> WebIconSizes() {
  std::vector<int> sizes;
  for (const IconLayout& layout : kWebLayouts) sizes.push_back(layout.size);
  return sizes;
}

void WriteIconSvg(const std::filesystem::path& file) {
  // Drawn on the largest layout's grid, with its detail.
  const IconLayout l = LayoutFor(256);
  const int s = l.size;
  std::string out;
  out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  out += "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"" +
         std::to_string(s) + "\" height=\"" + std::to_string(s) + "\" viewBox=\"0 0 " + std::to_string(s) + " " +
         std::to_string(s) + "\">\n";
  out += "  <title>brindlewick Puzzle</title>\n";
  out += "  <defs>\n";
  out += "    <linearGradient id=\"wood\" x1=\"0\" y1=\"0\" x2=\"1\" y2=\"1\">\n";
  out += "      <stop offset=\"0\" stop-color=\"" + Hex(kWoodLight) + "\"/>\n";
  out += "      <stop offset=\"1\" stop-color=\"" + Hex(kWoodDark) + "\"/>\n";
  out += "    </linearGradient>\n";
  out += "    <linearGradient id=\"sky\" gradientUnits=\"userSpaceOnUse\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"180\">\n";
  out += "      <stop offset=\"0\" stop-color=\"" + Hex(kSkyTop) + "\"/>\n";
  out += "      <stop offset=\"1\" stop-color=\"" + Hex(kSkyLow) + "\"/>\n";
  out += "    </linearGradient>\n";
  out += "    <linearGradient id=\"grass\" gradientUnits=\"userSpaceOnUse\" x1=\"0\" y1=\"138\" x2=\"0\" y2=\"300\">\n";
  out += "      <stop offset=\"0\" stop-color=\"" + Hex(kGrassLight) + "\"/>\n";
  out += "      <stop offset=\"1\" stop-color=\"" + Hex(kGrassDark) + "\"/>\n";
  out += "    </linearGradient>\n";
  out += SvgScene();
  out += "  </defs>\n";
  out += "  <rect width=\"" + std::to_string(s) + "\" height=\"" + std::to_string(s) + "\" rx=\"" + Number(l.corner) +
         "\" fill=\"url(#wood)\"/>\n";
  out += "  <rect x=\"" + std::to_string(l.frame) + "\" y=\"" + std::to_string(l.frame) + "\" width=\"" +
         std::to_string(s - 2 * l.frame) + "\" height=\"" + std::to_string(s - 2 * l.frame) + "\" fill=\"" +
         Hex(kHole) + "\"/>\n";
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column) {
      if (row == 2 && column == 2) continue;
      const int x = l.FirstTile() + column * l.TileStep();
      const int y = l.FirstTile() + row * l.TileStep();
      const std::string at = "x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(y) + "\"";
      const std::string tile = std::to_string(l.tile);
      // Each piece shows its third of the scene.
      out += "  <svg " + at + " width=\"" + tile + "\" height=\"" + tile + "\" viewBox=\"" +
             std::to_string(column * 100) + " " + std::to_string(row * 100) + " 100 100\">\n";
      out += "    <use xlink:href=\"#scene\"/>\n";
      out += "  </svg>\n";
      const std::string bevel = std::to_string(l.bevel);
      const std::string inner = std::to_string(l.tile - l.bevel);
      out += "  <path d=\"M" + std::to_string(x) + " " + std::to_string(y) + " h" + tile + " v" + bevel + " h-" +
             inner + " v" + inner + " h-" + bevel + " Z\" fill=\"#ffffff\" fill-opacity=\"0.45\"/>\n";
      out += "  <path d=\"M" + std::to_string(x + l.tile) + " " + std::to_string(y + l.tile) + " h-" + tile + " v-" +
             bevel + " h" + inner + " v-" + inner + " h" + bevel + " Z\" fill=\"#000000\" fill-opacity=\"0.4\"/>\n";
    }
  }
  out += "</svg>\n";
  std::filesystem::create_directories(file.parent_path());
  std::ofstream stream(file, std::ios::binary | std::ios::trunc);
  stream << out;
  if (!stream) throw std::runtime_error("cannot write " + file.string());
}

}  // namespace art
