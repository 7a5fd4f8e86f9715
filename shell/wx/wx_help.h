#pragma once

#include <cstdint>
#include <memory>

#include <wx/html/helpctrl.h>

namespace puzzle {

// The game's help book, shown with wx's help viewer: what the help engine is here.
class HelpBook {
 public:
  // Null when no help book is installed beside the program.
  static std::unique_ptr<HelpBook> Find();
  explicit HelpBook(const wxString& path) : path_(path) {}
  // Opens the contents (1), the index (2) or the search (3); false when the book won't load.
  bool Show(wxWindow* owner, uint32_t command);

 private:
  wxString path_;
  std::unique_ptr<wxHtmlHelpController> controller_;
};

}  // namespace puzzle
