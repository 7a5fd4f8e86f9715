#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/font.h"
#include "toolkit/geometry.h"
#include "toolkit/image.h"
#include "toolkit/surface.h"

namespace puzzle {

// One window message, as the window procedure receives it.
struct Message {
  uint32_t message = 0;
  uint32_t wParam = 0;
  int32_t lParam = 0;
};

enum class CursorShape { Arrow, Hand };

// A modal dialog while it runs, as its procedure sees it. Control texts are UTF-8 on
// every host.
class DialogWindow {
 public:
  virtual ~DialogWindow() = default;
  virtual void SetItemText(int32_t id, std::string_view text) = 0;
  // The edit control takes no more than maxBytes bytes of the program's text, whole
  // characters only, as Win32's EM_LIMITTEXT counts an ANSI program's bytes; typing into a
  // full field does nothing. A host whose controls can't hold more needs nothing here.
  virtual void LimitText(int32_t id, size_t maxBytes) {
    (void)id;
    (void)maxBytes;
  }
  // At most maxBytes bytes of the control's text, ending on a whole character.
  virtual std::string GetItemText(int32_t id, size_t maxBytes) = 0;
  // Ends the modal loop once the procedure returns; DialogBox answers result.
  virtual void EndDialog(intptr_t result) = 0;
  virtual void SetCursor(CursorShape shape) = 0;
  // Draws text in the dialog's client area, top-left of its cell at (x, y) in pixels,
  // with a transparent background. Only valid while a WM_PAINT is being handled.
  virtual void DrawText(int32_t x, int32_t y, std::string_view text, const FontSpec& font, uint32_t rgb) = 0;
};

// A dialog procedure: true when it handled the message. WM_INITDIALOG, WM_COMMAND (the
// control in the low word; Enter gives the default button, Escape and the close box
// give IDCANCEL), WM_PAINT, WM_MOUSEMOVE and WM_LBUTTONDOWN (client pixels packed in
// lParam) reach it.
using DialogProcedure = std::function<bool(DialogWindow& dialog, uint32_t message, uint32_t wParam, int32_t lParam)>;

// A timer callback, given the identifier of the timer that ticked.
using TimerCallback = std::function<void(uint32_t id)>;

// An open key of the per-user settings store; closed when destroyed. Statuses are the
// registry's (ERROR_SUCCESS, ERROR_FILE_NOT_FOUND, ERROR_MORE_DATA...).
class RegistryKey {
 public:
  virtual ~RegistryKey() = default;
  virtual bool ValueExists(std::string_view name) = 0;
  // Copies at most *size bytes of the value into data and sets *size to the bytes
  // copied and *type to the stored type; ERROR_MORE_DATA when the value was longer.
  virtual int32_t QueryValue(std::string_view name, uint32_t* type, uint8_t* data, uint32_t* size) = 0;
  virtual int32_t SetValue(std::string_view name, uint32_t type, const uint8_t* data, uint32_t size) = 0;
};

// The main window as the program creates it.
struct MainWindowSpec {
  std::string_view className;
  std::string_view title;
  uint32_t style = 0;
  int32_t menuId = 0;
  int32_t iconId = 0;
  uint32_t backgroundRgb = 0;
};

// The open-file dialog's request: filter pairs (text shown, patterns separated by ';')
// with the first preselected, existing files only. Any path comes back, however long:
// one the program can't keep gets its own message rather than a silent dialog.
struct OpenFileRequest {
  std::vector<std::pair<std::string, std::string>> filters;
  int32_t filterIndex = 1;
  bool fileMustExist = true;
};

// An opaque handle the help engine hands out; 0 is none.
using HelpHandle = uintptr_t;

// The program's side of the main window. The host hands every message its loop takes
// for the main window to TranslateAndDispatch, and calls MainWndProc directly for what
// the platform sends at once (moves, paints, closing).
class WindowHandler {
 public:
  virtual ~WindowHandler() = default;
  // Accelerators first; a message they turn into a command is not dispatched itself.
  // False when the message is left to the platform's default handling.
  virtual bool TranslateAndDispatch(const Message& message) = 0;
  // False when the message is left to the platform's default handling.
  virtual bool MainWndProc(const Message& message) = 0;
};

// Everything the program asks of the platform. A host translates its own events into
// Messages and hands them to the program's dispatcher; the program answers through this.
class Host {
 public:
  virtual ~Host() = default;

