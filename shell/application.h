#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string_view>

#include "game/game_panel.h"
#include "shell/host.h"
#include "toolkit/picture.h"

namespace puzzle {

// The program's own strips: five faces of 26 x 26, eleven digits of 13 x 23.
inline constexpr ImageSize kFaceStripSize{130, 26};
inline constexpr ImageSize kDigitStripSize{143, 23};

// The help file the help commands open, by bare name.
inline constexpr std::string_view kHelpFile = "brindlewick puzzle help.chm";

// The whole program over one host: start-up, the main window's procedure and commands,
// help and the picture choice, and the program-wide state that the settings, records
// and dialogs share.
class Application : public GameHost, public WindowHandler {
 public:
  explicit Application(Host& host);
  ~Application() override;

  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // The whole run: start-up, the message loop, saving; answers the exit code.
  int32_t WinMain(int32_t showCommand);
  // The run in parts, for hosts and tests that drive the loop themselves. Start answers
  // an exit code when start-up failed; Finish saves, tears down and answers quitCode.
  std::optional<int32_t> Start(int32_t showCommand);
  int32_t Finish(int32_t quitCode);

  // WindowHandler.
  bool TranslateAndDispatch(const Message& message) override;
  bool MainWndProc(const Message& message) override;

  // GameHost: what the game panel asks of the program.
  uint32_t SetTimer(uint32_t id, uint32_t milliseconds) override;
  void KillTimer(uint32_t id) override;
  void MessageBeep(uint32_t type) override;
  void CheckForRecord() override;
  int64_t CurrentTime() override;

  bool CreateMainWindow();
  bool InitDirectDraw();
  void ResizeClient(int32_t width, int32_t height);
  void HandleMove();
  void HandlePaint();
  // Renders the panel; a failure is reported once and ends the program with code 1.
  void RenderPanel();

  uintptr_t CallHtmlHelp(std::string_view file, uint32_t command, uintptr_t data);
  bool GetHtmlHelpPath(char* buffer, uint32_t size);

  void DefaultPictureStep();
  bool ChooseCustomPicture();
  // Marks the corner item of the empty cell in use when the stored pair is none of the menu's.
  void MarkCornerInUse();

  // Shows a box owned by the main window, when it exists.
  int32_t ShowMessage(std::string_view text, std::string_view caption, uint32_t flags);

  Host& host;

  // Program-wide state.
  bool mainWindow = false;
  bool directDraw = false;
  std::unique_ptr<Picture> puzzlePicture;
  std::unique_ptr<Picture> faceStrip;
  std::unique_ptr<Picture> digitStrip;
  std::unique_ptr<GamePanel> gamePanel;
  bool defaultPicture = false;
  std::array<char, 256> picturePath{};
  // The stored path did not fit picturePath and was cut.
  bool storedPathTooLong = false;
  int32_t lastFindNumber = 0;
  int32_t flashTickCount = 0;
  HelpHandle helpModule = 0;
  HelpHandle helpEntry = 0;
  bool helpLoadFailed = false;
  // Set by the first failed render: the error is shown once and nothing renders again.
  bool paintFailed = false;

 private:
  void OnCommand(uint32_t command);
  // Picks the accelerator a message stands for; 0 when none.
  uint32_t TranslateAccelerator(const Message& message);
  void SetLevel(int32_t size, uint32_t command);
  void SetCorner(int32_t emptyX, int32_t emptyY, uint32_t command);
  // Why the stored picture can't be played, or null when it can; loads it.
  const char* StoredPictureProblem();

  PictureEnvironment pictures_;
};

// Two pixels per cell on the largest grid, ten by ten: each tile then shows at least one
// pixel of its piece beside its grid line.
inline constexpr int32_t kSmallestPicture = 20;
inline bool PictureIsLargeEnough(int32_t width, int32_t height) {
  return width >= kSmallestPicture && height >= kSmallestPicture;
}
inline constexpr std::string_view kTooSmall = "the picture is smaller than 20 x 20 pixels, too small to cut into tiles";
// A panorama: large enough, but made small enough for the screen its short side is too short.
inline constexpr std::string_view kTooNarrow =
    "the picture is too long and narrow for this screen: made small enough to fit, it would be less than 20 "
    "pixels across, too small to cut into tiles";
// Why a picture that came out too small to play is too small: itself, or its fit to the screen.
inline std::string_view TooSmallReason(ImageFileDecoder& files, const char* path) {
  const std::optional<ImageSize> natural = files.NaturalSize(path);
  return natural && PictureIsLargeEnough(natural->width, natural->height) ? kTooNarrow : kTooSmall;
}
inline constexpr std::string_view kNotAPicture =
    "the file is damaged or not in a supported format (BMP, GIF, JPG, PNG, TGA, TIF, WMF)";

// The message box of a failed render or start-up.
inline constexpr std::string_view kUnexpectedError = "An unexpected error occurs, the program will now exit.";

}  // namespace puzzle
