#include "shell/resource_script/resource_script.h"

#include <cstdio>

#include "resources/resource_tables.h"
#include "toolkit/platform_codes.h"

namespace puzzle {

namespace {

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

const char* ControlClass(ControlKind kind) {
  switch (kind) {
    case ControlKind::Static: return "Static";
    case ControlKind::Edit: return "Edit";
    case ControlKind::Button: return "Button";
  }
  return "Static";
}

void WriteMenu(std::string& out) {
  out += std::to_string(IDR_MENU) + " MENU\nBEGIN\n";
  for (const MenuSpec& menu : MainMenu()) {
    out += "  POPUP " + QuoteResourceString(menu.title) + "\n  BEGIN\n";
    for (const MenuItemSpec& item : menu.items) {
      if (item.command == 0) {
        out += "    MENUITEM SEPARATOR\n";
      } else {
        out += "    MENUITEM " + QuoteResourceString(item.text) + ", " + std::to_string(item.command) + "\n";
      }
    }
    out += "  END\n";
  }
  out += "END\n\n";
}

void WriteAccelerators(std::string& out) {
  out += std::to_string(IDR_ACCELERATORS) + " ACCELERATORS\nBEGIN\n";
  for (const AcceleratorSpec& entry : Accelerators()) {
    // Character entries by their code: 6 is the character Ctrl+F makes.
    out += "  " + std::to_string(entry.key) + ", " + std::to_string(entry.command);
    out += (entry.flags & FVIRTKEY) != 0 ? ", VIRTKEY" : ", ASCII";
    if ((entry.flags & FNOINVERT) != 0) out += ", NOINVERT";
    if ((entry.flags & FSHIFT) != 0) out += ", SHIFT";
    if ((entry.flags & FCONTROL) != 0) out += ", CONTROL";
    if ((entry.flags & FALT) != 0) out += ", ALT";
    out += "\n";
  }
  out += "END\n\n";
}

void WriteDialog(std::string& out, const DialogSpec& dialog) {
  out += std::to_string(dialog.id) + " DIALOG 0, 0, " + std::to_string(dialog.width) + ", " +
         std::to_string(dialog.height) + "\n";
  out += "STYLE " + Hex(dialog.style) + "\n";
  out += "CAPTION " + QuoteResourceString(dialog.caption) + "\n";
  out += "FONT " + std::to_string(dialog.fontPoints) + ", " + QuoteResourceString(dialog.fontFace) + "\n";
  out += "BEGIN\n";
  for (const ControlSpec& control : dialog.controls) {
    out += "  CONTROL " + QuoteResourceString(control.text) + ", " + std::to_string(control.id) + ", \"" +
           ControlClass(control.kind) + "\", " + Hex(control.style) + ", " + std::to_string(control.x) + ", " +
           std::to_string(control.y) + ", " + std::to_string(control.width) + ", " +
           std::to_string(control.height) + "\n";
  }
  out += "END\n\n";
}

// "1.5.0" as the version record's four numbers.
std::string VersionNumbers(std::string_view version) {
  std::string numbers;
  int parts = 0;
  for (char c : version) {
    if (c == '.') {
      numbers += ", ";
      ++parts;
    } else {
      numbers += c;
    }
  }
  for (; parts < 3; ++parts) numbers += ", 0";
  return numbers;
}

}  // namespace

std::string QuoteResourceString(std::string_view text) {
  std::string quoted = "\"";
  for (char c : text) {
    switch (c) {
      case '"': quoted += "\"\""; break;
      case '\\': quoted += "\\\\"; break;
      case '\t': quoted += "\\t"; break;
      case '\n': quoted += "\\n"; break;
      default: quoted += c; break;
    }
  }
  return quoted + "\"";
}

std::string WriteResourceScript(const ResourceFiles& files, std::string_view version) {
  std::string out = "// Written from resources/resource_tables.cpp at build time; not edited by hand.\n\n";
  out += "1 24 " + QuoteResourceString(files.manifest) + "\n\n";
  WriteMenu(out);
  WriteAccelerators(out);
  out += std::to_string(IDB_PICTURE) + " BITMAP " + QuoteResourceString(files.picture) + "\n";
  out += std::to_string(IDB_DIGITS) + " BITMAP " + QuoteResourceString(files.digits) + "\n";
  out += std::to_string(IDB_FACES) + " BITMAP " + QuoteResourceString(files.faces) + "\n";
  out += std::to_string(IDC_HAND) + " CURSOR " + QuoteResourceString(files.cursor) + "\n";
  out += std::to_string(IDI_PROGRAM) + " ICON " + QuoteResourceString(files.icon) + "\n\n";
  for (const DialogSpec& dialog : Dialogs()) WriteDialog(out, dialog);

  const std::string numbers = VersionNumbers(version);
  out += "1 VERSIONINFO\nFILEVERSION " + numbers + "\nPRODUCTVERSION " + numbers + "\n";
  out += "FILEOS 0x40004\nFILETYPE 0x1\nBEGIN\n  BLOCK \"StringFileInfo\"\n  BEGIN\n    BLOCK \"040904E4\"\n";
  out += "    BEGIN\n      VALUE \"CompanyName\", \"brindlewick\"\n";
  out += "      VALUE \"FileDescription\", \"brindlewick Puzzle\"\n";
  out += "      VALUE \"FileVersion\", " + QuoteResourceString(version) + "\n";
  out += "      VALUE \"ProductName\", \"brindlewick Puzzle\"\n";
  out += "      VALUE \"ProductVersion\", " + QuoteResourceString(version) + "\n";
  out += "    END\n  END\n  BLOCK \"VarFileInfo\"\n  BEGIN\n    VALUE \"Translation\", 0x409, 1252\n  END\nEND\n";
  return out;
}

}  // namespace puzzle
