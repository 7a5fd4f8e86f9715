// The default puzzle picture: a river valley with a village, drawn in layers
// from the sky forwards. Coordinates are picture pixels (300 x 300).
#pragma once

#include <cstdint>
#include <functional>

#include "raster.h"

namespace art::scene {

constexpr double kSize = 300;

// Shared geography, so later layers sit on earlier ones.
double HillTop(double x);         // top of the near farmland (and the windmill hill)
double MeadowTop(double x);       // top of the foreground meadow
double RiverCentre(double y);     // the river runs from the hills down to the bottom left
double RiverHalfWidth(double y);  // zero above the river's source
bool InRiver(Point p);

// Texture helpers: every surface gets a little variation so no area is flat.
Color Grain(Color c, Point p, double amount, double size, std::uint32_t seed);
// Region below a curve y = top(x), from x0 to x1, down to bottom.
Shape BelowCurve(std::function<double(double)> top, double x0, double x1, double bottom);

// Layers, back to front.
void DrawSky(Canvas& canvas);
void DrawSkyObjects(Canvas& canvas);  // balloon, birds
void DrawMountains(Canvas& canvas);
void DrawFarHills(Canvas& canvas);
void DrawDistantLandmarks(Canvas& canvas);  // lake, pine wood, waterfall, castle
void DrawFarmland(Canvas& canvas);
void DrawWindmill(Canvas& canvas);
void DrawMeadow(Canvas& canvas);
void DrawRiver(Canvas& canvas);
void DrawRoad(Canvas& canvas);
void DrawBridge(Canvas& canvas);
void DrawVillage(Canvas& canvas);
void DrawTrees(Canvas& canvas);
void DrawFarmAnimals(Canvas& canvas);  // sheep and hay bales
void DrawForeground(Canvas& canvas);   // picnic, fence, boat, flowers

}  // namespace art::scene
