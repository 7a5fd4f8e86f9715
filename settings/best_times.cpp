#include "settings/best_times.h"

#include <array>
#include <cstring>

#include "settings/settings_store.h"
#include "shell/application.h"
#include "toolkit/platform_codes.h"

namespace puzzle {

namespace {

constexpr uint32_t kNoRecord = 9999;
constexpr std::string_view kAnonymous = "Anonymous";
// Names hold 14 bytes and their terminator.
constexpr uint32_t kNameBuffer = 15;
constexpr size_t kNameChars = kNameBuffer - 1;

struct LevelValues {
  std::string_view name;
  std::string_view time;
  std::string_view move;
  int32_t nameControl;
  int32_t timeControl;
  int32_t moveControl;
};

constexpr LevelValues kLevels[] = {
    {"nameBeginner", "timeBeginner", "moveBeginner", IDC_NAME_BEGINNER, IDC_TIME_BEGINNER, IDC_MOVE_BEGINNER},
    {"nameIntermediate", "timeIntermediate", "moveIntermediate", IDC_NAME_INTERMEDIATE, IDC_TIME_INTERMEDIATE,
     IDC_MOVE_INTERMEDIATE},
    {"nameExpert", "timeExpert", "moveExpert", IDC_NAME_EXPERT, IDC_TIME_EXPERT, IDC_MOVE_EXPERT},
};

// The record holder's name, or "Anonymous", which is then stored.
std::string ReadOrCreateName(Host& host, RegistryKey* key, std::string_view name) {
  std::array<char, kNameBuffer> buffer{};
  std::memcpy(buffer.data(), kAnonymous.data(), kAnonymous.size());
  if (key != nullptr) ReadOrCreateText(host, *key, name, buffer.data(), kNameBuffer);
  return std::string(buffer.data());
}

void SetItemNumber(DialogWindow& dialog, int32_t id, uint32_t value) { dialog.SetItemText(id, std::to_string(value)); }

}  // namespace

std::optional<std::string_view> LevelWord(int32_t width, int32_t height) {
  if (width == 4 && height == 4) return "Beginner";
  if (width == 6 && height == 6) return "Intermediate";
  if (width == 8 && height == 8) return "Expert";
  return std::nullopt;
}

void CheckForRecord(Application& app) {
  // The finished picture is on screen before any dialog opens.
  app.RenderPanel();
  if (!IsNewRecord(app)) return;
  NewRecordState state;
  app.host.DialogBox(IDD_NEW_RECORD, [&app, &state](DialogWindow& dialog, uint32_t message, uint32_t wParam,
                                                    int32_t lParam) {
    return NewRecordProc(app, state, dialog, message, wParam, lParam);
  });
}

bool IsNewRecord(Application& app) {
  const int32_t width = app.gamePanel->GetBoardWidth();
  const int32_t height = app.gamePanel->GetBoardHeight();
  auto key = OpenSettingsKey(app.host);
  const auto level = LevelWord(width, height);
  if (!level) return false;
  uint32_t storedTime = kNoRecord;
  uint32_t storedMoves = kNoRecord;
  ReadOrCreateNumber(key.get(), std::string("time").append(*level), kNoRecord, storedTime);
  ReadOrCreateNumber(key.get(), std::string("move").append(*level), kNoRecord, storedMoves);
  const auto seconds = static_cast<uint32_t>(app.gamePanel->GetSeconds());
  const auto moves = static_cast<uint32_t>(app.gamePanel->GetMoves());
  if (storedTime != seconds) return storedTime > seconds;
  return moves < storedMoves;
}

namespace {

// The record of the game just won, under the name in the field.
void StoreRecord(Application& app, const NewRecordState& state, DialogWindow& dialog) {
  std::string name = dialog.GetItemText(IDC_RECORD_NAME, kNameChars);
  name.resize(std::min(name.find('\0'), name.size()));
  // Never half a character, whatever the field gave.
  name.resize(app.host.FitText(name, kNameChars));
  const auto seconds = static_cast<uint32_t>(app.gamePanel->GetSeconds());
  const auto moves = static_cast<uint32_t>(app.gamePanel->GetMoves());
  if (auto key = OpenSettingsKey(app.host)) {
    StoreString(*key, state.nameValue, name);
    StoreNumber(*key, state.timeValue, seconds);
    StoreNumber(*key, state.moveValue, moves);
  }
}

}  // namespace

bool NewRecordProc(Application& app, NewRecordState& state, DialogWindow& dialog, uint32_t message, uint32_t wParam,
                   int32_t) {
  if (message == WM_INITDIALOG) {
    state.width = app.gamePanel->GetBoardWidth();
    state.height = app.gamePanel->GetBoardHeight();
    state.level = std::string(LevelWord(state.width, state.height).value_or("Beginner"));
    state.nameValue = "name" + state.level;
    state.timeValue = "time" + state.level;
    state.moveValue = "move" + state.level;
    dialog.SetItemText(IDC_RECORD_PROMPT, "You have the fastest time for\n" + state.level +
                                              " level,\nplease enter your name:");
    auto key = OpenSettingsKey(app.host);
    // The field takes no more than is kept, so that what the player sees is what is stored.
    dialog.LimitText(IDC_RECORD_NAME, kNameChars);
    dialog.SetItemText(IDC_RECORD_NAME, ReadOrCreateName(app.host, key.get(), state.nameValue));
    return true;
  }
  if (message == WM_COMMAND && LoWord(wParam) == static_cast<uint32_t>(IDOK)) {
    StoreRecord(app, state, dialog);
    dialog.EndDialog(0);
    RunBestTimesDialog(app);
    return true;
  }
  // The session ends while the name is asked for (a browser tab closed or put away): the
  // record is kept with the name typed so far; the dialog stays for a player who comes back.
  if (message == WM_ENDSESSION && wParam != 0) {
    StoreRecord(app, state, dialog);
    return true;
  }
  // Escape does nothing: OK is the only way out, and a beaten record is always replaced.
  return false;
}

bool BestTimesProc(Application& app, DialogWindow& dialog, uint32_t message, uint32_t wParam, int32_t) {
  if (message == WM_INITDIALOG) {
    auto key = OpenSettingsKey(app.host);
    for (const LevelValues& level : kLevels) {
      dialog.SetItemText(level.nameControl, ReadOrCreateName(app.host, key.get(), level.name));
    }
    for (const LevelValues& level : kLevels) {
      uint32_t time = kNoRecord;
      ReadOrCreateNumber(key.get(), level.time, kNoRecord, time);
      SetItemNumber(dialog, level.timeControl, time);
    }
    for (const LevelValues& level : kLevels) {
      uint32_t moves = kNoRecord;
      ReadOrCreateNumber(key.get(), level.move, kNoRecord, moves);
      SetItemNumber(dialog, level.moveControl, moves);
    }
    return true;
  }
  if (message != WM_COMMAND) return false;
  const uint32_t command = LoWord(wParam);
  if (command == static_cast<uint32_t>(IDC_RESET_SCORE)) {
    const int32_t answer = app.ShowMessage("Are you sure you want to reset the scores?", "Reset Score",
                                           MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2);
    if (answer != IDYES) return true;
    auto key = OpenSettingsKey(app.host);
    for (const LevelValues& level : kLevels) {
      if (key) StoreString(*key, level.name, kAnonymous);
      dialog.SetItemText(level.nameControl, kAnonymous);
    }
    for (const LevelValues& level : kLevels) {
      if (key) StoreNumber(*key, level.time, kNoRecord);
      SetItemNumber(dialog, level.timeControl, kNoRecord);
    }
    for (const LevelValues& level : kLevels) {
      if (key) StoreNumber(*key, level.move, kNoRecord);
      SetItemNumber(dialog, level.moveControl, kNoRecord);
    }
    return true;
  }
  if (command == static_cast<uint32_t>(IDCANCEL)) {
    dialog.EndDialog(0);
    return true;
  }
  return false;
}

void RunBestTimesDialog(Application& app) {
  app.host.DialogBox(IDD_BEST_TIMES, [&app](DialogWindow& dialog, uint32_t message, uint32_t wParam, int32_t lParam) {
    return BestTimesProc(app, dialog, message, wParam, lParam);
  });
}

}  // namespace puzzle
