#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "shell/host.h"
#include "toolkit/builtin_bitmaps.h"
#include "toolkit/platform_codes.h"
#include "toolkit/software_surface.h"

namespace puzzle {

// Values of one registry key, held in memory with their types.
class MemoryRegistry {
 public:
  struct Value {
    std::string name;  // as first stored
    uint32_t type = 0;
    std::vector<uint8_t> data;
  };
  // Keys by path; value names compare without case, as the registry's do.
  std::map<std::string, std::map<std::string, Value>> keys;
  bool failOpen = false;
  int opens = 0;
  int writes = 0;

  const Value* Find(const std::string& path, std::string_view name) const;
  void Put(const std::string& path, std::string_view name, uint32_t type, std::vector<uint8_t> data);
  static std::string Fold(std::string_view name);
};

// One step of a scripted dialog: fill a field, press a button, move or click the mouse,
// ask for a paint, tick a timer, or anything else.
struct DialogStep {
  enum class Kind { Type, Command, Mouse, Paint, Tick, Run, Message };
  Kind kind = Kind::Command;
  int32_t id = 0;
  std::string text;
  uint32_t message = 0;
  int32_t x = 0;
  int32_t y = 0;
  std::function<void()> action;

  static DialogStep Make(Kind kind, int32_t id = 0, std::string text = {}) {
    DialogStep step;
    step.kind = kind;
    step.id = id;
    step.text = std::move(text);
    return step;
  }
  static DialogStep Type(int32_t control, std::string value) { return Make(Kind::Type, control, std::move(value)); }
  static DialogStep Press(int32_t control) { return Make(Kind::Command, control); }
  static DialogStep Mouse(uint32_t message, int32_t px, int32_t py) {
    DialogStep step = Make(Kind::Mouse);
    step.message = message;
    step.x = px;
    step.y = py;
    return step;
  }
  static DialogStep Paint() { return Make(Kind::Paint); }
  // Any other message to the dialog's procedure, with its wParam.
  static DialogStep Send(uint32_t message, uint32_t wParam) {
    DialogStep step = Make(Kind::Message, static_cast<int32_t>(wParam));
    step.message = message;
    return step;
  }
  static DialogStep Tick(uint32_t timer) { return Make(Kind::Tick, static_cast<int32_t>(timer)); }
  static DialogStep Run(std::function<void()> what) {
    DialogStep step = Make(Kind::Run);
    step.action = std::move(what);
    return step;
  }
};

// What a dialog showed while it ran.
struct DialogRecord {
  int32_t templateId = 0;
  std::map<int32_t, std::string> initialTexts;  // right after WM_INITDIALOG
  std::map<int32_t, std::string> texts;         // when it ended
  std::map<int32_t, size_t> limits;             // the bytes each limited field takes
  std::vector<CursorShape> cursors;
  std::vector<std::string> drawnTexts;
  intptr_t result = 0;
  bool ended = false;
};

struct MessageBoxRecord {
  bool owned = false;
  std::string text;
  std::string caption;
  uint32_t flags = 0;
};

struct HelpCall {
  std::string file;
  uint32_t command = 0;
  std::vector<uint8_t> record;  // the bytes behind data for the search command
};

// An in-memory host for tests and tools: software surfaces, an in-memory registry,
// scripted boxes, dialogs and file choices, timers fired by hand, and a record of
// everything the program asked for.
class HeadlessHost : public Host {
 public:
  explicit HeadlessHost(FontRasterizer* fonts = nullptr);

  // --- Host ------------------------------------------------------------------------------
  void SetWindowHandler(WindowHandler* handler) override { handler_ = handler; }
  bool CreateMainWindow(const MainWindowSpec& spec) override;
  bool SetUpDrawing() override;
  SurfaceFactory& Surfaces() override { return factory_; }
  Surface& WindowTarget() override { return target; }
  ImageFileDecoder& PictureFiles() override { return *decoder_; }
  const BitmapResources& Bitmaps() override { return bitmaps_; }
  void PresentChanges() override;
  void ShowMainWindow(int32_t showCommand) override;
  void UpdateMainWindow() override;
  void ResizeClient(int32_t width, int32_t height) override;
  void ClientOrigin(int32_t& screenX, int32_t& screenY) override;
  void InvalidateClient(bool erase) override;
  Rect BeginPaint() override;
  void EndPaint() override;
  void CheckMenuRadioItem(uint32_t first, uint32_t last, uint32_t chosen) override;
  void CheckMenuItem(uint32_t id, uint32_t flags) override;
  int32_t RunMessageLoop() override;
  void PostQuitMessage(int32_t exitCode) override;
  uint32_t SetTimer(uint32_t id, uint32_t milliseconds, TimerCallback callback) override;
  bool KillTimer(uint32_t id) override;
  void MessageBeep(uint32_t type) override {
    beeps.push_back(type);
    log.push_back("beep " + std::to_string(type));
  }
  bool KeyIsDown(uint32_t virtualKey) override { return heldKeys.count(virtualKey) != 0; }
  int64_t CurrentTime() override { return currentTime; }
  int32_t MessageBox(bool ownedByMainWindow, std::string_view text, std::string_view caption, uint32_t flags) override;
  intptr_t DialogBox(int32_t templateId, DialogProcedure procedure) override;
  std::optional<std::string> GetOpenFileName(const OpenFileRequest& request) override;
  void OpenWebAddress(std::string_view address) override { openedAddresses.emplace_back(address); }
  std::unique_ptr<RegistryKey> CreateSettingsKey(std::string_view path, std::string_view className) override;
  // Texts are UTF-8, as on the desktop this host stands in for.
  size_t FitText(std::string_view text, size_t maxBytes) override;
  bool ReadClassRegistration(std::string_view subKey, char* buffer, uint32_t size) override;
  HelpHandle LoadLibrary(std::string_view path) override;
  HelpHandle GetProcAddress(HelpHandle library, uint32_t ordinal) override;
  uintptr_t CallHelpEntry(HelpHandle entry, std::string_view file, uint32_t command, uintptr_t data) override;

