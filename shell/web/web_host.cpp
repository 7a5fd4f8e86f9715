#include "shell/web/web_host.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "resources/embedded.h"
#include "resources/resource_tables.h"
#include "shell/pictures/downscale.h"
#include "shell/pictures/fit.h"
#include "shell/pictures/targa.h"
#include "shell/text/utf8.h"
#include "shell/web/web_settings.h"
#include "toolkit/bitmap_reader.h"
#include "toolkit/platform_codes.h"

namespace puzzle {

// The host's share of the program's resources (shell/web/CMakeLists.txt): the bitmaps
// small enough to be compiled in.
std::span<const uint8_t> WebResource(ResourceKind kind, int32_t id);

namespace {

bool CheckedItem(uint32_t command) {
  return (command >= ID_OPTIONS_BEGINNER && command <= ID_OPTIONS_SHOW_NUMBERS) ||
         command == ID_OPTIONS_DEFAULT_PICTURE || command == ID_OPTIONS_CUSTOM_PICTURE;
}

// The main window's input: held off while a dialog or a box is up.
bool IsInput(uint32_t message) {
  switch (message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MOUSEMOVE:
    case WM_COMMAND:
    case WM_CLOSE: return true;
    default: return false;
  }
}

// The templates were laid out for a font whose average character is 6 x 13 pixels: a
// dialog unit is a quarter of the width and an eighth of the height.
int32_t UnitsToX(int32_t units) { return units * 6 / 4; }
int32_t UnitsToY(int32_t units) { return units * 13 / 8; }

// The file chooser's list of extensions from the first filter's patterns ("*.bmp;*.jpg"),
// with the other spellings the same formats go by.
std::string AcceptList(const OpenFileRequest& request) {
  if (request.filters.empty()) return {};
  std::string accept;
  auto add = [&](std::string_view extension) {
    if (!accept.empty()) accept += ',';
    accept += extension;
  };
  std::string_view patterns = request.filters.front().second;
  while (!patterns.empty()) {
    const size_t end = std::min(patterns.find(';'), patterns.size());
    std::string_view pattern = patterns.substr(0, end);
    patterns.remove_prefix(std::min(end + 1, patterns.size()));
    if (pattern.substr(0, 2) != "*.") continue;
    add(pattern.substr(1));
    if (pattern == "*.jpg") {
      add(".jpeg");
      add(".jpe");
    }
    if (pattern == "*.tif") add(".tiff");
  }
  return accept;
}

// The smallest rectangle holding both; an empty one adds nothing.
Rect Bounds(const Rect& a, const Rect& b) {
  if (a.IsEmpty()) return b;
  if (b.IsEmpty()) return a;
  return Rect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
              std::max(a.bottom, b.bottom)};
}

}  // namespace

// --- Pictures ------------------------------------------------------------------------------------

// The room the page has now: a picture chosen after the window grew gets the larger room.
// Decode keeps to the room its probe saw, so that the two agree on the size.
void WebPictureFiles::MeasureRoom() {
  int32_t width = 0;
  int32_t height = 0;
  page::AvailableClient(width, height);
  largest_ = LargestPictureFor(ImageSize{width, height});
}

bool WebPictureFiles::Read(const char* path, int32_t& width, int32_t& height) {
  // A chosen picture was read while the game went on (WebHost::GetOpenFileName); a kept one
  // at start-up is read here, the program waiting.
  page::PictureRead state = page::PictureSize(path, largest_.width, largest_.height, width, height);
  if (state == page::PictureRead::NotRead) {
    state = page::AwaitPictureRead(path, largest_.width, largest_.height, width, height);
  }
  return state == page::PictureRead::Sized;
}

std::optional<ImageSize> WebPictureFiles::Probe(const char* path) {
  MeasureRoom();
  probed_ = path;
  const std::optional<ImageSize> natural = NaturalSize(path);
  if (!natural) return std::nullopt;
  return FitWithin(*natural, largest_);
}

