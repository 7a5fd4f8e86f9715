// The Windows resource script written from the resource tables: every menu item,
// accelerator, dialog and control as the tables give them, in the compiler's quoting.
#include <gtest/gtest.h>

#include <string>

#include "resources/resource_tables.h"
#include "shell/resource_script/resource_script.h"

namespace puzzle {
namespace {

std::string Script() {
  ResourceFiles files{"b/picture.bmp", "b/digits.bmp", "b/faces.bmp", "c/hand.cur", "i/program.ico", "m/app.manifest"};
  return WriteResourceScript(files, "1.5.0");
}

TEST(ResourceScriptTest, QuotingDoublesQuotesAndEscapesBreaks) {
  EXPECT_EQ(QuoteResourceString("E&xit\tCtrl + W"), "\"E&xit\\tCtrl + W\"");
  EXPECT_EQ(QuoteResourceString("a \"b\"\nc\\d"), "\"a \"\"b\"\"\\nc\\\\d\"");
}

TEST(ResourceScriptTest, MenuAndAcceleratorsComeFromTheTables) {
  const std::string script = Script();
  EXPECT_NE(script.find("101 MENU"), std::string::npos);
  for (const MenuSpec& menu : MainMenu()) {
    EXPECT_NE(script.find("POPUP " + QuoteResourceString(menu.title)), std::string::npos) << menu.title;
    for (const MenuItemSpec& item : menu.items) {
      if (item.command == 0) continue;
      EXPECT_NE(script.find("MENUITEM " + QuoteResourceString(item.text) + ", " + std::to_string(item.command)),
                std::string::npos)
          << item.text;
    }
  }
  EXPECT_NE(script.find("102 ACCELERATORS"), std::string::npos);
  EXPECT_NE(script.find("112, 40014, VIRTKEY, NOINVERT"), std::string::npos);  // F1
  EXPECT_NE(script.find("113, 40001, VIRTKEY, NOINVERT"), std::string::npos);  // F2
  EXPECT_NE(script.find("6, 40013, ASCII, NOINVERT"), std::string::npos);      // Ctrl+F
  EXPECT_NE(script.find("19, 40012, ASCII, NOINVERT"), std::string::npos);     // Ctrl+S
  EXPECT_NE(script.find("23, 40002, ASCII, NOINVERT"), std::string::npos);     // Ctrl+W
}

TEST(ResourceScriptTest, DialogsKeepTheirSizesFontsStylesAndControls) {
  const std::string script = Script();
  for (const DialogSpec& dialog : Dialogs()) {
    const size_t at = script.find(std::to_string(dialog.id) + " DIALOG 0, 0, " + std::to_string(dialog.width) + ", " +
                                  std::to_string(dialog.height) + "\n");
    ASSERT_NE(at, std::string::npos) << dialog.caption;
    const std::string body = script.substr(at, script.find("\nEND\n", at) - at);
    EXPECT_NE(body.find("CAPTION " + QuoteResourceString(dialog.caption)), std::string::npos);
    EXPECT_NE(body.find("FONT 8, \"MS Sans Serif\""), std::string::npos);
    char style[16];
    std::snprintf(style, sizeof style, "0x%08X", dialog.style);
    EXPECT_NE(body.find(std::string("STYLE ") + style), std::string::npos) << dialog.caption;
    size_t controls = 0;
    for (size_t p = body.find("CONTROL "); p != std::string::npos; p = body.find("CONTROL ", p + 1)) ++controls;
    EXPECT_EQ(controls, dialog.controls.size()) << dialog.caption;
  }
  // The New Record prompt keeps its line breaks; Find Tile's field its id and place.
  EXPECT_NE(script.find("\"You have the fastest time for\\nbeginner level,\\nplease enter your name:\", 1005"),
            std::string::npos);
  EXPECT_NE(script.find("CONTROL \"\", 1037, \"Edit\", 0x50812080, 62, 14, 20, 14"), std::string::npos);
}

TEST(ResourceScriptTest, BinaryResourcesAndManifestNameTheirFiles) {
  const std::string script = Script();
  EXPECT_NE(script.find("1 24 \"m/app.manifest\""), std::string::npos);
  EXPECT_NE(script.find("103 BITMAP \"b/picture.bmp\""), std::string::npos);
  EXPECT_NE(script.find("104 BITMAP \"b/digits.bmp\""), std::string::npos);
  EXPECT_NE(script.find("105 BITMAP \"b/faces.bmp\""), std::string::npos);
  EXPECT_NE(script.find("107 CURSOR \"c/hand.cur\""), std::string::npos);
  EXPECT_NE(script.find("112 ICON \"i/program.ico\""), std::string::npos);
  EXPECT_NE(script.find("FILEVERSION 1, 5, 0, 0"), std::string::npos);
}

}  // namespace
}  // namespace puzzle
