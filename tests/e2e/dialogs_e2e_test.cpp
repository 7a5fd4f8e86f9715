// The desktop's dialogs and boxes as the player sees them: message boxes with the warning
// sign and text that wraps, dialogs that stay above the game, fields that show their whole
// number on their label's line, names that never show garbled, help without GTK warnings.
#include <algorithm>
#include <string>
#include <vector>

#include "tests/e2e/desktop_test.h"

namespace puzzle::e2e {
namespace {

// A box's warning sign: yellow to orange pixels in its left part.
int WarningSignPixels(const Image& box) {
  int count = 0;
  for (int32_t y = 0; y < std::min(box.height, 80); ++y) {
    for (int32_t x = 0; x < std::min(box.width, 60); ++x) {
      const uint32_t p = box.At(x, y);
      const uint32_t r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, b = p & 0xFF;
      if (r > 230 && g > 160 && g < 245 && b < 140) ++count;
    }
  }
  return count;
}

// The box shows the warning sign; its picture is kept among the screens.
void ExpectWarningSign(const XTools& x, const WindowInfo& box, const std::string& name) {
  const auto shot = x.Capture(box.id);
  ASSERT_TRUE(shot);
  SavePng(fs::path(PUZZLE_E2E_ARTIFACTS) / "screens" / (name + ".png"), *shot);
  EXPECT_GT(WarningSignPixels(*shot), 150) << "no warning sign";
}

// Where the dark pixels of text are inside an area of a window's picture.
struct Ink {
  int32_t left = INT32_MAX;
  int32_t right = INT32_MIN;
  int32_t bottom = INT32_MIN;
  bool Empty() const { return right < left; }
};
Ink InkIn(const Image& image, const Rect& area) {
  Ink ink;
  for (int32_t y = area.top; y < area.bottom; ++y) {
    for (int32_t x = area.left; x < area.right; ++x) {
      const uint32_t p = image.At(x, y);
      if ((p >> 16 & 0xFF) + (p >> 8 & 0xFF) + (p & 0xFF) < 3 * 110) {
        ink.left = std::min(ink.left, x);
        ink.right = std::max(ink.right, x);
        ink.bottom = std::max(ink.bottom, y);
      }
    }
  }
  return ink;
}

// A template rectangle in dialog units, in the dialog's pixels.
Rect TemplateRect(int32_t x, int32_t y, int32_t w, int32_t h) {
  const int32_t left = DialogPixelsX(x);
  const int32_t top = DialogPixelsY(y);
  return Rect{left, top, left + DialogPixelsX(w), top + DialogPixelsY(h)};
}

// --- Message boxes ---------------------------------------------------------------------------

// A stored picture that is gone, with a path of 255 characters and no blank in it.
class StartUpBoxTest : public DesktopTest {
 protected:
  StartUpBoxTest() { waitForMainWindow = false; }
  void BeforeStart() override {
    path = "/home/player/" + std::string(238, 'p') + ".png";
    WriteSettings("\"defaultPicture\"=hex:00\n\"picturePath\"=\"" + path + "\"\n");
  }
  std::string path;
};

TEST_F(StartUpBoxTest, ABoxShowsTheWarningSignAndWrapsALongPathOnTheScreen) {
  auto box = program->WaitForWindow("Invalid Picture");
  ASSERT_TRUE(box) << "no Invalid Picture box";
  ExpectWarningSign(*x, *box, "invalid-picture");
  // The path breaks into lines of a readable width, and the box stays on the screen.
  EXPECT_LE(box->width, 640);
  EXPECT_GE(box->x, 0);
  EXPECT_LE(box->x + box->width, 1024);
  EXPECT_GE(box->height, 120) << "the text is not wrapped";
  EXPECT_LE(box->y + box->height, 768);

  // OK goes on with the built-in picture.
  FocusWindow(*box);
  ASSERT_TRUE(program->Key({"Return"}));
  auto main = program->WaitForWindow("brindlewick Puzzle");
  ASSERT_TRUE(main) << "the game did not go on";
  EXPECT_FALSE(program->FindWindow("Invalid Picture"));
}

TEST_F(DesktopTest, ResetScoreAsksOverBestTimesWhichStaysAboveTheGame) {
  Menu("g", "b");
  auto best = program->WaitForWindow("Best Times");
  ASSERT_TRUE(best) << "no Best Times dialog";
  FocusWindow(*best);
  // Enter is Reset Score, the default button.
  ASSERT_TRUE(program->Key({"Return"}));
  auto question = program->WaitForWindow("Reset Score");
  ASSERT_TRUE(question) << "no Reset Score box";
  ExpectWarningSign(*x, *question, "reset-score");

  auto above = [&](const std::string& upper, const std::string& lower) {
    const auto order = x->StackingOrder();
    const auto u = std::find(order.begin(), order.end(), upper);
    const auto l = std::find(order.begin(), order.end(), lower);
    return u != order.end() && l != order.end() && u > l;
  };
  EXPECT_TRUE(above(question->id, best->id)) << DescribeWindows();
  EXPECT_TRUE(above(best->id, program->MainWindow())) << "Best Times went under the game while asking";

  FocusWindow(*question);
  ASSERT_TRUE(program->Key({"alt+y"}));
  ASSERT_TRUE(program->WaitForWindowGone("Reset Score"));
  ASSERT_TRUE(program->FindWindow("Best Times"));
  EXPECT_TRUE(above(best->id, program->MainWindow())) << "Best Times went under the game after the answer";
  KeepScreenshot("best-times-after-reset", "root");
  FocusWindow(*best);
  ASSERT_TRUE(program->Key({"Escape"}));
  ASSERT_TRUE(program->WaitForWindowGone("Best Times"));
  ExpectSaved({{"nameBeginner", "\"Anonymous\""}, {"timeBeginner", "dword:0000270f"}});
}

// --- Fields -----------------------------------------------------------------------------------

TEST_F(DesktopTest, FieldsShowTheirWholeNumberOnTheLineOfTheirLabel) {
  struct Field {
    const char* menu;
    const char* item;
    const char* title;
    Rect field;  // the template's rectangles
    Rect label;
    const char* typed;
    int32_t inkWidth;  // at least, for the digits typed
  };
  const Field fields[] = {
      {"o", "c", "Custom Dimensions", TemplateRect(35, 7, 21, 12), TemplateRect(7, 7, 23, 8), "1994", 20},
      {"o", "f", "Find Tile", TemplateRect(62, 14, 20, 14), TemplateRect(15, 17, 43, 8), "100", 14},
  };
  for (const Field& f : fields) {
    SCOPED_TRACE(f.title);
    ASSERT_TRUE(program->Focus());
    Menu(f.menu, f.item);
    auto dialog = program->WaitForWindow(f.title);
    ASSERT_TRUE(dialog) << "no " << f.title << " dialog";
    FocusWindow(*dialog);
    ASSERT_TRUE(program->Type(f.typed));
    // Away from the field, so that no text cursor stands beside the digits.
    ASSERT_TRUE(program->Key({"Tab"}));
    std::this_thread::sleep_for(milliseconds(300));
    const auto shot = x->Capture(dialog->id);
    ASSERT_TRUE(shot);
    SavePng(fs::path(PUZZLE_E2E_ARTIFACTS) / "screens" / (std::string(f.title) + " typed.png"), *shot);

    // Every digit inside the field's border, none cut at either side.
    const Rect inside{f.field.left + 1, f.field.top + 1, f.field.right - 1, f.field.bottom - 1};
    const Ink digits = InkIn(*shot, inside);
    ASSERT_FALSE(digits.Empty()) << "the field shows nothing";
    EXPECT_GT(digits.left, inside.left) << "the first digit is cut";
    EXPECT_LT(digits.right, inside.right - 1) << "the last digit is cut";
    EXPECT_GE(digits.right - digits.left + 1, f.inkWidth) << "not every digit is shown";
    // The label's letters stand on the digits' line.
    const Rect labelArea{f.label.left, std::max(0, f.field.top - 4), f.label.right, f.field.bottom + 4};
    const Ink label = InkIn(*shot, labelArea);
    ASSERT_FALSE(label.Empty()) << "no label";
    EXPECT_LE(std::abs(label.bottom - digits.bottom), 1) << "the label is not on the field's line";

    ASSERT_TRUE(program->Key({"Escape"}));
    ASSERT_TRUE(program->WaitForWindowGone(f.title));
  }
}

// --- Names --------------------------------------------------------------------------------------

// Best Times over a settings file with these names; its picture.
class NamesTest : public DesktopTest {
 protected:
  NamesTest() { waitForMainWindow = false; }
  void BeforeStart() override {}

