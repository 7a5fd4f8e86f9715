#pragma once

#include <cstdint>
#include <string_view>

#include "shell/host.h"

namespace puzzle {

class Application;

// An unsigned number from a dialog field as the platform reads one: leading blanks
// skipped; anything that is not a whole number that fits gives 0.
uint32_t DialogUnsigned(std::string_view text);

bool CustomDimensionsProc(Application& app, DialogWindow& dialog, uint32_t message, uint32_t wParam, int32_t lParam);
bool FindTileProc(Application& app, DialogWindow& dialog, uint32_t message, uint32_t wParam, int32_t lParam);
void FindTileTimerProc(Application& app, uint32_t timerId);
bool AboutProc(Application& app, DialogWindow& dialog, uint32_t message, uint32_t wParam, int32_t lParam);

void RunCustomDimensionsDialog(Application& app);
void RunFindTileDialog(Application& app);
void RunAboutDialog(Application& app);

// The About box's link, in its client pixels.
inline constexpr int32_t kLinkLeft = 80;
inline constexpr int32_t kLinkTop = 93;
inline constexpr int32_t kLinkWidth = 123;
inline constexpr int32_t kLinkHeight = 13;

}  // namespace puzzle
