#include "game/board.h"

#include <algorithm>
#include <string>
#include <utility>

#include "game/grid.h"

namespace puzzle {

Board::Board(Component* parentComponent, int32_t nx, int32_t ny, Picture* strip, int32_t newColumns,
             int32_t newRows, int32_t requestedX, int32_t requestedY, bool show, uint32_t seed)
    : Component(parentComponent, nx, ny, strip), seed_(seed) {
  Board::InitBoard(newColumns, newRows, requestedX, requestedY, show);
}

Board::~Board() { cells.clear(); }

void Board::ResolveEmptyCell() {
  emptyColumn = ResolveEmpty(emptyX, columns);
  emptyRow = ResolveEmpty(emptyY, rows);
}

void Board::BuildTiles() {
  const int32_t w = picture != nullptr ? picture->imageWidth : 0;
  const int32_t h = picture != nullptr ? picture->imageHeight : 0;
  cells.assign(static_cast<size_t>(tileCount), nullptr);
  children.reserve(static_cast<size_t>(tileCount) + 1);
  for (int32_t k = 0; k < tileCount; ++k) {
    const int32_t c = k % columns;
    const int32_t r = k / columns;
    auto tile = std::make_unique<Tile>(this, GridStart(w, c, columns), GridStart(h, r, rows), picture, columns,
                                       rows, c, r);
    cells[static_cast<size_t>(k)] = tile.get();
    children.push_back(std::move(tile));
  }
}

void Board::SendTilesHome() {
  for (Tile* tile : cells) tile->ResetCell();
  for (int32_t k = 0; k < tileCount; ++k) {
    cells[static_cast<size_t>(k)] = static_cast<Tile*>(children[static_cast<size_t>(k) + 1].get());
  }
}

void Board::InitBoard(int32_t newColumns, int32_t newRows, int32_t requestedX, int32_t requestedY, bool show) {
  random.Seed(seed_);
  columns = ClampGridSize(newColumns);
  rows = ClampGridSize(newRows);
  emptyX = requestedX;
  emptyY = requestedY;
  ResolveEmptyCell();
  tileCount = columns * rows;
  drawsSelf = false;
  state = StateIdle;
  auto back = std::make_unique<BoardBackground>(this, 0, 0, width, height, 0u);
  background = back.get();
  children.clear();
  children.push_back(std::move(back));
  BuildTiles();
  cells[EmptyIndex()]->SetVisible(false);
  showNumbers = false;
  if (show) SetShowNumbers(true);
}

int32_t Board::GetEmptyX() { return emptyX; }
int32_t Board::GetEmptyY() { return emptyY; }
int32_t Board::GetEmptyColumn() { return emptyColumn; }
int32_t Board::GetEmptyRow() { return emptyRow; }
int32_t Board::GetColumns() { return columns; }
int32_t Board::GetRows() { return rows; }
bool Board::IsShowNumbers() { return showNumbers; }
int32_t Board::GetState() { return state; }

void Board::SetEmptyCorner(int32_t requestedX, int32_t requestedY) {
  cells[EmptyIndex()]->SetVisible(true);
  emptyX = requestedX;
  emptyY = requestedY;
  ResolveEmptyCell();
  state = StateIdle;
  SendTilesHome();
  cells[EmptyIndex()]->SetVisible(false);
}

void Board::SetBoardSize(int32_t newColumns, int32_t newRows) {
  // The numbers of the old grid come out of the picture before the grid changes.
  const bool wasShown = showNumbers;
  if (wasShown) SetShowNumbers(false);
  columns = ClampGridSize(newColumns);
  rows = ClampGridSize(newRows);
  ResolveEmptyCell();
  auto back = std::move(children[0]);
  cells.clear();
  children.clear();
  tileCount = columns * rows;
  children.push_back(std::move(back));
  BuildTiles();
  cells[EmptyIndex()]->SetVisible(false);
  state = StateIdle;
  if (wasShown) SetShowNumbers(true);
  Invalidate();
}

bool Board::ChangePicture(PictureName source) {
  state = StateIdle;
  ResolveEmptyCell();
  const bool ok = picture != nullptr && picture->Reload(source);
  SendTilesHome();
  cells[EmptyIndex()]->SetVisible(false);
  const int32_t w = picture != nullptr ? picture->imageWidth : 0;
  const int32_t h = picture != nullptr ? picture->imageHeight : 0;
  background->SetSize(w, h);
  width = w;
  height = h;
  if (ok && showNumbers) {
    showNumbers = false;
    SetShowNumbers(true);
  }
  return ok;
}

void Board::Shuffle() {
  state = StateShuffling;
  cells[EmptyIndex()]->SetVisible(false);
  for (int32_t i = 0; i < tileCount; ++i) {
    const int32_t j = NextRandom() * columns * rows / 32768;
    SwapTiles(cells[static_cast<size_t>(i)], cells[static_cast<size_t>(j)]);
  }
  ResolveEmptyCell();
  // The hidden tile goes back to the corner, its home.
  for (size_t i = 0; i < cells.size(); ++i) {
    if (!cells[i]->IsVisible()) {
      SwapTiles(cells[i], cells[EmptyIndex()]);
      break;
    }
  }
  if (!IsSolvable()) {
    // Exchanging two visible tiles flips the parity.
    const auto e = static_cast<int32_t>(EmptyIndex());
    const int32_t a = (e + 1) % tileCount;
    const int32_t b = (a + 1) % tileCount;
    SwapTiles(cells[static_cast<size_t>(a)], cells[static_cast<size_t>(b)]);
  }
  state = StatePlaying;
  Invalidate();
}

bool Board::IsSolvable() {
  // Counts inversions over a grid widened to an even number of columns; with the empty
  // tile at home the arrangement is solvable exactly when the count is even.
  const int32_t evenWidth = columns % 2 == 0 ? columns : columns + 1;
  std::vector<int32_t> a(static_cast<size_t>(rows) * static_cast<size_t>(evenWidth));
  for (int32_t r = 0; r < rows; ++r) {
    for (int32_t c = 0; c < evenWidth; ++c) {
      int32_t& entry = a[static_cast<size_t>(r * evenWidth + c)];
      if (c >= columns) {
        entry = r * evenWidth + c;
      } else if (c == emptyColumn && r == emptyRow) {
        entry = -1;
      } else {
        Tile* t = cells[CellIndex(c, r)];
        entry = t->GetHomeY() * evenWidth + t->GetHomeX();
      }
    }
  }
  int64_t inversions = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] == -1) continue;
    for (size_t j = i + 1; j < a.size(); ++j) {
      if (a[j] != -1 && a[i] > a[j]) ++inversions;
    }
  }
  return inversions % 2 == 0;
}