std::optional<ImageSize> WebPictureFiles::NaturalSize(const char* path) {
  int32_t width = 0;
  int32_t height = 0;
  if (Read(path, width, height)) {
    if (!SurfaceSizeAllowed(width, height)) return std::nullopt;
    return ImageSize{width, height};
  }
  // Targa has no signature: only what the page's decoders don't know is tried as one.
  const auto bytes = page::PictureBytes(path);
  if (!bytes) return std::nullopt;
  const auto size = TargaSize(bytes->data(), bytes->size());
  if (!size || !SurfaceSizeAllowed(size->width, size->height)) return std::nullopt;
  return *size;
}

bool WebPictureFiles::Exists(const char* path) { return page::PictureBytes(path).has_value(); }

std::optional<DecodedImage> WebPictureFiles::Decode(const char* path) {
  if (probed_ != path) MeasureRoom();
  probed_.clear();
  int32_t width = 0;
  int32_t height = 0;
  if (Read(path, width, height)) {
    if (!SurfaceSizeAllowed(width, height)) return std::nullopt;
    const ImageSize fitted = FitWithin(ImageSize{width, height}, largest_);
    DecodedImage image;
    if (!page::TakePicture(path, largest_.width, largest_.height, image)) return std::nullopt;
    // R, G, B, A bytes to 0xAARRGGBB words, where they are.
    for (uint32_t& p : image.pixels) p = (p & 0xFF00FF00u) | ((p & 0xFFu) << 16) | ((p >> 16) & 0xFFu);
    // The page keeps to the limit; a decoder that gave more is made to keep to it here.
    if (image.width > fitted.width || image.height > fitted.height) return Downscale(std::move(image), fitted);
    return image;
  }
  const auto bytes = page::PictureBytes(path);
  if (!bytes) return std::nullopt;
  auto image = DecodeTarga(bytes->data(), bytes->size());
  if (!image) return std::nullopt;
  const ImageSize fitted = FitWithin(ImageSize{image->width, image->height}, largest_);
  if (fitted.width < image->width || fitted.height < image->height) return Downscale(std::move(*image), fitted);
  return image;
}

// --- Built-in bitmaps -------------------------------------------------------------------------

std::optional<DecodedImage> WebBitmaps::LoadBitmap(int32_t id) const {
  if (id != IDB_PICTURE) {
    const auto bytes = WebResource(ResourceKind::Bitmap, id);
    if (bytes.empty()) return std::nullopt;
    return ReadBitmap24(bytes);
  }
  std::vector<uint32_t> rgba;
  DecodedImage image;
  if (!page::BuiltinPicture(image.width, image.height, rgba)) return std::nullopt;
  // R, G, B, A bytes to 0xAARRGGBB words, as the bitmap file would have given them.
  image.pixels.resize(rgba.size());
  for (size_t i = 0; i < rgba.size(); ++i) {
    const uint32_t p = rgba[i];
    image.pixels[i] = 0xFF000000u | ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
  }
  return image;
}

// --- Dialogs -----------------------------------------------------------------------------------

class WebHost::Dialog : public DialogWindow {
 public:
  Dialog(int32_t token, DialogProcedure procedure) : token_(token), procedure_(std::move(procedure)) {}

  void Send(uint32_t message, uint32_t wParam, int32_t lParam) {
    if (ended_) return;
    if (message == WM_PAINT) page::ClearDialogDrawing(token_);
    ++sending_;
    painting_ = message == WM_PAINT;
    procedure_(*this, message, wParam, lParam);
    painting_ = false;
    --sending_;
  }
  // The loop ends once the procedure that ended the dialog has returned.
  bool Finished() const { return ended_ && sending_ == 0; }
  intptr_t Result() const { return result_; }

