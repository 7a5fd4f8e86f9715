#pragma once

#include <vector>

#include "game/runtime_random.h"
#include "game/tile.h"
#include "toolkit/board_background.h"

namespace puzzle {

enum BoardState : int32_t {
  StateIdle = 0,
  StateShuffling = 1,
  StatePlaying = 2,
  StateSolved = 3,
};

// Named by the way the moving tile travels into the empty cell.
enum SlideDirection : int32_t {
  SlideLeft = 0,
  SlideRight = 1,
  SlideUp = 2,
  SlideDown = 3,
};

// The puzzle: a picture cut into columns x rows tiles over a black background, one
// corner tile hidden as the empty cell. Shuffles solvably, slides, knows when it is
// solved, and can write the tile numbers into the picture or flash one tile's piece.
class Board : public Component {
 public:
  // seed starts the shuffle generator: the wall clock's whole seconds in the program.
  Board(Component* parent, int32_t x, int32_t y, Picture* picture, int32_t columns, int32_t rows,
        int32_t emptyX, int32_t emptyY, bool showNumbers, uint32_t seed);
  ~Board() override;

  void OnChildChanged(Component* child) override;

  virtual int32_t GetEmptyX();
  virtual int32_t GetEmptyY();
  virtual void SetEmptyCorner(int32_t requestedX, int32_t requestedY);
  virtual int32_t GetEmptyColumn();
  virtual int32_t GetEmptyRow();
  virtual int32_t GetColumns();
  virtual int32_t GetRows();
  virtual void SetBoardSize(int32_t newColumns, int32_t newRows);
  virtual bool IsShowNumbers();
  virtual void SetShowNumbers(bool show);
  virtual void Shuffle();
  virtual bool SlideTile(int32_t direction);
  virtual bool CheckSolved();
  virtual int32_t GetState();
  virtual void FlashTile(int32_t index);
  virtual bool ChangePicture(PictureName source);
  virtual void InitBoard(int32_t newColumns, int32_t newRows, int32_t requestedX, int32_t requestedY,
                         bool show);
  virtual void SwapTiles(Tile*& a, Tile*& b);
  virtual bool IsSolvable();

  // Read-only views for the tests and tools.
  int32_t GetTileCount() const { return tileCount; }
  Tile* TileInCell(int32_t column, int32_t row) const { return cells[CellIndex(column, row)]; }
  // The entry of a cell, for exchanging tiles with SwapTiles from outside.
  Tile*& CellEntry(int32_t column, int32_t row) { return cells[CellIndex(column, row)]; }
  Tile* TileNumbered(int32_t number) const { return static_cast<Tile*>(children[static_cast<size_t>(number)].get()); }
  BoardBackground* GetBackground() const { return background; }
  // The font height the numbers are written with.
  int32_t NumberHeight() const;
  // The next value of the shuffle generator, as the shuffle draws it.
  int32_t NextRandom() { return random.Next(); }

 protected:
  BoardBackground* background = nullptr;
  std::vector<Tile*> cells;
  int32_t tileCount = 0;
  int32_t columns = 0;
  int32_t rows = 0;
  int32_t emptyX = 0;
  int32_t emptyY = 0;
  int32_t emptyColumn = 0;
  int32_t emptyRow = 0;
  bool showNumbers = false;
  int32_t state = StateIdle;
  RuntimeRandom random;
  uint32_t seed_ = 0;

 private:
  size_t CellIndex(int32_t column, int32_t row) const {
    return static_cast<size_t>(row) * static_cast<size_t>(columns) + static_cast<size_t>(column);
  }
  size_t EmptyIndex() const { return CellIndex(emptyColumn, emptyRow); }
  void ResolveEmptyCell();
  // Builds the tiles for the current grid behind the background, all at home.
  void BuildTiles();
  // Sends every tile home and puts cells back in home order.
  void SendTilesHome();
};

}  // namespace puzzle
