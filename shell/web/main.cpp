// The game in a web page: the whole program over the browser host. main() runs the
// program's own message loop, which waits for the page's events without returning to
// the browser (Asyncify), so the program is the same one the desktops run.
#include <emscripten.h>

#include "settings/settings_store.h"
#include "shell/application.h"
#include "shell/web/page_calls.h"
#include "shell/web/web_host.h"
#include "toolkit/platform_codes.h"

namespace {
puzzle::Application* running = nullptr;
}  // namespace

// The page calls this when the tab is hidden or closed: what Exit would store is stored.
// It only ever runs between two of the program's events.
extern "C" EMSCRIPTEN_KEEPALIVE void web_save_settings() {
  if (running != nullptr && running->gamePanel) puzzle::SaveSettings(*running);
}

int main() {
  puzzle::WebHost host;
  puzzle::Application game(host);
  running = &game;
  const int32_t exitCode = game.WinMain(puzzle::SW_SHOWNORMAL);
  running = nullptr;
  puzzle::page::Ended(exitCode);
  return exitCode;
}
