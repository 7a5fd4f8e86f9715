// The game's built-in artwork, each piece drawn procedurally.
#pragma once

#include <filesystem>
#include <vector>

#include "formats.h"
#include "raster.h"

namespace art {

Image DrawPicture();           // 300 x 300 default puzzle picture
Image DrawDigits();            // 143 x 23 strip: 0..9 and minus
Image DrawFaces();             // 130 x 26 strip: five face-button frames
Image DrawIcon(int size);      // program icon, one of IconSizes() or WebIconSizes()
Image DrawMaskableIcon();      // 512 x 512, full-bleed, for a launcher's mask
CursorImage DrawHandCursor();  // 32 x 32 pointing hand
Image DrawExclamation(int size);  // the warning sign of message boxes

// The sizes the program icon is drawn for, each with a layout of its own.
std::vector<int> IconSizes();
// The sizes the web page's manifest adds, 192 and 512.
std::vector<int> WebIconSizes();
// The program icon as SVG, for every size between and beyond.
void WriteIconSvg(const std::filesystem::path& file);

}  // namespace art
