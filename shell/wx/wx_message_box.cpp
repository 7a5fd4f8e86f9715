#include "shell/wx/wx_message_box.h"

#include <algorithm>
#include <vector>

#include <wx/button.h>
#include <wx/dcclient.h>
#include <wx/dialog.h>
#include <wx/display.h>
#include <wx/image.h>
#include <wx/imagiff.h>
#include <wx/mstream.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

#include "shell/wx/wx_modal.h"
#include "shell/wx/wx_resources.h"
#include "toolkit/platform_codes.h"

namespace puzzle {

namespace {

// About sixty characters to a line: long enough for the program's messages, short enough
// to read, and never wider than most of the screen.
constexpr int kReadableCharacters = 60;
constexpr int kMargin = 12;

// The longest start of word that fits maxWidth, at least one character.
size_t FittingPrefix(const wxString& word, int maxWidth, wxWindow& window) {
  wxArrayInt extents;
  wxClientDC dc(&window);
  dc.SetFont(window.GetFont());
  dc.GetPartialTextExtents(word, extents);
  size_t fits = 0;
  while (fits < extents.size() && extents[fits] <= maxWidth) ++fits;
  return std::max<size_t>(fits, 1);
}

// The text with line breaks where no line is wider than maxWidth: at blanks, and inside a
// word only where the word alone is too wide.
wxString WrapText(const wxString& text, int maxWidth, wxWindow& window) {
  const auto width = [&](const wxString& s) { return window.GetTextExtent(s).x; };
  wxString out;
  wxString paragraphs = text;
  bool firstParagraph = true;
  while (true) {
    const wxString paragraph = paragraphs.BeforeFirst('\n');
    if (!firstParagraph) out += '\n';
    firstParagraph = false;
    wxString line;
    wxString rest = paragraph;
    while (!rest.empty()) {
      const wxString word = rest.BeforeFirst(' ');
      rest = rest.Contains(" ") ? rest.AfterFirst(' ') : wxString();
      const wxString candidate = line.empty() ? word : line + ' ' + word;
      if (width(candidate) <= maxWidth) {
        line = candidate;
        continue;
      }
      if (!line.empty()) {
        out += line + '\n';
        line.clear();
      }
      wxString piece = word;
      while (width(piece) > maxWidth) {
        const size_t cut = FittingPrefix(piece, maxWidth, window);
        out += piece.Left(cut) + '\n';
        piece = piece.Mid(cut);
      }
      line = piece;
    }
    out += line;
    if (!paragraphs.Contains("\n")) break;
    paragraphs = paragraphs.AfterFirst('\n');
  }
  return out;
}

wxBitmap WarningSign() {
  if (wxImage::FindHandler(wxBITMAP_TYPE_ICO) == nullptr) wxImage::AddHandler(new wxICOHandler);
  const auto bytes = HostResource(ResourceKind::Icon, IDI_EXCLAMATION);
  wxMemoryInputStream stream(bytes.data(), bytes.size());
  wxImage image;
  if (bytes.empty() || !image.LoadFile(stream, wxBITMAP_TYPE_ICO)) return wxBitmap();
  return wxBitmap(image);
}

class MessageBoxDialog : public wxDialog {
 public:
  MessageBoxDialog(wxWindow* owner, std::string_view text, std::string_view caption, uint32_t flags)
      : wxDialog(owner, wxID_ANY, FromProgramText(caption), wxDefaultPosition, wxDefaultSize,
                 wxCAPTION | (IsYesNo(flags) ? 0 : wxSYSTEM_MENU | wxCLOSE_BOX)),
        yesNo_(IsYesNo(flags)) {
    auto* top = new wxBoxSizer(wxHORIZONTAL);
    if ((flags & MB_ICONMASK) == MB_ICONEXCLAMATION) {
      const wxBitmap sign = WarningSign();
      if (sign.IsOk()) top->Add(new wxStaticBitmap(this, wxID_ANY, sign), 0, wxRIGHT, kMargin);
    }
    const int display = owner != nullptr ? wxDisplay::GetFromWindow(owner) : wxNOT_FOUND;
    const int screenWidth = wxDisplay(display == wxNOT_FOUND ? 0u : static_cast<unsigned>(display)).GetClientArea().width;
    const int readable = std::min(kReadableCharacters * GetCharWidth(), screenWidth * 3 / 4);
    auto* label = new wxStaticText(this, wxID_ANY, WrapText(FromProgramText(text), readable, *this));
    top->Add(label, 1, wxALIGN_CENTER_VERTICAL);

    auto* buttons = new wxStdDialogButtonSizer;
    wxButton* chosen = nullptr;
    if (yesNo_) {
      auto* yes = new wxButton(this, wxID_YES);
      auto* no = new wxButton(this, wxID_NO);
      buttons->AddButton(yes);
      buttons->AddButton(no);
      chosen = (flags & MB_DEFMASK) == MB_DEFBUTTON2 ? no : yes;
    } else {
      chosen = new wxButton(this, wxID_OK);
      buttons->AddButton(chosen);
    }
    buttons->Realize();
    chosen->SetDefault();
    chosen->SetFocus();
    SetEscapeId(yesNo_ ? wxID_NO : wxID_OK);
    SetAffirmativeId(yesNo_ ? wxID_YES : wxID_OK);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent& event) { EndModal(event.GetId()); });

    auto* whole = new wxBoxSizer(wxVERTICAL);
    whole->Add(top, 0, wxALL | wxEXPAND, kMargin);
    whole->Add(buttons, 0, wxLEFT | wxRIGHT | wxBOTTOM | wxEXPAND, kMargin);
    SetSizerAndFit(whole);
    if (owner != nullptr) {
      CentreOnParent();
    } else {
      CentreOnScreen();
    }
  }

  int32_t Run() {
    switch (ShowModal()) {
      case wxID_YES: return IDYES;
      case wxID_NO: return IDNO;
      default: return yesNo_ ? IDNO : IDOK;
    }
  }

 private:
  static bool IsYesNo(uint32_t flags) { return (flags & MB_TYPEMASK) == MB_YESNO; }

  bool yesNo_;
};

}  // namespace

int32_t RunMessageBox(wxWindow* owner, std::string_view text, std::string_view caption, uint32_t flags) {
  MessageBoxDialog box(owner != nullptr ? ModalOwner(owner) : nullptr, text, caption, flags);
  return box.Run();
}

}  // namespace puzzle
