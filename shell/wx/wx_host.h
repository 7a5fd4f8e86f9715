#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include <wx/wx.h>

#include "shell/fonts/freetype_rasterizer.h"
#include "shell/host.h"
#include "shell/linux/pixbuf_decoder.h"
#include "shell/text/utf8.h"
#include "shell/wx/x11_presenter.h"
#include "toolkit/builtin_bitmaps.h"
#include "toolkit/software_surface.h"

namespace puzzle {

class HelpBook;
class WxHost;

// The client area: shows the backing store and turns the platform's input into the
// program's messages.
class GameCanvas : public wxWindow {
 public:
  GameCanvas(wxWindow* parent, WxHost& host);

 private:
  void OnPaint(wxPaintEvent& event);
  void OnMouse(wxMouseEvent& event);
  void OnKeyUp(wxKeyEvent& event);

  WxHost& host_;
};

// The main window: the menu bar built from the menu table, the canvas, closing.
class MainFrame : public wxFrame {
 public:
  MainFrame(WxHost& host, const MainWindowSpec& spec);
  GameCanvas* Canvas() const { return canvas_; }
  // Puts every menu mark back to what the program last set.
  void ApplyMarks(const std::map<uint32_t, bool>& marks);

 private:
  void OnMenu(wxCommandEvent& event);
  void OnCharHook(wxKeyEvent& event);
  void OnClose(wxCloseEvent& event);
  void OnMove(wxMoveEvent& event);

  WxHost& host_;
  GameCanvas* canvas_;
  std::map<int, uint32_t> commands_;  // wx item number -> command
};

// The Linux desktop host on wxWidgets: a window whose client area is a software backing
// store, presented rectangle by rectangle; timers, dialogs, boxes, the settings file and
// the help book.
class WxHost : public Host {
 public:
  WxHost();
  ~WxHost() override;

  void SetWindowHandler(WindowHandler* handler) override { handler_ = handler; }
  bool CreateMainWindow(const MainWindowSpec& spec) override;
  bool SetUpDrawing() override;
  SurfaceFactory& Surfaces() override { return factory_; }
  Surface& WindowTarget() override { return target_; }
  ImageFileDecoder& PictureFiles() override { return decoder_; }
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
  void MessageBeep(uint32_t type) override;
  bool KeyIsDown(uint32_t virtualKey) override;
  int64_t CurrentTime() override;
  int32_t MessageBox(bool ownedByMainWindow, std::string_view text, std::string_view caption, uint32_t flags) override;
  intptr_t DialogBox(int32_t templateId, DialogProcedure procedure) override;
  std::optional<std::string> GetOpenFileName(const OpenFileRequest& request) override;
  void OpenWebAddress(std::string_view address) override;
  std::unique_ptr<RegistryKey> CreateSettingsKey(std::string_view path, std::string_view className) override;
  size_t FitText(std::string_view text, size_t maxBytes) override { return utf8::Fit(text, maxBytes); }
  bool ReadClassRegistration(std::string_view subKey, char* buffer, uint32_t size) override;
  HelpHandle LoadLibrary(std::string_view path) override;
  HelpHandle GetProcAddress(HelpHandle library, uint32_t ordinal) override;
  uintptr_t CallHelpEntry(HelpHandle entry, std::string_view file, uint32_t command, uintptr_t data) override;

  // --- For the frame and the canvas ---------------------------------------------------
  // Hands a message to the program, with the default handling of what it leaves.
  void Dispatch(const Message& message);
  // A paint of the canvas: the program repaints what was exposed, then the update region
  // is shown from the backing store.
  void Paint(wxDC& dc, const wxRegion& update);
  // Pixels shown on the canvas since the start: what the window costs the display.
  uint64_t PresentedPixels() const { return presentedPixels_; }
  void WindowClosed();
  MainFrame* Frame() const { return frame_; }
  // Keys held down: true when the key was up before.
  bool NoteKeyDown(uint32_t key) { return heldKeys_.insert(key).second; }
  void NoteKeyUp(uint32_t key) { heldKeys_.erase(key); }
  bool Destroyed() const { return destroyed_; }
  void DestroyFrame();

 private:
  class Timer;
  // Allowed for the window manager's frame before it is known.
  static constexpr int kAssumedTitleBar = 40;
  static constexpr int kAssumedBorder = 8;

  void Invalidate(const wxRect& area, bool erase);
  // Pictures larger than the screen's work area leaves room for are decoded smaller.
  void FitPicturesToScreen();
  // The program's WM_PAINT for an area the platform or the program asked to repaint.
  void PaintRequested(const wxRect& area);
  // Draws the backing store's pixels of the region onto the canvas.
  void Show(wxDC& dc, const wxRegion& update);
  // Called after each paint of the canvas.
  void FrameShown();

  WindowHandler* handler_ = nullptr;
  MainFrame* frame_ = nullptr;
  FreeTypeRasterizer fonts_;
  SoftwareSurfaceFactory factory_;
  SoftwareWindowTarget target_;
  PixbufDecoder decoder_;
  BuiltinBitmaps bitmaps_;
  uint32_t background_ = 0xC0C0C0;
  std::map<uint32_t, bool> marks_;
  std::set<uint32_t> heldKeys_;
  std::map<uint32_t, std::unique_ptr<Timer>> timers_;
  std::vector<std::unique_ptr<Timer>> retired_;
  // What the program invalidated and has not painted yet, and whether it is erased first.
  std::optional<wxRect> programPaint_;
  bool pendingErase_ = false;
  // The rectangle of the WM_PAINT under way.
  std::optional<wxRect> painting_;
  // Areas queued for showing, and the update region of the canvas paint under way.
  wxRegion queued_;
  const wxRegion* showing_ = nullptr;
  uint64_t presentedPixels_ = 0;
  // Once the canvas has been painted once, changes go straight to its X window when it has one.
  std::unique_ptr<X11Presenter> direct_;
  bool painted_ = false;
  bool quitPosted_ = false;
  int32_t quitCode_ = 0;
  bool destroyed_ = false;
  bool fontsWarmed_ = false;
  std::unique_ptr<HelpBook> help_;
};

}  // namespace puzzle
