#pragma once

#include <string>
#include <string_view>

namespace puzzle {

// The patterns a Linux file chooser needs to find what the same filter finds on Windows,
// where file names ignore case and "*.jpg" also finds "photo.jpeg" and "*.tif" "scan.tiff"
// through their short names. Takes and gives patterns separated by ';'; each comes back as a
// glob that ignores case ("*.[bB][mM][pP]"), followed by its long spellings.
std::string ChooserPatterns(std::string_view patterns);

}  // namespace puzzle
