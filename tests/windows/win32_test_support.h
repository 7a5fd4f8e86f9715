#pragma once

// The portable program's headers come first: windows.h defines many of the same names
// (WM_PAINT, IDOK...) as macros of the same values.
#include "shell/application.h"
#include "shell/headless/headless_host.h"
#include "settings/small_dialogs.h"

#include "shell/win32/win32_host.h"

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace puzzle::test {

// 0x00RRGGBB pixels of an area, rows top to bottom.
struct Pixels {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint32_t> data;
  uint32_t At(int32_t x, int32_t y) const { return data[static_cast<size_t>(y) * width + x]; }
  friend bool operator==(const Pixels&, const Pixels&) = default;
};

// How many pixels differ; -1 when the sizes do.
inline int64_t CountDifferences(const Pixels& a, const Pixels& b) {
  if (a.width != b.width || a.height != b.height) return -1;
  int64_t n = 0;
  for (size_t i = 0; i < a.data.size(); ++i) n += a.data[i] != b.data[i];
  return n;
}

// Runs the window's messages for a while, the accelerators translated as the program's loop does.
inline void Pump(int milliseconds = 50) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  do {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  } while (std::chrono::steady_clock::now() < end);
}

// Dispatches messages one at a time until wanted() holds, for at most five seconds: a
// timer's two ticks are seen apart however slow the machine is.
template <typename Wanted>
bool PumpUntil(Wanted wanted) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  do {
    MSG message;
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (wanted()) return true;
  } while (std::chrono::steady_clock::now() < end);
  return false;
}

// The client area as the screen shows it.
inline Pixels CaptureClient(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  Pixels out;
  out.width = client.right;
  out.height = client.bottom;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = out.width;
  info.bmiHeader.biHeight = -out.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, out.width, out.height, screen, origin.x, origin.y, SRCCOPY);
  GdiFlush();
  const auto* p = static_cast<const uint32_t*>(bits);
  out.data.assign(p, p + static_cast<size_t>(out.width) * out.height);
  for (uint32_t& pixel : out.data) pixel &= 0x00FFFFFF;
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return out;
}

inline Pixels HeadlessClient(HeadlessHost& host) {
  host.DeliverPaint();
  const SoftwareSurface& backing = host.target.Backing();
  Pixels out;
  out.width = backing.Width();
  out.height = backing.Height();
  out.data.assign(backing.Pixels().begin(), backing.Pixels().end());
  for (uint32_t& pixel : out.data) pixel &= 0x00FFFFFF;
  return out;
}

// The Windows host with a clock held on one second (so the shuffle is the one the headless
// host makes) and message boxes recorded instead of shown.
class TestHost : public Win32Host {
 public:
  explicit TestHost(int64_t second) : Win32Host(GetModuleHandleA(nullptr)), second_(second) {}
  int64_t CurrentTime() override { return second_; }
  int32_t MessageBox(bool owned, std::string_view text, std::string_view caption, uint32_t flags) override {
    boxes.push_back(std::string(caption) + ": " + std::string(text));
    if (realBoxes) return Win32Host::MessageBox(owned, text, caption, flags);
    return IDOK;
  }
  // The open-file dialog answers these paths in turn, then a cancel.
  std::optional<std::string> GetOpenFileName(const OpenFileRequest&) override {
    if (files.empty()) return std::nullopt;
    std::string path = files.front();
    files.erase(files.begin());
    return path;
  }
  std::vector<std::string> boxes;
  std::vector<std::string> files;
  // The platform's own boxes, for what happens around them.
  bool realBoxes = false;

 private:
  int64_t second_;
};

}  // namespace puzzle::test
