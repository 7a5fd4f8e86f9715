#pragma once

#include "game/board.h"
#include "game/game_host.h"
#include "toolkit/digit_counter.h"
#include "toolkit/face_button.h"

namespace puzzle {

// The root of the window's tree and the game's controller: lays out the top bar (moves,
// face, seconds) over the board, runs the clock, turns presses and arrow keys into
// slides, counts moves and notices the win.
class GamePanel : public Component {
 public:
  GamePanel(Component* parent, int32_t x, int32_t y, Picture* picture, int32_t columns, int32_t rows,
            int32_t emptyX, int32_t emptyY, bool showNumbers, Picture* digitPicture, int32_t digitCount,
            Picture* facePicture, GameHost& host);

  void OnChildChanged(Component* child) override;
  EventResult OnMouse(uint32_t message, uint32_t keyFlags, int32_t px, int32_t py) override;
  EventResult OnKey(uint32_t message, uint32_t wParam, int32_t lParam) override;
  void OnNotify(Component* sender, int32_t code) override;

  virtual void NewGame();
  virtual int32_t GetEmptyX();
  virtual int32_t GetEmptyY();
  virtual void SetEmptyCorner(int32_t requestedX, int32_t requestedY);
  virtual int32_t GetBoardWidth();
  virtual int32_t GetBoardHeight();
  virtual void SetBoardSize(int32_t columns, int32_t rows);
  virtual bool IsShowNumbers();
  virtual void SetShowNumbers(bool show);
  virtual int32_t GetSeconds();
  virtual int32_t GetMoves();
  virtual void OnTimerTick();
  virtual bool CheckWin();
  virtual void FlashTile(int32_t index);
  virtual bool ChangePicture(PictureName source);
  virtual void InitPanel(Picture* picture, int32_t columns, int32_t rows, int32_t emptyX, int32_t emptyY,
                         bool showNumbers, Picture* digitPicture, int32_t digitCount, Picture* facePicture);

  // What a panel adds around a picture at least as wide as its top bar: the margins, and
  // the top bar for strips of these frame heights.
  static ImageSize ExtentAround(int32_t digitFrameHeight, int32_t faceFrameHeight);

  // Read-only views for the shell, the tests and the tools.
  Board* GetBoard() const { return board; }
  FaceButton* GetFace() const { return face; }
  DigitCounter* GetMovesCounter() const { return movesCounter; }
  DigitCounter* GetSecondsCounter() const { return secondsCounter; }
  uint32_t GetTimerId() const { return timerId; }

 protected:
  Board* board = nullptr;
  FaceButton* face = nullptr;
  DigitCounter* movesCounter = nullptr;
  DigitCounter* secondsCounter = nullptr;
  uint32_t timerId = 0;

 private:
  void StopClockAndClearCounters();
  // One slide of a run: false when the run ends here (no slide, or the game was won).
  bool Step(int32_t direction);

  GameHost& host_;
};

}  // namespace puzzle
