#pragma once

#include <cstdint>

namespace puzzle {

// What the game asks of the program around it: the window's clock, the beep, the
// record check after a win, and the wall clock that seeds the shuffle.
class GameHost {
 public:
  virtual ~GameHost() = default;
  // A periodic window timer whose ticks come back as WM_TIMER; its identifier, or 0.
  virtual uint32_t SetTimer(uint32_t id, uint32_t milliseconds) = 0;
  virtual void KillTimer(uint32_t id) = 0;
  virtual void MessageBeep(uint32_t type) = 0;
  virtual void CheckForRecord() = 0;
  // Whole seconds since 1970-01-01 00:00 UTC.
  virtual int64_t CurrentTime() = 0;
};

}  // namespace puzzle
