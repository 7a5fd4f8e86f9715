// The window procedure's commands, marks, accelerators, help and picture choice.
#include <functional>
#include <map>
#include <set>

#include <gmock/gmock.h>

#include "app_support.h"
#include "resources/resource_tables.h"
#include "shell/pictures/downscale.h"
#include "shell/pictures/fit.h"

namespace puzzle {
namespace {

using puzzle::testing::AppTest;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class CommandsTest : public AppTest {
 protected:
  void SetUp() override { Start(); }
  // What was logged from index from on.
  std::vector<std::string> LogSince(size_t from) const {
    return {host.log.begin() + static_cast<std::ptrdiff_t>(from), host.log.end()};
  }
};

TEST_F(CommandsTest, LevelCommandsResizeTheBoardThenMarkAfterTheRender) {
  const std::pair<uint32_t, int32_t> levels[] = {
      {ID_OPTIONS_INTERMEDIATE, 6}, {ID_OPTIONS_EXPERT, 8}, {ID_OPTIONS_BEGINNER, 4}, {ID_OPTIONS_BEGINNER, 4}};
  for (const auto& [command, size] : levels) {
    host.Command(ID_GAME_NEW);
    const size_t from = host.log.size();
    host.Command(command);
    EXPECT_EQ(panel().GetBoardWidth(), size);
    EXPECT_EQ(panel().GetBoardHeight(), size);
    EXPECT_EQ(board().GetState(), StateIdle);
    EXPECT_THAT(LogSince(from), ElementsAre("kill 1", "present", "radio " + std::to_string(command)));
    EXPECT_TRUE(host.IsChecked(command));
  }
  EXPECT_EQ(host.clientWidth, 320) << "the window follows the picture, not the grid";
}

TEST_F(CommandsTest, CornerCommandsMoveTheHoleThenMark) {
  const std::tuple<uint32_t, int32_t, int32_t> corners[] = {{ID_OPTIONS_EMPTY_BR, 3, 3},
                                                            {ID_OPTIONS_EMPTY_TL, 0, 0},
                                                            {ID_OPTIONS_EMPTY_TR, 3, 0},
                                                            {ID_OPTIONS_EMPTY_BL, 0, 3}};
  for (const auto& [command, column, row] : corners) {
    host.Command(ID_GAME_NEW);
    const size_t from = host.log.size();
    host.Command(command);
    EXPECT_EQ(board().GetEmptyColumn(), column);
    EXPECT_EQ(board().GetEmptyRow(), row);
    EXPECT_EQ(LogSince(from).back(), "radio " + std::to_string(command));
    EXPECT_EQ(LogSince(from).end()[-2], "present");
    EXPECT_TRUE(host.IsChecked(command));
  }
}

TEST_F(CommandsTest, ShowNumbersTogglesAndMarksBeforeTheRender) {
  const auto before = host.target.Backing().Pixels();
  size_t from = host.log.size();
  host.PressKey('S', true);
  EXPECT_TRUE(panel().IsShowNumbers());
  // Key-down and key-up still reach the panel, each with its render; the character is the command.
  EXPECT_THAT(LogSince(from), ElementsAre("present", "check 40012 8", "present", "present"));
  EXPECT_NE(host.target.Backing().Pixels(), before);
  from = host.log.size();
  host.Command(ID_OPTIONS_SHOW_NUMBERS);
  EXPECT_FALSE(panel().IsShowNumbers());
  EXPECT_THAT(LogSince(from), ElementsAre("check 40012 0", "present"));
  EXPECT_EQ(host.target.Backing().Pixels(), before);
}

TEST_F(CommandsTest, FunctionKeysActOnKeyDownAndOnlyTheKeyUpReachesThePanel) {
  host.heldKeys.insert(VK_MENU);
  host.Dispatch({WM_SYSKEYDOWN, VK_F2, 1});
  host.heldKeys.clear();
  EXPECT_EQ(board().GetState(), StateIdle) << "Alt+F2 is no accelerator";
  size_t from = host.log.size();
  host.PressKey(VK_F2);
  EXPECT_EQ(board().GetState(), StatePlaying);
  EXPECT_THAT(LogSince(from), ElementsAre("kill 0", "timer 1 1000", "present", "present"));
  host.heldKeys.insert(VK_CONTROL);
  host.Dispatch({WM_KEYDOWN, VK_F1, 1});
  host.heldKeys.clear();
  EXPECT_THAT(host.helpCalls, IsEmpty()) << "Ctrl+F1 is no accelerator";
  host.loadableLibraries.insert("hhctrl.ocx");
  host.PressKey(VK_F1);
  ASSERT_EQ(host.helpCalls.size(), 1u);
  EXPECT_EQ(host.helpCalls[0].command, HH_DISPLAY_TOC);
  from = host.log.size();
  host.Dispatch({WM_CHAR, 0x71, 1});  // 'q' as a character is nothing
  EXPECT_THAT(LogSince(from), IsEmpty());
}

// Each command is in the menu once, and the shortcut its item shows works.
TEST_F(CommandsTest, TheShortcutsTheMenuShowsWork) {
  const std::map<uint32_t, std::function<bool()>> done = {
      {ID_GAME_NEW, [this] { return board().GetState() == StatePlaying; }},
      {ID_GAME_EXIT, [this] { return host.quitPosted; }},
      {ID_OPTIONS_SHOW_NUMBERS, [this] { return panel().IsShowNumbers(); }},
      {ID_OPTIONS_FIND_TILE, [this] { return !host.dialogs.empty() && host.dialogs.back().templateId == IDD_FIND_TILE; }},
      {ID_HELP_CONTENTS, [this] { return host.helpCalls.size() == 1; }},
  };
  host.loadableLibraries.insert("hhctrl.ocx");
  std::set<uint32_t> commands;
  size_t shortcuts = 0;
  for (const MenuSpec& menu : MainMenu()) {
    for (const MenuItemSpec& item : menu.items) {
      if (item.command == 0) continue;
      EXPECT_TRUE(commands.insert(item.command).second) << item.text << " repeats a command";
      const size_t tab = item.text.find('\t');
      if (tab == std::string_view::npos) continue;
      const std::string_view hint = item.text.substr(tab + 1);
      SCOPED_TRACE(std::string(hint));
      if (hint.starts_with("Ctrl + ")) {
        host.PressKey(static_cast<uint32_t>(hint.back()), true);
      } else {
        ASSERT_EQ(hint[0], 'F');
        host.PressKey(VK_F1 + static_cast<uint32_t>(hint[1] - '1'));
      }
      ASSERT_EQ(done.count(item.command), 1u);
      EXPECT_TRUE(done.at(item.command)());
      ++shortcuts;
    }
  }
  EXPECT_EQ(commands.size(), 19u);
  EXPECT_EQ(shortcuts, done.size());
}

TEST_F(CommandsTest, CommandsOutsideTheTableAreSwallowed) {
  const size_t from = host.log.size();
  host.Command(40020);
  host.Command(40000);
  host.Command(0);
  EXPECT_THAT(LogSince(from), IsEmpty());
  EXPECT_FALSE(host.quitPosted);
  EXPECT_FALSE(host.windowDestroyed);
}

TEST_F(CommandsTest, MouseMessagesReachThePanelWithClientCoordinates) {
  host.MoveMouse(panel().GetFace()->GetX() + 3, 15);
  EXPECT_EQ(panel().GetFace()->GetFrame(), 1);
  host.Click(panel().GetFace()->GetX() + 3, 15);
  EXPECT_EQ(board().GetState(), StatePlaying) << "a face click starts a game";
  const int32_t moves = panel().GetMoves();
  host.Dispatch({WM_RBUTTONDOWN, 0, MakeLParam(60, 200)});
  EXPECT_EQ(panel().GetMoves(), moves);
  host.Dispatch({WM_MOUSEWHEEL, 0, 0});
}

TEST_F(CommandsTest, TimerTicksCountSecondsAndRender) {
  host.Command(ID_GAME_NEW);
  for (int i = 0; i < 5; ++i) host.FireTimer(1);
  EXPECT_EQ(panel().GetSeconds(), 6);
  const auto* timer = host.FindTimer(1);
  ASSERT_NE(timer, nullptr);
  EXPECT_EQ(timer->milliseconds, 1000u);
  EXPECT_FALSE(timer->hasCallback);
}

TEST_F(CommandsTest, DialogCommandsOpenTheirTemplates) {
  host.Command(ID_GAME_BEST_TIMES);
  host.Command(ID_OPTIONS_CUSTOM);
  host.Command(ID_OPTIONS_FIND_TILE);
  host.Command(ID_HELP_ABOUT);
  std::vector<int32_t> opened;
  for (const auto& d : host.dialogs) opened.push_back(d.templateId);
  EXPECT_THAT(opened, ElementsAre(IDD_BEST_TIMES, IDD_CUSTOM_DIMENSIONS, IDD_FIND_TILE, IDD_ABOUT));
  EXPECT_EQ(host.unfinishedDialogs, 0);
}

TEST_F(CommandsTest, HelpIsLoadedOnceAndSearchPassesAnEmptyQuery) {
  host.helpRegistration = "C:\\Windows\\System32\\hhctrl.ocx";
  host.loadableLibraries.insert("C:\\Windows\\System32\\hhctrl.ocx");
  host.Command(ID_HELP_CONTENTS);
  host.Command(ID_HELP_INDEX);
  host.Command(ID_HELP_SEARCH);
  EXPECT_THAT(host.libraryLoads, ElementsAre("C:\\Windows\\System32\\hhctrl.ocx"));
  EXPECT_EQ(host.entryLookups, 1);
  ASSERT_EQ(host.helpCalls.size(), 3u);
  EXPECT_EQ(host.helpCalls[0].file, "brindlewick puzzle help.chm");
  EXPECT_EQ(host.helpCalls[1].command, HH_DISPLAY_INDEX);
  EXPECT_EQ(host.helpCalls[2].command, HH_DISPLAY_SEARCH);
  std::vector<uint8_t> query(32, 0);
  query[0] = 32;
  EXPECT_EQ(host.helpCalls[2].record, query);
  EXPECT_TRUE(host.helpCalls[0].record.empty());
}

TEST_F(CommandsTest, AMissingHelpEngineIsSilentAndNotLookedForAgain) {
  host.helpRegistration = "%SystemRoot%\\hhctrl.ocx";  // unexpanded: can't load
  host.Command(ID_HELP_CONTENTS);
  EXPECT_THAT(host.libraryLoads, ElementsAre("%SystemRoot%\\hhctrl.ocx", "hhctrl.ocx"));
  host.Command(ID_HELP_SEARCH);
  host.Command(ID_HELP_INDEX);
  EXPECT_EQ(host.libraryLoads.size(), 2u);
  EXPECT_TRUE(host.helpCalls.empty());
  EXPECT_TRUE(host.messageBoxes.empty());
}

TEST_F(CommandsTest, AnEngineWithoutItsEntryPointIsAskedAgainEachTime) {
  host.loadableLibraries.insert("hhctrl.ocx");
  host.helpHasEntry = false;
  host.Command(ID_HELP_CONTENTS);
  host.Command(ID_HELP_CONTENTS);
  EXPECT_EQ(host.libraryLoads.size(), 1u);
  EXPECT_EQ(host.entryLookups, 2);
  host.helpHasEntry = true;
  host.Command(ID_HELP_CONTENTS);
  EXPECT_EQ(host.helpCalls.size(), 1u);
}

TEST_F(CommandsTest, AnOverlongEngineRegistrationIsCutToItsBuffer) {
  host.helpRegistration = std::string(400, 'x');
  host.loadableLibraries.insert("hhctrl.ocx");
  host.Command(ID_HELP_CONTENTS);
  EXPECT_EQ(host.libraryLoads.size(), 1u) << "the read failed, so only the plain name is tried";
  EXPECT_EQ(host.libraryLoads[0], "hhctrl.ocx");

  // Stored without its terminator, a path that fills the buffer reads as a success.
  HeadlessHost other(&font);
  Application second(other);
  other.helpRegistration = std::string(260, 'y');
  other.helpRegistrationTerminated = false;
  ASSERT_EQ(second.Start(SW_SHOWNORMAL), std::nullopt);
  other.Command(ID_HELP_CONTENTS);
  EXPECT_THAT(other.libraryLoads, ElementsAre(std::string(259, 'y'), "hhctrl.ocx"));
}

TEST_F(CommandsTest, ChoosingAPictureResizesRepaintsAndMarks) {
  host.fileChoices.push_back("/pictures/wide.png");
  host.Command(ID_GAME_NEW);
  const int erasesBefore = host.erases;
  host.Command(ID_OPTIONS_CUSTOM_PICTURE);
  ASSERT_EQ(host.fileRequests.size(), 1u);
  const OpenFileRequest& request = host.fileRequests[0];
  ASSERT_EQ(request.filters.size(), 8u);
  EXPECT_EQ(request.filters[0].first, "Supported Files (*.bmp,*.gif,*.jpg,*.png,*.tga,*.tif,*.wmf)");
  EXPECT_EQ(request.filters[0].second, "*.bmp;*.gif;*.jpg;*.png;*.tga;*.tif;*.wmf");
  EXPECT_EQ(request.filters[4].first, "PNG(*.png)");
  EXPECT_EQ(request.filters[7].second, "*.wmf");
  EXPECT_EQ(request.filterIndex, 1);
  EXPECT_TRUE(request.fileMustExist);

  EXPECT_EQ(host.clientWidth, 520);
  EXPECT_EQ(host.clientHeight, 456);
  EXPECT_TRUE(host.IsChecked(ID_OPTIONS_CUSTOM_PICTURE));
  EXPECT_FALSE(app.defaultPicture);
  EXPECT_STREQ(app.picturePath.data(), "/pictures/wide.png");
  EXPECT_EQ(board().GetState(), StateIdle);
  host.DeliverPaint();
  EXPECT_EQ(host.erases, erasesBefore + 1);
  EXPECT_EQ(host.target.ClientPixel(10, 46), puzzle::testing::PatternPixel(0, 0, 6));
  EXPECT_EQ(host.target.ClientPixel(5, 5), 0xC0C0C0u);

  host.Command(ID_OPTIONS_DEFAULT_PICTURE);
  EXPECT_TRUE(host.IsChecked(ID_OPTIONS_DEFAULT_PICTURE));
  EXPECT_TRUE(app.defaultPicture);
  EXPECT_STREQ(app.picturePath.data(), "/pictures/wide.png") << "the last file is remembered";
  EXPECT_EQ(host.clientWidth, 320);
  host.Close();
  Finish();
  EXPECT_THAT(Stored("defaultPicture")->data, ElementsAre(1));
  EXPECT_EQ(StoredText("picturePath"), std::string(1, '\0')) << "not rewritten while the built-in picture is used";
}

TEST_F(CommandsTest, AShorterPathReplacesALongerOneWhole) {
  host.pictureFiles["/s.png"] = puzzle::testing::PatternImage(50, 50);
  host.fileChoices.push_back("/pictures/wide.png");
  host.fileChoices.push_back("/s.png");
  host.Command(ID_OPTIONS_CUSTOM_PICTURE);
  host.Command(ID_OPTIONS_CUSTOM_PICTURE);
  EXPECT_STREQ(app.picturePath.data(), "/s.png");
  host.Close();
  Finish();
  EXPECT_EQ(StoredText("picturePath"), std::string("/s.png") + '\0');
}

TEST_F(CommandsTest, ARejectedFileChangesNothingButTheGame) {
  host.Command(ID_GAME_NEW);
  host.fileChoices.push_back("/pictures/notes.txt");
  const int resizes = host.resizes;
  host.Command(ID_OPTIONS_CUSTOM_PICTURE);
  ASSERT_EQ(host.messageBoxes.size(), 1u);
  EXPECT_EQ(host.messageBoxes[0].text,
            "Cannot change picture.\nMake sure that the file is in a supported file format (BMP, GIF, JPG, PNG, "
            "TGA, TIF, WMF).");
  EXPECT_EQ(host.messageBoxes[0].caption, "Change Picture Error");
  EXPECT_EQ(host.messageBoxes[0].flags, 0x30u);
  EXPECT_EQ(host.resizes, resizes);
  EXPECT_TRUE(host.IsChecked(ID_OPTIONS_DEFAULT_PICTURE));
  EXPECT_TRUE(app.defaultPicture);
  EXPECT_STREQ(app.picturePath.data(), "");
  EXPECT_EQ(board().GetState(), StateIdle) << "the game was reset all the same";
}

TEST_F(CommandsTest, CancellingChangesNothingAndAPathTooLongToStoreIsRefusedWithItsReason) {
  host.Command(ID_GAME_NEW);
  host.Command(ID_OPTIONS_CUSTOM_PICTURE);  // cancelled
  EXPECT_EQ(board().GetState(), StatePlaying);
  EXPECT_TRUE(host.messageBoxes.empty());
  // Real pictures, so only the length can turn them away: the stored path keeps 255
  // bytes and its terminator.
  const std::string tooLong = "/" + std::string(255, 'p');
  const std::string farTooLong = "/" + std::string(454, 'q');
  const std::string longest = "/" + std::string(254, 'p');
  for (const std::string& path : {tooLong, farTooLong, longest}) {
    host.pictureFiles[path] = puzzle::testing::PatternImage(50, 50);
  }
  host.fileChoices.push_back(tooLong);
  host.fileChoices.push_back(farTooLong);
  host.Command(ID_OPTIONS_CUSTOM_PICTURE);
  host.Command(ID_OPTIONS_CUSTOM_PICTURE);
  ASSERT_EQ(host.messageBoxes.size(), 2u);
  for (const auto& box : host.messageBoxes) {
    EXPECT_EQ(box.text,
              "Cannot change picture.\nIts path is longer than 255 bytes: move the file to a shorter path and "
              "choose it again.");
    EXPECT_EQ(box.caption, "Change Picture Error");
    EXPECT_EQ(box.flags, 0x30u);
  }
  EXPECT_EQ(board().GetState(), StatePlaying) << "nothing was loaded";
  EXPECT_TRUE(host.IsChecked(ID_OPTIONS_DEFAULT_PICTURE));
  EXPECT_STREQ(app.picturePath.data(), "");

  host.fileChoices.push_back(longest);
  host.Command(ID_OPTIONS_CUSTOM_PICTURE);
  EXPECT_TRUE(host.IsChecked(ID_OPTIONS_CUSTOM_PICTURE));
  EXPECT_EQ(app.picturePath.back(), '\0');
  EXPECT_EQ(std::string(app.picturePath.data()), longest);
}

// A picture with fewer than two pixels a cell on a ten by ten grid would leave tiles with
// nothing of their piece to show.
TEST_F(CommandsTest, APictureTooSmallForTheLargestGridIsRefusedAndTheOldOneStays) {
  host.pictureFiles["/tiny.png"] = puzzle::testing::PatternImage(19, 300);
  host.pictureFiles["/low.png"] = puzzle::testing::PatternImage(300, 12);
  host.pictureFiles["/least.png"] = puzzle::testing::PatternImage(20, 20);
  host.Command(ID_GAME_NEW);
  host.fileChoices = {"/tiny.png", "/low.png"};
  host.Command(ID_OPTIONS_CUSTOM_PICTURE);
  host.Command(ID_OPTIONS_CUSTOM_PICTURE);
  ASSERT_EQ(host.messageBoxes.size(), 2u);
  for (const auto& box : host.messageBoxes) {
    EXPECT_EQ(box.text, "Cannot change picture.\nThe picture is smaller than 20 x 20 pixels, too small to cut into tiles.");
    EXPECT_EQ(box.caption, "Change Picture Error");
  }
  EXPECT_EQ(board().GetState(), StatePlaying);
  EXPECT_EQ(board().GetWidth(), 300);
  EXPECT_TRUE(host.IsChecked(ID_OPTIONS_DEFAULT_PICTURE));

  host.fileChoices = {"/least.png"};
  host.Command(ID_OPTIONS_CUSTOM_PICTURE);
  EXPECT_EQ(host.messageBoxes.size(), 2u);
  EXPECT_TRUE(host.IsChecked(ID_OPTIONS_CUSTOM_PICTURE));
  host.Command(ID_OPTIONS_EXPERT);
  EXPECT_EQ(board().GetWidth(), 20);
}

// The panel resets the game when a file can't be used: the screen shows the board at
// home at once, not at the next input.
TEST_F(CommandsTest, AFileThatIsNoPictureLeavesTheResetBoardOnTheScreen) {
  host.otherFiles.insert("/notes.txt");
  host.Command(ID_GAME_NEW);
  for (uint32_t key : {VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN}) host.PressKey(key);
  ASSERT_GT(panel().GetMoves(), 0);
  host.DeliverPaint();
  host.fileChoices.push_back("/notes.txt");
  host.Command(ID_OPTIONS_CUSTOM_PICTURE);
  ASSERT_EQ(host.messageBoxes.size(), 1u);
  EXPECT_EQ(board().GetState(), StateIdle);
  ASSERT_TRUE(host.DeliverPaint()) << "nothing asked for the reset board to be shown";
  // What is on the screen now is what a fresh program shows for the same board.
  puzzle::testing::BlockFont fresh;
  HeadlessHost other(&fresh);
  Application again(other);
  ASSERT_EQ(again.Start(SW_SHOWNORMAL), std::nullopt);
  other.DeliverPaint();
  EXPECT_EQ(host.target.Backing().Pixels(), other.target.Backing().Pixels());
}

// A browser's chooser gives a file's name alone: only a shorter name helps there.
TEST_F(CommandsTest, ANameTooLongForThePathSaysToRenameWhereThereIsNoFolder) {
  const std::string tooLong(256, 'n');
  host.pictureFiles[tooLong] = puzzle::testing::PatternImage(50, 50);
  host.fileChoices.push_back(tooLong);
  host.Command(ID_OPTIONS_CUSTOM_PICTURE);
  ASSERT_EQ(host.messageBoxes.size(), 1u);
  EXPECT_EQ(host.messageBoxes[0].text,
            "Cannot change picture.\nIts name is longer than 255 bytes: rename the file and choose it again.");
}

TEST_F(CommandsTest, DefaultPictureAgainResetsAndRepaintsAtTheSameSize) {
  host.Command(ID_GAME_NEW);
  host.Command(ID_OPTIONS_DEFAULT_PICTURE);
  EXPECT_EQ(board().GetState(), StateIdle);
  EXPECT_EQ(host.clientWidth, 320);
  EXPECT_TRUE(host.IsChecked(ID_OPTIONS_DEFAULT_PICTURE));
  EXPECT_TRUE(host.DeliverPaint());
}

// Pictures fitted to a screen of 1280 x 1024 as the desktop and the browser fit them.
class ScreenFittedFiles : public ImageFileDecoder {
 public:
  explicit ScreenFittedFiles(HeadlessHost& host) : host_(host) {}
  std::optional<ImageSize> NaturalSize(const char* path) override {
    auto it = host_.pictureFiles.find(path);
    if (it == host_.pictureFiles.end()) return std::nullopt;
    return ImageSize{it->second.width, it->second.height};
  }
  std::optional<ImageSize> Probe(const char* path) override {
    const auto natural = NaturalSize(path);
    if (!natural) return std::nullopt;
    return FitWithin(*natural, LargestPictureFor({1280, 1024}));
  }
  std::optional<DecodedImage> Decode(const char* path) override {
    const auto size = Probe(path);
    if (!size) return std::nullopt;
    return Downscale(host_.pictureFiles.at(path), *size);
  }

