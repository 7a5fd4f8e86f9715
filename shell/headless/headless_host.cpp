#include "shell/headless/headless_host.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "resources/resource_tables.h"
#include "shell/text/utf8.h"
#include "toolkit/platform_codes.h"

namespace puzzle {

// --- MemoryRegistry -----------------------------------------------------------------------

std::string MemoryRegistry::Fold(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return folded;
}

const MemoryRegistry::Value* MemoryRegistry::Find(const std::string& path, std::string_view name) const {
  auto key = keys.find(path);
  if (key == keys.end()) return nullptr;
  auto value = key->second.find(Fold(name));
  return value == key->second.end() ? nullptr : &value->second;
}

void MemoryRegistry::Put(const std::string& path, std::string_view name, uint32_t type, std::vector<uint8_t> data) {
  auto& values = keys[path];
  auto& value = values[Fold(name)];
  if (value.name.empty()) value.name = std::string(name);
  value.type = type;
  value.data = std::move(data);
}

namespace {

class MemoryKey : public RegistryKey {
 public:
  MemoryKey(MemoryRegistry& registry, std::string path) : registry_(registry), path_(std::move(path)) {}

  bool ValueExists(std::string_view name) override { return registry_.Find(path_, name) != nullptr; }

  int32_t QueryValue(std::string_view name, uint32_t* type, uint8_t* data, uint32_t* size) override {
    const MemoryRegistry::Value* value = registry_.Find(path_, name);
    if (value == nullptr) return ERROR_FILE_NOT_FOUND;
    if (type != nullptr) *type = value->type;
    const auto stored = static_cast<uint32_t>(value->data.size());
    if (data == nullptr || size == nullptr) {
      if (size != nullptr) *size = stored;
      return ERROR_SUCCESS;
    }
    const uint32_t copied = std::min(stored, *size);
    std::copy_n(value->data.begin(), copied, data);
    const bool fits = stored <= *size;
    *size = fits ? stored : *size;
    return fits ? ERROR_SUCCESS : ERROR_MORE_DATA;
  }

  int32_t SetValue(std::string_view name, uint32_t type, const uint8_t* data, uint32_t size) override {
    ++registry_.writes;
    registry_.Put(path_, name, type, std::vector<uint8_t>(data, data + size));
    return ERROR_SUCCESS;
  }

 private:
  MemoryRegistry& registry_;
  std::string path_;
};

class ScriptedDialog : public DialogWindow {
 public:
  explicit ScriptedDialog(DialogRecord& record) : record_(record) {}
  void SetItemText(int32_t id, std::string_view text) override { record_.texts[id] = std::string(text); }
  void LimitText(int32_t id, size_t maxBytes) override { record_.limits[id] = maxBytes; }
  std::string GetItemText(int32_t id, size_t maxBytes) override {
    const std::string& text = record_.texts[id];
    return text.substr(0, utf8::Fit(text, maxBytes));
  }
  void EndDialog(intptr_t result) override {
    record_.ended = true;
    record_.result = result;
  }
  void SetCursor(CursorShape shape) override { record_.cursors.push_back(shape); }
  void DrawText(int32_t, int32_t, std::string_view text, const FontSpec&, uint32_t) override {
    record_.drawnTexts.emplace_back(text);
  }

