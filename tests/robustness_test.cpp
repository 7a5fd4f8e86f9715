// Thousands of random inputs, dialog answers and picture choices; after every step the
// game must still be whole: a consistent board, counters in range, well-formed settings.
#include <random>
#include <set>

#include "app_support.h"
#include "board_invariants.h"

namespace puzzle {
namespace {

using puzzle::testing::BlockFont;
using puzzle::testing::PatternImage;

class RandomSession {
 public:
  explicit RandomSession(uint32_t seed) : rng_(seed) {
    pictures_ = {"/p/tiny.png", "/p/one.png", "/p/wide.png", "/p/tall.png", "/p/missing.png", "/p/corrupt.gif"};
  }

  void Run(int steps) {
    Restart();
    for (int step = 0; step < steps; ++step) {
      Act();
      if (host_->quitPosted) {
        app_->Finish(host_->RunMessageLoop());
        CheckRegistry();
        Restart();
      }
      Check(step);
      if (::testing::Test::HasFatalFailure()) return;
    }
    host_->Close();
    app_->Finish(host_->RunMessageLoop());
    CheckRegistry();
  }

 private:
  int32_t Pick(int32_t n) { return static_cast<int32_t>(rng_() % static_cast<uint32_t>(n)); }

  std::string RandomText() {
    switch (Pick(6)) {
      case 0: return std::to_string(Pick(12));
      case 1: return std::to_string(Pick(200));
      case 2: return "";
      case 3: return "4294967295";
      case 4: return std::string(static_cast<size_t>(Pick(40)), static_cast<char>('a' + Pick(26)));
      default: return "-3";
    }
  }

  void Restart() {
    MemoryRegistry kept = host_ ? host_->registry : MemoryRegistry{};
    app_.reset();
    host_ = std::make_unique<HeadlessHost>(&font_);
    host_->registry = kept;
    host_->pictureFiles["/p/tiny.png"] = PatternImage(5, 5);
    host_->pictureFiles["/p/one.png"] = PatternImage(1, 1);
    host_->pictureFiles["/p/wide.png"] = PatternImage(420, 90, 1);
    host_->pictureFiles["/p/tall.png"] = PatternImage(60, 330, 2);
    app_ = std::make_unique<Application>(*host_);
    ASSERT_EQ(app_->Start(SW_SHOWNORMAL), std::nullopt);
  }

  void ScriptDialogs() {
    for (int32_t id : {IDD_CUSTOM_DIMENSIONS, IDD_FIND_TILE, IDD_NEW_RECORD, IDD_BEST_TIMES, IDD_ABOUT}) {
      std::vector<DialogStep> script;
      const int32_t steps = Pick(4);
      for (int32_t i = 0; i < steps; ++i) {
        switch (Pick(6)) {
          case 0: script.push_back(DialogStep::Type(IDC_CUSTOM_WIDTH, RandomText())); break;
          case 1: script.push_back(DialogStep::Type(IDC_CUSTOM_HEIGHT, RandomText())); break;
          case 2: script.push_back(DialogStep::Type(IDC_FIND_NUMBER, RandomText())); break;
          case 3: script.push_back(DialogStep::Type(IDC_RECORD_NAME, RandomText())); break;
          case 4: script.push_back(DialogStep::Tick(static_cast<uint32_t>(1 + Pick(2)))); break;
          default: script.push_back(DialogStep::Mouse(WM_LBUTTONDOWN, Pick(250), Pick(150))); break;
        }
      }
      const int32_t buttons[] = {IDOK, IDCANCEL, IDC_RESET_SCORE};
      script.push_back(DialogStep::Press(buttons[Pick(3)]));
      host_->dialogScripts[id].push_back(std::move(script));
    }
  }