  std::optional<Image> BestTimesWith(const std::string& names) {
    program.reset();
    TempDir& where = *homes.emplace_back(std::make_unique<TempDir>());
    program = std::make_unique<DesktopProgram>(*x, where.Path(), kStartSecond);
    WriteSettings(names);
    std::string error;
    if (!program->Launch(&error, mirror->Client().height) || !program->Focus()) {
      ADD_FAILURE() << error;
      return std::nullopt;
    }
    Menu("g", "b");
    auto best = program->WaitForWindow("Best Times");
    if (!best) return std::nullopt;
    std::this_thread::sleep_for(milliseconds(300));
    return x->Capture(best->id);
  }

  std::vector<std::unique_ptr<TempDir>> homes;
};

TEST_F(NamesTest, BrokenNamesShowReplacementCharactersAndCutNamesWholeCharacters) {
  // A name with half a character at its end, one with a Latin-1 byte, one longer than the
  // buffer that the buffer's end cuts inside "€".
  const auto broken = BestTimesWith(
      "\"nameBeginner\"=hex(1):5a,6f,c3,00\n"
      "\"nameIntermediate\"=hex(1):4a,6f,73,e9,00\n"
      "\"nameExpert\"=\"abcdefghijklm€\"\n");
  const auto meant = BestTimesWith(
      "\"nameBeginner\"=\"Zo\xEF\xBF\xBD\"\n"
      "\"nameIntermediate\"=\"Jos\xEF\xBF\xBD\"\n"
      "\"nameExpert\"=\"abcdefghijklm\"\n");
  ASSERT_TRUE(broken);
  ASSERT_TRUE(meant);
  SavePng(fs::path(PUZZLE_E2E_ARTIFACTS) / "screens" / "best-times-broken-names.png", *broken);
  const Difference d = Compare(*broken, *meant);
  EXPECT_TRUE(d.Same()) << d.Describe();
}

// --- Help ----------------------------------------------------------------------------------------

TEST_F(DesktopTest, HelpOpensItsContentsIndexAndSearchWithoutWarnings) {
  Press(VK_F1);
  ASSERT_TRUE(program->WaitForWindow("brindlewick Puzzle Help")) << "no help window";
  for (const char* item : {"i", "s"}) {
    ASSERT_TRUE(program->Focus());
    Menu("h", item);
    std::this_thread::sleep_for(milliseconds(500));
  }
  ASSERT_TRUE(program->Running());
  const std::string output = program->Output();
  EXPECT_EQ(output.find("Gtk-CRITICAL"), std::string::npos) << output;
  EXPECT_EQ(output.find("Gtk-WARNING"), std::string::npos) << output;
}

}  // namespace
}  // namespace puzzle::e2e