 private:
  HeadlessHost& host_;
};

class ScreenFitTest : public AppTest {
 protected:
  void SetUp() override {
    host.UseDecoder(&files);
    Start();
  }
  ScreenFittedFiles files{host};
};

// A panorama is large enough, but shrunk to fit the screen its short side falls under
// the smallest a grid can be cut from: it is refused with that reason, not as too small.
TEST_F(ScreenFitTest, APanoramaTooNarrowOnceFittedIsRefusedForWhatItIs) {
  host.pictureFiles["/wide.png"] = puzzle::testing::PatternImage(4000, 50);
  host.pictureFiles["/tall.png"] = puzzle::testing::PatternImage(50, 4000);
  host.pictureFiles["/tiny.png"] = puzzle::testing::PatternImage(19, 300);
  host.pictureFiles["/broad.png"] = puzzle::testing::PatternImage(2000, 60);
  host.fileChoices = {"/wide.png", "/tall.png", "/tiny.png"};
  for (int i = 0; i < 3; ++i) host.Command(ID_OPTIONS_CUSTOM_PICTURE);
  ASSERT_EQ(host.messageBoxes.size(), 3u);
  const std::string narrow =
      "Cannot change picture.\nThe picture is too long and narrow for this screen: made small enough to fit, it "
      "would be less than 20 pixels across, too small to cut into tiles.";
  EXPECT_EQ(host.messageBoxes[0].text, narrow);
  EXPECT_EQ(host.messageBoxes[1].text, narrow);
  EXPECT_EQ(host.messageBoxes[2].text,
            "Cannot change picture.\nThe picture is smaller than 20 x 20 pixels, too small to cut into tiles.");
  EXPECT_TRUE(host.IsChecked(ID_OPTIONS_DEFAULT_PICTURE));
  // One that keeps 20 pixels once fitted plays, as wide as the screen allows.
  host.fileChoices = {"/broad.png"};
  host.Command(ID_OPTIONS_CUSTOM_PICTURE);
  EXPECT_EQ(host.messageBoxes.size(), 3u);
  EXPECT_TRUE(host.IsChecked(ID_OPTIONS_CUSTOM_PICTURE));
  EXPECT_EQ(board().GetWidth(), LargestPictureFor({1280, 1024}).width);
}

}  // namespace
}  // namespace puzzle
