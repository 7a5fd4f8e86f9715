#include "shell/wx/wx_host.h"

#include <algorithm>
#include <ctime>

#include <cairo.h>
#include <wx/dcclient.h>
#include <wx/display.h>
#include <wx/filedlg.h>
#include <wx/log.h>
#include <wx/utils.h>

#include "resources/resource_tables.h"
#include "shell/linux/file_patterns.h"
#include "shell/linux/settings_file.h"
#include "shell/pictures/fit.h"
#include "shell/wx/wx_dialogs.h"
#include "shell/wx/wx_help.h"
#include "shell/wx/wx_message_box.h"
#include "shell/wx/wx_modal.h"
#include "shell/wx/wx_resources.h"
#include "toolkit/platform_codes.h"

namespace puzzle {

namespace {

// wx wants its own item numbers, below 0x7FFF.
constexpr int kFirstMenuItem = wxID_HIGHEST + 1;
int MenuItemFor(uint32_t command) { return kFirstMenuItem + static_cast<int>(command - ID_FIRST_COMMAND); }

wxColour Rgb(uint32_t rgb) {
  return wxColour(static_cast<unsigned char>(rgb >> 16), static_cast<unsigned char>(rgb >> 8),
                  static_cast<unsigned char>(rgb));
}

wxRect ToWx(const Rect& r) { return wxRect(r.left, r.top, r.Width(), r.Height()); }

// A menu text for wx: the shortcut hint after the tab written the way wx reads one, so that
// it is shown; the keys themselves are handled by the program's accelerators.
wxString MenuText(std::string_view text) {
  const size_t tab = text.find('\t');
  if (tab == std::string_view::npos) return wxString::FromUTF8(text.data(), text.size());
  std::string hint;
  for (char c : text.substr(tab + 1)) {
    if (c != ' ') hint.push_back(c);
  }
  return wxString::FromUTF8(std::string(text.substr(0, tab)) + "\t" + hint);
}

bool CheckedItem(uint32_t command) {
  return (command >= ID_OPTIONS_BEGINNER && command <= ID_OPTIONS_SHOW_NUMBERS) ||
         command == ID_OPTIONS_DEFAULT_PICTURE || command == ID_OPTIONS_CUSTOM_PICTURE;
}

uint32_t VirtualKey(const wxKeyEvent& event) {
  const int code = event.GetKeyCode();
  if (code >= 'a' && code <= 'z') return static_cast<uint32_t>(code - 'a' + 'A');
  if ((code >= 'A' && code <= 'Z') || (code >= '0' && code <= '9')) return static_cast<uint32_t>(code);
  if (code >= WXK_F1 && code <= WXK_F24) return VK_F1 + static_cast<uint32_t>(code - WXK_F1);
  switch (code) {
    case WXK_LEFT:
    case WXK_NUMPAD_LEFT: return VK_LEFT;
    case WXK_UP:
    case WXK_NUMPAD_UP: return VK_UP;
    case WXK_RIGHT:
    case WXK_NUMPAD_RIGHT: return VK_RIGHT;
    case WXK_DOWN:
    case WXK_NUMPAD_DOWN: return VK_DOWN;
    case WXK_ESCAPE: return VK_ESCAPE;
    case WXK_RETURN:
    case WXK_NUMPAD_ENTER: return VK_RETURN;
    case WXK_SPACE: return VK_SPACE;
    case WXK_TAB: return VK_TAB;
    case WXK_BACK: return VK_BACK;
    case WXK_DELETE: return VK_DELETE;
    case WXK_INSERT: return VK_INSERT;
    case WXK_HOME: return VK_HOME;
    case WXK_END: return VK_END;
    case WXK_PAGEUP: return VK_PRIOR;
    case WXK_PAGEDOWN: return VK_NEXT;
    case WXK_SHIFT: return VK_SHIFT;
    case WXK_CONTROL: return VK_CONTROL;
    case WXK_ALT: return VK_MENU;
    default: return 0;
  }
}

// The character message a key-down makes, as the platform's translation would; 0 for none.
uint32_t CharacterFor(const wxKeyEvent& event, uint32_t virtualKey) {
  if (event.ControlDown() && virtualKey >= 'A' && virtualKey <= 'Z') return virtualKey - 'A' + 1;
  if (event.ControlDown()) return 0;
  switch (virtualKey) {
    case VK_RETURN: return 0x0D;
    case VK_ESCAPE: return 0x1B;
    case VK_BACK: return 0x08;
    case VK_TAB: return 0x09;
    case VK_SPACE: return 0x20;
    default: break;
  }
  if (virtualKey >= 'A' && virtualKey <= 'Z') return event.ShiftDown() ? virtualKey : virtualKey - 'A' + 'a';
  if (virtualKey >= '0' && virtualKey <= '9' && !event.ShiftDown()) return virtualKey;
  return 0;
}

}  // namespace

// --- Timers ----------------------------------------------------------------------------------

class WxHost::Timer : public wxTimer {
 public:
  Timer(WxHost& host, uint32_t id, TimerCallback callback) : host_(host), id_(id), callback_(std::move(callback)) {}
  void Notify() override {
    if (callback_) {
      TimerCallback callback = callback_;  // it may kill this very timer
      callback(id_);
    } else {
      host_.Dispatch({WM_TIMER, id_, 0});
    }
  }

