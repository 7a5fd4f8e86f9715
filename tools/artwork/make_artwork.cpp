// Regenerates the game's built-in bitmaps, icon and cursor under resources/.
// Usage: make_artwork <repo-root>
#include <exception>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "artwork.h"
#include "tools/png_writer.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_artwork <repo-root>\n";
    return 2;
  }
  try {
    const std::filesystem::path resources = std::filesystem::path(argv[1]) / "resources";
    art::WriteBmp24(resources / "bitmaps" / "picture.bmp", art::DrawPicture());
    art::WriteBmp24(resources / "bitmaps" / "digits.bmp", art::DrawDigits());
    art::WriteBmp24(resources / "bitmaps" / "faces.bmp", art::DrawFaces());
    art::WriteIcon(resources / "icons" / "program.ico", {art::DrawIcon(48), art::DrawIcon(32), art::DrawIcon(16)});
    // The desktop's icon theme takes one picture per size, each drawn for its size; the
    // web page's manifest two more.
    std::vector<int> sizes = art::IconSizes();
    for (int size : art::WebIconSizes()) sizes.push_back(size);
    for (int size : sizes) {
      const art::Image icon = art::DrawIcon(size);
      const auto file = resources / "icons" / ("program-" + std::to_string(size) + ".png");
      if (!puzzle::tools::WriteRgbaPng(file.string(), icon.width, icon.height, icon.rgba)) {
        throw std::runtime_error("cannot write " + file.string());
      }
    }
    const art::Image maskable = art::DrawMaskableIcon();
    const auto maskableFile = resources / "icons" / "program-maskable-512.png";
    if (!puzzle::tools::WriteRgbaPng(maskableFile.string(), maskable.width, maskable.height, maskable.rgba)) {
      throw std::runtime_error("cannot write " + maskableFile.string());
    }
    art::WriteIconSvg(resources / "icons" / "program.svg");
    art::WriteIcon(resources / "icons" / "exclamation.ico", {art::DrawExclamation(32)});
    // The browser's message boxes show the same sign.
    const art::Image sign = art::DrawExclamation(32);
    const auto signFile = resources / "icons" / "exclamation-32.png";
    if (!puzzle::tools::WriteRgbaPng(signFile.string(), sign.width, sign.height, sign.rgba)) {
      throw std::runtime_error("cannot write " + signFile.string());
    }
    art::WriteCursor(resources / "cursors" / "hand.cur", art::DrawHandCursor());
  } catch (const std::exception& e) {
    std::cerr << "make_artwork: " << e.what() << '\n';
    return 1;
  }
  return 0;
}
