#include "shell/win32/win32_host.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <map>
#include <vector>

#include "shell/pictures/fit.h"
#include "shell/text/utf8.h"
#include "shell/win32/wide_text.h"
#include "shell/win32/win32_registry.h"
#include "toolkit/bitmap_reader.h"
#include "shell/win32/program_resources.h"

namespace puzzle {

namespace {

// One program, one host: the window and timer procedures find it here.
Win32Host* theHost = nullptr;

std::string Text(std::string_view text) { return std::string(text); }

// A dialog while it runs, as the program's dialog procedures see it.
class TemplateDialog : public DialogWindow {
 public:
  TemplateDialog(HINSTANCE instance, DialogProcedure procedure) : instance_(instance), procedure_(std::move(procedure)) {}

  void SetItemText(int32_t id, std::string_view text) override {
    SetDlgItemTextW(window_, id, win32::Wide(text).c_str());
    if (auto limit = limits_.find(id); limit != limits_.end()) limit->second.before = std::string(text);
  }
  // Counted in the program's UTF-8 bytes: EM_LIMITTEXT would count the control's UTF-16
  // units. Each change is cut to what fits when the field reports it.
  void LimitText(int32_t id, size_t maxBytes) override { limits_[id] = Limit{maxBytes, ItemText(id)}; }
  std::string ItemText(int32_t id) {
    const int length = GetWindowTextLengthW(GetDlgItem(window_, id));
    std::vector<wchar_t> buffer(static_cast<size_t>(std::max(length, 0)) + 1, L'\0');
    const UINT got = GetDlgItemTextW(window_, id, buffer.data(), static_cast<int>(buffer.size()));
    return win32::Utf8(std::wstring_view(buffer.data(), std::min<size_t>(got, buffer.size())));
  }
  std::string GetItemText(int32_t id, size_t maxBytes) override {
    // Every character is at least one byte: this many wide characters are always enough.
    std::vector<wchar_t> buffer(maxBytes + 2, L'\0');
    const UINT got = GetDlgItemTextW(window_, id, buffer.data(), static_cast<int>(buffer.size()));
    std::string text = win32::Utf8(std::wstring_view(buffer.data(), std::min<size_t>(got, buffer.size())));
    text.resize(utf8::Fit(text, maxBytes));
    return text;
  }
  // Where the dialog's window is known once it exists, for the boxes asked from it.
  HWND* WindowSlot() { return &window_; }
  void EndDialog(intptr_t result) override { ::EndDialog(window_, result); }
  void SetCursor(CursorShape shape) override {
    ::SetCursor(shape == CursorShape::Hand ? LoadCursorA(instance_, MAKEINTRESOURCEA(win32::kHandCursorResource))
                                           : LoadCursorA(nullptr, MAKEINTRESOURCEA(win32::kArrowCursor)));
  }
  void DrawText(int32_t x, int32_t y, std::string_view text, const FontSpec& font, uint32_t rgb) override {
    if (paintDc_ == nullptr) return;
    // The dialog's own face and size, as its labels have: an 8-pixel cell is too small to read.
    HFONT dialogFont = reinterpret_cast<HFONT>(SendMessageW(window_, WM_GETFONT, 0, 0));
    LOGFONTW logical{};
    HFONT face = nullptr;
    if (dialogFont != nullptr && GetObjectW(dialogFont, sizeof logical, &logical) != 0) {
      logical.lfUnderline = font.underline ? TRUE : FALSE;
      if (font.weight > logical.lfWeight) logical.lfWeight = font.weight;
      if (font.italic) logical.lfItalic = TRUE;
      face = CreateFontIndirectW(&logical);
    } else {
      face = CreateFontA(font.height, 0, 0, 0, font.weight, font.italic, font.underline, FALSE, ANSI_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, font.pitchAndFamily,
                         font.face.c_str());
    }
    SetTextColor(paintDc_, RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF));
    SetBkMode(paintDc_, TRANSPARENT);
    HGDIOBJ old = face != nullptr ? SelectObject(paintDc_, face) : nullptr;
    OntoLabelLine(x, y);
    const std::wstring wide = win32::Wide(text);
    TextOutW(paintDc_, x, y, wide.c_str(), static_cast<int>(wide.size()));
    if (old != nullptr) SelectObject(paintDc_, old);
    if (face != nullptr) DeleteObject(face);
  }
  static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
      SetWindowLongPtrW(window, DWLP_USER, lParam);
      reinterpret_cast<TemplateDialog*>(lParam)->window_ = window;
    }
    auto* dialog = reinterpret_cast<TemplateDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    if (dialog == nullptr) return FALSE;
    return dialog->Handle(message, wParam, lParam);
  }

 private:
  // A limited field's change cut to what fits; the field then reports the cut text again.
  void KeepToLimit(int32_t id) {
    auto found = limits_.find(id);
    if (found == limits_.end() || fitting_) return;
    Limit& limit = found->second;
    const std::string after = ItemText(id);
    if (after.size() <= limit.maxBytes) {
      limit.before = after;
      return;
    }
    const utf8::Edit fitted = utf8::FitEdit(limit.before, after, limit.maxBytes);
    fitting_ = true;
    SetDlgItemTextW(window_, id, win32::Wide(fitted.text).c_str());
    fitting_ = false;
    const auto caret = static_cast<WPARAM>(win32::Wide(fitted.text.substr(0, fitted.caret)).size());
    SendDlgItemMessageW(window_, id, EM_SETSEL, caret, static_cast<LPARAM>(caret));
    limit.before = fitted.text;
  }

  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && HIWORD(wParam) == EN_CHANGE) KeepToLimit(LOWORD(wParam));
    switch (message) {
      case WM_INITDIALOG:
      case WM_COMMAND:
      case WM_MOUSEMOVE:
      case WM_LBUTTONDOWN:
        return Send(message, wParam, lParam);
      case WM_PAINT: {
        // The dialog's own painting first (its background erased), then what the
        // procedure draws over it, on the dialog's device context.
        PAINTSTRUCT paint;
        ::BeginPaint(window_, &paint);
        ::EndPaint(window_, &paint);
        paintDc_ = ::GetDC(window_);
        Send(message, wParam, lParam);
        ::ReleaseDC(window_, paintDc_);
        paintDc_ = nullptr;
        return TRUE;
      }
      default:
        return FALSE;
    }
  }

  INT_PTR Send(UINT message, WPARAM wParam, LPARAM lParam) {
    return procedure_(*this, message, static_cast<uint32_t>(wParam), static_cast<int32_t>(lParam)) ? TRUE : FALSE;
  }

  // Text drawn just right of a label, on a line the label's box covers, goes on the
  // label's line and a space clear of its text, wherever the dialog's font put them.
  void OntoLabelLine(int32_t& x, int32_t& y) {
    TEXTMETRICW metrics{};
    GetTextMetricsW(paintDc_, &metrics);
    for (HWND child = GetWindow(window_, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
      wchar_t className[16] = {};
      GetClassNameW(child, className, 16);
      if (lstrcmpiW(className, L"Static") != 0) continue;
      RECT box{};
      GetWindowRect(child, &box);
      MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&box), 2);
      const bool sameLine = y < box.bottom && y + metrics.tmHeight > box.top;
      if (!sameLine || box.left >= x || (box.left + box.right) / 2 >= x) continue;
      wchar_t label[64] = {};
      const int length = GetWindowTextW(child, label, 64);
      HGDIOBJ old = SelectObject(paintDc_, reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0)));
      SIZE extent{};
      GetTextExtentPoint32W(paintDc_, label, length, &extent);
      if (old != nullptr) SelectObject(paintDc_, old);
      SIZE space{};
      GetTextExtentPoint32W(paintDc_, L" ", 1, &space);
      y = box.top;
      x = std::max<int32_t>(x, box.left + extent.cx + space.cx);
      return;
    }
  }

  HINSTANCE instance_;
  // A field's byte limit, and its text before the change being made.
  struct Limit {
    size_t maxBytes = 0;
    std::string before;
  };

  DialogProcedure procedure_;
  HWND window_ = nullptr;
  HDC paintDc_ = nullptr;
  std::map<int32_t, Limit> limits_;
  bool fitting_ = false;
};

