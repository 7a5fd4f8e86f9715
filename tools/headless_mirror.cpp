// The headless game driven a line at a time, for the browser's end-to-end tests: the same
// inputs as the page gets, and the client area's pixels to compare with the canvas.
//   headless_mirror FONT.ttf START-SECOND
// Lines: key VK | ctrlkey VK | click X Y | move X Y | down X Y | up X Y | command ID |
//        tick ID | time S | script TEMPLATE | type CONTROL TEXT | press CONTROL |
//        tickin ID (a timer's tick while the script's dialog is open) |
//        answer ID (the next message box's) | solve (answers "solution VK...") |
//        screen (answers "screen W H BASE64" of the 0x00RRGGBB words) | quit
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "shell/application.h"
#include "shell/headless/headless_host.h"
#include "shell/text/truetype_rasterizer.h"
#include "toolkit/platform_codes.h"
#include "tools/board_solver.h"

namespace {

std::string Base64(const uint8_t* data, size_t size) {
  static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((size + 2) / 3 * 4);
  for (size_t i = 0; i < size; i += 3) {
    const uint32_t a = data[i];
    const uint32_t b = i + 1 < size ? data[i + 1] : 0;
    const uint32_t c = i + 2 < size ? data[i + 2] : 0;
    const uint32_t triple = (a << 16) | (b << 8) | c;
    out += kDigits[(triple >> 18) & 63];
    out += kDigits[(triple >> 12) & 63];
    out += i + 1 < size ? kDigits[(triple >> 6) & 63] : '=';
    out += i + 2 < size ? kDigits[triple & 63] : '=';
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s FONT.ttf START-SECOND\n", argv[0]);
    return 2;
  }
  std::ifstream file(argv[1], std::ios::binary);
  std::vector<uint8_t> font((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  puzzle::TrueTypeRasterizer fonts(std::move(font));
  puzzle::HeadlessHost host(fonts.HasFace() ? &fonts : nullptr);
  host.currentTime = std::atoll(argv[2]);
  puzzle::Application app(host);
  if (app.Start(puzzle::SW_SHOWNORMAL)) return 1;

  std::vector<puzzle::DialogStep>* script = nullptr;
  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream words(line);
    std::string verb;
    words >> verb;
    int64_t a = 0;
    int64_t b = 0;
    const auto at = [&] { return puzzle::MakeLParam(static_cast<uint32_t>(a), static_cast<uint32_t>(b)); };
    if (verb == "key" && words >> a) {
      host.PressKey(static_cast<uint32_t>(a));
    } else if (verb == "ctrlkey" && words >> a) {
      host.PressKey(static_cast<uint32_t>(a), true);
    } else if (verb == "click" && words >> a >> b) {
      host.Click(static_cast<int32_t>(a), static_cast<int32_t>(b));
    } else if (verb == "move" && words >> a >> b) {
      host.MoveMouse(static_cast<int32_t>(a), static_cast<int32_t>(b));
    } else if (verb == "down" && words >> a >> b) {
      host.Dispatch({puzzle::WM_LBUTTONDOWN, puzzle::MK_LBUTTON, at()});
    } else if (verb == "up" && words >> a >> b) {
      host.Dispatch({puzzle::WM_LBUTTONUP, 0, at()});
    } else if (verb == "command" && words >> a) {
      host.Command(static_cast<uint32_t>(a));
    } else if (verb == "tick" && words >> a) {
      host.FireTimer(static_cast<uint32_t>(a));
    } else if (verb == "time" && words >> a) {
      host.currentTime = a;
    } else if (verb == "script" && words >> a) {
      auto& scripts = host.dialogScripts[static_cast<int32_t>(a)];
      scripts.emplace_back();
      script = &scripts.back();
    } else if (verb == "type" && script != nullptr && words >> a) {
      std::string text;
      std::getline(words >> std::ws, text);
      script->push_back(puzzle::DialogStep::Type(static_cast<int32_t>(a), text));
    } else if (verb == "press" && script != nullptr && words >> a) {
      script->push_back(puzzle::DialogStep::Press(static_cast<int32_t>(a)));
    } else if (verb == "tickin" && script != nullptr && words >> a) {
      script->push_back(puzzle::DialogStep::Tick(static_cast<uint32_t>(a)));
    } else if (verb == "screen") {
      host.DeliverPaint();
      const auto& backing = host.target.Backing();
      const auto& pixels = backing.Pixels();
      std::cout << "screen " << backing.Width() << ' ' << backing.Height() << ' '
                << Base64(reinterpret_cast<const uint8_t*>(pixels.data()), pixels.size() * sizeof(uint32_t)) << '\n'
                << std::flush;
      continue;
    } else if (verb == "answer" && words >> a) {
      host.messageBoxAnswers.push_back(static_cast<int32_t>(a));
    } else if (verb == "solve") {
      std::cout << "solution";
      for (uint32_t key : puzzle::e2e::SolveBoard(*app.gamePanel->GetBoard())) std::cout << ' ' << key;
      std::cout << '\n' << std::flush;
      continue;
    } else if (verb == "quit") {
      break;
    } else {
      std::cout << "error " << line << '\n' << std::flush;
      continue;
    }
    std::cout << "ok\n" << std::flush;
  }
  return app.Finish(0);
}
