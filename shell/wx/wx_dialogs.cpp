#include "shell/wx/wx_dialogs.h"

#include <map>
#include <string>

#include <wx/button.h>
#include <wx/dcclient.h>
#include <wx/dialog.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/valtext.h>

#include "shell/wx/wx_modal.h"
#include "shell/wx/wx_resources.h"
#include "shell/text/utf8.h"
#include "toolkit/platform_codes.h"

namespace puzzle {

namespace {

constexpr int kFirstControlId = 20000;

// A template's edit field. The theme's entries are padded for touch-sized fields; the
// templates' are 12 to 14 units high and 20 wide, so the padding goes down to what leaves
// their whole content in view, as a classic edit control shows it.
class TemplateField : public wxTextCtrl {
 public:
  TemplateField(wxWindow* parent, int id, const wxString& text, const wxPoint& at, const wxSize& size)
      : wxTextCtrl(parent, id, text, at, size, wxBORDER_SIMPLE) {
#ifdef __WXGTK3__
    GTKApplyCssStyle("entry { min-height: 0; padding: 0 2px; border-radius: 0; }");
#endif
  }
};

class TemplateDialog : public wxDialog, public DialogWindow {
 public:
  TemplateDialog(wxWindow* owner, const DialogSpec& spec, DialogProcedure procedure)
      : wxDialog(owner, wxID_ANY, FromProgramText(spec.caption), wxDefaultPosition, wxDefaultSize,
                 wxCAPTION | ((spec.style & WS_SYSMENU) != 0 ? wxSYSTEM_MENU | wxCLOSE_BOX : 0)),
        spec_(spec),
        procedure_(std::move(procedure)) {
    // The templates' 8-point sans serif: Liberation Sans at 8 points has the 6 x 13 pixel
    // base units the templates were laid out with, so every control stands where its
    // template puts it, the About box's link beside its label included.
    SetFont(wxFont(wxFontInfo(spec.fontPoints).Family(wxFONTFAMILY_SWISS).FaceName("Liberation Sans")));
    SetClientSize(ConvertDialogToPixels(wxSize(spec.width, spec.height)));
    for (const ControlSpec& control : spec.controls) AddControl(control);
    AlignLabelsWithFields();
    Bind(wxEVT_BUTTON, &TemplateDialog::OnButton, this);
    Bind(wxEVT_CHAR_HOOK, &TemplateDialog::OnCharHook, this);
    Bind(wxEVT_CLOSE_WINDOW, &TemplateDialog::OnClose, this);
    Bind(wxEVT_PAINT, &TemplateDialog::OnPaint, this);
    Bind(wxEVT_MOTION, &TemplateDialog::OnMouse, this);
    Bind(wxEVT_LEFT_DOWN, &TemplateDialog::OnMouse, this);
    CentreOnParent();
  }

  intptr_t Run() {
    Send(WM_INITDIALOG, 0, 0);
    if (ended_) return result_;
    FocusFirstField();
    ShowModal();
    return result_;
  }

  // DialogWindow.
  void SetItemText(int32_t id, std::string_view text) override {
    wxWindow* control = FindWindow(kFirstControlId + id);
    if (auto* edit = dynamic_cast<wxTextCtrl*>(control)) {
      edit->ChangeValue(FromProgramText(text));
      if (auto limit = limits_.find(id); limit != limits_.end()) limit->second.before = std::string(text);
    } else if (control != nullptr) {
      control->SetLabel(FromProgramText(text));
    }
  }
  void LimitText(int32_t id, size_t maxBytes) override {
    auto* edit = dynamic_cast<wxTextCtrl*>(FindWindow(kFirstControlId + id));
    if (edit == nullptr) return;
    limits_[id] = Limit{maxBytes, ToProgramText(edit->GetValue(), std::string::npos)};
    // Counted in the program's UTF-8 bytes, not in characters: a change is cut to what fits.
    edit->Bind(wxEVT_TEXT, [this, edit, id](wxCommandEvent& event) {
      Limit& limit = limits_[id];
      const std::string after = ToProgramText(edit->GetValue(), std::string::npos);
      event.Skip();
      if (after.size() <= limit.maxBytes) {
        limit.before = after;
        return;
      }
      const utf8::Edit fitted = utf8::FitEdit(limit.before, after, limit.maxBytes);
      edit->ChangeValue(FromProgramText(fitted.text));
      edit->SetInsertionPoint(static_cast<long>(FromProgramText(fitted.text.substr(0, fitted.caret)).length()));
      limit.before = fitted.text;
    });
  }
  std::string GetItemText(int32_t id, size_t maxChars) override {
    wxWindow* control = FindWindow(kFirstControlId + id);
    if (auto* edit = dynamic_cast<wxTextCtrl*>(control)) return ToProgramText(edit->GetValue(), maxChars);
    return control != nullptr ? ToProgramText(control->GetLabel(), maxChars) : std::string();
  }
  void EndDialog(intptr_t result) override {
    ended_ = true;
    result_ = result;
    // Off the screen at once, as the platform's EndDialog does, even when the procedure goes
    // on to open another dialog; the loop itself ends once the procedure returns. The
    // frame's own Show, since wxDialog's would end the modal loop here.
    if (IsModal()) wxTopLevelWindow::Show(false);
  }
  void SetCursor(CursorShape shape) override {
    wxDialog::SetCursor(shape == CursorShape::Hand ? HandCursor() : wxCursor(wxCURSOR_ARROW));
  }
  void DrawText(int32_t x, int32_t y, std::string_view text, const FontSpec& font, uint32_t rgb) override {
    if (paintDc_ == nullptr) return;
    // The dialog's own face and size: an 8-pixel cell is too small to read with the
    // faces this platform has.
    wxFont face = GetFont();
    face.SetUnderlined(font.underline);
    if (font.weight >= 700) face.SetWeight(wxFONTWEIGHT_BOLD);
    paintDc_->SetFont(face);
    paintDc_->SetTextForeground(wxColour(static_cast<unsigned char>(rgb >> 16), static_cast<unsigned char>(rgb >> 8),
                                         static_cast<unsigned char>(rgb)));
    paintDc_->SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    paintDc_->DrawText(FromProgramText(text), x, y);
  }