// The file of the help engine's request: beside the program when it is there, so that
// help opens whatever the current directory is; else the bare name, for the engine to find.
std::string HelpFilePath(std::string_view file) {
  char program[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, program, MAX_PATH);
  if (length > 0 && length < MAX_PATH) {
    std::filesystem::path beside = std::filesystem::path(program).parent_path() / std::string(file);
    std::error_code error;
    if (std::filesystem::is_regular_file(beside, error)) return beside.string();
  }
  return std::string(file);
}

}  // namespace

// --- Built-in bitmaps -----------------------------------------------------------------------

std::optional<DecodedImage> ResourceBitmaps::LoadBitmap(int32_t id) const {
  HRSRC found = FindResourceA(instance_, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(2));  // RT_BITMAP
  if (found == nullptr) return std::nullopt;
  HGLOBAL loaded = LoadResource(instance_, found);
  const DWORD size = SizeofResource(instance_, found);
  const auto* dib = loaded != nullptr ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
  if (dib == nullptr || size < 40) return std::nullopt;
  // A bitmap resource is the file without its file header: put one back in front.
  const uint32_t infoSize = dib[0] | dib[1] << 8 | dib[2] << 16 | static_cast<uint32_t>(dib[3]) << 24;
  const uint32_t offset = 14 + infoSize;
  const uint32_t total = 14 + size;
  std::vector<uint8_t> file(total);
  file[0] = 'B';
  file[1] = 'M';
  for (int i = 0; i < 4; ++i) {
    file[2 + i] = static_cast<uint8_t>(total >> (8 * i));
    file[10 + i] = static_cast<uint8_t>(offset >> (8 * i));
  }
  std::copy_n(dib, size, file.begin() + 14);
  return ReadBitmap24(file);
}