  // --- Driving the program as the platform would ----------------------------------------
  // Hands a message to the program now, with the default handling of what it leaves.
  void Dispatch(const Message& message);
  // Queues a message for RunMessageLoop.
  void Post(const Message& message) { queue.push_back(message); }
  void Post(uint32_t message, uint32_t wParam = 0, int32_t lParam = 0) { queue.push_back({message, wParam, lParam}); }
  // A key press: key-down, the character it makes (for Ctrl+letter), key-up.
  void PressKey(uint32_t virtualKey, bool control = false);
  void Click(int32_t clientX, int32_t clientY);
  void MoveMouse(int32_t clientX, int32_t clientY, bool buttonHeld = false);
  void Command(uint32_t id) { Dispatch({WM_COMMAND, id, 0}); }
  // A tick of a running timer: its callback, or WM_TIMER to the window procedure.
  bool FireTimer(uint32_t id);
  // Delivers a pending paint, as the loop does when nothing else is queued.
  bool DeliverPaint();
  // Moves the window on the screen; the platform tells the program with WM_MOVE.
  void MoveWindow(int32_t screenX, int32_t screenY);
  void Close() { Dispatch({WM_CLOSE, 0, 0}); }

  // --- What it was asked -----------------------------------------------------------------
  struct Timer {
    uint32_t milliseconds = 0;
    bool hasCallback = false;
  };
  bool TimerRunning(uint32_t id) const { return timers_.count(id) != 0; }
  const Timer* FindTimer(uint32_t id) const;
  bool IsChecked(uint32_t id) const { return checked.count(id) != 0; }

  // What happened, in order: "present", "radio 40004", "check 40012 8", "box Paint Error",
  // "dialog 109", "quit 1", "timer 1 1000", "kill 1", "beep 0".
  std::vector<std::string> log;
  MemoryRegistry registry;
  SurfaceMonitor monitor;
  SoftwareWindowTarget target;
  bool windowCreated = false;
  bool windowShown = false;
  bool windowDestroyed = false;
  bool failCreateWindow = false;
  bool failSetUpDrawing = false;
  int32_t screenX = 40;
  int32_t screenY = 60;
  int32_t clientWidth = 0;
  int32_t clientHeight = 0;
  int32_t showCommand = -1;
  int32_t resizes = 0;
  std::set<uint32_t> checked;
  std::vector<std::pair<uint32_t, uint32_t>> markCalls;  // (item, checked or the radio group's first)
  std::vector<uint32_t> beeps;
  std::set<uint32_t> heldKeys;
  int64_t currentTime = 1700000000;
  std::deque<Message> queue;
  bool quitPosted = false;
  int32_t quitCode = 0;
  int quitRequests = 0;
  int paints = 0;
  int erases = 0;
  int presents = 0;
  int64_t presentedPixels = 0;

  std::vector<MessageBoxRecord> messageBoxes;
  std::deque<int32_t> messageBoxAnswers;  // IDOK (or IDNO for Yes/No) when empty
  std::function<void()> whileBoxOpen;     // runs while each box is up: ticks, paints...

  std::map<int32_t, std::deque<std::vector<DialogStep>>> dialogScripts;
  std::deque<DialogRecord> dialogs;  // a deque: nested dialogs never move earlier records
  int unfinishedDialogs = 0;

  std::deque<std::optional<std::string>> fileChoices;  // cancel when empty
  std::vector<OpenFileRequest> fileRequests;
  std::vector<std::string> openedAddresses;

  std::optional<std::string> helpRegistration;  // the engine's registered library path
  bool helpRegistrationTerminated = true;        // stored with its terminator
  std::set<std::string> loadableLibraries;      // names LoadLibrary succeeds with
  bool helpHasEntry = true;
  std::vector<std::string> libraryLoads;
  int entryLookups = 0;
  std::vector<HelpCall> helpCalls;

  // Picture files by path, for the default decoder.
  std::map<std::string, DecodedImage> pictureFiles;
  // Files that are there but no picture.
  std::set<std::string> otherFiles;
  void UseDecoder(ImageFileDecoder* decoder) { decoder_ = decoder != nullptr ? decoder : &memoryFiles_; }

 private:
  class MemoryFiles : public ImageFileDecoder {
   public:
    explicit MemoryFiles(HeadlessHost& host) : host_(host) {}
    std::optional<ImageSize> Probe(const char* path) override;
    std::optional<DecodedImage> Decode(const char* path) override;
    bool Exists(const char* path) override;

   private:
    HeadlessHost& host_;
  };

  void DefaultWindowProc(const Message& message);
  void Invalidate(const Rect& rect, bool erase);

  WindowHandler* handler_ = nullptr;
  SoftwareSurfaceFactory factory_;
  BuiltinBitmaps bitmaps_;
  MemoryFiles memoryFiles_;
  ImageFileDecoder* decoder_;
  std::map<uint32_t, std::pair<Timer, TimerCallback>> timers_;
  std::optional<Rect> pendingPaint_;
  bool pendingErase_ = false;
  uint32_t background_ = 0;
  int modalDepth_ = 0;
};

}  // namespace puzzle
