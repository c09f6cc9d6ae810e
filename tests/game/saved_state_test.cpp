// The saved state line through the real state file: its exact form after a
// fresh start, the round trip, and damaged, truncated, enormous and hostile
// texts, which must never crash and never cost the sections that are intact.
//
// The game object is created through the application module as the program
// creates it, with its devices but without a window: saving and loading need
// only the application device's state file, which lives in a fresh temporary
// working folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "game/my_app.h"
#include "game/sound_setting.h"
#include "runtime/gc.h"
#include "tests/support/windowless_game.h"

namespace {

using korvane::kSoundMusicAndEffects;
using korvane::kSoundOff;
using korvane::kSoundSetting;

using testsupport::ReadStateFile;
using testsupport::RemoveStateFile;
using testsupport::WriteStateFile;

vl_Korvane_MyApp* Game() { return testsupport::WindowlessGame(); }

const char kFreshLine[] =
    "0|0|0|0|0|1|0|0|0|0|64|64|10|0|0|0|0|0|0|0|0|0|0|0|0|1469|"
    "0|0|0|0|0|0|0|0|0|"
    "0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|"
    "0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|"
    "0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|";

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> tokens;
  std::string token;
  std::istringstream in(line);
  while (std::getline(in, token, '|')) tokens.push_back(token);
  return tokens;
}

std::string Join(const std::vector<std::string>& tokens) {
  std::string line;
  for (const std::string& t : tokens) line += t + "|";
  return line;
}

// Puts the game's sections back to their values after a first start.
void ResetSections(vl_Korvane_MyApp* g) {
  for (int i = 0; i < 25; ++i) g->settings[i] = 0;
  g->settings[kSoundSetting] = kSoundMusicAndEffects;
  g->settings[10] = 64;
  g->settings[11] = 64;
  g->settings[12] = 10;
  for (int i = 0; i < 256; ++i) g->badgeFlags[i] = false;
  for (int i = 0; i < 150; ++i) g->highScores[i] = 0;
}

// Captures standard output around one load.
std::string LoadCapturingOutput(vl_Korvane_MyApp* g) {
  testing::internal::CaptureStdout();
  g->m_Load();
  return testing::internal::GetCapturedStdout();
}

// A game with distinct values in every section, saved.
std::string SaveSampleState(vl_Korvane_MyApp* g) {
  ResetSections(g);
  g->settings[0] = 9;
  g->settings[kSoundSetting] = kSoundOff;
  g->settings[10] = 100;
  g->settings[24] = -7;
  g->badgeFlags[33] = true;
  g->badgeFlags[255] = true;
  for (int t = 0; t < 3; ++t) {
    for (int i = 0; i < 10; ++i) {
      g->highScores[10 * t + i] = 1000 * (t + 1) - 10 * i;
      g->highScores[30 + 10 * t + i] = 7 * i + t;
    }
  }
  // A save enters only finished games into tables already on disk: these
  // tables, set by hand, are written whole into an empty folder.
  RemoveStateFile();
  g->m_Save();
  return ReadStateFile();
}

TEST(SavedState, FreshSaveIsExactlyTheNinetyEightNumberLine) {
  vl_Korvane_MyApp* g = Game();
  RemoveStateFile();
  ResetSections(g);
  EXPECT_EQ(LoadCapturingOutput(g), "") << "an empty state loads nothing and prints nothing";
  EXPECT_EQ(g->settings[10], 64);
  EXPECT_EQ(g->settings[12], 10);
  g->m_Save();
  const std::string line = ReadStateFile();
  EXPECT_EQ(line, kFreshLine);
  EXPECT_EQ(Split(line).size(), 98u);
}

TEST(SavedState, EverySectionSurvivesTheRoundTrip) {
  vl_Korvane_MyApp* g = Game();
  const std::string saved = SaveSampleState(g);
  const std::vector<std::string> tokens = Split(saved);
  ASSERT_EQ(tokens.size(), 98u);
  EXPECT_EQ(tokens[26 + 1], "2") << "badge 33 is bit 1 of the second word";
  EXPECT_EQ(tokens[26 + 7], "-2147483648") << "badge 255 is the sign bit of the last word";
  ResetSections(g);
  const std::string out = LoadCapturingOutput(g);
  EXPECT_EQ(out, "Settings Loaded\nBadges Loaded\nHighscore 0 Loaded\nHighscore 1 Loaded\nHighscore 2 Loaded\n");
  EXPECT_EQ(g->settings[0], 9);
  EXPECT_EQ(g->settings[kSoundSetting], kSoundOff);
  EXPECT_EQ(g->settings[24], -7);
  EXPECT_TRUE(g->badgeFlags[33]);
  EXPECT_TRUE(g->badgeFlags[255]);
  EXPECT_FALSE(g->badgeFlags[32]);
  EXPECT_EQ(g->highScores[20 + 9], 2910);
  EXPECT_EQ(g->highScores[30 + 10 + 4], 29);
  g->m_Save();
  EXPECT_EQ(ReadStateFile(), saved);
}