// --- The host ----------------------------------------------------------------------------------

Win32Host::Win32Host(HINSTANCE instance) : instance_(instance), bitmaps_(instance) { theHost = this; }

Win32Host::~Win32Host() {
  // The program has gone before its host: the window's last messages are the platform's.
  handler_ = nullptr;
  if (window_ != nullptr && IsWindow(window_)) DestroyWindow(window_);
  if (!className_.empty()) UnregisterClassA(className_.c_str(), instance_);
  if (theHost == this) theHost = nullptr;
}

LRESULT CALLBACK Win32Host::MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Win32Host* host = theHost;
  if (host != nullptr && host->handler_ != nullptr) {
    if (host->window_ == nullptr) host->window_ = window;
    const Message forwarded{message, static_cast<uint32_t>(wParam), static_cast<int32_t>(lParam)};
    if (host->handler_->MainWndProc(forwarded)) return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

bool Win32Host::CreateMainWindow(const MainWindowSpec& spec) {
  const std::string className(spec.className);
  const std::string title(spec.title);
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = 0;
  windowClass.lpfnWndProc = &Win32Host::MainWndProc;
  windowClass.hInstance = instance_;
  windowClass.hIcon = LoadIconA(instance_, MAKEINTRESOURCEA(spec.iconId));
  windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(win32::kArrowCursor));
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
  windowClass.lpszMenuName = MAKEINTRESOURCEA(spec.menuId);
  windowClass.lpszClassName = className.c_str();
  if (RegisterClassExA(&windowClass) == 0) return false;
  className_ = className;
  style_ = spec.style;
  window_ = CreateWindowExA(0, className.c_str(), title.c_str(), spec.style, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance_, nullptr);
  if (window_ == nullptr) return false;
  // Without the table the loop simply translates nothing.
  accelerators_ = LoadAcceleratorsA(instance_, MAKEINTRESOURCEA(win32::kAcceleratorsResource));
  return true;
}

bool Win32Host::SetUpDrawing() {
  if (!display_.Create(window_)) return false;
  // A picture larger than the work area of the window's screen, once the window's frame,
  // menu bar and the panel's top bar and margins are taken off, is shown smaller.
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (GetMonitorInfoA(MonitorFromWindow(window_, MONITOR_DEFAULTTOPRIMARY), &monitor)) {
    RECT frame{0, 0, 0, 0};
    AdjustWindowRect(&frame, style_, TRUE);
    const ImageSize client{(monitor.rcWork.right - monitor.rcWork.left) - (frame.right - frame.left),
                           (monitor.rcWork.bottom - monitor.rcWork.top) - (frame.bottom - frame.top)};
    decoder_.SetLargestPicture(LargestPictureFor(client));
  }
  return true;
}