 private:
  WxHost& host_;
  uint32_t id_;
  TimerCallback callback_;
};

// --- The canvas --------------------------------------------------------------------------------

GameCanvas::GameCanvas(wxWindow* parent, WxHost& host)
    : wxWindow(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxWANTS_CHARS | wxBORDER_NONE), host_(host) {
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  Bind(wxEVT_PAINT, &GameCanvas::OnPaint, this);
  for (auto type : {wxEVT_LEFT_DOWN, wxEVT_LEFT_UP, wxEVT_LEFT_DCLICK, wxEVT_RIGHT_DOWN, wxEVT_RIGHT_UP,
                    wxEVT_RIGHT_DCLICK, wxEVT_MIDDLE_DOWN, wxEVT_MIDDLE_UP, wxEVT_MIDDLE_DCLICK, wxEVT_MOTION}) {
    Bind(type, &GameCanvas::OnMouse, this);
  }
  Bind(wxEVT_KEY_UP, &GameCanvas::OnKeyUp, this);
}

void GameCanvas::OnPaint(wxPaintEvent&) {
  wxPaintDC dc(this);
  host_.Paint(dc, GetUpdateRegion());
}

void GameCanvas::OnMouse(wxMouseEvent& event) {
  uint32_t message = 0;
  const wxEventType type = event.GetEventType();
  // No double-click messages: a quick second click is a second press.
  if (type == wxEVT_LEFT_DOWN || type == wxEVT_LEFT_DCLICK) message = WM_LBUTTONDOWN;
  if (type == wxEVT_LEFT_UP) message = WM_LBUTTONUP;
  if (type == wxEVT_RIGHT_DOWN || type == wxEVT_RIGHT_DCLICK) message = WM_RBUTTONDOWN;
  if (type == wxEVT_RIGHT_UP) message = WM_RBUTTONUP;
  if (type == wxEVT_MIDDLE_DOWN || type == wxEVT_MIDDLE_DCLICK) message = WM_MBUTTONDOWN;
  if (type == wxEVT_MIDDLE_UP) message = WM_MBUTTONUP;
  if (type == wxEVT_MOTION) message = WM_MOUSEMOVE;
  if (type == wxEVT_LEFT_DOWN || type == wxEVT_RIGHT_DOWN || type == wxEVT_MIDDLE_DOWN) SetFocus();
  event.Skip();
  if (message == 0) return;
  // The window never captures the mouse: outside the client area it hears nothing.
  const wxPoint at = event.GetPosition();
  if (!GetClientRect().Contains(at)) return;
  uint32_t keys = 0;
  if (event.LeftIsDown()) keys |= MK_LBUTTON;
  if (event.RightIsDown()) keys |= MK_RBUTTON;
  if (event.MiddleIsDown()) keys |= MK_MBUTTON;
  if (event.ShiftDown()) keys |= MK_SHIFT;
  if (event.ControlDown()) keys |= MK_CONTROL;
  host_.Dispatch({message, keys, MakeLParam(static_cast<uint32_t>(at.x), static_cast<uint32_t>(at.y))});
}

void GameCanvas::OnKeyUp(wxKeyEvent& event) {
  const uint32_t key = VirtualKey(event);
  if (key == 0 || event.AltDown()) {
    event.Skip();
    return;
  }
  host_.NoteKeyUp(key);
  host_.Dispatch({WM_KEYUP, key, static_cast<int32_t>(0xC0000001u)});
}

// --- The frame ---------------------------------------------------------------------------------

MainFrame::MainFrame(WxHost& host, const MainWindowSpec& spec)
    : wxFrame(nullptr, wxID_ANY, wxString::FromUTF8(spec.title.data(), spec.title.size()), wxDefaultPosition,
              wxDefaultSize, wxCAPTION | wxSYSTEM_MENU | wxMINIMIZE_BOX | wxCLOSE_BOX),
      host_(host) {
  SetIcons(ProgramIcons());
  auto* bar = new wxMenuBar;
  for (const MenuSpec& menu : MainMenu()) {
    auto* popup = new wxMenu;
    for (const MenuItemSpec& item : menu.items) {
      if (item.command == 0) {
        popup->AppendSeparator();
        continue;
      }
      const int id = MenuItemFor(item.command);
      commands_[id] = item.command;
      // Every mark is a check mark: a group may have no item marked at all.
      popup->Append(id, MenuText(item.text), wxEmptyString, CheckedItem(item.command) ? wxITEM_CHECK : wxITEM_NORMAL);
    }
    bar->Append(popup, wxString::FromUTF8(menu.title.data(), menu.title.size()));
  }
  SetMenuBar(bar);
  SetBackgroundColour(Rgb(spec.backgroundRgb));
  canvas_ = new GameCanvas(this, host);
  canvas_->SetBackgroundColour(Rgb(spec.backgroundRgb));
  Bind(wxEVT_MENU, &MainFrame::OnMenu, this);
  Bind(wxEVT_CHAR_HOOK, &MainFrame::OnCharHook, this);
  Bind(wxEVT_CLOSE_WINDOW, &MainFrame::OnClose, this);
  Bind(wxEVT_MOVE, &MainFrame::OnMove, this);
}

void MainFrame::ApplyMarks(const std::map<uint32_t, bool>& marks) {
  for (const auto& [id, command] : commands_) {
    if (!CheckedItem(command)) continue;
    auto it = marks.find(command);
    GetMenuBar()->Check(id, it != marks.end() && it->second);
  }
}

void MainFrame::OnMenu(wxCommandEvent& event) {
  auto it = commands_.find(event.GetId());
  if (it == commands_.end()) return;
  host_.Dispatch({WM_COMMAND, it->second, 0});
  // The platform ticks a check item when it is chosen; only the program sets marks.
  if (!host_.Destroyed()) host_.CheckMenuItem(0, 0);
}

void MainFrame::OnCharHook(wxKeyEvent& event) {
  // Keys typed in another window (help, a dialog, the file chooser) are that window's,
  // even where its events pass through this frame as its parent.
  auto* origin = dynamic_cast<wxWindow*>(event.GetEventObject());
  if (origin == nullptr || wxGetTopLevelParent(origin) != this) {
    event.Skip();
    return;
  }
  const uint32_t key = VirtualKey(event);
  // Alt combinations and F10 belong to the menu bar, as they do everywhere.
  if (key == 0 || event.AltDown() || key == VK_F1 + 9) {
    event.Skip();
    return;
  }
  // Taken here, the key never reaches the platform's own menu accelerators: the
  // program's table decides what a key does.
  // A key still held from before is a repeat (bit 30: the key was already down).
  const bool repeat = !host_.NoteKeyDown(key);
  const int32_t lParam = repeat ? static_cast<int32_t>(0x40000001) : 1;
  host_.Dispatch({WM_KEYDOWN, key, lParam});
  if (const uint32_t character = CharacterFor(event, key)) host_.Dispatch({WM_CHAR, character, lParam});
}

void MainFrame::OnClose(wxCloseEvent&) { host_.Dispatch({WM_CLOSE, 0, 0}); }

void MainFrame::OnMove(wxMoveEvent& event) {
  event.Skip();
  host_.Dispatch({WM_MOVE, 0, 0});
}

// --- The host ------------------------------------------------------------------------------------

WxHost::WxHost() : factory_(nullptr, &fonts_), target_(nullptr) {}

WxHost::~WxHost() { DestroyFrame(); }

void WxHost::DestroyFrame() {
  direct_.reset();
  timers_.clear();
  help_.reset();
  if (frame_ != nullptr) {
    frame_->Destroy();
    frame_ = nullptr;
  }
}

bool WxHost::CreateMainWindow(const MainWindowSpec& spec) {
  background_ = spec.backgroundRgb;
  frame_ = new MainFrame(*this, spec);
  FitPicturesToScreen();
  return frame_ != nullptr;
}

void WxHost::FitPicturesToScreen() {
  // The window opens on the display the pointer is on, or the first.
  int index = wxDisplay::GetFromPoint(wxGetMousePosition());
  if (index == wxNOT_FOUND) index = 0;
  if (static_cast<unsigned>(index) >= wxDisplay::GetCount()) return;
  const wxRect work = wxDisplay(static_cast<unsigned>(index)).GetClientArea();
  // The frame and the menu bar take their share; before the window manager has framed the
  // window its borders are not known, so a title bar and thin borders are allowed for.
  // FIXME: a window moved to a smaller screen later keeps the pictures it has.
  const wxSize outer = frame_->GetSize();
  const wxSize inner = frame_->GetClientSize();
  const int menuBar = frame_->GetMenuBar() != nullptr ? frame_->GetMenuBar()->GetBestSize().y : 0;
  const int extraWidth = std::max(outer.x - inner.x, 2 * kAssumedBorder);
  const int extraHeight = std::max(outer.y - inner.y, menuBar + kAssumedTitleBar + 2 * kAssumedBorder);
  decoder_.SetLargestPicture(LargestPictureFor(ImageSize{work.width - extraWidth, work.height - extraHeight}));
}

bool WxHost::SetUpDrawing() {
  int32_t x = 0;
  int32_t y = 0;
  ClientOrigin(x, y);
  return true;
}

void WxHost::Dispatch(const Message& message) {
  if (handler_ == nullptr || destroyed_) return;
  if (!handler_->TranslateAndDispatch(message) && message.message == WM_CLOSE) WindowClosed();
}

void WxHost::WindowClosed() {
  // Closing destroys the window; the frame object itself goes once the loop has ended.
  destroyed_ = true;
  for (auto& [id, timer] : timers_) timer->Stop();
  if (handler_ != nullptr) handler_->MainWndProc({WM_DESTROY, 0, 0});
  if (frame_ != nullptr) frame_->Hide();
}

void WxHost::Invalidate(const wxRect& area, bool erase) {
  if (frame_ == nullptr || area.IsEmpty()) return;
  programPaint_ = programPaint_ ? programPaint_->Union(area) : area;
  pendingErase_ = pendingErase_ || erase;
  frame_->Canvas()->RefreshRect(area, false);
}

void WxHost::ShowMainWindow(int32_t showCommand) {
  frame_->Show();
  // Now that the canvas has its window, and before that is first painted.
  direct_ = X11Presenter::For(*frame_->Canvas());
  if (showCommand == SW_SHOWMINIMIZED) frame_->Iconize(true);
  frame_->Canvas()->SetFocus();
  Invalidate(frame_->Canvas()->GetClientRect(), true);
}

void WxHost::UpdateMainWindow() {
  // The first paint is the program's at once; what it draws is shown with the next
  // paint of the canvas.
  if (programPaint_) PaintRequested(wxRect());
}

void WxHost::ResizeClient(int32_t width, int32_t height) {
  frame_->SetMinClientSize(wxSize(-1, -1));
  frame_->SetMaxClientSize(wxSize(-1, -1));
  frame_->SetClientSize(width, height);
  frame_->Canvas()->SetSize(0, 0, width, height);
  // A fixed size: no sizing border, and the window manager gets to know it.
  frame_->SetMinClientSize(wxSize(width, height));
  frame_->SetMaxClientSize(wxSize(width, height));
  int32_t x = 0;
  int32_t y = 0;
  ClientOrigin(x, y);
  target_.SetClientArea(x, y, width, height);
  if (handler_ != nullptr) handler_->MainWndProc({WM_MOVE, 0, 0});
  Invalidate(wxRect(0, 0, width, height), true);
}

void WxHost::ClientOrigin(int32_t& screenX, int32_t& screenY) {
  const bool placed = frame_ != nullptr && frame_->IsShown();
  const wxPoint origin = placed ? frame_->Canvas()->GetScreenPosition() : wxPoint(0, 0);
  screenX = origin.x;
  screenY = origin.y;
  // The target is kept on the same origin as the panel, whatever the window manager says.
  target_.SetClientArea(screenX, screenY, target_.Width(), target_.Height());
}

void WxHost::InvalidateClient(bool erase) {
  if (frame_ != nullptr) Invalidate(frame_->Canvas()->GetClientRect(), erase);
}

void WxHost::FrameShown() {
  if (fontsWarmed_) return;
  fontsWarmed_ = true;
  // Finding and opening a face takes a moment the first time: do it once the first
  // picture is on screen, rather than on the first Show Numbers.
  wxTheApp->CallAfter([this] {
    FontSpec numbers;
    numbers.height = 15;
    fonts_.Face(numbers);
  });
}

void WxHost::PaintRequested(const wxRect& area) {
  if (handler_ == nullptr || destroyed_) return;
  wxRect whole = area;
  if (programPaint_) whole = whole.IsEmpty() ? *programPaint_ : whole.Union(*programPaint_);
  painting_ = whole;
  handler_->MainWndProc({WM_PAINT, 0, 0});
  painting_.reset();
}

Rect WxHost::BeginPaint() {
  const wxRect area = painting_.value_or(wxRect());
  if (pendingErase_) target_.EraseClient(background_);
  programPaint_.reset();
  pendingErase_ = false;
  return Rect{area.x, area.y, area.x + area.width, area.y + area.height};
}

void WxHost::EndPaint() {}

void WxHost::PresentChanges() {
  if (frame_ == nullptr) return;
  if (direct_ && painted_ && showing_ == nullptr && !destroyed_) {
    const std::vector<Rect> damage = target_.TakeDamage();
    for (size_t i = 0; i < damage.size(); ++i) {
      // A rectangle drawn over again later in the same render (a cell filled, then its
      // tile copied on it) goes to the display once.
      const Rect& r = damage[i];
      const bool again = std::any_of(damage.begin() + static_cast<ptrdiff_t>(i) + 1, damage.end(),
                                     [&](const Rect& later) { return Intersect(r, later) == r; });
      if (again) continue;
      const wxRect area = ToWx(r);
      direct_->Show(target_.Backing(), area);
      presentedPixels_ += static_cast<uint64_t>(area.width) * static_cast<uint64_t>(area.height);
    }
    direct_->Flush();
    return;
  }
  for (const Rect& r : target_.TakeDamage()) {
    wxRegion area(ToWx(r));
    // What the paint under way shows anyway needs no paint of its own.
    if (showing_ != nullptr) area.Subtract(*showing_);
    if (area.IsEmpty()) continue;
    queued_.Union(area);
    for (wxRegionIterator it(area); it; ++it) frame_->Canvas()->RefreshRect(it.GetRect(), false);
  }
}

void WxHost::Paint(wxDC& dc, const wxRegion& update) {
  // What this host queued only needs showing: the backing store holds it. Anything else
  // was exposed by the platform (or invalidated by the program), and the program paints
  // it first. Nothing here queues another paint of the same area, so an idle window
  // draws nothing.
  wxRegion exposed(update);
  exposed.Subtract(queued_);
  queued_.Subtract(update);
  if (!exposed.IsEmpty() || programPaint_) {
    showing_ = &update;
    PaintRequested(exposed.IsEmpty() ? wxRect() : exposed.GetBox());
    showing_ = nullptr;
  }
  Show(dc, update);
  FrameShown();
  painted_ = true;
}

void WxHost::Show(wxDC& dc, const wxRegion& update) {
  auto* cr = static_cast<cairo_t*>(dc.GetImpl()->GetCairoContext());
  SoftwareSurface& pixels = target_.Backing();
  if (cr == nullptr || pixels.Width() <= 0 || pixels.Height() <= 0) return;
  // The backing store's 0x00RRGGBB words are cairo's RGB24 as they are: shown without a
  // copy or a conversion, clipped to what needs showing.
  cairo_surface_t* backing = cairo_image_surface_create_for_data(
      reinterpret_cast<unsigned char*>(pixels.Row(0)), CAIRO_FORMAT_RGB24, pixels.Width(), pixels.Height(),
      pixels.Width() * static_cast<int>(sizeof(uint32_t)));
  cairo_save(cr);
  for (wxRegionIterator it(update); it; ++it) {
    const wxRect r = it.GetRect();
    cairo_rectangle(cr, r.x, r.y, r.width, r.height);
    presentedPixels_ += static_cast<uint64_t>(r.width) * static_cast<uint64_t>(r.height);
  }
  cairo_clip(cr);
  cairo_set_source_surface(cr, backing, 0, 0);
  // Scaled screens show each pixel as a crisp block.
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_paint(cr);
  cairo_restore(cr);
  cairo_surface_destroy(backing);
}

void WxHost::CheckMenuRadioItem(uint32_t first, uint32_t last, uint32_t chosen) {
  for (uint32_t id = first; id <= last; ++id) marks_[id] = id == chosen;
  if (frame_ != nullptr) frame_->ApplyMarks(marks_);
}

void WxHost::CheckMenuItem(uint32_t id, uint32_t flags) {
  if (id != 0) marks_[id] = (flags & MF_CHECKED) != 0;
  if (frame_ != nullptr) frame_->ApplyMarks(marks_);
}

int32_t WxHost::RunMessageLoop() {
  if (!quitPosted_) {
    wxTheApp->SetExitOnFrameDelete(false);
    wxTheApp->MainLoop();
  }
  return quitCode_;
}

void WxHost::PostQuitMessage(int32_t exitCode) {
  if (!quitPosted_) quitCode_ = exitCode;
  quitPosted_ = true;
  if (wxTheApp != nullptr) wxTheApp->ExitMainLoop();
}

uint32_t WxHost::SetTimer(uint32_t id, uint32_t milliseconds, TimerCallback callback) {
  if (id == 0 || destroyed_) return 0;
  KillTimer(id);
  auto timer = std::make_unique<Timer>(*this, id, std::move(callback));
  if (!timer->Start(static_cast<int>(milliseconds))) return 0;
  timers_[id] = std::move(timer);
  return id;
}

bool WxHost::KillTimer(uint32_t id) {
  auto it = timers_.find(id);
  if (it == timers_.end()) return false;
  it->second->Stop();
  // A timer may be killed from its own tick: it is deleted once that tick is over.
  retired_.push_back(std::move(it->second));
  timers_.erase(it);
  wxTheApp->CallAfter([this] { retired_.clear(); });
  return true;
}

void WxHost::MessageBeep(uint32_t) { wxBell(); }

bool WxHost::KeyIsDown(uint32_t virtualKey) {
  switch (virtualKey) {
    case VK_SHIFT: return wxGetKeyState(WXK_SHIFT);
    case VK_CONTROL: return wxGetKeyState(WXK_CONTROL);
    case VK_MENU: return wxGetKeyState(WXK_ALT);
    default: return false;
  }
}

int64_t WxHost::CurrentTime() { return static_cast<int64_t>(std::time(nullptr)); }

int32_t WxHost::MessageBox(bool ownedByMainWindow, std::string_view text, std::string_view caption, uint32_t flags) {
  wxWindow* owner = ownedByMainWindow && frame_ != nullptr && !destroyed_ ? frame_ : nullptr;
  return RunMessageBox(owner, text, caption, flags);
}

intptr_t WxHost::DialogBox(int32_t templateId, DialogProcedure procedure) {
  const DialogSpec* spec = FindDialog(templateId);
  if (spec == nullptr || frame_ == nullptr) return -1;
  return RunTemplateDialog(frame_, *spec, std::move(procedure));
}

std::optional<std::string> WxHost::GetOpenFileName(const OpenFileRequest& request) {
  wxString wildcard;
  for (const auto& [text, patterns] : request.filters) {
    if (!wildcard.empty()) wildcard += "|";
    wildcard += wxString::FromUTF8(text) + "|" + wxString::FromUTF8(ChooserPatterns(patterns));
  }
  long style = wxFD_OPEN;
  if (request.fileMustExist) style |= wxFD_FILE_MUST_EXIST;
  wxFileDialog dialog(ModalOwner(frame_), wxFileSelectorPromptStr, wxEmptyString, wxEmptyString, wildcard, style);
  dialog.SetFilterIndex(request.filterIndex - 1);
  if (dialog.ShowModal() != wxID_OK) return std::nullopt;
  const std::string path = dialog.GetPath().utf8_string();
  if (path.empty()) return std::nullopt;
  return path;
}

void WxHost::OpenWebAddress(std::string_view address) {
  wxLogNull quiet;  // no browser is no error the player needs to see
  wxLaunchDefaultBrowser(wxString::FromUTF8(address.data(), address.size()));
}

std::unique_ptr<RegistryKey> WxHost::CreateSettingsKey(std::string_view path, std::string_view className) {
  auto store = SettingsFile::ForCurrentUser();
  return store ? store->OpenKey(path, className) : nullptr;
}

bool WxHost::ReadClassRegistration(std::string_view, char*, uint32_t) { return false; }

HelpHandle WxHost::LoadLibrary(std::string_view path) {
  // The help engine here is the help book shown by wx; only its plain name finds it.
  if (path != "hhctrl.ocx") return 0;
  if (!help_) help_ = HelpBook::Find();
  return help_ ? 1 : 0;
}

HelpHandle WxHost::GetProcAddress(HelpHandle library, uint32_t ordinal) {
  return library == 1 && ordinal == 14 && help_ ? 1 : 0;
}

uintptr_t WxHost::CallHelpEntry(HelpHandle entry, std::string_view, uint32_t command, uintptr_t) {
  if (entry != 1 || !help_) return 0;
  return help_->Show(frame_, command) ? 1 : 0;
}

}  // namespace puzzle
