#pragma once

#include <string>
#include <string_view>

#include <wx/cursor.h>
#include <wx/iconbndl.h>
#include <wx/string.h>

namespace puzzle {

// The program's icon (both sizes) and its pointing-hand cursor, from the resources
// compiled into the program.
wxIconBundle ProgramIcons();
const wxCursor& HandCursor();

// The program's texts are bytes: UTF-8 on this platform; broken sequences show as U+FFFD.
wxString FromProgramText(std::string_view text);
// At most maxBytes bytes of the text, never cutting a character in two.
std::string ToProgramText(const wxString& text, size_t maxBytes);

}  // namespace puzzle