void Win32Host::ShowMainWindow(int32_t showCommand) { ShowWindow(window_, showCommand); }

void Win32Host::UpdateMainWindow() { UpdateWindow(window_); }

void Win32Host::ResizeClient(int32_t width, int32_t height) {
  RECT wanted{0, 0, width, height};
  AdjustWindowRect(&wanted, style_, TRUE);
  RECT now{};
  GetWindowRect(window_, &now);
  MoveWindow(window_, now.left, now.top, wanted.right - wanted.left, wanted.bottom - wanted.top, TRUE);
  // A narrow window wraps its menu bar onto a second row, which the adjustment above
  // can't know: grow by what the client area still lacks.
  RECT client{};
  GetClientRect(window_, &client);
  const int32_t missing = height - (client.bottom - client.top);
  if (missing != 0) {
    GetWindowRect(window_, &now);
    MoveWindow(window_, now.left, now.top, now.right - now.left, now.bottom - now.top + missing, TRUE);
  }
}

void Win32Host::ClientOrigin(int32_t& screenX, int32_t& screenY) {
  POINT origin{0, 0};
  ClientToScreen(window_, &origin);
  screenX = origin.x;
  screenY = origin.y;
}

void Win32Host::InvalidateClient(bool erase) { InvalidateRect(window_, nullptr, erase ? TRUE : FALSE); }

Rect Win32Host::BeginPaint() {
  paint_ = PAINTSTRUCT{};
  ::BeginPaint(window_, &paint_);
  painting_ = true;
  return Rect{paint_.rcPaint.left, paint_.rcPaint.top, paint_.rcPaint.right, paint_.rcPaint.bottom};
}

void Win32Host::EndPaint() {
  if (!painting_) return;
  painting_ = false;
  ::EndPaint(window_, &paint_);
}

void Win32Host::CheckMenuRadioItem(uint32_t first, uint32_t last, uint32_t chosen) {
  ::CheckMenuRadioItem(GetMenu(window_), first, last, chosen, MF_BYCOMMAND);
}

void Win32Host::CheckMenuItem(uint32_t id, uint32_t flags) { ::CheckMenuItem(GetMenu(window_), id, flags); }

int32_t Win32Host::RunMessageLoop() {
  MSG message{};
  for (;;) {
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == 0 || got == -1) break;
    if (TranslateAcceleratorA(window_, accelerators_, &message) == 0) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  return static_cast<int32_t>(message.wParam);
}

void Win32Host::PostQuitMessage(int32_t exitCode) { ::PostQuitMessage(exitCode); }

void CALLBACK Win32Host::TimerProc(HWND, UINT, UINT_PTR id, DWORD) {
  if (theHost == nullptr) return;
  auto it = theHost->timerCallbacks_.find(id);
  if (it == theHost->timerCallbacks_.end()) return;
  TimerCallback callback = it->second;  // it may kill its own timer
  callback(static_cast<uint32_t>(id));
}

uint32_t Win32Host::SetTimer(uint32_t id, uint32_t milliseconds, TimerCallback callback) {
  if (window_ == nullptr) return 0;
  TIMERPROC procedure = nullptr;
  if (callback) {
    timerCallbacks_[id] = std::move(callback);
    procedure = &Win32Host::TimerProc;
  } else {
    timerCallbacks_.erase(id);
  }
  return static_cast<uint32_t>(::SetTimer(window_, id, milliseconds, procedure));
}

bool Win32Host::KillTimer(uint32_t id) {
  timerCallbacks_.erase(id);
  return ::KillTimer(window_, id) != FALSE;
}

void Win32Host::MessageBeep(uint32_t type) { ::MessageBeep(type); }

bool Win32Host::KeyIsDown(uint32_t virtualKey) { return GetKeyState(static_cast<int>(virtualKey)) < 0; }

