// The file chooser's patterns on Linux find what the filter finds on Windows.
#include "shell/linux/file_patterns.h"

#include <fnmatch.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace puzzle {
namespace {

// Whether a file name matches any of the patterns, as the chooser's glob matching does.
bool Matches(const std::string& patterns, const std::string& name) {
  size_t start = 0;
  while (start <= patterns.size()) {
    const size_t end = std::min(patterns.find(';', start), patterns.size());
    if (::fnmatch(patterns.substr(start, end - start).c_str(), name.c_str(), 0) == 0) return true;
    start = end + 1;
  }
  return false;
}

TEST(FilePatternsTest, EveryFilterFindsItsFilesInAnyCaseAndTheirLongSpellings) {
  const std::string all = ChooserPatterns("*.bmp;*.gif;*.jpg;*.png;*.tga;*.tif;*.wmf");
  for (const char* name : {"a.bmp", "A.BMP", "a.gif", "a.jpg", "a.JPG", "photo.jpeg", "PHOTO.JPEG", "photo.Jpe",
                           "a.png", "a.Png", "a.tga", "a.tif", "scan.tiff", "SCAN.TIFF", "a.wmf", "a.WMF"}) {
    EXPECT_TRUE(Matches(all, name)) << name;
  }
  for (const char* name : {"a.txt", "a.jpgx", "jpg", "a.pcx", "a.svg", "a.tiffany", "a.jp"}) {
    EXPECT_FALSE(Matches(all, name)) << name;
  }
  const std::string jpeg = ChooserPatterns("*.jpg");
  EXPECT_TRUE(Matches(jpeg, "x.jpeg"));
  EXPECT_FALSE(Matches(jpeg, "x.png"));
  const std::string bitmaps = ChooserPatterns("*.bmp");
  EXPECT_TRUE(Matches(bitmaps, "x.BMP"));
  EXPECT_FALSE(Matches(bitmaps, "x.jpeg"));
  EXPECT_EQ(bitmaps, "*.[bB][mM][pP]");
  EXPECT_EQ(ChooserPatterns("*.tif"), "*.[tT][iI][fF];*.[tT][iI][fF][fF]");
  EXPECT_EQ(ChooserPatterns(""), "");
}

}  // namespace
}  // namespace puzzle
