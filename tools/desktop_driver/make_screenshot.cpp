// Takes the screenshot the software centres show: the real program on its own Xvfb, a
// game under way with the tile numbers on, its window read back from the X server.
//   make_screenshot <out.png>
// The shuffle is seeded with a fixed second, so every run takes the same picture.
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "tools/desktop_driver/desktop_session.h"
#include "toolkit/platform_codes.h"

int main(int argc, char** argv) {
  using namespace puzzle::e2e;
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_screenshot <out.png>\n");
    return 2;
  }
  const std::string missing = MissingTools();
  if (!missing.empty()) {
    std::fprintf(stderr, "make_screenshot: not installed: %s\n", missing.c_str());
    return 1;
  }
  constexpr int64_t kSecond = 1796551200;  // 2026-12-06 10:00:00 UTC
  VirtualDisplay display;
  std::string error;
  if (!display.Start(&error)) {
    std::fprintf(stderr, "make_screenshot: no X server: %s\n", error.c_str());
    return 1;
  }
  XTools x(display.Name());
  TempDir home("brindlewick-screenshot-");
  HeadlessMirror mirror(kSecond);
  DesktopProgram program(x, home.Path(), kSecond);
  if (!program.Launch(&error, mirror.Client().height) || !program.Focus()) {
    std::fprintf(stderr, "make_screenshot: %s\n", error.c_str());
    return 1;
  }
  // A game a few moves in, numbers on: what the player sees while playing.
  program.Key({"F2"});
  mirror.Key(puzzle::VK_F2);
  for (uint32_t key : {puzzle::VK_LEFT, puzzle::VK_DOWN, puzzle::VK_LEFT, puzzle::VK_UP}) {
    program.Key({XdotoolKeyName(key)});
    mirror.Key(key);
  }
  program.Key({"ctrl+s"});
  mirror.Key('S', true);
  // The seconds counter runs on real time: only the rest must be there.
  if (!program.WaitForClient(mirror.Client(), {mirror.SecondsCounterRect()}).Same()) {
    std::fprintf(stderr, "make_screenshot: the window never showed the game\n");
    return 1;
  }
  const auto shot = program.CaptureWindow();
  if (!shot || !SavePng(argv[1], *shot)) {
    std::fprintf(stderr, "make_screenshot: cannot take or write the screenshot\n");
    return 1;
  }
  std::printf("%s: %d x %d\n", argv[1], shot->width, shot->height);
  return 0;
}
