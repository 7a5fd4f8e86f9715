// Best times: the record test after a win, New Record and Best Times.
#include <gmock/gmock.h>

#include "app_support.h"
#include "settings/best_times.h"

namespace puzzle {
namespace {

using puzzle::testing::AppTest;
using ::testing::ElementsAre;

class RecordsTest : public AppTest {
 protected:
  void SetUp() override { Start(); }
  void Win() {
    auto [column, row] = OneMoveFromSolved();
    for (int i = 0; i < 4; ++i) host.FireTimer(1);
    ClickCell(column, row);
  }
};

TEST_F(RecordsTest, AWinningBeginnerGameAsksForTheNameAndShowsTheTimes) {
  host.dialogScripts[IDD_NEW_RECORD].push_back({DialogStep::Type(IDC_RECORD_NAME, "Alice"), DialogStep::Press(IDOK)});
  Win();
  EXPECT_FALSE(host.TimerRunning(1)) << "the clock stopped";
  EXPECT_THAT(host.beeps, ElementsAre(0u));
  EXPECT_EQ(board().GetState(), StateSolved);
  ASSERT_EQ(host.dialogs.size(), 2u);
  const DialogRecord& record = host.dialogs[0];
  EXPECT_EQ(record.templateId, IDD_NEW_RECORD);
  EXPECT_EQ(record.initialTexts.at(IDC_RECORD_PROMPT),
            "You have the fastest time for\nBeginner level,\nplease enter your name:");
  EXPECT_EQ(record.initialTexts.at(IDC_RECORD_NAME), "Anonymous");
  EXPECT_EQ(StoredText("nameBeginner"), std::string("Alice") + '\0');
  EXPECT_EQ(StoredNumber("timeBeginner"), 5u);
  EXPECT_EQ(StoredNumber("moveBeginner"), 1u);
  EXPECT_EQ(Stored("timeBeginner")->type, REG_DWORD);
  const DialogRecord& times = host.dialogs[1];
  EXPECT_EQ(times.templateId, IDD_BEST_TIMES);
  EXPECT_EQ(times.initialTexts.at(IDC_NAME_BEGINNER), "Alice");
  EXPECT_EQ(times.initialTexts.at(IDC_TIME_BEGINNER), "5");
  EXPECT_EQ(times.initialTexts.at(IDC_MOVE_BEGINNER), "1");
  EXPECT_EQ(times.initialTexts.at(IDC_NAME_EXPERT), "Anonymous");
  EXPECT_EQ(times.initialTexts.at(IDC_TIME_EXPERT), "9999");
  // The finished picture was on screen before the dialog opened.
  const auto& log = host.log;
  const auto dialogAt = std::find(log.begin(), log.end(), "dialog 110");
  EXPECT_EQ(dialogAt[-1], "present");
}

TEST_F(RecordsTest, TheNameFieldOffersTheCurrentHolderAndKeepsFourteenCharacters) {
  StoreText("nameBeginner", "Bob");
  host.dialogScripts[IDD_NEW_RECORD].push_back(
      {DialogStep::Type(IDC_RECORD_NAME, "A very long name indeed"), DialogStep::Press(IDCANCEL),
       DialogStep::Press(IDOK)});
  Win();
  EXPECT_EQ(host.dialogs[0].initialTexts.at(IDC_RECORD_NAME), "Bob");
  EXPECT_EQ(StoredText("nameBeginner"), std::string("A very long na") + '\0');
}

TEST_F(RecordsTest, NamesAreCutAtTheLastWholeCharacterThatFitsFourteenBytes) {
  // Accented letters: the fourteenth byte is the first half of "ö".
  host.dialogScripts[IDD_NEW_RECORD].push_back(
      {DialogStep::Type(IDC_RECORD_NAME, "José Ångström-Ünal"), DialogStep::Press(IDOK)});
  Win();
  EXPECT_EQ(StoredText("nameBeginner"), std::string("José Ångstr") + '\0');
  EXPECT_EQ(host.dialogs[1].initialTexts.at(IDC_NAME_BEGINNER), "José Ångstr");
}

TEST_F(RecordsTest, TheNameFieldTakesNoMoreThanTheFourteenBytesThatAreKept) {
  // What the player sees in the field is what Best Times shows afterwards.
  host.dialogScripts[IDD_NEW_RECORD].push_back(
      {DialogStep::Type(IDC_RECORD_NAME, "Zoë Łukasz 日本語"),
       DialogStep::Run([this] { EXPECT_EQ(host.dialogs[0].texts.at(IDC_RECORD_NAME), "Zoë Łukasz "); }),
       DialogStep::Press(IDOK)});
  Win();
  EXPECT_EQ(host.dialogs[0].limits.at(IDC_RECORD_NAME), 14u);
  EXPECT_EQ(StoredText("nameBeginner"), std::string("Zoë Łukasz ") + '\0');
  EXPECT_EQ(host.dialogs[1].initialTexts.at(IDC_NAME_BEGINNER), "Zoë Łukasz ");
}

// A browser tab closed, reloaded or discarded while the name is asked for: the record is
// kept with the name typed so far, and OK afterwards stores the name finished.
TEST_F(RecordsTest, TheEndOfTheSessionKeepsTheRecordWithTheNameTypedSoFar) {
  host.dialogScripts[IDD_NEW_RECORD].push_back(
      {DialogStep::Type(IDC_RECORD_NAME, "Tes"), DialogStep::Send(WM_ENDSESSION, 1),
       DialogStep::Run([this] {
         EXPECT_FALSE(host.dialogs[0].ended) << "the dialog waits for a player who comes back";
         EXPECT_EQ(StoredText("nameBeginner"), std::string("Tes") + '\0');
         EXPECT_EQ(StoredNumber("timeBeginner"), 5u);
         EXPECT_EQ(StoredNumber("moveBeginner"), 1u);
       }),
       DialogStep::Type(IDC_RECORD_NAME, "Tess"), DialogStep::Press(IDOK)});
  Win();
  EXPECT_EQ(StoredText("nameBeginner"), std::string("Tess") + '\0');
  ASSERT_EQ(host.dialogs.size(), 2u);
  EXPECT_EQ(host.dialogs[1].templateId, IDD_BEST_TIMES);
}

TEST_F(RecordsTest, StoredNamesTooLongForTheBufferShowOnlyWholeCharacters) {
  // Never written by the game, but a hand-edited file may hold them: the buffer's fourteen
  // bytes end in the middle of a character.
  StoreText("nameBeginner", "AÉÉÉÉÉÉÉÉ");
  StoreText("nameIntermediate", "ÉÉÉÉÉÉÉÉ");
  StoreText("nameExpert", "abcdefghijklm€");
  host.dialogScripts[IDD_NEW_RECORD].push_back({DialogStep::Press(IDOK)});
  Win();
  // The field offers what fits, and OK stores just that.
  EXPECT_EQ(host.dialogs[0].initialTexts.at(IDC_RECORD_NAME), "AÉÉÉÉÉÉ");
  EXPECT_EQ(StoredText("nameBeginner"), std::string("AÉÉÉÉÉÉ") + '\0');
  const DialogRecord& times = host.dialogs[1];
  EXPECT_EQ(times.initialTexts.at(IDC_NAME_BEGINNER), "AÉÉÉÉÉÉ");
  EXPECT_EQ(times.initialTexts.at(IDC_NAME_INTERMEDIATE), "ÉÉÉÉÉÉÉ");
  EXPECT_EQ(times.initialTexts.at(IDC_NAME_EXPERT), "abcdefghijklm");
  // Reading cut nothing in the store.
  EXPECT_EQ(StoredText("nameIntermediate"), std::string("ÉÉÉÉÉÉÉÉ") + '\0');
}

TEST_F(RecordsTest, ANameStoredWithoutItsTerminatorShowsOnlyItsOwnBytes) {
  // A hand-edited file: "Bo" as hex(1):42,6f. The buffer held "Anonymous" before the read.
  StoreBytes("nameBeginner", REG_SZ, {'B', 'o'});
  host.dialogScripts[IDD_NEW_RECORD].push_back({DialogStep::Press(IDOK)});
  Win();
  EXPECT_EQ(host.dialogs[0].initialTexts.at(IDC_RECORD_NAME), "Bo");
  EXPECT_EQ(host.dialogs[1].initialTexts.at(IDC_NAME_EXPERT), "Anonymous");
}

TEST_F(RecordsTest, EscapeDoesNotLeaveNewRecordAndAnEmptyNameIsStoredAsEmpty) {
  host.dialogScripts[IDD_NEW_RECORD].push_back(
      {DialogStep::Type(IDC_RECORD_NAME, ""), DialogStep::Press(IDCANCEL),
       DialogStep::Run([this] { EXPECT_FALSE(host.dialogs[0].ended); }), DialogStep::Press(IDOK)});
  Win();
  EXPECT_EQ(StoredText("nameBeginner"), std::string(1, '\0'));
}

TEST_F(RecordsTest, RecordsNeedAShorterTimeOrTheSameTimeWithFewerMoves) {
  StoreNumber("timeBeginner", 100);
  StoreNumber("moveBeginner", 50);
  const std::tuple<int32_t, int32_t, bool> cases[] = {
      {100, 50, false}, {100, 49, true}, {99, 500, true}, {101, 1, false}, {100, 51, false}};
  for (const auto& [seconds, moves, record] : cases) {
    panel().GetSecondsCounter()->SetValue(seconds);
    panel().GetMovesCounter()->SetValue(moves);
    EXPECT_EQ(IsNewRecord(app), record) << seconds << " s, " << moves << " moves";
  }
}

TEST_F(RecordsTest, StoredTimesAreUnsignedSoAnyGameBeatsAHandEditedMinusOne) {
  panel().GetSecondsCounter()->SetValue(9000);
  for (uint32_t stored : {0xFFFFFFFFu, 0x80000000u}) {
    StoreNumber("timeBeginner", stored);
    EXPECT_TRUE(IsNewRecord(app)) << stored;
  }
}

TEST_F(RecordsTest, AMissingRecordIsStoredAsNineThousandNineHundredNinetyNine) {
  panel().GetSecondsCounter()->SetValue(120);
  panel().GetMovesCounter()->SetValue(85);
  EXPECT_TRUE(IsNewRecord(app));
  EXPECT_EQ(StoredNumber("timeBeginner"), 9999u);
  EXPECT_EQ(StoredNumber("moveBeginner"), 9999u);
  EXPECT_EQ(Stored("nameBeginner"), nullptr);
}

TEST_F(RecordsTest, NoLevelNoRecord) {
  host.dialogScripts[IDD_CUSTOM_DIMENSIONS].push_back(
      {DialogStep::Type(IDC_CUSTOM_WIDTH, "5"), DialogStep::Type(IDC_CUSTOM_HEIGHT, "5"), DialogStep::Press(IDOK)});
  host.Command(ID_OPTIONS_CUSTOM);
  Win();
  EXPECT_EQ(host.dialogs.size(), 1u) << "only the Custom Dimensions dialog";
  EXPECT_THAT(host.beeps, ElementsAre(0u));
  EXPECT_EQ(Stored("timeBeginner"), nullptr);

  host.dialogScripts[IDD_CUSTOM_DIMENSIONS].push_back(
      {DialogStep::Type(IDC_CUSTOM_WIDTH, "4"), DialogStep::Type(IDC_CUSTOM_HEIGHT, "6"), DialogStep::Press(IDOK)});
  host.Command(ID_OPTIONS_CUSTOM);
  Win();
  EXPECT_EQ(host.dialogs.size(), 2u);
  EXPECT_EQ(host.registry.keys.at(Path()).size(), 7u) << "nothing but the settings";
  for (const auto& [width, height] : {std::pair{9, 9}, {10, 10}, {8, 10}, {6, 8}, {4, 6}}) {
    EXPECT_EQ(LevelWord(width, height), std::nullopt) << width << " x " << height;
  }
}

TEST_F(RecordsTest, ACustomSixBySixCountsAsIntermediate) {
  host.dialogScripts[IDD_CUSTOM_DIMENSIONS].push_back(
      {DialogStep::Type(IDC_CUSTOM_WIDTH, "6"), DialogStep::Type(IDC_CUSTOM_HEIGHT, "6"), DialogStep::Press(IDOK)});
  host.Command(ID_OPTIONS_CUSTOM);
  EXPECT_TRUE(host.IsChecked(ID_OPTIONS_CUSTOM));
  host.dialogScripts[IDD_NEW_RECORD].push_back({DialogStep::Type(IDC_RECORD_NAME, "Cy"), DialogStep::Press(IDOK)});
  Win();
  EXPECT_EQ(host.dialogs[1].initialTexts.at(IDC_RECORD_PROMPT),
            "You have the fastest time for\nIntermediate level,\nplease enter your name:");
  EXPECT_EQ(StoredText("nameIntermediate"), std::string("Cy") + '\0');
}

TEST_F(RecordsTest, ResetScoreAsksAndResetsOnlyOnYes) {
  StoreText("nameExpert", "Dee");
  StoreNumber("timeExpert", 42);
  StoreNumber("moveExpert", 300);
  host.messageBoxAnswers = {IDNO, 0, IDYES};  // 0: the box could not be shown
  const auto unchanged = [this] {
    EXPECT_EQ(StoredNumber("timeExpert"), 42u);
    EXPECT_EQ(host.dialogs.back().texts.at(IDC_TIME_EXPERT), "42");
  };
  host.dialogScripts[IDD_BEST_TIMES].push_back(
      {DialogStep::Press(IDC_RESET_SCORE), DialogStep::Run(unchanged), DialogStep::Press(IDC_RESET_SCORE),
       DialogStep::Run(unchanged),
       DialogStep::Press(IDC_RESET_SCORE),
       DialogStep::Run([this] { EXPECT_FALSE(host.dialogs.back().ended) << "the dialog stays open"; }),
       DialogStep::Press(IDCANCEL)});
  host.Command(ID_GAME_BEST_TIMES);
  ASSERT_EQ(host.messageBoxes.size(), 3u);
  EXPECT_EQ(host.messageBoxes[0].text, "Are you sure you want to reset the scores?");
  EXPECT_EQ(host.messageBoxes[0].caption, "Reset Score");
  EXPECT_EQ(host.messageBoxes[0].flags, 0x134u);
  const DialogRecord& dialog = host.dialogs.back();
  EXPECT_TRUE(dialog.ended);
  EXPECT_EQ(dialog.initialTexts.at(IDC_NAME_EXPERT), "Dee");
  EXPECT_EQ(dialog.texts.at(IDC_NAME_EXPERT), "Anonymous");
  EXPECT_EQ(dialog.texts.at(IDC_TIME_EXPERT), "9999");
  EXPECT_EQ(dialog.texts.at(IDC_MOVE_BEGINNER), "9999");
  for (const char* name : {"nameBeginner", "nameIntermediate", "nameExpert"}) {
    EXPECT_EQ(StoredText(name), std::string("Anonymous") + '\0') << name;
    EXPECT_EQ(Stored(name)->data.size(), 10u);
  }
  EXPECT_EQ(StoredNumber("timeExpert"), 9999u);
  EXPECT_EQ(StoredNumber("moveIntermediate"), 9999u);
}

TEST_F(RecordsTest, EscapeClosesBestTimes) {
  host.dialogScripts[IDD_BEST_TIMES].push_back({DialogStep::Press(IDCANCEL)});
  host.Command(ID_GAME_BEST_TIMES);
  EXPECT_TRUE(host.dialogs.back().ended);
  EXPECT_TRUE(host.messageBoxes.empty());
}

TEST_F(RecordsTest, WithoutTheKeyAnyGameUnderTheDefaultsIsARecordButNothingIsStored) {
  host.registry.failOpen = true;
  host.dialogScripts[IDD_NEW_RECORD].push_back({DialogStep::Press(IDOK)});
  Win();
  ASSERT_EQ(host.dialogs.size(), 2u);
  EXPECT_EQ(host.dialogs[0].initialTexts.at(IDC_RECORD_NAME), "Anonymous");
  EXPECT_EQ(host.dialogs[1].initialTexts.at(IDC_TIME_BEGINNER), "9999");
}

}  // namespace
}  // namespace puzzle