 private:
  void AddControl(const ControlSpec& control) {
    const int id = control.id == IDC_STATIC ? wxID_ANY : kFirstControlId + control.id;
    const wxPoint at = ConvertDialogToPixels(wxPoint(control.x, control.y));
    const wxSize size = ConvertDialogToPixels(wxSize(control.width, control.height));
    const wxString text = FromProgramText(control.text);
    switch (control.kind) {
      case ControlKind::Static: {
        const long align = (control.style & SS_CENTER) != 0 ? wxALIGN_CENTRE_HORIZONTAL : wxALIGN_LEFT;
        new wxStaticText(this, id, text, at, size, align | wxST_NO_AUTORESIZE);
        break;
      }
      case ControlKind::Edit: {
        auto* edit = new TemplateField(this, id, text, at, size);
        if ((control.style & ES_NUMBER) != 0) edit->SetValidator(wxTextValidator(wxFILTER_DIGITS));
        // Without horizontal scrolling typing stops when the field is full.
        if ((control.style & ES_AUTOHSCROLL) == 0) edit->SetMaxLength(std::max(1, (size.x - 4) / GetCharWidth()));
        if (first_ == nullptr) first_ = edit;
        break;
      }
      case ControlKind::Button: {
        auto* button = new wxButton(this, id, text, at, size);
        if ((control.style & BS_DEFPUSHBUTTON) != 0) {
          button->SetDefault();
          defaultButton_ = control.id;
        }
        break;
      }
    }
  }

  // A label left of a field on its row stands on the field's line of text, which the field
  // centres in its height, rather than at the field's top.
  void AlignLabelsWithFields() {
    for (wxWindow* child : GetChildren()) {
      auto* label = dynamic_cast<wxStaticText*>(child);
      if (label == nullptr) continue;
      const wxRect l = label->GetRect();
      for (wxWindow* other : GetChildren()) {
        auto* field = dynamic_cast<wxTextCtrl*>(other);
        if (field == nullptr) continue;
        const wxRect f = field->GetRect();
        if (l.GetRight() >= f.GetLeft() || l.GetBottom() < f.GetTop() || l.GetTop() > f.GetBottom()) continue;
        label->Move(l.x, f.y + (f.height - GetCharHeight()) / 2);
        break;
      }
    }
  }

  void FocusFirstField() {
    if (first_ == nullptr) return;
    first_->SetFocus();
    first_->SelectAll();
  }

  void Send(uint32_t message, uint32_t wParam, int32_t lParam) {
    ++sending_;
    procedure_(*this, message, wParam, lParam);
    --sending_;
    // The loop ends once the procedure that ended it has returned. A message that comes
    // meanwhile (a paint while the procedure runs another dialog) must not end it from
    // inside that other dialog's loop: wx would hide this dialog and leave its loop running.
    if (ended_ && sending_ == 0 && IsModal()) EndModal(0);
  }

  void OnButton(wxCommandEvent& event) {
    if (event.GetId() >= kFirstControlId) Send(WM_COMMAND, static_cast<uint32_t>(event.GetId() - kFirstControlId), 0);
  }

  void OnCharHook(wxKeyEvent& event) {
    const int key = event.GetKeyCode();
    if (key == WXK_ESCAPE) {
      Send(WM_COMMAND, IDCANCEL, 0);
    } else if ((key == WXK_RETURN || key == WXK_NUMPAD_ENTER) && dynamic_cast<wxButton*>(FindFocus()) == nullptr &&
               defaultButton_ != 0) {
      Send(WM_COMMAND, static_cast<uint32_t>(defaultButton_), 0);
    } else {
      event.Skip();
    }
  }

  void OnClose(wxCloseEvent& event) {
    if ((spec_.style & WS_SYSMENU) != 0) Send(WM_COMMAND, IDCANCEL, 0);
    if (!ended_ && event.CanVeto()) event.Veto();
  }

  void OnPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    paintDc_ = &dc;
    Send(WM_PAINT, 0, 0);
    paintDc_ = nullptr;
  }

  void OnMouse(wxMouseEvent& event) {
    event.Skip();
    const wxPoint at = event.GetPosition();
    const uint32_t message = event.GetEventType() == wxEVT_MOTION ? WM_MOUSEMOVE : WM_LBUTTONDOWN;
    Send(message, event.LeftIsDown() ? MK_LBUTTON : 0u,
         MakeLParam(static_cast<uint32_t>(at.x), static_cast<uint32_t>(at.y)));
  }

  // A field's byte limit, and its text before the change being made.
  struct Limit {
    size_t maxBytes = 0;
    std::string before;
  };

  const DialogSpec& spec_;
  DialogProcedure procedure_;
  std::map<int32_t, Limit> limits_;
  wxTextCtrl* first_ = nullptr;
  int32_t defaultButton_ = 0;
  wxDC* paintDc_ = nullptr;
  int sending_ = 0;
  bool ended_ = false;
  intptr_t result_ = 0;
};

}  // namespace

intptr_t RunTemplateDialog(wxWindow* owner, const DialogSpec& spec, DialogProcedure procedure) {
  auto* dialog = new TemplateDialog(ModalOwner(owner), spec, std::move(procedure));
  const intptr_t result = dialog->Run();
  dialog->Destroy();
  return result;
}

}  // namespace puzzle