  void SetItemText(int32_t id, std::string_view text) override {
    page::SetControlText(token_, id, utf8::ReplaceBroken(text));
  }
  void LimitText(int32_t id, size_t maxBytes) override { page::LimitControlText(token_, id, maxBytes); }
  std::string GetItemText(int32_t id, size_t maxBytes) override {
    std::string text = page::ControlText(token_, id);
    text.resize(utf8::Fit(text, maxBytes));
    return text;
  }
  void EndDialog(intptr_t result) override {
    if (!ended_) page::CloseDialog(token_);  // off the screen at once, as the platform does
    ended_ = true;
    result_ = result;
  }
  void SetCursor(CursorShape shape) override { page::SetDialogCursor(token_, shape == CursorShape::Hand); }
  void DrawText(int32_t x, int32_t y, std::string_view text, const FontSpec& font, uint32_t rgb) override {
    if (!painting_) return;
    // The dialog's own face and size, as the desktop draws it: an 8-pixel cell is too
    // small to read.
    page::DrawDialogText(token_, x, y, utf8::ReplaceBroken(text), font.underline, font.weight >= 700, rgb);
  }

 private:
  int32_t token_;
  DialogProcedure procedure_;
  int sending_ = 0;
  bool painting_ = false;
  bool ended_ = false;
  intptr_t result_ = 0;
};

// --- The host ------------------------------------------------------------------------------------

WebHost::WebHost() : factory_(nullptr, nullptr), target_(nullptr) {
  fonts_ = std::make_unique<TrueTypeRasterizer>(page::FontFile());
  factory_ = SoftwareSurfaceFactory(nullptr, fonts_->HasFace() ? fonts_.get() : nullptr);
}

WebHost::~WebHost() = default;

bool WebHost::CreateMainWindow(const MainWindowSpec& spec) {
  background_ = spec.backgroundRgb;
  page::SetTitle(spec.title);
  for (const MenuSpec& menu : MainMenu()) {
    page::AddMenu(menu.title);
    for (const MenuItemSpec& item : menu.items) page::AddMenuItem(item.text, item.command, CheckedItem(item.command));
  }
  for (const AcceleratorSpec& accelerator : Accelerators()) {
    page::AddAccelerator(accelerator.flags, accelerator.key, accelerator.command);
  }
  return true;
}

void WebHost::Pump() {
  page::Event event = page::Poll();
  if (event.kind == page::Event::None) {
    // A paint comes when nothing else is waiting, as on the desktop.
    if (pendingPaint_ && !destroyed_) {
      DeliverPaint();
      return;
    }
    event = page::Wait();
  }
  Handle(event);
}

void WebHost::Handle(const page::Event& event) {
  switch (event.kind) {
    case page::Event::Message: {
      const Message message{static_cast<uint32_t>(event.a), static_cast<uint32_t>(event.b), event.c};
      if (modalDepth_ > 0 && IsInput(message.message)) return;
      Dispatch(message);
      break;
    }
    case page::Event::Timer: {
      const auto id = static_cast<uint32_t>(event.a);
      auto it = timers_.find(id);
      if (it == timers_.end() || destroyed_) return;
      if (it->second) {
        TimerCallback callback = it->second;  // it may kill this very timer
        callback(id);
      } else {
        Dispatch({WM_TIMER, id, 0});
      }
      break;
    }
    case page::Event::Expose:
      // The page lost the canvas's pixels: nothing on it can be taken as shown.
      onCanvas_.clear();
      Invalidate(Rect{event.a, event.b, event.c, event.d}, false);
      break;
    case page::Event::Dialog: {
      auto it = dialogs_.find(event.a);
      // Only the dialog on top hears its input; the page holds the others off.
      if (it == dialogs_.end()) return;
      it->second->Send(static_cast<uint32_t>(event.b), static_cast<uint32_t>(event.c), event.d);
      break;
    }
    case page::Event::BoxAnswer:
    case page::Event::FileChosen:
      answers_[event.a] = event.b;
      break;
    case page::Event::PictureRead:
      if (readsWaited_.count(event.a) != 0) answers_[event.a] = event.b;
      break;
    default: break;
  }
}

