#include "shell/web/page_calls.h"

#include <algorithm>
#include <cstdlib>

#include <emscripten.h>

#include "toolkit/image.h"

// The page's side of each call is in site/ (page.js wires it up), as Module.page.
// clang-format off
EM_JS(int, js_poll_event, (int32_t* out), {
  const event = Module.page.pollEvent();
  if (!event) return 0;
  for (let i = 0; i < 6; i++) HEAP32[(out >> 2) + i] = event[i] | 0;
  return 1;
});

EM_ASYNC_JS(int, js_wait_event, (int32_t* out), {
  const event = await Module.page.nextEvent();
  for (let i = 0; i < 6; i++) HEAP32[(out >> 2) + i] = event[i] | 0;
  return 1;
});

EM_JS(void, js_set_title, (const char* text, int length), { Module.page.setTitle(UTF8ToString(text, length)); });
EM_JS(void, js_add_menu, (const char* text, int length), { Module.page.addMenu(UTF8ToString(text, length)); });
EM_JS(void, js_add_menu_item, (const char* text, int length, uint32_t command, int checkable), {
  Module.page.addMenuItem(UTF8ToString(text, length), command, !!checkable);
});
EM_JS(void, js_set_menu_mark, (uint32_t command, int checked), { Module.page.setMenuMark(command, !!checked); });
EM_JS(void, js_add_accelerator, (int flags, int key, int command), { Module.page.addAccelerator(flags, key, command); });
EM_JS(void, js_resize_canvas, (int width, int height), { Module.page.resizeCanvas(width, height); });
EM_JS(void, js_show_window, (), { Module.page.showWindow(); });
EM_JS(void, js_present, (const uint32_t* rgba, int stride, int x, int y, int width, int height), {
  Module.page.present(HEAPU8, rgba, stride, x, y, width, height);
});
EM_JS(void, js_available_client, (int32_t* out), {
  const size = Module.page.availableClient();
  HEAP32[out >> 2] = size[0];
  HEAP32[(out >> 2) + 1] = size[1];
});
EM_JS(void, js_ended, (int code), { Module.page.ended(code); });
EM_JS(void, js_start_timer, (uint32_t id, uint32_t ms), { Module.page.startTimer(id, ms); });
EM_JS(void, js_stop_timer, (uint32_t id), { Module.page.stopTimer(id); });
EM_JS(void, js_beep, (), { Module.page.beep(); });
EM_JS(int, js_key_is_down, (uint32_t key), { return Module.page.keyIsDown(key) ? 1 : 0; });
EM_JS(double, js_now, (), { return Date.now(); });

EM_JS(void, js_open_box, (int token, const char* text, int textLength, const char* caption, int captionLength,
                          uint32_t flags), {
  Module.page.openBox(token, UTF8ToString(text, textLength), UTF8ToString(caption, captionLength), flags);
});
EM_JS(void, js_open_dialog, (int token, const char* caption, int length, int width, int height, int closeBox), {
  Module.page.openDialog(token, UTF8ToString(caption, length), width, height, !!closeBox);
});
EM_JS(void, js_add_control, (int token, int kind, int id, int x, int y, int width, int height, const char* text,
                             int length, uint32_t style), {
  Module.page.addControl(token, kind, id, x, y, width, height, UTF8ToString(text, length), style);
});
EM_JS(void, js_show_dialog, (int token), { Module.page.showDialog(token); });
EM_JS(void, js_close_dialog, (int token), { Module.page.closeDialog(token); });
EM_JS(void, js_set_control_text, (int token, int id, const char* text, int length), {
  Module.page.setControlText(token, id, UTF8ToString(text, length));
});
EM_JS(char*, js_control_text, (int token, int id), {
  const text = Module.page.controlText(token, id);
  const size = lengthBytesUTF8(text) + 1;
  const buffer = _malloc(size);
  if (buffer) stringToUTF8(text, buffer, size);
  return buffer;
});
EM_JS(void, js_limit_control_text, (int token, int id, int maxBytes), {
  Module.page.limitControlText(token, id, maxBytes);
});
EM_JS(void, js_set_dialog_cursor, (int token, int hand), { Module.page.setDialogCursor(token, !!hand); });
EM_JS(void, js_clear_dialog_drawing, (int token), { Module.page.clearDialogDrawing(token); });
EM_JS(void, js_draw_dialog_text, (int token, int x, int y, const char* text, int length, int underline, int bold,
                                  uint32_t rgb), {
  Module.page.drawDialogText(token, x, y, UTF8ToString(text, length), !!underline, !!bold, rgb);
});
EM_JS(void, js_choose_file, (int token, const char* accept, int length), {
  Module.page.chooseFile(token, UTF8ToString(accept, length));
});
EM_JS(char*, js_chosen_name, (), {
  const text = Module.page.chosenName();
  const size = lengthBytesUTF8(text) + 1;
  const buffer = _malloc(size);
  if (buffer) stringToUTF8(text, buffer, size);
  return buffer;
});
EM_JS(void, js_open_address, (const char* text, int length), { Module.page.openAddress(UTF8ToString(text, length)); });
EM_JS(int, js_show_help, (uint32_t command), { return Module.page.showHelp(command) ? 1 : 0; });

