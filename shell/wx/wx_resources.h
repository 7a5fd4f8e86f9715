#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include <wx/cursor.h>
#include <wx/iconbndl.h>
#include <wx/string.h>

#include "resources/embedded.h"

namespace puzzle {

// The program's icon (every size) and its pointing-hand cursor, from the resources
// compiled into the program.
wxIconBundle ProgramIcons();
const wxCursor& HandCursor();

// This host's own artwork compiled into it, where the platform has none to lend: the
// warning sign (IDI_EXCLAMATION) of message boxes.
std::span<const uint8_t> HostResource(ResourceKind kind, int32_t id);

// The program's texts are bytes: UTF-8 on this platform; broken sequences show as U+FFFD.
wxString FromProgramText(std::string_view text);
// At most maxBytes bytes of the text, never cutting a character in two.
std::string ToProgramText(const wxString& text, size_t maxBytes);

}  // namespace puzzle
