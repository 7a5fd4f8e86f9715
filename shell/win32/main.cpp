// The game on Windows.
#include "shell/application.h"
#include "shell/win32/win32_host.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  puzzle::Win32Host host(instance);
  puzzle::Application game(host);
  return game.WinMain(showCommand);
}
