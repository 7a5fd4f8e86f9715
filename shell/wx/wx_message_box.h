#pragma once

#include <cstdint>
#include <string_view>

#include <wx/window.h>

namespace puzzle {

// A message box as the program asks for one: the warning sign for MB_ICONEXCLAMATION, the
// text wrapped at a readable width (a long word too, a path say), and OK or Yes and No with
// the default button the flags choose. Runs modally over owner, or over the topmost dialog
// open above it; a box without an owner is centred on the screen. Answers IDOK, IDYES or
// IDNO; Escape and the close box answer OK, or No where there is no OK.
int32_t RunMessageBox(wxWindow* owner, std::string_view text, std::string_view caption, uint32_t flags);

}  // namespace puzzle