TEST(SavedState, OneBrokenTableResetsOnlyThatTable) {
  vl_Korvane_MyApp* g = Game();
  std::vector<std::string> tokens = Split(SaveSampleState(g));
  tokens[56 + 4] = "1999";  // a best score of table 1
  WriteStateFile(Join(tokens));
  ResetSections(g);
  const std::string out = LoadCapturingOutput(g);
  EXPECT_NE(out.find("Settings Loaded\n"), std::string::npos);
  EXPECT_NE(out.find("Badges Loaded\n"), std::string::npos);
  EXPECT_NE(out.find("Highscore 0 Loaded\n"), std::string::npos);
  EXPECT_NE(out.find("Highscore 1 Checksum Invalid\n"), std::string::npos);
  EXPECT_NE(out.find("Highscore 2 Loaded\n"), std::string::npos);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(g->highScores[10 + i], 0);
    EXPECT_EQ(g->highScores[40 + i], 0);
  }
  EXPECT_EQ(g->highScores[0], 1000);
  EXPECT_EQ(g->highScores[20], 3000);
  EXPECT_EQ(g->settings[10], 100);
  EXPECT_TRUE(g->badgeFlags[33]);
}

TEST(SavedState, BrokenSettingsAndBadgesResetThemselvesOnly) {
  vl_Korvane_MyApp* g = Game();
  std::vector<std::string> tokens = Split(SaveSampleState(g));
  std::swap(tokens[10], tokens[24]);  // weighted by index: the swap is caught
  tokens[30] = "5";                   // a badge word
  WriteStateFile(Join(tokens));
  ResetSections(g);
  const std::string out = LoadCapturingOutput(g);
  EXPECT_NE(out.find("Settings Checksum Invalid\n"), std::string::npos);
  EXPECT_NE(out.find("Badge Checksum Invalid\n"), std::string::npos);
  EXPECT_EQ(g->settings[kSoundSetting], kSoundMusicAndEffects);
  EXPECT_EQ(g->settings[24], 0);
  EXPECT_EQ(g->settings[10], 64) << "the floors apply after a reset too";
  EXPECT_EQ(g->settings[12], 10);
  for (int i = 0; i < 256; ++i) ASSERT_FALSE(g->badgeFlags[i]);
  EXPECT_EQ(g->highScores[0], 1000);
  EXPECT_EQ(g->highScores[29], 2910);

  tokens = Split(SaveSampleState(g));
  tokens[0] = "12345";  // settings[0] has no weight in its checksum
  WriteStateFile(Join(tokens));
  ResetSections(g);
  EXPECT_NE(LoadCapturingOutput(g).find("Settings Loaded"), std::string::npos);
  EXPECT_EQ(g->settings[0], 12345);
}

TEST(SavedState, TruncatedTextKeepsTheSectionsItStillHolds) {
  vl_Korvane_MyApp* g = Game();
  const std::vector<std::string> full = Split(SaveSampleState(g));
  // Settings and badges complete, table 0 complete, table 1 cut short.
  std::vector<std::string> cut(full.begin(), full.begin() + 56 + 10);
  WriteStateFile(Join(cut));
  ResetSections(g);
  g->highScores[10] = 555;
  const std::string out = LoadCapturingOutput(g);
  EXPECT_EQ(out, "Settings Loaded\nBadges Loaded\nHighscore 0 Loaded\n");
  EXPECT_EQ(g->highScores[0], 1000);
  EXPECT_EQ(g->highScores[10], 555) << "a table without enough numbers keeps its values";

  // Cut inside the settings: nothing loads, the start values stay.
  WriteStateFile("1|2|3|4");
  ResetSections(g);
  g->settings[11] = 3;
  EXPECT_EQ(LoadCapturingOutput(g), "");
  EXPECT_EQ(g->settings[0], 0);
  EXPECT_EQ(g->settings[11], 64) << "the floors apply without a saved state too";

  // The last number of a section cut in the middle: its checksum fails.
  std::string text = Join(full);
  WriteStateFile(text.substr(0, text.size() - 3));
  ResetSections(g);
  EXPECT_NE(LoadCapturingOutput(g).find("Highscore 2 Checksum Invalid"), std::string::npos);
  EXPECT_EQ(g->highScores[10], 2000);
}

