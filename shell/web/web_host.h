#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "shell/host.h"
#include "shell/text/truetype_rasterizer.h"
#include "shell/web/page_calls.h"
#include "toolkit/software_surface.h"

namespace puzzle {

// The player's pictures as the page keeps them: the browser's decoders through the page,
// Targa through the shared decoder; no larger than the page has room for.
class WebPictureFiles : public ImageFileDecoder {
 public:
  std::optional<ImageSize> Probe(const char* path) override;
  std::optional<ImageSize> NaturalSize(const char* path) override;
  std::optional<DecodedImage> Decode(const char* path) override;
  // Whether the page keeps bytes under that name, a picture or not.
  bool Exists(const char* path) override;
  // Measures the room the page has now; pictures larger than it come out smaller, their
  // shape kept (0 x 0 sets no limit).
  void MeasureRoom();
  ImageSize LargestPicture() const { return largest_; }

 private:
  // The page's read of the picture: its size before fitting, or false when the page's
  // decoders don't know it.
  bool Read(const char* path, int32_t& width, int32_t& height);

  ImageSize largest_{};
  // The file the room was last measured for.
  std::string probed_;
};

// The built-in bitmaps: the picture comes from the page, which has the browser decode its
// compressed file while the program loads; the digit and face strips are small enough to
// be compiled in.
class WebBitmaps : public BitmapResources {
 public:
  std::optional<DecodedImage> LoadBitmap(int32_t id) const override;
};

// The browser host: the program runs inside its own message loop, which waits for the
// page's next event (Asyncify turns the wait into a promise), so dialogs and boxes are
// modal calls as on the desktop. The window target is a backing store of the client
// area; what a render changed goes to the page's canvas as rectangles.
class WebHost : public Host {
 public:
  WebHost();
  ~WebHost() override;

  void SetWindowHandler(WindowHandler* handler) override { handler_ = handler; }
  bool CreateMainWindow(const MainWindowSpec& spec) override;
  bool SetUpDrawing() override { return true; }
  SurfaceFactory& Surfaces() override { return factory_; }
  Surface& WindowTarget() override { return target_; }
  ImageFileDecoder& PictureFiles() override { return pictures_; }
  const BitmapResources& Bitmaps() override { return bitmaps_; }
  void PresentChanges() override;
  void ShowMainWindow(int32_t showCommand) override;
  void UpdateMainWindow() override;
  void ResizeClient(int32_t width, int32_t height) override;
  void ClientOrigin(int32_t& screenX, int32_t& screenY) override;
  void InvalidateClient(bool erase) override;
  Rect BeginPaint() override;
  void EndPaint() override {}
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
  size_t FitText(std::string_view text, size_t maxBytes) override;
  bool ReadClassRegistration(std::string_view subKey, char* buffer, uint32_t size) override;
  HelpHandle LoadLibrary(std::string_view path) override;
  HelpHandle GetProcAddress(HelpHandle library, uint32_t ordinal) override;
  uintptr_t CallHelpEntry(HelpHandle entry, std::string_view file, uint32_t command, uintptr_t data) override;

  // Pixels handed to the canvas since the start.
  uint64_t PresentedPixels() const { return presentedPixels_; }
  // The page is going away (closed, reloaded, put in the background): every open dialog
  // hears WM_ENDSESSION, so that what it holds is kept.
  void EndSession();

 private:
  class Dialog;

  // Waits for one event and handles it; modal loops handle main-window input not at all.
  void Pump();
  void Handle(const page::Event& event);
  void Dispatch(const Message& message);
  void DeliverPaint();
  void Invalidate(const Rect& area, bool erase);
  // A box or a dialog or the file chooser waits on its own answer.
  int32_t NextToken() { return ++lastToken_; }
  // Reads the chosen picture while the game goes on; false when a later choice replaced it.
  bool ReadChosenPicture(const std::string& name);

  WindowHandler* handler_ = nullptr;
  std::unique_ptr<TrueTypeRasterizer> fonts_;
  SoftwareSurfaceFactory factory_;
  SoftwareWindowTarget target_;
  WebPictureFiles pictures_;
  WebBitmaps bitmaps_;
  uint32_t background_ = 0xC0C0C0;
  std::map<uint32_t, TimerCallback> timers_;
  std::optional<Rect> pendingPaint_;
  bool pendingErase_ = false;
  std::optional<Rect> painting_;
  bool shown_ = false;
  bool quitPosted_ = false;
  int32_t quitCode_ = 0;
  bool destroyed_ = false;
  int modalDepth_ = 0;
  int32_t lastToken_ = 0;
  // Answers of boxes, file choices and picture reads that came, by token.
  std::map<int32_t, int32_t> answers_;
  // The reads of chosen pictures being waited on, the latest innermost.
  std::set<int32_t> readsWaited_;
  std::map<int32_t, Dialog*> dialogs_;
  // Written whole before each use: left unfilled when it grows (a new picture's first frame
  // is megabytes).
  PixelVector staging_;
  // A copy of what the canvas shows, so that only what differs is handed to it.
  std::vector<uint32_t> onCanvas_;
  uint64_t presentedPixels_ = 0;
};

}  // namespace puzzle