void WebHost::Dispatch(const Message& message) {
  if (handler_ == nullptr || destroyed_) return;
  // The built-in picture chosen while a chosen file is being read: the later choice wins.
  if (message.message == WM_COMMAND && (message.wParam & 0xFFFFu) == ID_OPTIONS_DEFAULT_PICTURE &&
      !readsWaited_.empty()) {
    page::StopReading();
  }
  if (!handler_->TranslateAndDispatch(message) && message.message == WM_CLOSE) {
    destroyed_ = true;
    for (const auto& [id, callback] : timers_) page::StopTimer(id);
    timers_.clear();
    handler_->MainWndProc({WM_DESTROY, 0, 0});
  }
}

void WebHost::Invalidate(const Rect& area, bool erase) {
  const Rect client{0, 0, target_.Width(), target_.Height()};
  const Rect clipped = Intersect(area, client);
  if (clipped.IsEmpty() && !erase) return;
  pendingPaint_ = pendingPaint_ ? Bounds(*pendingPaint_, clipped) : clipped;
  pendingErase_ = pendingErase_ || erase;
}

void WebHost::DeliverPaint() {
  if (handler_ == nullptr) return;
  painting_ = pendingPaint_;
  handler_->MainWndProc({WM_PAINT, 0, 0});
  painting_.reset();
}

Rect WebHost::BeginPaint() {
  const Rect area = painting_.value_or(Rect{});
  if (pendingErase_) target_.EraseClient(background_);
  pendingPaint_.reset();
  pendingErase_ = false;
  return area;
}

void WebHost::PresentChanges() {
  const std::vector<Rect> damage = target_.TakeDamage();
  if (!shown_) return;
  const SoftwareSurface& backing = target_.Backing();
  const int32_t width = backing.Width();
  const size_t area = static_cast<size_t>(width) * static_cast<size_t>(backing.Height());
  // What the canvas shows: no word of the backing store has its top byte set, so a new
  // copy matches nothing and the first render shows everything.
  if (onCanvas_.size() != area) onCanvas_.assign(area, 0xFFFFFFFFu);
  for (size_t i = 0; i < damage.size(); ++i) {
    // A rectangle drawn over again later in the same render goes to the canvas once.
    Rect r = Intersect(damage[i], Rect{0, 0, width, backing.Height()});
    const bool again = std::any_of(damage.begin() + static_cast<ptrdiff_t>(i) + 1, damage.end(),
                                   [&](const Rect& later) { return Intersect(r, later) == r; });
    if (again || r.IsEmpty()) continue;
    // Only the part that differs from the canvas is converted and handed over: a cell's
    // grid line and a digit's unlit segments stay as they are.
    Rect changed{r.right, r.bottom, r.left, r.top};
    for (int32_t y = r.top; y < r.bottom; ++y) {
      const uint32_t* row = backing.Row(y);
      const uint32_t* shown = onCanvas_.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
      for (int32_t x = r.left; x < r.right; ++x) {
        if (row[x] == shown[x]) continue;
        changed.left = std::min(changed.left, x);
        changed.right = std::max(changed.right, x + 1);
        changed.top = std::min(changed.top, y);
        changed.bottom = y + 1;
      }
    }
    if (changed.IsEmpty()) continue;
    const int32_t w = changed.Width();
    const int32_t h = changed.Height();
    staging_.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
    uint32_t* out = staging_.data();
    // The canvas wants R, G, B, A bytes where the backing store has 0x00RRGGBB words.
    for (int32_t y = changed.top; y < changed.bottom; ++y) {
      const uint32_t* row = backing.Row(y) + changed.left;
      uint32_t* shown = onCanvas_.data() + static_cast<size_t>(y) * static_cast<size_t>(width) + changed.left;
      for (int32_t x = 0; x < w; ++x) {
        const uint32_t p = row[x];
        shown[x] = p;
        *out++ = 0xFF000000u | ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
      }
    }
    page::Present(staging_.data(), w, changed.left, changed.top, w, h);
    presentedPixels_ += static_cast<uint64_t>(w) * static_cast<uint64_t>(h);
  }
}

