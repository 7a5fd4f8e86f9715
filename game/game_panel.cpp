#include "game/game_panel.h"

#include <algorithm>

#include "toolkit/platform_codes.h"

namespace puzzle {

namespace {
constexpr int32_t kMargin = 10;
constexpr uint32_t kClockPeriod = 1000;
}  // namespace

GamePanel::GamePanel(Component* parentComponent, int32_t nx, int32_t ny, Picture* strip, int32_t columns,
                     int32_t rows, int32_t emptyX, int32_t emptyY, bool showNumbers, Picture* digitPicture,
                     int32_t digitCount, Picture* facePicture, GameHost& host)
    : Component(parentComponent, nx, ny, nullptr), host_(host) {
  GamePanel::InitPanel(strip, columns, rows, emptyX, emptyY, showNumbers, digitPicture, digitCount, facePicture);
}

ImageSize GamePanel::ExtentAround(int32_t digitFrameHeight, int32_t faceFrameHeight) {
  return ImageSize{2 * kMargin, std::max(digitFrameHeight, faceFrameHeight) + 3 * kMargin};
}

void GamePanel::InitPanel(Picture* strip, int32_t columns, int32_t rows, int32_t emptyX, int32_t emptyY,
                          bool showNumbers, Picture* digitPicture, int32_t digitCount, Picture* facePicture) {
  const int32_t counterW = digitCount * digitPicture->frameWidth;
  const int32_t faceW = facePicture->frameWidth;
  const int32_t topWidth = faceW + 2 * counterW + 2 * kMargin;
  const int32_t topHeight = std::max(digitPicture->frameHeight, facePicture->frameHeight);

  auto newBoard = std::make_unique<Board>(this, kMargin, topHeight + 2 * kMargin, strip, columns, rows, emptyX,
                                          emptyY, showNumbers, static_cast<uint32_t>(host_.CurrentTime()));
  const int32_t boardW = newBoard->GetWidth();
  const int32_t boardH = newBoard->GetHeight();
  std::unique_ptr<DigitCounter> moves;
  std::unique_ptr<FaceButton> button;
  std::unique_ptr<DigitCounter> seconds;
  if (topWidth <= boardW) {
    moves = std::make_unique<DigitCounter>(this, kMargin, kMargin, digitPicture, digitCount);
    button = std::make_unique<FaceButton>(this, (boardW - faceW) / 2 + kMargin, kMargin, facePicture, 0, 1, 2);
    seconds = std::make_unique<DigitCounter>(this, boardW + kMargin - counterW, kMargin, digitPicture, digitCount);
    width = boardW + 2 * kMargin;
  } else {
    // The top bar is wider than the board: centre the board under it.
    moves = std::make_unique<DigitCounter>(this, kMargin, kMargin, digitPicture, digitCount);
    button = std::make_unique<FaceButton>(this, counterW + 2 * kMargin, kMargin, facePicture, 0, 1, 2);
    seconds = std::make_unique<DigitCounter>(this, counterW + faceW + 3 * kMargin, kMargin, digitPicture, digitCount);
    newBoard->MoveX((topWidth - boardW) / 2);
    width = topWidth + 2 * kMargin;
  }
  height = boardH + topHeight + 3 * kMargin;

  board = newBoard.get();
  face = button.get();
  movesCounter = moves.get();
  secondsCounter = seconds.get();
  children.clear();
  children.push_back(std::move(button));
  children.push_back(std::move(newBoard));
  children.push_back(std::move(moves));
  children.push_back(std::move(seconds));
  mouseEnabled = true;
  keyEnabled = true;
  timerId = 0;
}

void GamePanel::OnChildChanged(Component*) {
  // The panel paints nothing itself: only pass the flag on.
  if (!visible) return;
  needsRedraw = true;
  if (parent != nullptr) parent->OnChildChanged(this);
}

void GamePanel::StopClockAndClearCounters() {
  host_.KillTimer(timerId);
  movesCounter->SetValue(0);
  secondsCounter->SetValue(0);
}

void GamePanel::NewGame() {
  movesCounter->SetValue(0);
  secondsCounter->SetValue(1);
  host_.KillTimer(timerId);
  timerId = host_.SetTimer(GAME_CLOCK_TIMER, kClockPeriod);
  board->Shuffle();
}

int32_t GamePanel::GetEmptyX() { return board->GetEmptyX(); }
int32_t GamePanel::GetEmptyY() { return board->GetEmptyY(); }

void GamePanel::SetEmptyCorner(int32_t requestedX, int32_t requestedY) {
  StopClockAndClearCounters();
  board->SetEmptyCorner(requestedX, requestedY);
}

int32_t GamePanel::GetBoardWidth() { return board->GetColumns(); }
int32_t GamePanel::GetBoardHeight() { return board->GetRows(); }

void GamePanel::SetBoardSize(int32_t columns, int32_t rows) {
  StopClockAndClearCounters();
  board->SetBoardSize(columns, rows);
}

bool GamePanel::IsShowNumbers() { return board->IsShowNumbers(); }
void GamePanel::SetShowNumbers(bool show) { board->SetShowNumbers(show); }
int32_t GamePanel::GetSeconds() { return secondsCounter->GetValue(); }
int32_t GamePanel::GetMoves() { return movesCounter->GetValue(); }
void GamePanel::OnTimerTick() { secondsCounter->Increment(); }
void GamePanel::FlashTile(int32_t index) { board->FlashTile(index); }

bool GamePanel::Step(int32_t direction) {
  if (!board->SlideTile(direction)) return false;
  movesCounter->Increment();
  return !CheckWin();
}

EventResult GamePanel::OnMouse(uint32_t message, uint32_t keyFlags, int32_t px, int32_t py) {
  const int32_t lx = px - x;
  const int32_t ly = py - y;
  const EventResult result = face->OnMouse(message, keyFlags, lx, ly);
  if (result == Consumed) return Consumed;
  if (message != WM_LBUTTONDOWN) return result;
  if (board->GetState() != StatePlaying) return Ignored;
  // A board without pixels has no cells to press.
  if (board->GetWidth() <= 0 || board->GetHeight() <= 0) return Ignored;

  const int32_t column = (lx - board->GetX()) * board->GetColumns() / board->GetWidth();
  const int32_t row = (ly - board->GetY()) * board->GetRows() / board->GetHeight();
  const int32_t ec = board->GetEmptyColumn();
  const int32_t er = board->GetEmptyRow();
  if (column == ec) {
    if (row < er) {
      for (int32_t i = 0; i < er - row && Step(SlideDown); ++i) {
      }
    } else if (row > er) {
      for (int32_t i = 0; i < row - er && Step(SlideUp); ++i) {
      }
    }
    return Consumed;
  }
  if (row == er) {
    if (column < ec) {
      for (int32_t i = 0; i < ec - column && Step(SlideRight); ++i) {
      }
    } else {
      for (int32_t i = 0; i < column - ec && Step(SlideLeft); ++i) {
      }
    }
    return Consumed;
  }
  return Ignored;
}

EventResult GamePanel::OnKey(uint32_t message, uint32_t wParam, int32_t) {
  if (message != WM_KEYDOWN) return Ignored;
  if (board->GetState() != StatePlaying) return Ignored;
  int32_t direction = 0;
  switch (wParam) {
    case VK_LEFT: direction = SlideLeft; break;
    case VK_UP: direction = SlideUp; break;
    case VK_RIGHT: direction = SlideRight; break;
    case VK_DOWN: direction = SlideDown; break;
    default: return Ignored;
  }
  if (!board->SlideTile(direction)) return Ignored;
  movesCounter->Increment();
  CheckWin();
  return Consumed;
}

void GamePanel::OnNotify(Component* sender, int32_t code) {
  if (sender == face && code == ButtonClick) NewGame();
}

bool GamePanel::CheckWin() {
  if (!board->CheckSolved()) return false;
  host_.KillTimer(timerId);
  host_.MessageBeep(0);
  host_.CheckForRecord();
  return true;
}

bool GamePanel::ChangePicture(PictureName source) {
  const int32_t topWidth = face->GetWidth() + 2 * movesCounter->GetWidth() + 2 * kMargin;
  const int32_t topHeight = std::max(movesCounter->GetHeight(), face->GetHeight());
  StopClockAndClearCounters();
  const bool ok = board->ChangePicture(source);
  const int32_t boardW = board->GetWidth();
  if (topWidth <= boardW) {
    face->SetX((boardW - face->GetWidth()) / 2 + kMargin);
    secondsCounter->SetX(boardW + kMargin - secondsCounter->GetWidth());
    board->SetX(kMargin);
    width = boardW + 2 * kMargin;
  } else {
    face->SetX(movesCounter->GetWidth() + 2 * kMargin);
    secondsCounter->SetX(face->GetWidth() + movesCounter->GetWidth() + 3 * kMargin);
    board->SetX((topWidth - boardW) / 2 + kMargin);
    width = topWidth + 2 * kMargin;
  }
  height = board->GetHeight() + topHeight + 3 * kMargin;
  return ok;
}

}  // namespace puzzle