int64_t Win32Host::CurrentTime() { return static_cast<int64_t>(std::time(nullptr)); }

int32_t Win32Host::MessageBox(bool ownedByMainWindow, std::string_view text, std::string_view caption,
                              uint32_t flags) {
  // A box asked while a dialog runs belongs to that dialog: one owned by the main window
  // would enable the main window again when it closes, under the dialog still open.
  HWND owner = nullptr;
  if (ownedByMainWindow) {
    owner = window_;
    if (!openDialogs_.empty() && *openDialogs_.back() != nullptr && IsWindow(*openDialogs_.back())) {
      owner = *openDialogs_.back();
    }
  }
  return MessageBoxW(owner, win32::Wide(text).c_str(), win32::Wide(caption).c_str(), flags);
}

intptr_t Win32Host::DialogBox(int32_t templateId, DialogProcedure procedure) {
  TemplateDialog dialog(instance_, std::move(procedure));
  openDialogs_.push_back(dialog.WindowSlot());
  const intptr_t result = DialogBoxParamW(instance_, MAKEINTRESOURCEW(templateId), window_,
                                          &TemplateDialog::Procedure, reinterpret_cast<LPARAM>(&dialog));
  openDialogs_.pop_back();
  return result;
}

std::optional<std::string> Win32Host::GetOpenFileName(const OpenFileRequest& request) {
  std::wstring filter;
  for (const auto& [text, patterns] : request.filters) {
    filter += win32::Wide(text);
    filter += L'\0';
    filter += win32::Wide(patterns);
    filter += L'\0';
  }
  filter += L'\0';
  // Room for the longest path Windows has: a path too long for the program comes back
  // and is refused with a message, rather than failing the dialog without a word.
  std::vector<wchar_t> file(32768, L'\0');
  OPENFILENAMEW dialog{};
  dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
  dialog.hwndOwner = window_;
  dialog.hInstance = instance_;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = static_cast<DWORD>(request.filterIndex);
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.Flags = OFN_HIDEREADONLY | OFN_LONGNAMES | (request.fileMustExist ? OFN_FILEMUSTEXIST : 0);
  if (!GetOpenFileNameW(&dialog)) return std::nullopt;
  return win32::Utf8(file.data());
}

void Win32Host::OpenWebAddress(std::string_view address) {
  ShellExecuteW(window_, L"open", win32::Wide(address).c_str(), nullptr, nullptr, SW_SHOW);
}

size_t Win32Host::FitText(std::string_view text, size_t maxBytes) { return utf8::Fit(text, maxBytes); }

std::unique_ptr<RegistryKey> Win32Host::CreateSettingsKey(std::string_view path, std::string_view className) {
  return Win32RegistryKey::Create(path, className);
}

bool Win32Host::ReadClassRegistration(std::string_view subKey, char* buffer, uint32_t size) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, Text(subKey).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD length = size;
  const LONG status = RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &length);
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

HelpHandle Win32Host::LoadLibrary(std::string_view path) {
  return reinterpret_cast<HelpHandle>(LoadLibraryA(Text(path).c_str()));
}

HelpHandle Win32Host::GetProcAddress(HelpHandle library, uint32_t ordinal) {
  return reinterpret_cast<HelpHandle>(
      ::GetProcAddress(reinterpret_cast<HMODULE>(library), MAKEINTRESOURCEA(ordinal)));
}

uintptr_t Win32Host::CallHelpEntry(HelpHandle entry, std::string_view file, uint32_t command, uintptr_t data) {
  using HtmlHelpEntry = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);
  auto htmlHelp = reinterpret_cast<HtmlHelpEntry>(entry);
  const std::string path = HelpFilePath(file);
  // The program's search record is the 32-byte one of 32-bit Windows, with nothing set but
  // its size; the engine of a 64-bit program reads a longer one, so it gets its own.
  HH_FTS_QUERY query{};
  if (command == win32::kHelpSearchCommand && data != 0) {
    query.cbStruct = sizeof query;
    data = reinterpret_cast<uintptr_t>(&query);
  }
  return reinterpret_cast<uintptr_t>(htmlHelp(window_, path.c_str(), command, data));
}

}  // namespace puzzle
