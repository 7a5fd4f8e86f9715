#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace puzzle {

// The program's menu, accelerators and dialog templates: one table each, from which
// every host builds its own.

// A menu item; command 0 is a separator. A tab separates the text from its shortcut
// hint and '&' marks the mnemonic.
struct MenuItemSpec {
  std::string_view text;
  uint32_t command;
};

struct MenuSpec {
  std::string_view title;
  std::span<const MenuItemSpec> items;
};

// Menu 101: Game, Options, Help.
std::span<const MenuSpec> MainMenu();

// An accelerator: FVIRTKEY entries match a key-down of that virtual key, the others
// match the character message with that code.
struct AcceleratorSpec {
  uint8_t flags;
  uint16_t key;
  uint16_t command;
};

// Accelerators 102.
std::span<const AcceleratorSpec> Accelerators();

enum class ControlKind { Static, Edit, Button };

// A control of a dialog template, its rectangle in dialog units.
struct ControlSpec {
  ControlKind kind;
  int32_t id;  // IDC_STATIC for none
  int32_t x;
  int32_t y;
  int32_t width;
  int32_t height;
  std::string_view text;
  uint32_t style;
};

struct DialogSpec {
  int32_t id;
  std::string_view caption;
  int32_t width;   // dialog units
  int32_t height;  // dialog units
  std::string_view fontFace;
  int32_t fontPoints;
  uint32_t style;
  std::span<const ControlSpec> controls;
};

// Templates 106, 108, 109, 110 and 113; null for any other number.
const DialogSpec* FindDialog(int32_t id);
std::span<const DialogSpec> Dialogs();

// The maker's web address, drawn and opened by the About box.
inline constexpr std::string_view kWebAddress = "http://brindlewick.example";

}  // namespace puzzle