TEST(SavedState, HostileTextNeverCrashesAndNeverCostsOtherSections) {
  vl_Korvane_MyApp* g = Game();
  std::vector<std::string> tokens = Split(SaveSampleState(g));
  tokens[56 + 2] = "99999999999999999999999";  // far beyond an int
  tokens[56 + 3] = "-x";
  tokens[77 + 1] = "  +12abc";
  WriteStateFile(Join(tokens));
  ResetSections(g);
  std::string out = LoadCapturingOutput(g);
  EXPECT_NE(out.find("Highscore 0 Loaded"), std::string::npos);
  EXPECT_NE(out.find("Highscore 1 Checksum Invalid"), std::string::npos);
  EXPECT_NE(out.find("Highscore 2 Checksum Invalid"), std::string::npos);
  EXPECT_EQ(g->settings[10], 100);

  // Text that is no state at all.
  for (const std::string& junk :
       {std::string("|||||||||||||||||||||||||||||||||||"), std::string("\xff\xfe\x00\x41", 4), std::string("\xc3"),
        std::string(1, '\0') + "|5|", std::string("-2147483648|") + std::string(97, '|')}) {
    WriteStateFile(junk);
    ResetSections(g);
    LoadCapturingOutput(g);
    EXPECT_GE(g->settings[10], 64);
  }

  // An enormous text: a valid line followed by a million more separators and
  // numbers. The first 98 numbers still decide.
  std::string huge = Join(Split(SaveSampleState(g)));
  huge.reserve(huge.size() + 8000000);
  for (int i = 0; i < 1000000; ++i) huge += "1234567|";
  WriteStateFile(huge);
  ResetSections(g);
  out = LoadCapturingOutput(g);
  EXPECT_EQ(out, "Settings Loaded\nBadges Loaded\nHighscore 0 Loaded\nHighscore 1 Loaded\nHighscore 2 Loaded\n");
  EXPECT_EQ(g->highScores[0], 1000);
}

TEST(SavedState, ChecksumsWrapLikeThirtyTwoBitInts) {
  vl_Korvane_MyApp* g = Game();
  ResetSections(g);
  g->settings[24] = 2147483647;
  g->highScores[9] = 2147483647;
  g->highScores[59] = -2147483647 - 1;
  g->m_Save();
  const std::vector<std::string> tokens = Split(ReadStateFile());
  ASSERT_EQ(tokens.size(), 98u);
  // 24 x (2^31 - 1) + 5 + 10 x 64 + 11 x 64 + 12 x 10, modulo 2^32 as signed.
  const long long settingsSum = 24LL * 2147483647 + 1469;
  EXPECT_EQ(tokens[25], std::to_string(static_cast<int>(static_cast<unsigned>(settingsSum))));
  ResetSections(g);
  EXPECT_EQ(LoadCapturingOutput(g),
            "Settings Loaded\nBadges Loaded\nHighscore 0 Loaded\nHighscore 1 Loaded\nHighscore 2 Loaded\n");
  EXPECT_EQ(g->highScores[59], -2147483647 - 1);
}

}  // namespace

namespace {

// Finishes a game at `difficulty` with `score` as the end of the game-over
// overlay does: the score enters the rows and the state is saved.
void FinishGame(vl_Korvane_MyApp* g, int difficulty, int score) {
  g->difficulty = difficulty;
  g->score = score;
  g->m_LoadMenu();
}

constexpr int kTablesAt = 35;  // token of table 0's first number; 21 tokens a table
constexpr int kBadgeSumAt = 34;

// Puts the right checksum after table t's twenty numbers.
void FixTableChecksum(std::vector<std::string>& tokens, int t) {
  const int at = kTablesAt + 21 * t;
  int sum = 0;
  for (int i = 0; i < 10; ++i) {
    sum += (i + 4) * std::atoi(tokens[at + 2 * i].c_str()) + (t + i + 3) * std::atoi(tokens[at + 2 * i + 1].c_str());
  }
  tokens[at + 20] = std::to_string(sum);
}

std::vector<int> BestRow(const std::string& line, int table) {
  const std::vector<std::string> tokens = Split(line);
  std::vector<int> row;
  for (int i = 0; i < 10; ++i) row.push_back(std::atoi(tokens[kTablesAt + 21 * table + 2 * i].c_str()));
  return row;
}

}  // namespace

