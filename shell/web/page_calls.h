#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "toolkit/image.h"

// What the browser host asks of its page (site/*.js): the page owns the canvas, the
// menu bar, dialogs, boxes, the file chooser, storage and help; the program owns the game.
// Texts cross as UTF-8.
namespace puzzle::page {

// One event the page queued: input for the main window, a timer's tick, an exposed
// area, input for a dialog, a box's answer, a file chosen or a picture read.
struct Event {
  enum Kind : int32_t {
    None = 0,
    Message = 1,
    Timer = 2,
    Expose = 3,
    Dialog = 4,
    BoxAnswer = 5,
    FileChosen = 6,
    PictureRead = 7
  };
  int32_t kind = None;
  int32_t a = 0;
  int32_t b = 0;
  int32_t c = 0;
  int32_t d = 0;
  int32_t e = 0;
};

// The next queued event, or None when nothing is queued.
Event Poll();
// Waits, without spinning, until the page queues an event, and answers it.
Event Wait();

// The window.
void SetTitle(std::string_view title);
void AddMenu(std::string_view title);
void AddMenuItem(std::string_view text, uint32_t command, bool checkable);
void SetMenuMark(uint32_t command, bool checked);
// One accelerator of the program's table: the page keeps those keys from the browser.
void AddAccelerator(uint8_t flags, uint16_t key, uint16_t command);
void ResizeCanvas(int32_t width, int32_t height);
void ShowWindow();
// Shows width x height RGBA pixels (rows of stride pixels) at (x, y) on the canvas.
void Present(const uint32_t* rgba, int32_t stride, int32_t x, int32_t y, int32_t width, int32_t height);
// The largest client area the page has room for, in canvas pixels.
void AvailableClient(int32_t& width, int32_t& height);
void Ended(int32_t exitCode);

// Timers tick as Timer events; a tick not yet handled is not queued twice.
void StartTimer(uint32_t id, uint32_t milliseconds);
void StopTimer(uint32_t id);
void Beep();
bool KeyIsDown(uint32_t virtualKey);
double Now();

// Boxes, dialogs and the file chooser answer through events carrying their token.
// Waits for the page's dialogs to be there (they load after the game's first frame): false
// when they could not be loaded.
bool LoadDialogs();
void OpenBox(int32_t token, std::string_view text, std::string_view caption, uint32_t flags);
void OpenDialog(int32_t token, std::string_view caption, int32_t width, int32_t height, bool closeBox);
void AddControl(int32_t token, int32_t kind, int32_t id, int32_t x, int32_t y, int32_t width, int32_t height,
                std::string_view text, uint32_t style);
void ShowDialog(int32_t token);
void CloseDialog(int32_t token);
void SetControlText(int32_t token, int32_t id, std::string_view text);
// A field that takes no more than maxBytes bytes of UTF-8, whole characters only.
void LimitControlText(int32_t token, int32_t id, size_t maxBytes);
std::string ControlText(int32_t token, int32_t id);
void SetDialogCursor(int32_t token, bool hand);
void ClearDialogDrawing(int32_t token);
void DrawDialogText(int32_t token, int32_t x, int32_t y, std::string_view text, bool underline, bool bold, uint32_t rgb);
void ChooseFile(int32_t token, std::string_view accept);
// The name of the file the last FileChosen event was about.
std::string ChosenName();
void OpenAddress(std::string_view address);
bool ShowHelp(uint32_t command);

// Picture files the player chose, kept by the page under their names.
std::optional<std::vector<uint8_t>> PictureBytes(const char* name);

// The page reads a picture away from the program's thread (a worker, with a deadline): the
// size from the header, then the pixels no larger than the limits (0: none). One read at a
// time; the last one is kept until its pixels are taken.
enum class PictureRead : int32_t { NotAPicture = 0, Sized = 1, Replaced = 2, NotRead = -1 };
// Starts a read; a PictureRead event with the token says how it ended (event.b, as above).
// Another read, or StopReading, replaces it: its event says Replaced.
void ReadPicture(int32_t token, const char* name, int32_t maxWidth, int32_t maxHeight);
void StopReading();
// What the last read found, if it was of this picture for these limits: NotRead while it
// is not, NotAPicture, or Sized with the size before fitting.
PictureRead PictureSize(const char* name, int32_t maxWidth, int32_t maxHeight, int32_t& width, int32_t& height);
// Reads the picture unless it is read already and waits until it is; meanwhile the
// program's events wait (Asyncify: its page call is js_await_picture_read).
PictureRead AwaitPictureRead(const char* name, int32_t maxWidth, int32_t maxHeight, int32_t& width, int32_t& height);
// The last read's pixels, handed over once as R, G, B, A bytes in the image's words; false
// when there are none.
bool TakePicture(const char* name, int32_t maxWidth, int32_t maxHeight, DecodedImage& image);

// Storage: one entry for each value; text "type:hex bytes".
bool StorageAvailable();
std::optional<std::string> ReadStored(std::string_view key);
// Values that belong together (one settings key's), stored all or none: where storage
// fails they are kept for the session instead, and the player is told once.
void WriteStoredTogether(const std::vector<std::pair<std::string, std::string>>& entries);

// The font file the tile numbers are written with, fetched by the page before start.
std::vector<uint8_t> FontFile();

// The built-in picture as the page decoded it from its compressed file while the program
// loaded: R, G, B, A bytes. False when the page has none.
bool BuiltinPicture(int32_t& width, int32_t& height, std::vector<uint32_t>& rgba);

}  // namespace puzzle::page
