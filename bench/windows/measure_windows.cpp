// What the Windows program costs on screen under Wine (or Windows): the time from the
// process's creation to its first frame drawn, and the cost of one arrow-key slide from the
// key message to the two cells and the moves counter copied onto the primary surface.
//   measure_windows [slides]
#include "shell/application.h"

#include "shell/win32/win32_host.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

double Milliseconds(const FILETIME& from, const FILETIME& to) {
  const auto ticks = [](const FILETIME& t) { return (static_cast<int64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  return static_cast<double>(ticks(to) - ticks(from)) / 10000.0;
}

void Pump() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int slides = argc > 1 ? std::max(2, std::atoi(argv[1])) : 500;
  FILETIME created{}, exited{}, kernel{}, user{};
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);

  puzzle::Win32Host host(GetModuleHandleA(nullptr));
  puzzle::Application game(host);
  if (game.Start(SW_SHOWNORMAL)) return 1;  // its first paint is handled before Start returns
  FILETIME firstFrame{};
  GetSystemTimePreciseAsFileTime(&firstFrame);
  std::printf("process created to first frame drawn: %.1f ms\n", Milliseconds(created, firstFrame));

  HWND window = host.MainWindow();
  SendMessageA(window, WM_COMMAND, 40001, 0);  // New
  host.KillTimer(1);
  Pump();
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  std::vector<double> costs;
  for (int i = 0; i < slides; ++i) {
    // The hole starts bottom-left: Left and Right walk one tile to and fro.
    const WPARAM key = i % 2 == 0 ? VK_LEFT : VK_RIGHT;
    QueryPerformanceCounter(&start);
    SendMessageA(window, WM_KEYDOWN, key, 1);
    GdiFlush();
    QueryPerformanceCounter(&end);
    SendMessageA(window, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
    costs.push_back(static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart));
    Pump();
  }
  std::sort(costs.begin(), costs.end());
  double sum = 0;
  for (double c : costs) sum += c;
  std::printf("arrow-key slide, key message to the cells on the primary surface, %d slides: mean %.3f ms, median %.3f ms "
              "(min %.3f, max %.3f), %d moves counted\n",
              slides, sum / costs.size(), costs[costs.size() / 2], costs.front(), costs.back(),
              game.gamePanel->GetMoves());
  QueryPerformanceCounter(&start);
  SendMessageA(window, WM_COMMAND, 40012, 0);
  QueryPerformanceCounter(&end);
  std::printf("Show Numbers, whole board renumbered: %.2f ms\n",
              static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart));
  return game.Finish(0);
}
