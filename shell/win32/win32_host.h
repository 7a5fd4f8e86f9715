#pragma once

#include "shell/win32/windows_api.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "shell/host.h"
#include "shell/win32/ddraw_display.h"
#include "shell/win32/wic_decoder.h"

namespace puzzle {

// The program's own bitmaps from its RT_BITMAP resources.
class ResourceBitmaps : public BitmapResources {
 public:
  explicit ResourceBitmaps(HINSTANCE instance) : instance_(instance) {}
  std::optional<DecodedImage> LoadBitmap(int32_t id) const override;

 private:
  HINSTANCE instance_;
};

// The Windows host: the window class "puzzle" and its window, the message loop with the
// accelerator table, DirectDraw drawing, window timers, dialogs from the dialog templates,
// the registry, the open-file dialog, the shell and the HTML Help control.
class Win32Host : public Host {
 public:
  explicit Win32Host(HINSTANCE instance);
  ~Win32Host() override;
  Win32Host(const Win32Host&) = delete;
  Win32Host& operator=(const Win32Host&) = delete;

  void SetWindowHandler(WindowHandler* handler) override { handler_ = handler; }
  bool CreateMainWindow(const MainWindowSpec& spec) override;
  bool SetUpDrawing() override;
  SurfaceFactory& Surfaces() override { return display_; }
  Surface& WindowTarget() override { return display_.WindowTarget(); }
  ImageFileDecoder& PictureFiles() override { return decoder_; }
  const BitmapResources& Bitmaps() override { return bitmaps_; }
  // Every render goes straight to the screen.
  void PresentChanges() override {}
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
  void MessageBeep(uint32_t type) override;
  bool KeyIsDown(uint32_t virtualKey) override;
  int64_t CurrentTime() override;
  int32_t MessageBox(bool ownedByMainWindow, std::string_view text, std::string_view caption, uint32_t flags) override;
  intptr_t DialogBox(int32_t templateId, DialogProcedure procedure) override;
  std::optional<std::string> GetOpenFileName(const OpenFileRequest& request) override;
  void OpenWebAddress(std::string_view address) override;
  // The program's texts are UTF-8 here, converted at the Windows calls.
  size_t FitText(std::string_view text, size_t maxBytes) override;
  std::unique_ptr<RegistryKey> CreateSettingsKey(std::string_view path, std::string_view className) override;
  bool ReadClassRegistration(std::string_view subKey, char* buffer, uint32_t size) override;
  HelpHandle LoadLibrary(std::string_view path) override;
  HelpHandle GetProcAddress(HelpHandle library, uint32_t ordinal) override;
  uintptr_t CallHelpEntry(HelpHandle entry, std::string_view file, uint32_t command, uintptr_t data) override;

  HWND MainWindow() const { return window_; }
  HINSTANCE Instance() const { return instance_; }
  DirectDrawDisplay& Display() { return display_; }

 private:
  static LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static void CALLBACK TimerProc(HWND window, UINT message, UINT_PTR id, DWORD time);

  HINSTANCE instance_;
  HWND window_ = nullptr;
  HACCEL accelerators_ = nullptr;
  uint32_t style_ = 0;
  std::string className_;
  WindowHandler* handler_ = nullptr;
  DirectDrawDisplay display_;
  PictureDecoder decoder_;
  ResourceBitmaps bitmaps_;
  PAINTSTRUCT paint_{};
  bool painting_ = false;
  std::map<UINT_PTR, TimerCallback> timerCallbacks_;
  // The windows of the dialogs running, innermost last (null until a dialog has one).
  std::vector<HWND*> openDialogs_;
};

}  // namespace puzzle
