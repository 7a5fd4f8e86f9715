#include "settings/small_dialogs.h"

#include <string>

#include "resources/resource_tables.h"
#include "shell/application.h"
#include "toolkit/platform_codes.h"

namespace puzzle {

namespace {

constexpr uint32_t kFlashPeriod = 100;
constexpr int32_t kFlashTicks = 2;
constexpr uint32_t kLinkBlue = 0x0000FF;

bool IsCommand(uint32_t message, uint32_t wParam, int32_t id) {
  return message == WM_COMMAND && LoWord(wParam) == static_cast<uint32_t>(id);
}

void SetItemNumber(DialogWindow& dialog, int32_t id, uint32_t value) { dialog.SetItemText(id, std::to_string(value)); }

uint32_t GetItemNumber(DialogWindow& dialog, int32_t id) { return DialogUnsigned(dialog.GetItemText(id, 32)); }

template <typename Procedure>
void Run(Application& app, int32_t templateId, Procedure procedure) {
  app.host.DialogBox(templateId, [&app, procedure](DialogWindow& dialog, uint32_t message, uint32_t wParam,
                                                   int32_t lParam) {
    return procedure(app, dialog, message, wParam, lParam);
  });
}

}  // namespace

uint32_t DialogUnsigned(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  if (i == text.size()) return 0;
  uint64_t value = 0;
  size_t digits = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
    value = value * 10 + static_cast<uint64_t>(text[i] - '0');
    if (value > UINT32_MAX) return 0;
  }
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  if (digits == 0 || i != text.size()) return 0;
  return static_cast<uint32_t>(value);
}

bool CustomDimensionsProc(Application& app, DialogWindow& dialog, uint32_t message, uint32_t wParam, int32_t) {
  if (message == WM_INITDIALOG) {
    SetItemNumber(dialog, IDC_CUSTOM_WIDTH, static_cast<uint32_t>(app.gamePanel->GetBoardWidth()));
    SetItemNumber(dialog, IDC_CUSTOM_HEIGHT, static_cast<uint32_t>(app.gamePanel->GetBoardHeight()));
    return true;
  }
  if (IsCommand(message, wParam, IDOK)) {
    const uint32_t width = GetItemNumber(dialog, IDC_CUSTOM_WIDTH);
    const uint32_t height = GetItemNumber(dialog, IDC_CUSTOM_HEIGHT);
    // Not validated here: the board brings any size into range.
    app.gamePanel->SetBoardSize(static_cast<int32_t>(width), static_cast<int32_t>(height));
    app.RenderPanel();
    app.host.CheckMenuRadioItem(ID_OPTIONS_BEGINNER, ID_OPTIONS_CUSTOM, ID_OPTIONS_CUSTOM);
    app.MarkCornerInUse();
    dialog.EndDialog(0);
    return true;
  }
  if (IsCommand(message, wParam, IDCANCEL)) {
    dialog.EndDialog(0);
    return true;
  }
  return false;
}

bool FindTileProc(Application& app, DialogWindow& dialog, uint32_t message, uint32_t wParam, int32_t) {
  if (message == WM_INITDIALOG) {
    const int32_t tiles = app.gamePanel->GetBoardHeight() * app.gamePanel->GetBoardWidth();
    if (app.lastFindNumber >= tiles) app.lastFindNumber = 0;
    SetItemNumber(dialog, IDC_FIND_NUMBER, static_cast<uint32_t>(app.lastFindNumber) + 1u);
    return true;
  }
  if (IsCommand(message, wParam, IDOK)) {
    app.lastFindNumber = static_cast<int32_t>(GetItemNumber(dialog, IDC_FIND_NUMBER));
    app.host.SetTimer(FIND_TILE_TIMER, kFlashPeriod, [&app](uint32_t id) { FindTileTimerProc(app, id); });
    dialog.EndDialog(0);
    return true;
  }
  if (IsCommand(message, wParam, IDCANCEL)) {
    dialog.EndDialog(0);
    return true;
  }
  return false;
}

void FindTileTimerProc(Application& app, uint32_t timerId) {
  if (!app.gamePanel) return;
  // Wraps like the platform's arithmetic: any number out of range flashes nothing.
  app.gamePanel->FlashTile(static_cast<int32_t>(static_cast<uint32_t>(app.lastFindNumber) - 1u));
  app.RenderPanel();
  if (++app.flashTickCount == kFlashTicks) {
    app.flashTickCount = 0;
    app.host.KillTimer(timerId);
  }
}

bool AboutProc(Application& app, DialogWindow& dialog, uint32_t message, uint32_t wParam, int32_t lParam) {
  const auto position = static_cast<uint32_t>(lParam);
  const auto px = static_cast<int32_t>(LoWord(position));
  const auto py = static_cast<int32_t>(HiWord(position));
  const bool onLink = px >= kLinkLeft && px < kLinkLeft + kLinkWidth && py >= kLinkTop && py < kLinkTop + kLinkHeight;
  switch (message) {
    case WM_INITDIALOG:
      return true;
    case WM_PAINT: {
      FontSpec font;
      font.height = 8;
      font.underline = true;
      font.face = "MS Sans Serif";
      dialog.DrawText(kLinkLeft, kLinkTop, kWebAddress, font, kLinkBlue);
      return false;  // the dialog's own painting still runs
    }
    case WM_MOUSEMOVE:
      dialog.SetCursor(onLink ? CursorShape::Hand : CursorShape::Arrow);
      return true;
    case WM_LBUTTONDOWN:
      if (onLink) app.host.OpenWebAddress(kWebAddress);
      return true;
    case WM_COMMAND:
      if (LoWord(wParam) != static_cast<uint32_t>(IDCANCEL)) return false;
      dialog.EndDialog(0);
      return true;
    default:
      return false;
  }
}

void RunCustomDimensionsDialog(Application& app) { Run(app, IDD_CUSTOM_DIMENSIONS, CustomDimensionsProc); }
void RunFindTileDialog(Application& app) { Run(app, IDD_FIND_TILE, FindTileProc); }
void RunAboutDialog(Application& app) { Run(app, IDD_ABOUT, AboutProc); }

}  // namespace puzzle