// Another copy of the game (or a restore from outside) changed the file after
// this copy read it: this copy's save enters its own finished games into what
// is on disk instead of writing its tables over it, keeps its own settings and
// every badge earned anywhere; the rows it shows stay its own.
TEST(SavedState, SaveEntersThisCopysGamesIntoTheTablesOnDisk) {
  vl_Korvane_MyApp* g = Game();
  ResetSections(g);
  RemoveStateFile();
  g->m_Load();
  FinishGame(g, 2, 40);  // saved: table 1 holds 40

  // The other copy, which also started from the empty file, saves its game of 70.
  std::vector<std::string> other = Split(kFreshLine);
  other[kTablesAt + 21] = "70";      // table 1: best
  other[kTablesAt + 21 + 1] = "70";  // and last
  FixTableChecksum(other, 1);
  other[26 + 2] = "4";  // badge 66
  other[kBadgeSumAt] = "4";
  WriteStateFile(Join(other));

  FinishGame(g, 2, 55);
  g->settings[5] = 2;
  const std::string line = ReadStateFile();
  EXPECT_EQ(BestRow(line, 1), (std::vector<int>{70, 55, 0, 0, 0, 0, 0, 0, 0, 0}))
      << "the other copy's 70 kept, this copy's 55 entered; its 40 was saved before and the other copy dropped it";
  EXPECT_EQ(Split(line)[kTablesAt + 21 + 1], "55") << "the last row begins with this copy's newest game";
  EXPECT_EQ(Split(line)[26 + 2], "4") << "badges from disk are kept";
  EXPECT_EQ(g->highScores[10], 55) << "this copy's rows stay its own";
  ResetSections(g);
  EXPECT_EQ(LoadCapturingOutput(g),
            "Settings Loaded\nBadges Loaded\nHighscore 0 Loaded\nHighscore 1 Loaded\nHighscore 2 Loaded\n");

  // A suspend with nothing new keeps what an outside write put there, and a
  // damaged table on disk is replaced by this copy's.
  std::vector<std::string> restored = Split(ReadStateFile());
  restored[kBadgeSumAt] = "999";
  restored[kTablesAt + 42] = "1";  // table 2, without its checksum
  restored[kTablesAt + 21 + 2] = "65";
  FixTableChecksum(restored, 1);
  WriteStateFile(Join(restored));
  g->m_Save();
  EXPECT_EQ(BestRow(ReadStateFile(), 1)[1], 65) << "a table written from outside survives a save";
  EXPECT_EQ(BestRow(ReadStateFile(), 2)[0], 0) << "the damaged table is replaced by this copy's";
}

// A save that fails keeps the finished games for the next one and is told
// through saveFailed, which the menu shows; the next save that succeeds
// enters them and clears it. A state file that is a pipe is refused without
// waiting for a writer.
TEST(SavedState, FailedSaveKeepsTheGamesForTheNextAndIsTold) {
  vl_Korvane_MyApp* g = Game();
  ResetSections(g);
  RemoveStateFile();
  g->m_Load();
  ASSERT_EQ(mkfifo(".vellumstate", 0600), 0);
  testing::internal::CaptureStderr();
  FinishGame(g, 1, 33);
  const std::string errors = testing::internal::GetCapturedStderr();
  EXPECT_EQ(g->saveFailed, 1);
  EXPECT_NE(errors.find("korvane: could not save "), std::string::npos) << errors;
  EXPECT_NE(errors.find(".vellumstate: it is not a plain file"), std::string::npos) << errors;

  RemoveStateFile();
  FinishGame(g, 1, 21);
  EXPECT_EQ(g->saveFailed, 0);
  EXPECT_EQ(BestRow(ReadStateFile(), 0), (std::vector<int>{33, 21, 0, 0, 0, 0, 0, 0, 0, 0}));
}