 private:
  DialogRecord& record_;
};

}  // namespace

// --- HeadlessHost ---------------------------------------------------------------------------

HeadlessHost::HeadlessHost(FontRasterizer* fonts)
    : target(&monitor), factory_(&monitor, fonts), memoryFiles_(*this), decoder_(&memoryFiles_) {}

std::optional<ImageSize> HeadlessHost::MemoryFiles::Probe(const char* path) {
  auto it = host_.pictureFiles.find(path);
  if (it == host_.pictureFiles.end()) return std::nullopt;
  return ImageSize{it->second.width, it->second.height};
}

std::optional<DecodedImage> HeadlessHost::MemoryFiles::Decode(const char* path) {
  auto it = host_.pictureFiles.find(path);
  if (it == host_.pictureFiles.end()) return std::nullopt;
  return it->second;
}

bool HeadlessHost::MemoryFiles::Exists(const char* path) {
  return host_.pictureFiles.count(path) != 0 || host_.otherFiles.count(path) != 0;
}

bool HeadlessHost::CreateMainWindow(const MainWindowSpec& spec) {
  if (failCreateWindow) return false;
  windowCreated = true;
  background_ = spec.backgroundRgb;
  return true;
}

bool HeadlessHost::SetUpDrawing() {
  if (failSetUpDrawing) return false;
  target.SetClientArea(screenX, screenY, clientWidth, clientHeight);
  return true;
}

void HeadlessHost::PresentChanges() {
  ++presents;
  log.emplace_back("present");
  for (const Rect& r : target.TakeDamage()) presentedPixels += int64_t{r.Width()} * r.Height();
}

void HeadlessHost::ShowMainWindow(int32_t command) {
  showCommand = command;
  windowShown = true;
  Invalidate(Rect{0, 0, clientWidth, clientHeight}, true);
}

void HeadlessHost::UpdateMainWindow() { DeliverPaint(); }

void HeadlessHost::ResizeClient(int32_t width, int32_t height) {
  ++resizes;
  // As on the platforms, a window that keeps its size is not repainted.
  const bool resized = width != clientWidth || height != clientHeight;
  clientWidth = width;
  clientHeight = height;
  target.SetClientArea(screenX, screenY, width, height);
  if (handler_ != nullptr) handler_->MainWndProc({WM_MOVE, 0, MakeLParam(static_cast<uint32_t>(screenX),
                                                                       static_cast<uint32_t>(screenY))});
  if (resized) Invalidate(Rect{0, 0, width, height}, true);
}

void HeadlessHost::MoveWindow(int32_t x, int32_t y) {
  screenX = x;
  screenY = y;
  target.SetClientArea(x, y, clientWidth, clientHeight);
  if (handler_ != nullptr) handler_->MainWndProc({WM_MOVE, 0, MakeLParam(static_cast<uint32_t>(x), static_cast<uint32_t>(y))});
}

void HeadlessHost::ClientOrigin(int32_t& x, int32_t& y) {
  x = screenX;
  y = screenY;
}

void HeadlessHost::Invalidate(const Rect& rect, bool erase) {
  if (!windowShown || rect.IsEmpty()) return;
  if (pendingPaint_) {
    pendingPaint_ = Rect{std::min(pendingPaint_->left, rect.left), std::min(pendingPaint_->top, rect.top),
                         std::max(pendingPaint_->right, rect.right), std::max(pendingPaint_->bottom, rect.bottom)};
  } else {
    pendingPaint_ = rect;
  }
  pendingErase_ = pendingErase_ || erase;
}

void HeadlessHost::InvalidateClient(bool erase) { Invalidate(Rect{0, 0, clientWidth, clientHeight}, erase); }

Rect HeadlessHost::BeginPaint() {
  const Rect area = pendingPaint_.value_or(Rect{});
  if (pendingErase_) {
    ++erases;
    target.EraseClient(background_);
  }
  pendingPaint_.reset();
  pendingErase_ = false;
  return area;
}

void HeadlessHost::EndPaint() { ++paints; }

bool HeadlessHost::DeliverPaint() {
  if (!pendingPaint_ || handler_ == nullptr) return false;
  if (!handler_->MainWndProc({WM_PAINT, 0, 0})) BeginPaint();  // the default validates
  return true;
}

void HeadlessHost::CheckMenuRadioItem(uint32_t first, uint32_t last, uint32_t chosen) {
  markCalls.emplace_back(chosen, first);
  log.push_back("radio " + std::to_string(chosen));
  for (uint32_t id = first; id <= last; ++id) checked.erase(id);
  if (chosen >= first && chosen <= last) checked.insert(chosen);
}

void HeadlessHost::CheckMenuItem(uint32_t id, uint32_t flags) {
  markCalls.emplace_back(id, flags);
  log.push_back("check " + std::to_string(id) + " " + std::to_string(flags));
  if ((flags & MF_CHECKED) != 0) {
    checked.insert(id);
  } else {
    checked.erase(id);
  }
}

void HeadlessHost::DefaultWindowProc(const Message& message) {
  if (message.message == WM_CLOSE && !windowDestroyed) {
    windowDestroyed = true;
    if (handler_ != nullptr) handler_->MainWndProc({WM_DESTROY, 0, 0});
  }
}

void HeadlessHost::Dispatch(const Message& message) {
  if (handler_ == nullptr || windowDestroyed) return;
  if (!handler_->TranslateAndDispatch(message)) DefaultWindowProc(message);
}

int32_t HeadlessHost::RunMessageLoop() {
  while (!quitPosted) {
    if (!queue.empty()) {
      const Message message = queue.front();
      queue.pop_front();
      if (message.message == WM_TIMER) {
        FireTimer(message.wParam);
      } else {
        Dispatch(message);
      }
      continue;
    }
    if (DeliverPaint()) continue;
    // Nothing left to do and no quit: the script ran out.
    return -1;
  }
  return quitCode;
}

void HeadlessHost::PostQuitMessage(int32_t exitCode) {
  ++quitRequests;
  log.push_back("quit " + std::to_string(exitCode));
  quitPosted = true;
  quitCode = exitCode;
}

uint32_t HeadlessHost::SetTimer(uint32_t id, uint32_t milliseconds, TimerCallback callback) {
  log.push_back("timer " + std::to_string(id) + " " + std::to_string(milliseconds));
  if (id == 0) return 0;
  Timer timer;
  timer.milliseconds = milliseconds;
  timer.hasCallback = static_cast<bool>(callback);
  timers_[id] = {timer, std::move(callback)};
  return id;
}

bool HeadlessHost::KillTimer(uint32_t id) {
  log.push_back("kill " + std::to_string(id));
  return timers_.erase(id) != 0;
}

const HeadlessHost::Timer* HeadlessHost::FindTimer(uint32_t id) const {
  auto it = timers_.find(id);
  return it == timers_.end() ? nullptr : &it->second.first;
}

bool HeadlessHost::FireTimer(uint32_t id) {
  auto it = timers_.find(id);
  if (it == timers_.end() || handler_ == nullptr) return false;
  if (it->second.second) {
    TimerCallback callback = it->second.second;  // the callback may kill its own timer
    callback(id);
  } else {
    Dispatch({WM_TIMER, id, 0});
  }
  return true;
}

void HeadlessHost::PressKey(uint32_t virtualKey, bool control) {
  if (control) heldKeys.insert(VK_CONTROL);
  Dispatch({WM_KEYDOWN, virtualKey, 1});
  if (control && virtualKey >= 'A' && virtualKey <= 'Z') Dispatch({WM_CHAR, virtualKey - 'A' + 1, 1});
  Dispatch({WM_KEYUP, virtualKey, static_cast<int32_t>(0xC0000001u)});
  if (control) heldKeys.erase(VK_CONTROL);
}

void HeadlessHost::Click(int32_t clientX, int32_t clientY) {
  const int32_t at = MakeLParam(static_cast<uint32_t>(clientX), static_cast<uint32_t>(clientY));
  Dispatch({WM_LBUTTONDOWN, MK_LBUTTON, at});
  Dispatch({WM_LBUTTONUP, 0, at});
}

void HeadlessHost::MoveMouse(int32_t clientX, int32_t clientY, bool buttonHeld) {
  Dispatch({WM_MOUSEMOVE, buttonHeld ? MK_LBUTTON : 0u,
            MakeLParam(static_cast<uint32_t>(clientX), static_cast<uint32_t>(clientY))});
}

int32_t HeadlessHost::MessageBox(bool ownedByMainWindow, std::string_view text, std::string_view caption,
                                 uint32_t flags) {
  messageBoxes.push_back({ownedByMainWindow, std::string(text), std::string(caption), flags});
  log.push_back("box " + std::string(caption));
  ++modalDepth_;
  if (whileBoxOpen) whileBoxOpen();
  --modalDepth_;
  if (!messageBoxAnswers.empty()) {
    const int32_t answer = messageBoxAnswers.front();
    messageBoxAnswers.pop_front();
    return answer;
  }
  return (flags & MB_TYPEMASK) == MB_YESNO ? IDNO : IDOK;
}

intptr_t HeadlessHost::DialogBox(int32_t templateId, DialogProcedure procedure) {
  const DialogSpec* spec = FindDialog(templateId);
  if (spec == nullptr) return -1;
  log.push_back("dialog " + std::to_string(templateId));
  DialogRecord& record = dialogs.emplace_back();
  record.templateId = templateId;
  for (const ControlSpec& control : spec->controls) {
    if (control.id != IDC_STATIC) record.texts[control.id] = std::string(control.text);
  }
  std::vector<DialogStep> script;
  auto& scripts = dialogScripts[templateId];
  if (!scripts.empty()) {
    script = std::move(scripts.front());
    scripts.pop_front();
  }
  ++modalDepth_;
  ScriptedDialog window(record);
  auto send = [&](uint32_t message, uint32_t wParam, int32_t lParam) { procedure(window, message, wParam, lParam); };
  send(WM_INITDIALOG, 0, 0);
  record.initialTexts = record.texts;
  for (const DialogStep& step : script) {
    if (record.ended) break;
    switch (step.kind) {
      case DialogStep::Kind::Type: {
        // As a player types over the whole field: a limited field takes what fits.
        const auto limit = record.limits.find(step.id);
        record.texts[step.id] = limit == record.limits.end()
                                    ? step.text
                                    : utf8::FitEdit(record.texts[step.id], step.text, limit->second).text;
        break;
      }
      case DialogStep::Kind::Message:
        send(step.message, static_cast<uint32_t>(step.id), 0);
        break;
      case DialogStep::Kind::Command:
        send(WM_COMMAND, static_cast<uint32_t>(step.id), 0);
        break;
      case DialogStep::Kind::Mouse:
        send(step.message, 0, MakeLParam(static_cast<uint32_t>(step.x), static_cast<uint32_t>(step.y)));
        break;
      case DialogStep::Kind::Paint:
        send(WM_PAINT, 0, 0);
        break;
      case DialogStep::Kind::Tick:
        FireTimer(static_cast<uint32_t>(step.id));
        break;
      case DialogStep::Kind::Run:
        step.action();
        break;
    }
  }
  // A script that stops short closes the dialog the way a player would try to.
  if (!record.ended) send(WM_COMMAND, IDCANCEL, 0);
  if (!record.ended) send(WM_COMMAND, IDOK, 0);
  if (!record.ended) {
    ++unfinishedDialogs;
    record.ended = true;
    record.result = -1;
  }
  --modalDepth_;
  return record.result;
}

std::optional<std::string> HeadlessHost::GetOpenFileName(const OpenFileRequest& request) {
  fileRequests.push_back(request);
  if (fileChoices.empty()) return std::nullopt;
  auto choice = fileChoices.front();
  fileChoices.pop_front();
  return choice;
}

std::unique_ptr<RegistryKey> HeadlessHost::CreateSettingsKey(std::string_view path, std::string_view) {
  ++registry.opens;
  if (registry.failOpen) return nullptr;
  registry.keys[std::string(path)];
  return std::make_unique<MemoryKey>(registry, std::string(path));
}

size_t HeadlessHost::FitText(std::string_view text, size_t maxBytes) { return utf8::Fit(text, maxBytes); }

bool HeadlessHost::ReadClassRegistration(std::string_view, char* buffer, uint32_t size) {
  if (!helpRegistration || size == 0) return false;
  // Like the registry: at most size bytes, terminated only when it fits, or not at all
  // when it was stored without its terminator.
  const std::string& value = *helpRegistration;
  const size_t stored = value.size() + (helpRegistrationTerminated ? 1 : 0);
  std::memcpy(buffer, value.c_str(), std::min<size_t>(stored, size));
  return stored <= size;
}

HelpHandle HeadlessHost::LoadLibrary(std::string_view path) {
  libraryLoads.emplace_back(path);
  return loadableLibraries.count(std::string(path)) != 0 ? 0x1000 + libraryLoads.size() : 0;
}

HelpHandle HeadlessHost::GetProcAddress(HelpHandle library, uint32_t ordinal) {
  ++entryLookups;
  return library != 0 && ordinal == 14 && helpHasEntry ? 0x2000 : 0;
}

uintptr_t HeadlessHost::CallHelpEntry(HelpHandle, std::string_view file, uint32_t command, uintptr_t data) {
  HelpCall call{std::string(file), command, {}};
  if (data != 0) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(data);
    call.record.assign(bytes, bytes + 32);
  }
  helpCalls.push_back(std::move(call));
  return 0x3000;
}

}  // namespace puzzle
