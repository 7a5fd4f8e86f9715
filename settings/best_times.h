#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "shell/host.h"

namespace puzzle {

class Application;

// "Beginner", "Intermediate" or "Expert" for 4 x 4, 6 x 6 and 8 x 8; nothing otherwise.
std::optional<std::string_view> LevelWord(int32_t width, int32_t height);

// After a win: shows the finished picture, then asks for a name when it is a record.
void CheckForRecord(Application& app);
// True when the game just finished beats the record of its level.
bool IsNewRecord(Application& app);

// What the New Record dialog keeps from its start until OK.
struct NewRecordState {
  int32_t width = 0;
  int32_t height = 0;
  std::string level;
  std::string nameValue;
  std::string timeValue;
  std::string moveValue;
};

bool NewRecordProc(Application& app, NewRecordState& state, DialogWindow& dialog, uint32_t message, uint32_t wParam,
                   int32_t lParam);
bool BestTimesProc(Application& app, DialogWindow& dialog, uint32_t message, uint32_t wParam, int32_t lParam);

void RunBestTimesDialog(Application& app);

}  // namespace puzzle