  void Act() {
    HeadlessHost& host = *host_;
    const int32_t w = host.clientWidth + 40;
    const int32_t h = host.clientHeight + 40;
    switch (Pick(12)) {
      case 0:
      case 1:
      case 2: {
        const uint32_t messages[] = {WM_LBUTTONDOWN, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_MOUSEMOVE, WM_RBUTTONDOWN,
                                     WM_LBUTTONDBLCLK, WM_MBUTTONUP};
        host.Dispatch({messages[Pick(7)], Pick(2) != 0 ? MK_LBUTTON : 0u,
                       MakeLParam(static_cast<uint32_t>(Pick(w)), static_cast<uint32_t>(Pick(h)))});
        break;
      }
      case 3:
      case 4: {
        const uint32_t keys[] = {VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, VK_F2, 'S', 'F', 'Q', VK_F1};
        host.PressKey(keys[Pick(9)], Pick(4) == 0);
        break;
      }
      case 5:
      case 6: {
        ScriptDialogs();
        host.fileChoices.clear();
        if (Pick(3) != 0) host.fileChoices.push_back(pictures_[static_cast<size_t>(Pick(6))]);
        host.messageBoxAnswers = {Pick(2) != 0 ? IDYES : IDNO};
        uint32_t command = ID_FIRST_COMMAND + static_cast<uint32_t>(Pick(21)) - 1;
        if (command == ID_GAME_EXIT && Pick(8) != 0) command = ID_GAME_NEW;  // restarts now and then
        host.Command(command);
        break;
      }
      case 7:
      case 8:
        host.FireTimer(static_cast<uint32_t>(1 + Pick(2)));
        break;
      case 9:
        host.InvalidateClient(Pick(2) != 0);
        host.DeliverPaint();
        break;
      case 10:
        host.MoveWindow(Pick(2000) - 500, Pick(1500) - 500);
        break;
      default:
        if (Pick(20) == 0) host.Close();
        break;
    }
  }

  void Check(int step) {
    if (host_->quitPosted || !app_->gamePanel) return;
    SCOPED_TRACE(::testing::Message() << "step " << step);
    GamePanel& panel = *app_->gamePanel;
    Board& board = *panel.GetBoard();
    puzzle::testing::ExpectBoardInvariants(board);
    if (::testing::Test::HasFatalFailure()) return;
    ASSERT_GE(board.GetColumns(), 3);
    ASSERT_LE(board.GetColumns(), 10);
    ASSERT_GE(panel.GetMoves(), 0);
    ASSERT_LE(panel.GetMoves(), 9999);
    ASSERT_GE(panel.GetSeconds(), 0);
    ASSERT_LE(panel.GetSeconds(), 9999);
    ASSERT_EQ(host_->clientWidth, panel.GetWidth());
    ASSERT_EQ(host_->clientHeight, panel.GetHeight());
    ASSERT_EQ(host_->unfinishedDialogs, 0);
    CheckRegistry();
  }

  void CheckRegistry() {
    const auto& values = host_->registry.keys[std::string(kSettingsKeyPath)];
    for (const auto& [folded, value] : values) {
      SCOPED_TRACE(value.name);
      if (folded == "shownumber" || folded == "defaultpicture") {
        ASSERT_EQ(value.type, REG_BINARY);
        ASSERT_EQ(value.data.size(), 1u);
      } else if (folded == "picturepath" || folded.rfind("name", 0) == 0) {
        ASSERT_EQ(value.type, REG_SZ);
        ASSERT_FALSE(value.data.empty());
        ASSERT_EQ(value.data.back(), 0);
        ASSERT_LE(value.data.size(), folded == "picturepath" ? 256u : 15u);
      } else {
        ASSERT_EQ(value.type, REG_DWORD);
        ASSERT_EQ(value.data.size(), 4u);
      }
    }
  }

  std::mt19937 rng_;
  BlockFont font_;
  std::unique_ptr<HeadlessHost> host_;
  std::unique_ptr<Application> app_;
  std::vector<std::string> pictures_;
};

TEST(RobustnessTest, RandomSessionsKeepTheGameWhole) {
  for (uint32_t seed : {1u, 2u, 3u}) {
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    RandomSession session(seed);
    session.Run(1500);
    if (::testing::Test::HasFatalFailure()) return;
  }
}

}  // namespace
}  // namespace puzzle