void WebHost::ShowMainWindow(int32_t) {
  shown_ = true;
  page::ShowWindow();
  Invalidate(Rect{0, 0, target_.Width(), target_.Height()}, true);
}

void WebHost::UpdateMainWindow() {
  if (pendingPaint_) DeliverPaint();
}

void WebHost::ResizeClient(int32_t width, int32_t height) {
  const bool changed = width != target_.Width() || height != target_.Height();
  target_.SetClientArea(0, 0, width, height);
  if (changed) {
    page::ResizeCanvas(width, height);
    onCanvas_.clear();
  }
  if (handler_ != nullptr) handler_->MainWndProc({WM_MOVE, 0, 0});
  Invalidate(Rect{0, 0, width, height}, true);
}

void WebHost::ClientOrigin(int32_t& screenX, int32_t& screenY) {
  // The canvas is the whole screen the program draws on.
  screenX = 0;
  screenY = 0;
}

void WebHost::InvalidateClient(bool erase) { Invalidate(Rect{0, 0, target_.Width(), target_.Height()}, erase); }

void WebHost::CheckMenuRadioItem(uint32_t first, uint32_t last, uint32_t chosen) {
  for (uint32_t id = first; id <= last; ++id) page::SetMenuMark(id, id == chosen);
}

void WebHost::CheckMenuItem(uint32_t id, uint32_t flags) { page::SetMenuMark(id, (flags & MF_CHECKED) != 0); }

int32_t WebHost::RunMessageLoop() {
  while (!quitPosted_) Pump();
  return quitCode_;
}

void WebHost::PostQuitMessage(int32_t exitCode) {
  if (!quitPosted_) quitCode_ = exitCode;
  quitPosted_ = true;
}

uint32_t WebHost::SetTimer(uint32_t id, uint32_t milliseconds, TimerCallback callback) {
  if (id == 0 || destroyed_) return 0;
  timers_[id] = std::move(callback);
  page::StartTimer(id, std::max<uint32_t>(milliseconds, 10));
  return id;
}

bool WebHost::KillTimer(uint32_t id) {
  if (timers_.erase(id) == 0) return false;
  page::StopTimer(id);
  return true;
}

void WebHost::EndSession() {
  // A dialog's procedure may end its dialog meanwhile; the list is taken first.
  std::vector<Dialog*> open;
  for (const auto& [token, dialog] : dialogs_) open.push_back(dialog);
  for (Dialog* dialog : open) dialog->Send(WM_ENDSESSION, 1, 0);
}

void WebHost::MessageBeep(uint32_t) { page::Beep(); }

bool WebHost::KeyIsDown(uint32_t virtualKey) { return page::KeyIsDown(virtualKey); }

int64_t WebHost::CurrentTime() { return static_cast<int64_t>(std::floor(page::Now() / 1000.0)); }

int32_t WebHost::MessageBox(bool, std::string_view text, std::string_view caption, uint32_t flags) {
  // As a box that cannot be created: no answer.
  if (!page::LoadDialogs()) return 0;
  const int32_t token = NextToken();
  page::OpenBox(token, utf8::ReplaceBroken(text), utf8::ReplaceBroken(caption), flags);
  ++modalDepth_;
  while (answers_.count(token) == 0) Pump();
  --modalDepth_;
  const int32_t answer = answers_[token];
  answers_.erase(token);
  return answer;
}

