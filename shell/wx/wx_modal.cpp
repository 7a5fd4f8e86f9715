#include "shell/wx/wx_modal.h"

#include <algorithm>
#include <vector>

#include <wx/dialog.h>
#include <wx/modalhook.h>

namespace puzzle {

namespace {

// Hears every modal dialog that opens and closes, the toolkit's own included.
class ModalStack : public wxModalDialogHook {
 public:
  static ModalStack& Get() {
    static ModalStack* stack = [] {
      auto* hook = new ModalStack;
      hook->Register();
      return hook;
    }();
    return *stack;
  }

  wxWindow* Top() const {
    for (auto it = open_.rbegin(); it != open_.rend(); ++it) {
      if ((*it)->IsShown()) return *it;
    }
    return nullptr;
  }

 protected:
  int Enter(wxDialog* dialog) override {
    open_.push_back(dialog);
    return wxID_NONE;
  }

  void Exit(wxDialog* dialog) override {
    std::erase(open_, dialog);
    // Bottom to top, so that each ends up above the one it was opened over.
    for (wxDialog* still : open_) {
      if (still->IsShown()) still->Raise();
    }
  }

 private:
  std::vector<wxDialog*> open_;
};

}  // namespace

wxWindow* ModalOwner(wxWindow* owner) {
  wxWindow* top = ModalStack::Get().Top();
  return top != nullptr ? top : owner;
}

}  // namespace puzzle
