#include "game/tile.h"

#include "game/grid.h"

namespace puzzle {

Tile::Tile(Component* parentComponent, int32_t nx, int32_t ny, Picture* strip, int32_t gridColumns,
           int32_t gridRows, int32_t column, int32_t row)
    : Component(parentComponent, nx, ny, strip) {
  Tile::InitTile(gridColumns, gridRows, column, row);
}

void Tile::InitTile(int32_t gridColumns, int32_t gridRows, int32_t column, int32_t row) {
  columns = gridColumns;
  rows = gridRows;
  homeX = cellX = column;
  homeY = cellY = row;
  SizeFor(column, row);
  MarkAllDirty();
}

void Tile::SizeFor(int32_t column, int32_t row) {
  const int32_t w = picture != nullptr ? picture->imageWidth : 0;
  const int32_t h = picture != nullptr ? picture->imageHeight : 0;
  width = GridStart(w, column + 1, columns) - GridStart(w, column, columns) - 1;
  height = GridStart(h, row + 1, rows) - GridStart(h, row, rows) - 1;
}

void Tile::PlaceIn(int32_t column, int32_t row) {
  SizeFor(column, row);
  x = GridStart(picture != nullptr ? picture->imageWidth : 0, column, columns);
  y = GridStart(picture != nullptr ? picture->imageHeight : 0, row, rows);
}

int32_t Tile::GetHomeX() { return homeX; }
int32_t Tile::GetHomeY() { return homeY; }
int32_t Tile::GetCellX() { return cellX; }
int32_t Tile::GetCellY() { return cellY; }

void Tile::SetCell(int32_t column, int32_t row) {
  cellX = column;
  cellY = row;
  Invalidate();  // the old place
  PlaceIn(column, row);
  Invalidate();  // the new place
}

void Tile::ResetCell() { SetCell(homeX, homeY); }

bool Tile::IsHome() { return cellX == homeX && cellY == homeY; }

bool Tile::Render(Surface& target) {
  if (!visible) return true;
  needsRedraw = false;
  if (!drawsSelf || dirtyRects.empty()) return true;
  const int32_t w = picture != nullptr ? picture->imageWidth : 0;
  const int32_t h = picture != nullptr ? picture->imageHeight : 0;
  const int32_t pieceLeft = GridStart(w, homeX, columns);
  const int32_t pieceTop = GridStart(h, homeY, rows);
  for (const Rect& d : dirtyRects) {
    const int32_t sl = pieceLeft + d.left;
    const int32_t st = pieceTop + d.top;
    const int32_t dl = originX + x + d.left;
    const int32_t dt = originY + y + d.top;
    const Rect source{sl, st, sl + d.Width(), st + d.Height()};
    const Rect destination{dl, dt, dl + d.Width(), dt + d.Height()};
    if (picture == nullptr || !picture->Blit(target, destination, source)) return false;
  }
  ClearDirty();
  return true;
}

}  // namespace puzzle
