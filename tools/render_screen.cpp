// Renders the game's window as the headless host draws it, to a PNG: the start-up
// screen, or the screen after a few commands.
//   render_screen out.png [new] [numbers] [size W H] [corner X Y] [seed S] [picture FILE.bmp]
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "png_writer.h"
#include "shell/application.h"
#include "shell/fonts/freetype_rasterizer.h"
#include "shell/headless/headless_host.h"
#include "toolkit/bitmap_reader.h"
#include "toolkit/platform_codes.h"

namespace {

std::optional<puzzle::DecodedImage> ReadBmpFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  return puzzle::ReadBitmap24(bytes);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s out.png [new] [numbers] [size W H] [corner X Y] [seed S] [picture F.bmp]\n",
                 argv[0]);
    return 2;
  }
  puzzle::FreeTypeRasterizer fonts;
  puzzle::HeadlessHost host(&fonts);
  std::vector<std::string> args(argv + 2, argv + argc);
  for (size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] == "seed") host.currentTime = std::atoll(args[i + 1].c_str());
  }
  puzzle::Application app(host);
  if (app.Start(puzzle::SW_SHOWNORMAL)) return 1;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "new") {
      host.Command(puzzle::ID_GAME_NEW);
    } else if (a == "numbers") {
      host.Command(puzzle::ID_OPTIONS_SHOW_NUMBERS);
    } else if (a == "size" && i + 2 < args.size()) {
      app.gamePanel->SetBoardSize(std::atoi(args[i + 1].c_str()), std::atoi(args[i + 2].c_str()));
      app.RenderPanel();
      i += 2;
    } else if (a == "corner" && i + 2 < args.size()) {
      app.gamePanel->SetEmptyCorner(std::atoi(args[i + 1].c_str()), std::atoi(args[i + 2].c_str()));
      app.RenderPanel();
      i += 2;
    } else if (a == "picture" && i + 1 < args.size()) {
      if (auto image = ReadBmpFile(args[i + 1])) host.pictureFiles[args[i + 1]] = *image;
      host.fileChoices.push_back(args[i + 1]);
      host.Command(puzzle::ID_OPTIONS_CUSTOM_PICTURE);
      ++i;
    } else if (a == "seed") {
      ++i;
    }
  }
  host.DeliverPaint();
  const auto& backing = host.target.Backing();
  if (!puzzle::tools::WritePng(argv[1], backing.Width(), backing.Height(), backing.Pixels())) return 1;
  return 0;
}
