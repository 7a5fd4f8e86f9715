#include "shell/wx/wx_help.h"

#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/filesys.h>
#include <wx/fs_zip.h>
#include <wx/html/helpfrm.h>
#include <wx/html/helpwnd.h>
#include <wx/notebook.h>
#include <wx/treectrl.h>
#include <wx/stdpaths.h>

#include "toolkit/platform_codes.h"

namespace puzzle {

namespace {

constexpr const char* kBookName = "brindlewick puzzle help.htb";

// Finds a control of the help window: its notebook, to turn to the search page, or its
// contents tree, to show every topic.
template <typename Control>
Control* FindControl(wxWindow* window) {
  if (window == nullptr) return nullptr;
  if (auto* control = dynamic_cast<Control*>(window)) return control;
  for (wxWindow* child : window->GetChildren()) {
    if (auto* found = FindControl<Control>(child)) return found;
  }
  return nullptr;
}

// Lays the help window out at its own size before it is first shown. Left to itself it lays
// its navigation pages out at the 20 x 20 pixels they are made with, and the index list,
// already holding its entries, gets less height than its scroll bar needs, which GTK
// reports on standard error every time help opens.
class HelpController : public wxHtmlHelpController {
 public:
  using wxHtmlHelpController::wxHtmlHelpController;

 protected:
  wxHtmlHelpFrame* CreateHelpFrame(wxHtmlHelpData* data) override {
    wxHtmlHelpFrame* frame = wxHtmlHelpController::CreateHelpFrame(data);
    frame->Layout();
    if (auto* pages = FindControl<wxNotebook>(frame)) {
      for (size_t i = 0; i < pages->GetPageCount(); ++i) {
        pages->GetPage(i)->SetSize(pages->GetClientSize());
        pages->GetPage(i)->Layout();
      }
    }
    return frame;
  }
};

}  // namespace

std::unique_ptr<HelpBook> HelpBook::Find() {
  const wxFileName program(wxStandardPaths::Get().GetExecutablePath());
  const wxString directory = program.GetPath();
  // Beside the program in the build tree, or where the install puts it.
  const wxString candidates[] = {
      directory + "/" + kBookName,
      directory + "/../share/brindlewick-puzzle/" + kBookName,
  };
  for (const wxString& candidate : candidates) {
    if (wxFileExists(candidate)) return std::make_unique<HelpBook>(wxFileName(candidate).GetAbsolutePath());
  }
  return nullptr;
}

bool HelpBook::Show(wxWindow* owner, uint32_t command) {
  if (!controller_) {
    static bool zipHandler = false;
    if (!zipHandler) {
      wxFileSystem::AddHandler(new wxZipFSHandler);
      zipHandler = true;
    }
    auto controller = std::make_unique<HelpController>(wxHF_DEFAULT_STYLE, owner);
    if (!controller->AddBook(wxFileName(path_), false)) return false;
    // The window is titled with the book's title, as the help viewer titles it elsewhere,
    // not "Help: <page>"; "%.0s" takes the page title wx hands the format and prints none of it.
    const wxHtmlBookRecArray& books = controller->GetHelpData()->GetBookRecArray();
    if (!books.empty()) {
      wxString title = books[0].GetTitle();
      title.Replace("%", "%%");
      controller->SetTitleFormat(title + "%.0s");
    }
    controller_ = std::move(controller);
  }
  switch (command) {
    case HH_DISPLAY_INDEX:
      return controller_->DisplayIndex();
    case HH_DISPLAY_SEARCH: {
      if (!controller_->DisplayContents()) return false;
      wxNotebook* pages = FindControl<wxNotebook>(controller_->GetHelpWindow());
      if (pages == nullptr) return true;
      for (size_t i = 0; i < pages->GetPageCount(); ++i) {
        if (pages->GetPageText(i).Contains("Search")) pages->SetSelection(i);
      }
      return true;
    }
    default: {
      if (!controller_->DisplayContents()) return false;
      if (auto* topics = FindControl<wxTreeCtrl>(controller_->GetHelpWindow())) topics->ExpandAll();
      return true;
    }
  }
}

}  // namespace puzzle
