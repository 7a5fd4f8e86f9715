// Regenerates the game's built-in bitmaps, icon and cursor under resources/.
// Usage: make_artwork <repo-root>
#include <exception>
#include <filesystem>
#include <iostream>

#include "artwork.h"

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
    art::WriteIcon(resources / "icons" / "program.ico", {art::DrawIcon(32), art::DrawIcon(16)});
    art::WriteCursor(resources / "cursors" / "hand.cur", art::DrawHandCursor());
  } catch (const std::exception& e) {
    std::cerr << "make_artwork: " << e.what() << '\n';
    return 1;
  }
  return 0;
}
