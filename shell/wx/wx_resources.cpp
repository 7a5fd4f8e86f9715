#include "shell/wx/wx_resources.h"

#include <wx/image.h>
#include <wx/imagiff.h>
#include <wx/mstream.h>

#include "resources/embedded.h"
#include "shell/text/utf8.h"
#include "toolkit/platform_codes.h"

namespace puzzle {

namespace {

void EnsureIconHandlers() {
  if (wxImage::FindHandler(wxBITMAP_TYPE_ICO) == nullptr) wxImage::AddHandler(new wxICOHandler);
  if (wxImage::FindHandler(wxBITMAP_TYPE_CUR) == nullptr) wxImage::AddHandler(new wxCURHandler);
}

}  // namespace

wxIconBundle ProgramIcons() {
  EnsureIconHandlers();
  const auto bytes = EmbeddedResource(ResourceKind::Icon, IDI_PROGRAM);
  if (bytes.empty()) return wxIconBundle();
  wxMemoryInputStream stream(bytes.data(), bytes.size());
  return wxIconBundle(stream, wxBITMAP_TYPE_ICO);
}

const wxCursor& HandCursor() {
  static const wxCursor hand = [] {
    EnsureIconHandlers();
    const auto bytes = EmbeddedResource(ResourceKind::Cursor, IDC_HAND);
    wxMemoryInputStream stream(bytes.data(), bytes.size());
    wxImage image;
    // The hot spot comes with the cursor file; the hand if it can't be read.
    if (bytes.empty() || !image.LoadFile(stream, wxBITMAP_TYPE_CUR)) return wxCursor(wxCURSOR_HAND);
    return wxCursor(image);
  }();
  return hand;
}

wxString FromProgramText(std::string_view text) {
  // Bytes that are no UTF-8 (a hand-edited settings file) show as replacement characters.
  const std::string valid = utf8::ReplaceBroken(text);
  return wxString::FromUTF8(valid.data(), valid.size());
}

std::string ToProgramText(const wxString& text, size_t maxBytes) {
  std::string bytes = text.utf8_string();
  bytes.resize(utf8::Fit(bytes, maxBytes));
  return bytes;
}

}  // namespace puzzle
