// The game in a web page: the whole program over the browser host. main() runs the
// program's own message loop, which waits for the page's events without returning to
// the browser (Asyncify), so the program is the same one the desktops run.
#include <emscripten.h>

#include "game/game_panel.h"
#include "settings/settings_store.h"
#include "shell/application.h"
#include "shell/web/page_calls.h"
#include "shell/web/web_host.h"
#include "toolkit/platform_codes.h"

namespace {
puzzle::Application* running = nullptr;
puzzle::WebHost* runningHost = nullptr;
}  // namespace

// The page calls this when the tab is hidden or closed: what Exit would store is stored,
// and an open dialog keeps what it holds (a record whose name is being asked for). It only
// ever runs between two of the program's events.
extern "C" EMSCRIPTEN_KEEPALIVE void web_save_settings() {
  if (running == nullptr || !running->gamePanel) return;
  puzzle::SaveSettings(*running);
  if (runningHost != nullptr) runningHost->EndSession();
}

// Where the board is on the client area (left, top, right, bottom), for the page to tell a
// swipe on the board from a press elsewhere. Reads the program's state and changes nothing.
extern "C" EMSCRIPTEN_KEEPALIVE const int32_t* web_board_area() {
  static int32_t area[4] = {};
  area[0] = area[1] = area[2] = area[3] = 0;
  if (running == nullptr || !running->gamePanel) return area;
  puzzle::GamePanel& panel = *running->gamePanel;
  puzzle::Board* board = panel.GetBoard();
  if (board == nullptr) return area;
  area[0] = panel.GetX() + board->GetX();
  area[1] = panel.GetY() + board->GetY();
  area[2] = area[0] + board->GetWidth();
  area[3] = area[1] + board->GetHeight();
  return area;
}

int main() {
  puzzle::WebHost host;
  puzzle::Application game(host);
  running = &game;
  runningHost = &host;
  const int32_t exitCode = game.WinMain(puzzle::SW_SHOWNORMAL);
  running = nullptr;
  runningHost = nullptr;
  puzzle::page::Ended(exitCode);
  return exitCode;
}
