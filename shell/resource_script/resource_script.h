#pragma once

#include <string>
#include <string_view>

namespace puzzle {

// Where the files a resource script names are found, written as the resource compiler
// reads paths (forward slashes are fine).
struct ResourceFiles {
  std::string picture;   // bitmap 103
  std::string digits;    // bitmap 104
  std::string faces;     // bitmap 105
  std::string cursor;    // cursor 107
  std::string icon;      // icon 112
  std::string manifest;  // the application manifest, resource 1
};

// The program's resource script (.rc): menu 101, accelerators 102 and the dialog
// templates written from the resource tables, the bitmaps, icon, cursor and manifest
// from their files, and the version record.
std::string WriteResourceScript(const ResourceFiles& files, std::string_view version);

// A string in the resource compiler's quoting: doubled quotes, escaped backslashes, tabs
// and line breaks.
std::string QuoteResourceString(std::string_view text);

}  // namespace puzzle
