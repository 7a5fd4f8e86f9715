// The game's built-in artwork, each piece drawn procedurally.
#pragma once

#include "formats.h"
#include "raster.h"

namespace art {

Image DrawPicture();           // 300 x 300 default puzzle picture
Image DrawDigits();            // 143 x 23 strip: 0..9 and minus
Image DrawFaces();             // 130 x 26 strip: five face-button frames
Image DrawIcon(int size);      // program icon, 32 or 16 pixels
CursorImage DrawHandCursor();  // 32 x 32 pointing hand

}  // namespace art
