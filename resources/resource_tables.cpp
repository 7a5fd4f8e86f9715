#include "resources/resource_tables.h"

#include "toolkit/platform_codes.h"

namespace puzzle {

namespace {

constexpr MenuItemSpec kSeparator{"", 0};

constexpr MenuItemSpec kGameMenu[] = {
    {"&New\tF2", ID_GAME_NEW},
    kSeparator,
    {"&Best Times", ID_GAME_BEST_TIMES},
    kSeparator,
    {"E&xit\tCtrl + W", ID_GAME_EXIT},
};

constexpr MenuItemSpec kOptionsMenu[] = {
    {"Be&ginner", ID_OPTIONS_BEGINNER},
    {"&Intermediate", ID_OPTIONS_INTERMEDIATE},
    {"&Expert", ID_OPTIONS_EXPERT},
    {"&Custom", ID_OPTIONS_CUSTOM},
    kSeparator,
    {"Empty Space at B&L", ID_OPTIONS_EMPTY_BL},
    {"Empty Space at &BR", ID_OPTIONS_EMPTY_BR},
    {"Empty Space at &TL", ID_OPTIONS_EMPTY_TL},
    {"Empty Space at T&R", ID_OPTIONS_EMPTY_TR},
    kSeparator,
    {"&Show Numbers\tCtrl + S", ID_OPTIONS_SHOW_NUMBERS},
    {"&Find Tile\tCtrl + F", ID_OPTIONS_FIND_TILE},
    kSeparator,
    {"&Default Picture", ID_OPTIONS_DEFAULT_PICTURE},
    {"Custom &Picture", ID_OPTIONS_CUSTOM_PICTURE},
};

constexpr MenuItemSpec kHelpMenu[] = {
    {"Contents\tF1", ID_HELP_CONTENTS},
    {"&Search", ID_HELP_SEARCH},
    {"&Index", ID_HELP_INDEX},
    kSeparator,
    {"&About", ID_HELP_ABOUT},
};

constexpr MenuSpec kMainMenu[] = {
    {"&Game", kGameMenu},
    {"&Options", kOptionsMenu},
    {"&Help", kHelpMenu},
};

constexpr AcceleratorSpec kAccelerators[] = {
    {FVIRTKEY | FNOINVERT, VK_F1, ID_HELP_CONTENTS},
    {FVIRTKEY | FNOINVERT, VK_F2, ID_GAME_NEW},
    {FNOINVERT, 0x06, ID_OPTIONS_FIND_TILE},     // Ctrl+F
    {FNOINVERT, 0x13, ID_OPTIONS_SHOW_NUMBERS},  // Ctrl+S
    {FNOINVERT, 0x17, ID_GAME_EXIT},             // Ctrl+W
};

constexpr uint32_t kChild = WS_CHILD | WS_VISIBLE;
constexpr uint32_t kDialogFrame = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT | DS_CENTER;
constexpr std::string_view kDialogFont = "MS Sans Serif";

constexpr ControlSpec kAboutControls[] = {
    {ControlKind::Button, IDCANCEL, 71, 82, 50, 14, "OK", kChild | WS_TABSTOP | BS_DEFPUSHBUTTON},
    {ControlKind::Static, IDC_STATIC, 19, 15, 42, 8, "Version 1.5.0", kChild | SS_LEFT},
    {ControlKind::Static, IDC_STATIC, 19, 30, 162, 8, "Copyright (C) 2026 brindlewick. All rights reserved.",
     kChild | SS_LEFT},
    {ControlKind::Static, IDC_STATIC, 19, 57, 34, 8, "Visit us at:", kChild | SS_LEFT},
};

constexpr uint32_t kNumberEdit = kChild | WS_BORDER | WS_TABSTOP | ES_NUMBER;

constexpr ControlSpec kCustomControls[] = {
    {ControlKind::Static, IDC_STATIC, 7, 7, 23, 8, "Width:", kChild | SS_LEFT},
    {ControlKind::Edit, IDC_CUSTOM_WIDTH, 35, 7, 21, 12, "", kNumberEdit},
    {ControlKind::Static, IDC_STATIC, 7, 25, 25, 8, "Height:", kChild | SS_LEFT},
    {ControlKind::Edit, IDC_CUSTOM_HEIGHT, 35, 25, 21, 12, "", kNumberEdit},
    {ControlKind::Button, IDOK, 78, 29, 35, 11, "OK", kChild | WS_TABSTOP | BS_DEFPUSHBUTTON},
    {ControlKind::Button, IDCANCEL, 78, 45, 35, 11, "Cancel", kChild | WS_TABSTOP | BS_PUSHBUTTON},
};

constexpr ControlSpec kBestTimesControls[] = {
    {ControlKind::Button, IDC_RESET_SCORE, 115, 50, 50, 14, "Reset Score", kChild | WS_TABSTOP | BS_DEFPUSHBUTTON},
    {ControlKind::Button, IDCANCEL, 170, 50, 50, 14, "OK", kChild | WS_TABSTOP | BS_PUSHBUTTON},
    {ControlKind::Static, IDC_STATIC, 11, 9, 31, 8, "Beginner:", kChild | SS_LEFT},
    {ControlKind::Static, IDC_STATIC, 11, 19, 42, 8, "Intermediate:", kChild | SS_LEFT},
    {ControlKind::Static, IDC_STATIC, 11, 29, 23, 8, "Expert:", kChild | SS_LEFT},
    {ControlKind::Static, IDC_NAME_BEGINNER, 64, 9, 38, 8, "Anonymous", kChild | SS_LEFT},
    {ControlKind::Static, IDC_NAME_INTERMEDIATE, 64, 19, 38, 8, "Anonymous", kChild | SS_LEFT},
    {ControlKind::Static, IDC_NAME_EXPERT, 64, 29, 38, 8, "Anonymous", kChild | SS_LEFT},
    {ControlKind::Static, IDC_TIME_BEGINNER, 116, 9, 17, 8, "9999", kChild | SS_LEFT},
    {ControlKind::Static, IDC_TIME_INTERMEDIATE, 116, 19, 17, 8, "9999", kChild | SS_LEFT},
    {ControlKind::Static, IDC_TIME_EXPERT, 116, 29, 17, 8, "9999", kChild | SS_LEFT},
    {ControlKind::Static, IDC_STATIC, 137, 9, 28, 8, "seconds", kChild | SS_LEFT},
    {ControlKind::Static, IDC_STATIC, 137, 19, 28, 8, "seconds", kChild | SS_LEFT},
    {ControlKind::Static, IDC_STATIC, 137, 29, 28, 8, "seconds", kChild | SS_LEFT},
    {ControlKind::Static, IDC_MOVE_BEGINNER, 180, 9, 17, 8, "9999", kChild | SS_LEFT},
    {ControlKind::Static, IDC_MOVE_INTERMEDIATE, 180, 19, 17, 8, "9999", kChild | SS_LEFT},
    {ControlKind::Static, IDC_MOVE_EXPERT, 180, 29, 17, 8, "9999", kChild | SS_LEFT},
    {ControlKind::Static, IDC_STATIC, 202, 9, 18, 8, "steps", kChild | SS_LEFT},
    {ControlKind::Static, IDC_STATIC, 202, 19, 18, 8, "steps", kChild | SS_LEFT},
    {ControlKind::Static, IDC_STATIC, 202, 29, 18, 8, "steps", kChild | SS_LEFT},
};

constexpr ControlSpec kNewRecordControls[] = {
    {ControlKind::Static, IDC_RECORD_PROMPT, 7, 7, 99, 26,
     "You have the fastest time for\nbeginner level,\nplease enter your name:", kChild | SS_CENTER},
    {ControlKind::Edit, IDC_RECORD_NAME, 24, 46, 65, 12, "", kChild | WS_BORDER | WS_TABSTOP},
    {ControlKind::Button, IDOK, 42, 69, 28, 11, "OK", kChild | WS_TABSTOP | BS_DEFPUSHBUTTON},
};

constexpr ControlSpec kFindTileControls[] = {
    {ControlKind::Edit, IDC_FIND_NUMBER, 62, 14, 20, 14, "", kNumberEdit | ES_AUTOHSCROLL},
    {ControlKind::Button, IDOK, 101, 7, 50, 14, "OK", kChild | WS_TABSTOP | BS_DEFPUSHBUTTON},
    {ControlKind::Button, IDCANCEL, 101, 22, 50, 14, "Cancel", kChild | WS_TABSTOP | BS_PUSHBUTTON},
    {ControlKind::Static, IDC_STATIC, 15, 17, 43, 8, "Tile Number:", kChild | SS_LEFT},
};

constexpr DialogSpec kDialogs[] = {
    {IDD_ABOUT, "About brindlewick Puzzle", 194, 103, kDialogFont, 8, kDialogFrame | WS_SYSMENU, kAboutControls},
    {IDD_CUSTOM_DIMENSIONS, "Custom Dimensions", 120, 63, kDialogFont, 8, kDialogFrame | WS_SYSMENU, kCustomControls},
    {IDD_BEST_TIMES, "Best Times", 227, 71, kDialogFont, 8, kDialogFrame | WS_SYSMENU, kBestTimesControls},
    // No system menu, so no close box: OK is the only way out.
    {IDD_NEW_RECORD, "New Record", 113, 87, kDialogFont, 8, kDialogFrame, kNewRecordControls},
    {IDD_FIND_TILE, "Find Tile", 158, 44, kDialogFont, 8, kDialogFrame | WS_SYSMENU, kFindTileControls},
};

}  // namespace

std::span<const MenuSpec> MainMenu() { return kMainMenu; }

std::span<const AcceleratorSpec> Accelerators() { return kAccelerators; }

std::span<const DialogSpec> Dialogs() { return kDialogs; }

const DialogSpec* FindDialog(int32_t id) {
  for (const DialogSpec& dialog : kDialogs) {
    if (dialog.id == id) return &dialog;
  }
  return nullptr;
}

}  // namespace puzzle