intptr_t WebHost::DialogBox(int32_t templateId, DialogProcedure procedure) {
  const DialogSpec* spec = FindDialog(templateId);
  if (spec == nullptr || !page::LoadDialogs()) return -1;
  const int32_t token = NextToken();
  Dialog dialog(token, std::move(procedure));
  page::OpenDialog(token, spec->caption, UnitsToX(spec->width), UnitsToY(spec->height),
                   (spec->style & WS_SYSMENU) != 0);
  for (const ControlSpec& control : spec->controls) {
    page::AddControl(token, static_cast<int32_t>(control.kind), control.id, UnitsToX(control.x), UnitsToY(control.y),
                     UnitsToX(control.width), UnitsToY(control.height), control.text, control.style);
  }
  dialogs_[token] = &dialog;
  ++modalDepth_;
  dialog.Send(WM_INITDIALOG, 0, 0);
  if (!dialog.Finished()) page::ShowDialog(token);
  while (!dialog.Finished()) Pump();
  --modalDepth_;
  dialogs_.erase(token);
  page::CloseDialog(token);
  return dialog.Result();
}

std::optional<std::string> WebHost::GetOpenFileName(const OpenFileRequest& request) {
  const int32_t token = NextToken();
  page::ChooseFile(token, AcceptList(request));
  ++modalDepth_;
  while (answers_.count(token) == 0) Pump();
  --modalDepth_;
  const bool chosen = answers_[token] != 0;
  answers_.erase(token);
  if (!chosen) return std::nullopt;
  std::string name = page::ChosenName();
  if (name.empty()) return std::nullopt;
  // Every chosen file here is a picture to play.
  if (!ReadChosenPicture(name)) return std::nullopt;
  return name;
}

bool WebHost::ReadChosenPicture(const std::string& name) {
  // A read can take seconds: the game goes on meanwhile, its input, timers and menus handled
  // as in the main loop, and the program hears of the file once it is read. A choice made
  // meanwhile replaces this one, even one whose read has ended but not yet been taken.
  const int32_t token = NextToken();
  for (const int32_t earlier : readsWaited_) answers_[earlier] = static_cast<int32_t>(page::PictureRead::Replaced);
  readsWaited_.insert(token);
  pictures_.MeasureRoom();
  const ImageSize largest = pictures_.LargestPicture();
  page::ReadPicture(token, name.c_str(), largest.width, largest.height);
  // Exit or the window closed meanwhile ends the wait: the program is on its way out.
  const auto ending = [this] { return destroyed_ || quitPosted_; };
  while (answers_.count(token) == 0 && !ending()) Pump();
  readsWaited_.erase(token);
  const auto answer = answers_.find(token);
  const bool replaced = answer == answers_.end() || answer->second == static_cast<int32_t>(page::PictureRead::Replaced);
  if (answer != answers_.end()) answers_.erase(answer);
  if (ending()) page::StopReading();
  // A file that is no picture the page knows still goes to the program: it may be Targa.
  return !replaced && !ending();
}

void WebHost::OpenWebAddress(std::string_view address) { page::OpenAddress(address); }

std::unique_ptr<RegistryKey> WebHost::CreateSettingsKey(std::string_view path, std::string_view) {
  if (!page::StorageAvailable()) return nullptr;
  return std::make_unique<WebSettingsKey>(path);
}

size_t WebHost::FitText(std::string_view text, size_t maxBytes) { return utf8::Fit(text, maxBytes); }

bool WebHost::ReadClassRegistration(std::string_view, char*, uint32_t) { return false; }

// The help engine here is the page's help viewer; only its plain name finds it.
HelpHandle WebHost::LoadLibrary(std::string_view path) { return path == "hhctrl.ocx" ? 1 : 0; }

HelpHandle WebHost::GetProcAddress(HelpHandle library, uint32_t ordinal) {
  return library == 1 && ordinal == 14 ? 1 : 0;
}

uintptr_t WebHost::CallHelpEntry(HelpHandle entry, std::string_view, uint32_t command, uintptr_t) {
  if (entry != 1) return 0;
  return page::ShowHelp(command) ? 1 : 0;
}

}  // namespace puzzle
