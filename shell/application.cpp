#include "shell/application.h"

#include <string>

#include "resources/resource_tables.h"
#include "settings/best_times.h"
#include "settings/settings_store.h"
#include "settings/small_dialogs.h"
#include "toolkit/platform_codes.h"

namespace puzzle {

namespace {

constexpr uint32_t kExclamation = MB_OK | MB_ICONEXCLAMATION;
constexpr uint32_t kMainWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr uint32_t kLightGrey = 0xC0C0C0;

constexpr int32_t kDigitsPerCounter = 4;

}  // namespace

Application::Application(Host& platform) : host(platform) {}

Application::~Application() = default;

int32_t Application::WinMain(int32_t showCommand) {
  if (auto failed = Start(showCommand)) return *failed;
  return Finish(host.RunMessageLoop());
}

std::optional<int32_t> Application::Start(int32_t showCommand) {
  host.SetWindowHandler(this);
  if (!CreateMainWindow()) {
    host.MessageBox(false, kUnexpectedError, "Window Error", kExclamation);
    return 1;
  }
  if (!InitDirectDraw()) {
    ShowMessage(kUnexpectedError, "Direct Draw Error", kExclamation);
    return 1;
  }

  int32_t columns = 0;
  int32_t rows = 0;
  int32_t emptyX = 0;
  int32_t emptyY = 0;
  bool showNumbers = false;
  LoadSettings(*this, columns, rows, emptyX, emptyY, showNumbers, defaultPicture, picturePath);

  if (defaultPicture) {
    puzzlePicture = std::make_unique<Picture>(pictures_, PictureName::Resource(IDB_PICTURE), 300, 300, 1, 1, 1);
  } else {
    puzzlePicture = std::make_unique<Picture>(pictures_, PictureName::File(picturePath.data()), 1, 1, 1);
    if (const char* reason = StoredPictureProblem()) {
      // Put together without printf, which would bring its floating-point formatting into
      // the browser's module for this one message.
      std::string text = "Cannot load picture: ";
      text.append(picturePath.data()).append(", \n").append(reason).append(".\nDefault picture used instead.");
      ShowMessage(text, "Invalid Picture", kExclamation);
      defaultPicture = true;
      host.CheckMenuRadioItem(ID_OPTIONS_DEFAULT_PICTURE, ID_OPTIONS_CUSTOM_PICTURE, ID_OPTIONS_DEFAULT_PICTURE);
      puzzlePicture = std::make_unique<Picture>(pictures_, PictureName::Resource(IDB_PICTURE), 300, 300, 1, 1, 1);
    }
  }
  faceStrip = std::make_unique<Picture>(pictures_, PictureName::Resource(IDB_FACES), kFaceStripSize.width,
                                        kFaceStripSize.height, 5, 1, 5);
  digitStrip = std::make_unique<Picture>(pictures_, PictureName::Resource(IDB_DIGITS), kDigitStripSize.width,
                                         kDigitStripSize.height, 11, 1, 11);

  gamePanel = std::make_unique<GamePanel>(nullptr, 0, 0, puzzlePicture.get(), columns, rows, emptyX, emptyY,
                                          showNumbers, digitStrip.get(), kDigitsPerCounter, faceStrip.get(), *this);
  ResizeClient(gamePanel->GetWidth(), gamePanel->GetHeight());
  host.ShowMainWindow(showCommand);
  host.UpdateMainWindow();
  return std::nullopt;
}

const char* Application::StoredPictureProblem() {
  // The stored path was cut to fit its buffer: whatever the cut path names, it is not the picture.
  if (storedPathTooLong) return "its path is longer than 255 bytes";
  if (!puzzlePicture->Load()) {
    if (pictures_.files->Exists(picturePath.data())) return kNotAPicture.data();
    return "the file may have been removed";
  }
  if (!PictureIsLargeEnough(puzzlePicture->imageWidth, puzzlePicture->imageHeight)) {
    return TooSmallReason(*pictures_.files, picturePath.data()).data();
  }
  return nullptr;
}

int32_t Application::Finish(int32_t quitCode) {
  SaveSettings(*this);
  // The panel refers to the pictures, so it goes first.
  gamePanel.reset();
  puzzlePicture.reset();
  digitStrip.reset();
  faceStrip.reset();
  return quitCode;
}

bool Application::CreateMainWindow() {
  const MainWindowSpec spec{"puzzle", "brindlewick Puzzle", kMainWindowStyle, IDR_MENU, IDI_PROGRAM, kLightGrey};
  mainWindow = host.CreateMainWindow(spec);
  return mainWindow;
}

bool Application::InitDirectDraw() {
  directDraw = host.SetUpDrawing();
  if (directDraw) pictures_ = PictureEnvironment{&host.Surfaces(), &host.Bitmaps(), &host.PictureFiles()};
  return directDraw;
}

int32_t Application::ShowMessage(std::string_view text, std::string_view caption, uint32_t flags) {
  return host.MessageBox(mainWindow, text, caption, flags);
}

void Application::ResizeClient(int32_t width, int32_t height) { host.ResizeClient(width, height); }

void Application::HandleMove() {
  if (!gamePanel) return;
  int32_t screenX = 0;
  int32_t screenY = 0;
  host.ClientOrigin(screenX, screenY);
  gamePanel->SetOriginX(screenX);
  gamePanel->SetOriginY(screenY);
}

void Application::HandlePaint() {
  const Rect area = host.BeginPaint();
  if (gamePanel) {
    gamePanel->InvalidateRect(area);
    RenderPanel();
  }
  host.EndPaint();
}

void Application::RenderPanel() {
  // After a failure the program is on its way out: one box, no more painting.
  if (paintFailed || !gamePanel) return;
  const bool painted = gamePanel->Render(host.WindowTarget());
  host.PresentChanges();
  if (painted) return;
  paintFailed = true;
  ShowMessage(kUnexpectedError, "Paint Error", kExclamation);
  host.PostQuitMessage(1);
}

uint32_t Application::TranslateAccelerator(const Message& message) {
  const bool keyDown = message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN;
  const bool character = message.message == WM_CHAR || message.message == WM_SYSCHAR;
  if (!keyDown && !character) return 0;
  for (const AcceleratorSpec& entry : Accelerators()) {
    if ((entry.flags & FVIRTKEY) != 0) {
      if (!keyDown || message.wParam != entry.key) continue;
      // A key accelerator needs exactly its own modifiers held.
      const bool shift = host.KeyIsDown(VK_SHIFT);
      const bool control = host.KeyIsDown(VK_CONTROL);
      const bool alt = host.KeyIsDown(VK_MENU);
      if (shift != ((entry.flags & FSHIFT) != 0) || control != ((entry.flags & FCONTROL) != 0) ||
          alt != ((entry.flags & FALT) != 0)) {
        continue;
      }
      return entry.command;
    }
    const bool wantsAlt = (entry.flags & FALT) != 0;
    if (character && message.wParam == entry.key && wantsAlt == (message.message == WM_SYSCHAR)) {
      return entry.command;
    }
  }
  return 0;
}

bool Application::TranslateAndDispatch(const Message& message) {
  if (const uint32_t command = TranslateAccelerator(message)) {
    return MainWndProc(Message{WM_COMMAND, (1u << 16) | command, 0});
  }
  return MainWndProc(message);
}

bool Application::MainWndProc(const Message& message) {
  if (message.message == WM_DESTROY) {
    host.PostQuitMessage(0);
    return true;
  }
  // Until the panel exists everything is left to the platform.
  if (!gamePanel) return false;
  switch (message.message) {
    case WM_MOVE:
      HandleMove();
      return true;
    case WM_PAINT:
      HandlePaint();
      return true;
    case WM_KEYDOWN:
    case WM_KEYUP:
      gamePanel->OnKey(message.message, message.wParam, message.lParam);
      RenderPanel();
      return true;
    case WM_COMMAND:
      OnCommand(LoWord(message.wParam));
      return true;
    case WM_TIMER:
      gamePanel->OnTimerTick();
      RenderPanel();
      return true;
    default:
      break;
  }
  if (message.message >= WM_MOUSEFIRST && message.message <= WM_MOUSELAST) {
    const auto lParam = static_cast<uint32_t>(message.lParam);
    gamePanel->OnMouse(message.message, message.wParam, static_cast<int32_t>(LoWord(lParam)),
                       static_cast<int32_t>(HiWord(lParam)));
    RenderPanel();
    return true;
  }
  return false;
}

void Application::SetLevel(int32_t size, uint32_t command) {
  gamePanel->SetBoardSize(size, size);
  RenderPanel();
  host.CheckMenuRadioItem(ID_OPTIONS_BEGINNER, ID_OPTIONS_CUSTOM, command);
  MarkCornerInUse();
}

void Application::MarkCornerInUse() {
  const int32_t emptyX = gamePanel->GetEmptyX();
  const int32_t emptyY = gamePanel->GetEmptyY();
  // The menu's own pairs keep their mark on every board.
  if (IsMenuCorner(emptyX, emptyY)) return;
  const uint32_t corner = CornerInUse(gamePanel->GetBoardWidth(), gamePanel->GetBoardHeight(), emptyX, emptyY);
  if (corner != 0) {
    host.CheckMenuRadioItem(ID_OPTIONS_EMPTY_BL, ID_OPTIONS_EMPTY_TR, corner);
    return;
  }
  for (uint32_t id = ID_OPTIONS_EMPTY_BL; id <= ID_OPTIONS_EMPTY_TR; ++id) host.CheckMenuItem(id, MF_UNCHECKED);
}

void Application::SetCorner(int32_t emptyX, int32_t emptyY, uint32_t command) {
  gamePanel->SetEmptyCorner(emptyX, emptyY);
  RenderPanel();
  host.CheckMenuRadioItem(ID_OPTIONS_EMPTY_BL, ID_OPTIONS_EMPTY_TR, command);
}

void Application::OnCommand(uint32_t command) {
  switch (command) {
    case ID_GAME_NEW:
      gamePanel->NewGame();
      RenderPanel();
      break;
    case ID_GAME_EXIT:
      host.PostQuitMessage(0);
      break;
    case ID_GAME_BEST_TIMES:
      RunBestTimesDialog(*this);
      break;
    case ID_OPTIONS_BEGINNER:
      SetLevel(4, command);
      break;
    case ID_OPTIONS_INTERMEDIATE:
      SetLevel(6, command);
      break;
    case ID_OPTIONS_EXPERT:
      SetLevel(8, command);
      break;
    case ID_OPTIONS_CUSTOM:
      RunCustomDimensionsDialog(*this);
      break;
    case ID_OPTIONS_EMPTY_BL:
      SetCorner(-1, 100, command);
      break;
    case ID_OPTIONS_EMPTY_BR:
      SetCorner(100, 100, command);
      break;
    case ID_OPTIONS_EMPTY_TL:
      SetCorner(-1, -1, command);
      break;
    case ID_OPTIONS_EMPTY_TR:
      SetCorner(100, -1, command);
      break;
    case ID_OPTIONS_SHOW_NUMBERS:
      if (gamePanel->IsShowNumbers()) {
        gamePanel->SetShowNumbers(false);
        host.CheckMenuItem(ID_OPTIONS_SHOW_NUMBERS, MF_UNCHECKED);
      } else {
        gamePanel->SetShowNumbers(true);
        host.CheckMenuItem(ID_OPTIONS_SHOW_NUMBERS, MF_CHECKED);
      }
      RenderPanel();
      break;
    case ID_OPTIONS_FIND_TILE:
      RunFindTileDialog(*this);
      break;
    case ID_HELP_CONTENTS:
      CallHtmlHelp(kHelpFile, HH_DISPLAY_TOC, 0);
      break;
    case ID_HELP_SEARCH: {
      // The engine's 32-byte full-text query record: only its size set, so the search
      // view opens with no query and runs nothing.
      std::array<uint8_t, 32> query{};
      query[0] = 32;
      CallHtmlHelp(kHelpFile, HH_DISPLAY_SEARCH, reinterpret_cast<uintptr_t>(query.data()));
      break;
    }
    case ID_HELP_INDEX:
      CallHtmlHelp(kHelpFile, HH_DISPLAY_INDEX, 0);
      break;
    case ID_HELP_ABOUT:
      RunAboutDialog(*this);
      break;
    case ID_OPTIONS_DEFAULT_PICTURE:
      DefaultPictureStep();
      break;
    case ID_OPTIONS_CUSTOM_PICTURE:
      if (ChooseCustomPicture()) {
        host.CheckMenuRadioItem(ID_OPTIONS_DEFAULT_PICTURE, ID_OPTIONS_CUSTOM_PICTURE, ID_OPTIONS_CUSTOM_PICTURE);
      }
      break;
    default:
      break;  // not ours: swallowed
  }
}

uint32_t Application::SetTimer(uint32_t id, uint32_t milliseconds) { return host.SetTimer(id, milliseconds, nullptr); }
void Application::KillTimer(uint32_t id) { host.KillTimer(id); }
void Application::MessageBeep(uint32_t type) { host.MessageBeep(type); }
void Application::CheckForRecord() { puzzle::CheckForRecord(*this); }
int64_t Application::CurrentTime() { return host.CurrentTime(); }

}  // namespace puzzle
