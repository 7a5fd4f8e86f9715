#pragma once

#include "toolkit/component.h"

namespace puzzle {

// One movable piece: shows its home piece of the picture wherever it stands, sized for
// the cell it stands in, one pixel short on the right and at the bottom.
class Tile : public Component {
 public:
  Tile(Component* parent, int32_t x, int32_t y, Picture* picture, int32_t columns, int32_t rows,
       int32_t column, int32_t row);

  bool Render(Surface& target) override;

  virtual int32_t GetHomeX();
  virtual int32_t GetHomeY();
  virtual int32_t GetCellX();
  virtual int32_t GetCellY();
  virtual void SetCell(int32_t column, int32_t row);
  virtual void ResetCell();
  virtual bool IsHome();
  virtual void InitTile(int32_t gridColumns, int32_t gridRows, int32_t column, int32_t row);

 protected:
  int32_t columns = 0;
  int32_t rows = 0;
  int32_t homeX = 0;
  int32_t homeY = 0;
  int32_t cellX = 0;
  int32_t cellY = 0;

 private:
  // Size, and position too, for standing in (column, row) of the picture as it is now.
  void SizeFor(int32_t column, int32_t row);
  void PlaceIn(int32_t column, int32_t row);
};

}  // namespace puzzle