  // --- The main window -----------------------------------------------------------
  // Where the main window's messages go; set before the window is created.
  virtual void SetWindowHandler(WindowHandler* handler) = 0;
  // Registers the class and creates the window, hidden, with its menu built from the
  // menu table. False when either fails.
  virtual bool CreateMainWindow(const MainWindowSpec& spec) = 0;
  // The drawing set-up: surfaces for pictures and the window target clipped to the
  // window. False when any part fails.
  virtual bool SetUpDrawing() = 0;
  virtual SurfaceFactory& Surfaces() = 0;
  virtual Surface& WindowTarget() = 0;
  virtual ImageFileDecoder& PictureFiles() = 0;
  virtual const BitmapResources& Bitmaps() = 0;
  // Shows what the renders since the last call changed on the window target.
  virtual void PresentChanges() = 0;

  virtual void ShowMainWindow(int32_t showCommand) = 0;
  // Has a pending paint handled at once.
  virtual void UpdateMainWindow() = 0;
  // Sizes the window so that its client area is width x height; the top-left corner of
  // the window stays. The platform answers with WM_MOVE and paints.
  virtual void ResizeClient(int32_t width, int32_t height) = 0;
  // The client area's top-left corner in screen pixels.
  virtual void ClientOrigin(int32_t& screenX, int32_t& screenY) = 0;
  // The whole client area needs painting; with erase it is filled with the window's
  // background colour first.
  virtual void InvalidateClient(bool erase) = 0;
  // Starts handling WM_PAINT: the rectangle to repaint, in client coordinates.
  virtual Rect BeginPaint() = 0;
  virtual void EndPaint() = 0;

  virtual void CheckMenuRadioItem(uint32_t first, uint32_t last, uint32_t chosen) = 0;
  virtual void CheckMenuItem(uint32_t id, uint32_t flags) = 0;

  // --- The loop, timers and sounds -------------------------------------------------
  // Runs until the quit message and answers its code.
  virtual int32_t RunMessageLoop() = 0;
  virtual void PostQuitMessage(int32_t exitCode) = 0;
  // Without a callback the ticks come to the window procedure as WM_TIMER.
  virtual uint32_t SetTimer(uint32_t id, uint32_t milliseconds, TimerCallback callback) = 0;
  virtual bool KillTimer(uint32_t id) = 0;
  virtual void MessageBeep(uint32_t type) = 0;
  // Whether a key (VK_SHIFT, VK_CONTROL, VK_MENU...) is held down now.
  virtual bool KeyIsDown(uint32_t virtualKey) = 0;
  // Whole seconds since 1970-01-01 00:00 UTC.
  virtual int64_t CurrentTime() = 0;

  // --- Boxes and dialogs ---------------------------------------------------------------
  // ownedByMainWindow false: no owner (the window does not exist). Answers IDOK, IDYES...
  virtual int32_t MessageBox(bool ownedByMainWindow, std::string_view text, std::string_view caption,
                             uint32_t flags) = 0;
  // Runs the dialog of that template modally, owned by the main window, whose input is
  // held off meanwhile; timer ticks and paints go on.
  virtual intptr_t DialogBox(int32_t templateId, DialogProcedure procedure) = 0;
  // The chosen path, or nothing when the player cancelled or the dialog failed.
  virtual std::optional<std::string> GetOpenFileName(const OpenFileRequest& request) = 0;
  virtual void OpenWebAddress(std::string_view address) = 0;

  // --- The settings store -------------------------------------------------------------
  // Opens the per-user key, creating it when absent; null when it can't be had.
  virtual std::unique_ptr<RegistryKey> CreateSettingsKey(std::string_view path, std::string_view className) = 0;

  // --- Text ------------------------------------------------------------------------------
  // The program's texts are bytes in the platform's encoding. How many of the text's first
  // bytes, at most maxBytes, end on a whole character: where a text too long for its buffer
  // is cut. The byte at maxBytes, when there is one, tells whether a character goes on.
  // In a single-byte encoding every byte is a character.
  virtual size_t FitText(std::string_view text, size_t maxBytes) { return std::min(text.size(), maxBytes); }

  // --- The help engine ---------------------------------------------------------------------
  // The default value of a key under the classes root, at most size bytes.
  virtual bool ReadClassRegistration(std::string_view subKey, char* buffer, uint32_t size) = 0;
  virtual HelpHandle LoadLibrary(std::string_view path) = 0;
  virtual HelpHandle GetProcAddress(HelpHandle library, uint32_t ordinal) = 0;
  // Calls the engine's entry point; data is the command's argument (0 or the address of
  // its record). Answers the help window's handle, or 0.
  virtual uintptr_t CallHelpEntry(HelpHandle entry, std::string_view file, uint32_t command, uintptr_t data) = 0;
};

}  // namespace puzzle
