#pragma once

// The numbers of the Win32 vocabulary that the game speaks internally. Every host
// translates its own events into these; the logic never sees a platform type.

#include <cstdint>

namespace puzzle {

// Window messages.
inline constexpr uint32_t WM_NULL = 0x0000;
inline constexpr uint32_t WM_DESTROY = 0x0002;
inline constexpr uint32_t WM_MOVE = 0x0003;
inline constexpr uint32_t WM_PAINT = 0x000F;
inline constexpr uint32_t WM_CLOSE = 0x0010;
inline constexpr uint32_t WM_QUIT = 0x0012;
inline constexpr uint32_t WM_ERASEBKGND = 0x0014;
// The session ends (wParam TRUE): a browser tab closed, reloaded or put away.
inline constexpr uint32_t WM_ENDSESSION = 0x0016;
inline constexpr uint32_t WM_SETCURSOR = 0x0020;
inline constexpr uint32_t WM_KEYDOWN = 0x0100;
inline constexpr uint32_t WM_KEYUP = 0x0101;
inline constexpr uint32_t WM_CHAR = 0x0102;
inline constexpr uint32_t WM_SYSKEYDOWN = 0x0104;
inline constexpr uint32_t WM_SYSKEYUP = 0x0105;
inline constexpr uint32_t WM_SYSCHAR = 0x0106;
inline constexpr uint32_t WM_INITDIALOG = 0x0110;
inline constexpr uint32_t WM_COMMAND = 0x0111;
inline constexpr uint32_t WM_TIMER = 0x0113;
inline constexpr uint32_t WM_MOUSEFIRST = 0x0200;
inline constexpr uint32_t WM_MOUSEMOVE = 0x0200;
inline constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
inline constexpr uint32_t WM_LBUTTONUP = 0x0202;
inline constexpr uint32_t WM_LBUTTONDBLCLK = 0x0203;
inline constexpr uint32_t WM_RBUTTONDOWN = 0x0204;
inline constexpr uint32_t WM_RBUTTONUP = 0x0205;
inline constexpr uint32_t WM_RBUTTONDBLCLK = 0x0206;
inline constexpr uint32_t WM_MBUTTONDOWN = 0x0207;
inline constexpr uint32_t WM_MBUTTONUP = 0x0208;
inline constexpr uint32_t WM_MBUTTONDBLCLK = 0x0209;
inline constexpr uint32_t WM_MOUSEWHEEL = 0x020A;
inline constexpr uint32_t WM_MOUSELAST = 0x0209;  // the last one the game handles

// Mouse key-state flags carried in wParam.
inline constexpr uint32_t MK_LBUTTON = 0x0001;
inline constexpr uint32_t MK_RBUTTON = 0x0002;
inline constexpr uint32_t MK_SHIFT = 0x0004;
inline constexpr uint32_t MK_CONTROL = 0x0008;
inline constexpr uint32_t MK_MBUTTON = 0x0010;

// Virtual-key codes.
inline constexpr uint32_t VK_BACK = 0x08;
inline constexpr uint32_t VK_TAB = 0x09;
inline constexpr uint32_t VK_RETURN = 0x0D;
inline constexpr uint32_t VK_SHIFT = 0x10;
inline constexpr uint32_t VK_CONTROL = 0x11;
inline constexpr uint32_t VK_MENU = 0x12;
inline constexpr uint32_t VK_ESCAPE = 0x1B;
inline constexpr uint32_t VK_SPACE = 0x20;
inline constexpr uint32_t VK_PRIOR = 0x21;
inline constexpr uint32_t VK_NEXT = 0x22;
inline constexpr uint32_t VK_END = 0x23;
inline constexpr uint32_t VK_HOME = 0x24;
inline constexpr uint32_t VK_LEFT = 0x25;
inline constexpr uint32_t VK_UP = 0x26;
inline constexpr uint32_t VK_RIGHT = 0x27;
inline constexpr uint32_t VK_DOWN = 0x28;
inline constexpr uint32_t VK_INSERT = 0x2D;
inline constexpr uint32_t VK_DELETE = 0x2E;
inline constexpr uint32_t VK_F1 = 0x70;
inline constexpr uint32_t VK_F2 = 0x71;
// 'A'..'Z' and '0'..'9' are their ASCII capitals and digits.

// Message box flags and answers.
inline constexpr uint32_t MB_OK = 0x00000000;
inline constexpr uint32_t MB_YESNO = 0x00000004;
inline constexpr uint32_t MB_ICONEXCLAMATION = 0x00000030;
inline constexpr uint32_t MB_DEFBUTTON2 = 0x00000100;
inline constexpr uint32_t MB_TYPEMASK = 0x0000000F;
inline constexpr uint32_t MB_ICONMASK = 0x000000F0;
inline constexpr uint32_t MB_DEFMASK = 0x00000F00;
inline constexpr int32_t IDOK = 1;
inline constexpr int32_t IDCANCEL = 2;
inline constexpr int32_t IDYES = 6;
inline constexpr int32_t IDNO = 7;

// Menu marks.
inline constexpr uint32_t MF_BYCOMMAND = 0x0000;
inline constexpr uint32_t MF_UNCHECKED = 0x0000;
inline constexpr uint32_t MF_CHECKED = 0x0008;

// Accelerator entry flags.
inline constexpr uint8_t FVIRTKEY = 0x01;
inline constexpr uint8_t FNOINVERT = 0x02;
inline constexpr uint8_t FSHIFT = 0x04;
inline constexpr uint8_t FCONTROL = 0x08;
inline constexpr uint8_t FALT = 0x10;

// Window, dialog and control styles, as the dialog templates carry them.
inline constexpr uint32_t WS_BORDER = 0x00800000;
inline constexpr uint32_t WS_TABSTOP = 0x00010000;
inline constexpr uint32_t WS_VISIBLE = 0x10000000;
inline constexpr uint32_t WS_CHILD = 0x40000000;
inline constexpr uint32_t WS_POPUP = 0x80000000;
inline constexpr uint32_t DS_MODALFRAME = 0x00000080;
inline constexpr uint32_t DS_SETFONT = 0x00000040;
inline constexpr uint32_t DS_CENTER = 0x00000800;
inline constexpr uint32_t SS_LEFT = 0x00000000;
inline constexpr uint32_t SS_CENTER = 0x00000001;
inline constexpr uint32_t ES_AUTOHSCROLL = 0x00000080;
inline constexpr uint32_t ES_NUMBER = 0x00002000;
inline constexpr uint32_t BS_PUSHBUTTON = 0x00000000;
inline constexpr uint32_t BS_DEFPUSHBUTTON = 0x00000001;

// Show commands.
inline constexpr int32_t SW_HIDE = 0;
inline constexpr int32_t SW_SHOWNORMAL = 1;
inline constexpr int32_t SW_SHOWMINIMIZED = 2;
inline constexpr int32_t SW_SHOW = 5;
inline constexpr int32_t SW_SHOWDEFAULT = 10;

// Registry value types.
inline constexpr uint32_t REG_NONE = 0;
inline constexpr uint32_t REG_SZ = 1;
inline constexpr uint32_t REG_BINARY = 3;
inline constexpr uint32_t REG_DWORD = 4;

// Registry status codes.
inline constexpr int32_t ERROR_SUCCESS = 0;
inline constexpr int32_t ERROR_FILE_NOT_FOUND = 2;
inline constexpr int32_t ERROR_ACCESS_DENIED = 5;
inline constexpr int32_t ERROR_INVALID_HANDLE = 6;
inline constexpr int32_t ERROR_INVALID_PARAMETER = 87;
inline constexpr int32_t ERROR_MORE_DATA = 234;

// Window styles of the main window.
inline constexpr uint32_t WS_OVERLAPPED = 0x00000000;
inline constexpr uint32_t WS_CAPTION = 0x00C00000;
inline constexpr uint32_t WS_SYSMENU = 0x00080000;
inline constexpr uint32_t WS_MINIMIZEBOX = 0x00020000;

// Help engine commands.
inline constexpr uint32_t HH_DISPLAY_TOC = 1;
inline constexpr uint32_t HH_DISPLAY_INDEX = 2;
inline constexpr uint32_t HH_DISPLAY_SEARCH = 3;

// Standard cursor.
inline constexpr uint32_t IDC_ARROW = 32512;

// Resource numbers of the program.
inline constexpr int32_t IDR_MENU = 101;
inline constexpr int32_t IDR_ACCELERATORS = 102;
inline constexpr int32_t IDB_PICTURE = 103;
inline constexpr int32_t IDB_DIGITS = 104;
inline constexpr int32_t IDB_FACES = 105;
inline constexpr int32_t IDD_ABOUT = 106;
inline constexpr int32_t IDC_HAND = 107;
inline constexpr int32_t IDD_CUSTOM_DIMENSIONS = 108;
inline constexpr int32_t IDD_BEST_TIMES = 109;
inline constexpr int32_t IDD_NEW_RECORD = 110;
inline constexpr int32_t IDI_PROGRAM = 112;
inline constexpr int32_t IDD_FIND_TILE = 113;
// The system's warning sign, which message boxes with MB_ICONEXCLAMATION show.
inline constexpr int32_t IDI_EXCLAMATION = 32515;

// Menu and accelerator commands.
inline constexpr uint32_t ID_GAME_NEW = 40001;
inline constexpr uint32_t ID_GAME_EXIT = 40002;
inline constexpr uint32_t ID_GAME_BEST_TIMES = 40003;
inline constexpr uint32_t ID_OPTIONS_BEGINNER = 40004;
inline constexpr uint32_t ID_OPTIONS_INTERMEDIATE = 40005;
inline constexpr uint32_t ID_OPTIONS_EXPERT = 40006;
inline constexpr uint32_t ID_OPTIONS_CUSTOM = 40007;
inline constexpr uint32_t ID_OPTIONS_EMPTY_BL = 40008;
inline constexpr uint32_t ID_OPTIONS_EMPTY_BR = 40009;
inline constexpr uint32_t ID_OPTIONS_EMPTY_TL = 40010;
inline constexpr uint32_t ID_OPTIONS_EMPTY_TR = 40011;
inline constexpr uint32_t ID_OPTIONS_SHOW_NUMBERS = 40012;
inline constexpr uint32_t ID_OPTIONS_FIND_TILE = 40013;
inline constexpr uint32_t ID_HELP_CONTENTS = 40014;
inline constexpr uint32_t ID_HELP_SEARCH = 40015;
inline constexpr uint32_t ID_HELP_INDEX = 40016;
inline constexpr uint32_t ID_HELP_ABOUT = 40017;
inline constexpr uint32_t ID_OPTIONS_DEFAULT_PICTURE = 40018;
inline constexpr uint32_t ID_OPTIONS_CUSTOM_PICTURE = 40019;
inline constexpr uint32_t ID_FIRST_COMMAND = 40001;
inline constexpr uint32_t ID_LAST_COMMAND = 40019;

// Dialog controls.
inline constexpr int32_t IDC_STATIC = -1;
inline constexpr int32_t IDC_CUSTOM_WIDTH = 1000;
inline constexpr int32_t IDC_CUSTOM_HEIGHT = 1001;
inline constexpr int32_t IDC_RECORD_NAME = 1003;
inline constexpr int32_t IDC_RECORD_PROMPT = 1005;
inline constexpr int32_t IDC_NAME_BEGINNER = 1006;
inline constexpr int32_t IDC_NAME_INTERMEDIATE = 1007;
inline constexpr int32_t IDC_NAME_EXPERT = 1008;
inline constexpr int32_t IDC_TIME_BEGINNER = 1009;
inline constexpr int32_t IDC_TIME_INTERMEDIATE = 1010;
inline constexpr int32_t IDC_TIME_EXPERT = 1011;
inline constexpr int32_t IDC_MOVE_BEGINNER = 1012;
inline constexpr int32_t IDC_MOVE_INTERMEDIATE = 1013;
inline constexpr int32_t IDC_MOVE_EXPERT = 1014;
inline constexpr int32_t IDC_RESET_SCORE = 1036;
inline constexpr int32_t IDC_FIND_NUMBER = 1037;

// Timers of the main window.
inline constexpr uint32_t GAME_CLOCK_TIMER = 1;
inline constexpr uint32_t FIND_TILE_TIMER = 2;

// Helpers for packed message parameters.
constexpr uint32_t LoWord(uint32_t v) { return v & 0xFFFFu; }
constexpr uint32_t HiWord(uint32_t v) { return (v >> 16) & 0xFFFFu; }
constexpr int32_t MakeLParam(uint32_t lo, uint32_t hi) {
  return static_cast<int32_t>((lo & 0xFFFFu) | ((hi & 0xFFFFu) << 16));
}

}  // namespace puzzle