EM_JS(uint8_t*, js_picture_bytes, (const char* name, int32_t* size), {
  const bytes = Module.page.pictureBytes(UTF8ToString(name));
  if (!bytes) return 0;
  const buffer = _malloc(Math.max(1, bytes.length));
  if (!buffer) return 0;
  HEAPU8.set(bytes, buffer);
  HEAP32[size >> 2] = bytes.length;
  return buffer;
});
EM_JS(void, js_read_picture, (int token, const char* name, int maxWidth, int maxHeight), {
  Module.page.readPicture(token, UTF8ToString(name), maxWidth, maxHeight);
});
EM_JS(void, js_stop_reading, (), { Module.page.stopReading(); });
EM_JS(int, js_picture_size, (const char* name, int maxWidth, int maxHeight, int32_t* out), {
  const size = Module.page.pictureSize(UTF8ToString(name), maxWidth, maxHeight);
  if (size === undefined) return -1;
  if (!size) return 0;
  HEAP32[out >> 2] = size.width;
  HEAP32[(out >> 2) + 1] = size.height;
  return 1;
});
// The page calls that wait for the page (besides js_wait_event): Asyncify must know them.
EM_ASYNC_JS(int, js_load_dialogs, (), {
  try {
    await Module.page.loadDialogs();
    return 1;
  } catch (error) {
    return 0;
  }
});
EM_ASYNC_JS(int, js_await_picture_read, (const char* name, int maxWidth, int maxHeight), {
  return (await Module.page.awaitPictureRead(UTF8ToString(name), maxWidth, maxHeight)) ? 1 : 0;
});
EM_JS(int, js_picture_pixels, (const char* name, int maxWidth, int maxHeight, int32_t* out), {
  const picture = Module.page.pictureToTake(UTF8ToString(name), maxWidth, maxHeight);
  if (!picture) return 0;
  HEAP32[out >> 2] = picture.width;
  HEAP32[(out >> 2) + 1] = picture.height;
  HEAP32[(out >> 2) + 2] = picture.opaque ? 1 : 0;
  return 1;
});
EM_JS(int, js_take_picture, (const char* name, int maxWidth, int maxHeight, uint8_t* into, int size), {
  const picture = Module.page.takePicture(UTF8ToString(name), maxWidth, maxHeight);
  if (!picture || picture.rgba.length !== size) return 0;
  HEAPU8.set(picture.rgba, into);
  return 1;
});

EM_JS(int, js_storage_available, (), { return Module.page.storageAvailable() ? 1 : 0; });
EM_JS(char*, js_read_stored, (const char* key, int length), {
  const text = Module.page.readStored(UTF8ToString(key, length));
  if (text === null || text === undefined) return 0;
  const size = lengthBytesUTF8(text) + 1;
  const buffer = _malloc(size);
  if (buffer) stringToUTF8(text, buffer, size);
  return buffer;
});
EM_JS(void, js_write_stored_together, (const char* text, int length), {
  Module.page.writeStoredTogether(UTF8ToString(text, length));
});
EM_JS(uint8_t*, js_font_file, (int32_t* size), {
  const bytes = Module.page.fontFile();
  if (!bytes || !bytes.length) return 0;
  const buffer = _malloc(bytes.length);
  if (!buffer) return 0;
  HEAPU8.set(bytes, buffer);
  HEAP32[size >> 2] = bytes.length;
  return buffer;
});
EM_JS(uint8_t*, js_builtin_picture, (int32_t* out), {
  const picture = Module.page.builtinPicture();
  if (!picture) return 0;
  const buffer = _malloc(Math.max(4, picture.rgba.length));
  if (!buffer) return 0;
  HEAPU8.set(picture.rgba, buffer);
  HEAP32[out >> 2] = picture.width;
  HEAP32[(out >> 2) + 1] = picture.height;
  HEAP32[(out >> 2) + 2] = picture.rgba.length;
  return buffer;
});
// clang-format on

