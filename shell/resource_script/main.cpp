// Writes the Windows program's resource script from the resource tables:
//   write_resource_script <output.rc> <repository root> <manifest> <version>
#include <cstdio>
#include <fstream>
#include <string>

#include "shell/resource_script/resource_script.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: write_resource_script <output.rc> <repository root> <manifest> <version>\n");
    return 2;
  }
  const std::string root = argv[2];
  puzzle::ResourceFiles files;
  files.picture = root + "/resources/bitmaps/picture.bmp";
  files.digits = root + "/resources/bitmaps/digits.bmp";
  files.faces = root + "/resources/bitmaps/faces.bmp";
  files.cursor = root + "/resources/cursors/hand.cur";
  files.icon = root + "/resources/icons/program.ico";
  files.manifest = argv[3];
  const std::string script = puzzle::WriteResourceScript(files, argv[4]);
  // Written only when it changed, so the resources are not compiled again for nothing.
  {
    std::ifstream old(argv[1], std::ios::binary);
    const std::string before((std::istreambuf_iterator<char>(old)), std::istreambuf_iterator<char>());
    if (before == script) return 0;
  }
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out << script;
  return out.good() ? 0 : 1;
}