void Board::SwapTiles(Tile*& a, Tile*& b) {
  const int32_t column = a->GetCellX();
  const int32_t row = a->GetCellY();
  a->SetCell(b->GetCellX(), b->GetCellY());
  b->SetCell(column, row);
  std::swap(a, b);
}

bool Board::SlideTile(int32_t direction) {
  const size_t e = EmptyIndex();
  const auto stride = static_cast<size_t>(columns);
  switch (static_cast<uint32_t>(direction)) {
    case SlideLeft:
      if (emptyColumn == columns - 1) return false;
      SwapTiles(cells[e], cells[e + 1]);
      ++emptyColumn;
      return true;
    case SlideRight:
      if (emptyColumn == 0) return false;
      SwapTiles(cells[e], cells[e - 1]);
      --emptyColumn;
      return true;
    case SlideUp:
      if (emptyRow == rows - 1) return false;
      SwapTiles(cells[e], cells[e + stride]);
      ++emptyRow;
      return true;
    case SlideDown:
      if (emptyRow == 0) return false;
      SwapTiles(cells[e], cells[e - stride]);
      --emptyRow;
      return true;
    default:
      return false;
  }
}

bool Board::CheckSolved() {
  for (Tile* tile : cells) {
    if (!tile->IsHome()) return false;
  }
  state = StateSolved;
  cells[EmptyIndex()]->SetVisible(true);
  return true;
}

int32_t Board::NumberHeight() const {
  return std::min(width / columns, height / rows) / 2;
}

void Board::SetShowNumbers(bool show) {
  if (show == showNumbers) return;
  showNumbers = show;
  if (picture == nullptr || !picture->surface) return;
  auto context = picture->surface->GetDC();
  if (!context) return;
  auto mask = context->CreateMask(width, height);
  if (!mask) return;
  FontSpec font;
  font.height = NumberHeight();
  mask->SelectFont(font);
  for (int32_t k = 0; k < tileCount; ++k) {
    mask->TextOut(GridStart(width, k % columns, columns), GridStart(height, k / columns, rows),
                  std::to_string(k + 1));
  }
  // Exclusive-or: writing the same mask again takes the numbers out.
  if (context->XorMask(*mask, 0, 0, width, height)) Invalidate();
}

void Board::FlashTile(int32_t index) {
  if (index < 0 || index >= tileCount) return;
  if (picture == nullptr || !picture->surface) return;
  auto context = picture->surface->GetDC();
  if (!context) return;
  const int32_t c = index % columns;
  const int32_t r = index / columns;
  context->InvertRect(Rect{GridStart(width, c, columns), GridStart(height, r, rows), GridStart(width, c + 1, columns),
                           GridStart(height, r + 1, rows)});
  needsRedraw = true;
  children[static_cast<size_t>(index) + 1]->InvalidateAll();
  if (parent != nullptr) parent->OnChildChanged(this);
}

void Board::OnChildChanged(Component* child) {
  if (!visible) return;
  needsRedraw = true;
  // A shuffle moves every tile; one repaint at its end replaces all those updates.
  if (state == StateShuffling) return;
  const Rect box{child->GetX(), child->GetY(), child->GetX() + child->GetWidth(),
                 child->GetY() + child->GetHeight()};
  AddDirtyRect(box);
  background->InvalidateRect(box);
  if (parent != nullptr) parent->OnChildChanged(this);
}

}  // namespace puzzle