namespace puzzle::page {

namespace {

int Length(std::string_view text) { return static_cast<int>(text.size()); }

std::string Take(char* text) {
  if (text == nullptr) return {};
  std::string result(text);
  std::free(text);
  return result;
}

std::vector<uint8_t> TakeBytes(uint8_t* bytes, int32_t size) {
  std::vector<uint8_t> result;
  if (bytes == nullptr) return result;
  result.assign(bytes, bytes + size);
  std::free(bytes);
  return result;
}

Event FromArray(const int32_t (&values)[6]) {
  return Event{values[0], values[1], values[2], values[3], values[4], values[5]};
}

}  // namespace

Event Poll() {
  int32_t values[6] = {};
  if (js_poll_event(values) == 0) return Event{};
  return FromArray(values);
}

Event Wait() {
  int32_t values[6] = {};
  js_wait_event(values);
  return FromArray(values);
}

void SetTitle(std::string_view title) { js_set_title(title.data(), Length(title)); }
void AddMenu(std::string_view title) { js_add_menu(title.data(), Length(title)); }
void AddMenuItem(std::string_view text, uint32_t command, bool checkable) {
  js_add_menu_item(text.data(), Length(text), command, checkable ? 1 : 0);
}
void SetMenuMark(uint32_t command, bool checked) { js_set_menu_mark(command, checked ? 1 : 0); }
void AddAccelerator(uint8_t flags, uint16_t key, uint16_t command) { js_add_accelerator(flags, key, command); }
void ResizeCanvas(int32_t width, int32_t height) { js_resize_canvas(width, height); }
void ShowWindow() { js_show_window(); }
void Present(const uint32_t* rgba, int32_t stride, int32_t x, int32_t y, int32_t width, int32_t height) {
  js_present(rgba, stride, x, y, width, height);
}
void AvailableClient(int32_t& width, int32_t& height) {
  int32_t size[2] = {};
  js_available_client(size);
  width = size[0];
  height = size[1];
}
void Ended(int32_t exitCode) { js_ended(exitCode); }
void StartTimer(uint32_t id, uint32_t milliseconds) { js_start_timer(id, milliseconds); }
void StopTimer(uint32_t id) { js_stop_timer(id); }
void Beep() { js_beep(); }
bool KeyIsDown(uint32_t virtualKey) { return js_key_is_down(virtualKey) != 0; }
double Now() { return js_now(); }

bool LoadDialogs() { return js_load_dialogs() != 0; }

void OpenBox(int32_t token, std::string_view text, std::string_view caption, uint32_t flags) {
  js_open_box(token, text.data(), Length(text), caption.data(), Length(caption), flags);
}
void OpenDialog(int32_t token, std::string_view caption, int32_t width, int32_t height, bool closeBox) {
  js_open_dialog(token, caption.data(), Length(caption), width, height, closeBox ? 1 : 0);
}
void AddControl(int32_t token, int32_t kind, int32_t id, int32_t x, int32_t y, int32_t width, int32_t height,
                std::string_view text, uint32_t style) {
  js_add_control(token, kind, id, x, y, width, height, text.data(), Length(text), style);
}
void ShowDialog(int32_t token) { js_show_dialog(token); }
void CloseDialog(int32_t token) { js_close_dialog(token); }
void SetControlText(int32_t token, int32_t id, std::string_view text) {
  js_set_control_text(token, id, text.data(), Length(text));
}
std::string ControlText(int32_t token, int32_t id) { return Take(js_control_text(token, id)); }
void LimitControlText(int32_t token, int32_t id, size_t maxBytes) {
  js_limit_control_text(token, id, static_cast<int>(std::min<size_t>(maxBytes, 0x7FFFFFFF)));
}
void SetDialogCursor(int32_t token, bool hand) { js_set_dialog_cursor(token, hand ? 1 : 0); }
void ClearDialogDrawing(int32_t token) { js_clear_dialog_drawing(token); }
void DrawDialogText(int32_t token, int32_t x, int32_t y, std::string_view text, bool underline, bool bold,
                    uint32_t rgb) {
  js_draw_dialog_text(token, x, y, text.data(), Length(text), underline ? 1 : 0, bold ? 1 : 0, rgb);
}
void ChooseFile(int32_t token, std::string_view accept) { js_choose_file(token, accept.data(), Length(accept)); }
std::string ChosenName() { return Take(js_chosen_name()); }
void OpenAddress(std::string_view address) { js_open_address(address.data(), Length(address)); }
bool ShowHelp(uint32_t command) { return js_show_help(command) != 0; }

std::optional<std::vector<uint8_t>> PictureBytes(const char* name) {
  int32_t size = 0;
  uint8_t* bytes = js_picture_bytes(name, &size);
  if (bytes == nullptr) return std::nullopt;
  return TakeBytes(bytes, size);
}

void ReadPicture(int32_t token, const char* name, int32_t maxWidth, int32_t maxHeight) {
  js_read_picture(token, name, maxWidth, maxHeight);
}

void StopReading() { js_stop_reading(); }

PictureRead PictureSize(const char* name, int32_t maxWidth, int32_t maxHeight, int32_t& width, int32_t& height) {
  int32_t size[2] = {};
  const int state = js_picture_size(name, maxWidth, maxHeight, size);
  if (state < 0) return PictureRead::NotRead;
  if (state == 0) return PictureRead::NotAPicture;
  width = size[0];
  height = size[1];
  return PictureRead::Sized;
}

PictureRead AwaitPictureRead(const char* name, int32_t maxWidth, int32_t maxHeight, int32_t& width, int32_t& height) {
  if (js_await_picture_read(name, maxWidth, maxHeight) == 0) return PictureRead::NotAPicture;
  return PictureSize(name, maxWidth, maxHeight, width, height);
}

bool TakePicture(const char* name, int32_t maxWidth, int32_t maxHeight, DecodedImage& image) {
  int32_t out[3] = {};
  if (js_picture_pixels(name, maxWidth, maxHeight, out) == 0) return false;
  // The page keeps to the limits; nothing larger than a surface may be is taken from it.
  if (!SurfaceSizeAllowed(out[0], out[1])) return false;
  image.width = out[0];
  image.height = out[1];
  image.opaque = out[2] != 0;
  // Straight into the image's own words: a picture the size of the screen is megabytes.
  image.pixels.resize(static_cast<size_t>(image.width) * static_cast<size_t>(image.height));
  return js_take_picture(name, maxWidth, maxHeight, reinterpret_cast<uint8_t*>(image.pixels.data()),
                         static_cast<int>(image.pixels.size() * sizeof(uint32_t))) != 0;
}

bool StorageAvailable() { return js_storage_available() != 0; }

std::optional<std::string> ReadStored(std::string_view key) {
  char* text = js_read_stored(key.data(), Length(key));
  if (text == nullptr) return std::nullopt;
  return Take(text);
}

void WriteStoredTogether(const std::vector<std::pair<std::string, std::string>>& entries) {
  // Entry names and their "type:hex" texts hold no line breaks: one a line, name then text.
  std::string text;
  for (const auto& [key, value] : entries) text.append(key).append("\n").append(value).append("\n");
  js_write_stored_together(text.data(), Length(text));
}

std::vector<uint8_t> FontFile() {
  int32_t size = 0;
  return TakeBytes(js_font_file(&size), size);
}

bool BuiltinPicture(int32_t& width, int32_t& height, std::vector<uint32_t>& rgba) {
  int32_t out[3] = {};
  uint8_t* bytes = js_builtin_picture(out);
  if (bytes == nullptr) return false;
  width = out[0];
  height = out[1];
  const size_t count = static_cast<size_t>(std::max(width, 0)) * static_cast<size_t>(std::max(height, 0));
  if (!SurfaceSizeAllowed(width, height) || static_cast<size_t>(out[2]) != count * sizeof(uint32_t)) {
    std::free(bytes);
    return false;
  }
  rgba.resize(count);
  std::memcpy(rgba.data(), bytes, count * sizeof(uint32_t));
  std::free(bytes);
  return true;
}

}  // namespace puzzle::page
