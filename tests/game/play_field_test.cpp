// The play field in a real window, driven update by update with the pointer:
// paths, combos, the shatter and its score, the board's gravity in both
// orientations, the round clock, and the ends of rounds and of the game.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "game/modes.h"
#include "game/my_app.h"
#include "game/slots.h"
#include "tests/game/play_support.h"

namespace {

using gametest::Game;
using gametest::Step;
using korvane::kModeMenu;
using korvane::kModePlaying;
using korvane::kSfxGemTaken;
using korvane::kSfxPathAccepted;
using korvane::kSfxPathShort;
using korvane::kSfxRoundCleared;
using korvane::kSfxRoundFailed;
using korvane::kSfxShatter;
using playtest::Cell;

constexpr int kMaxUpdates = 2000;

// Rows in grid terms. Row 0 starts with three 1s, row 1 with three 2s; cell
// (3, 1) is a 1 diagonal to (2, 0); the rest alternates 3 and 4 so that no
// other path of a kind is long.
const std::vector<std::string> kBoard = {
    "1112343434",  //
    "2221434343",  //
    "3434343434",  //
    "4343434343",  //
    "3434343434",  //
    "4343434343",  //
};

bool Contains(const std::vector<int>& v, int x) { return std::find(v.begin(), v.end(), x) != v.end(); }

class PlayField : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!playtest::ReadyInMenu()) GTEST_SKIP() << "the build has no generated data folder";
    playtest::StartGame(2);
    playtest::SetBoard(kBoard);
    Step();
  }

  // Runs updates until the condition holds; false after kMaxUpdates.
  template <class F>
  bool StepUntil(F done) {
    for (int i = 0; i < kMaxUpdates; ++i) {
      if (done()) return true;
      Step();
    }
    return done();
  }

  vl_Korvane_MyApp* g = Game();
};

TEST_F(PlayField, PathOfThreeSameKindNeighboursIsMarkedWithItsSounds) {
  const std::vector<int> sounds = playtest::DragPath({{0, 0}, {1, 0}, {2, 0}});
  EXPECT_EQ(sounds, (std::vector<int>{kSfxGemTaken, kSfxGemTaken, kSfxGemTaken, kSfxPathAccepted}));
  for (int c = 0; c < 3; ++c) {
    EXPECT_TRUE(playtest::Marked(c, 0)) << c;
    EXPECT_FALSE(playtest::InPath(c, 0)) << c;
  }
  EXPECT_EQ(g->combo, 1);
  EXPECT_EQ(g->pathLength, 0);
  EXPECT_EQ(g->lastCol, -1);
  EXPECT_EQ(g->pathKind, -1);
  Step();  // the marks are counted in the next scan of the board
  EXPECT_TRUE(playtest::HasText("1 x 3")) << "the combo line shows paths x marked gems";
}

TEST_F(PlayField, PathOfTwoIsDroppedWithTheShortSound) {
  const std::vector<int> sounds = playtest::DragPath({{0, 1}, {1, 1}});
  EXPECT_EQ(sounds, (std::vector<int>{kSfxGemTaken, kSfxGemTaken, kSfxPathShort}));
  EXPECT_FALSE(playtest::Marked(0, 1));
  EXPECT_FALSE(playtest::Marked(1, 1));
  EXPECT_FALSE(playtest::InPath(0, 1));
  EXPECT_EQ(g->combo, 0);
}

TEST_F(PlayField, DiagonalNeighbourAndOtherKindsAreRefusedWhileThePressGoesOn) {
  // (2, 0) and (3, 1) are both kind 1 but only touch at a corner; (0, 1) is a
  // direct neighbour of (0, 0) of another kind.
  const auto start = playtest::CellPixel(0, 0);
  gametest::MovePointer(start.first, start.second);
  gametest::PressLeft();
  Step();
  for (Cell cell : std::vector<Cell>{{0, 1}, {1, 0}, {2, 0}, {3, 1}}) {
    const auto p = playtest::CellPixel(cell.first, cell.second);
    gametest::MovePointer(p.first, p.second);
    Step();
  }
  EXPECT_TRUE(playtest::InPath(0, 0));
  EXPECT_FALSE(playtest::InPath(0, 1)) << "another kind is ignored";
  EXPECT_TRUE(playtest::InPath(1, 0));
  EXPECT_TRUE(playtest::InPath(2, 0));
  EXPECT_FALSE(playtest::InPath(3, 1)) << "a diagonal neighbour is never taken";
  EXPECT_EQ(g->pathLength, 3);
  gametest::ReleaseLeft();
  Step();
  EXPECT_TRUE(playtest::Marked(2, 0));
  EXPECT_FALSE(playtest::Marked(3, 1));
}

TEST_F(PlayField, TwoPathsMakeComboTwoWhoseTimerFallsThenShattersForCountTimesCombo) {
  playtest::DragPath({{0, 0}, {1, 0}, {2, 0}});
  const int mark = playtest::SoundMark();
  playtest::DragPath({{0, 1}, {1, 1}, {2, 1}});
  EXPECT_EQ(playtest::SoundsSince(mark).back(), kSfxPathAccepted);
  ASSERT_EQ(g->combo, 2);
  // The release update set the timer to 90 and ran it down once.
  EXPECT_FLOAT_EQ(g->comboTimer, 90 - 1.25f);
  float before = g->comboTimer;
  bool sawSlowPhase = false;
  while (g->comboTimer >= 0 && g->combo == 2) {
    const int markedBefore = g->markedCount;
    Step();
    if (g->combo != 2) {
      // The shatter update: 6 marked gems x combo 2.
      EXPECT_EQ(markedBefore, 6);
      break;
    }
    const float fall = before - g->comboTimer;
    if (before - 1 > 5) {
      ASSERT_FLOAT_EQ(fall, 1.25f) << "at " << before;
    } else {
      ASSERT_FLOAT_EQ(fall, 1.0f) << "at " << before;
      sawSlowPhase = true;
    }
    before = g->comboTimer;
  }
  EXPECT_TRUE(sawSlowPhase);
  EXPECT_EQ(g->roundScore, 12);
  EXPECT_EQ(g->combo, 0);
  EXPECT_EQ(g->comboTimer, 0);
  for (int c = 0; c < 3; ++c) {
    EXPECT_FALSE(playtest::Marked(c, 0));
    EXPECT_FALSE(playtest::Marked(c, 1));
  }
  int fragments = 0;
  for (int i = 0; i <= 100; ++i) fragments += g->particles[10 * i] > 0 ? 1 : 0;
  EXPECT_EQ(fragments, 24) << "four fragments per shattered gem";
}

TEST_F(PlayField, ShatterPlaysItsSoundAndScoresMarkedCountTimesCombo) {
  playtest::DragPath({{0, 0}, {1, 0}, {2, 0}});
  g->comboTimer = 0.5f;  // runs out in the next update
  const int mark = playtest::SoundMark();
  Step();
  EXPECT_TRUE(Contains(playtest::SoundsSince(mark), kSfxShatter));
  EXPECT_EQ(g->roundScore, 3);
  EXPECT_EQ(g->moving, 1);
}

TEST_F(PlayField, HeldPointerOnlyDrainsThePerPathShareAboveFive) {
  playtest::DragPath({{0, 0}, {1, 0}, {2, 0}});
  // Hold the pointer on the empty strip below the board.
  const auto p = playtest::WindowPixel(vl_Korvane_jscrw / 2, vl_Korvane_jscrh - 2);
  gametest::MovePointer(p.first, p.second);
  gametest::PressLeft();
  float before = g->comboTimer;
  Step();
  EXPECT_FLOAT_EQ(before - g->comboTimer, 0.125f);
  g->comboTimer = 5.05f;
  Step();
  EXPECT_FLOAT_EQ(g->comboTimer, 5.05f - 0.125f);
  before = g->comboTimer;
  Step();
  Step();
  EXPECT_FLOAT_EQ(g->comboTimer, before) << "at or below 5 a held pointer stops the timer";
  gametest::ReleaseLeft();
  Step();
  EXPECT_FLOAT_EQ(g->comboTimer, before - 1);
}

TEST_F(PlayField, RoundClockStandsStillWhileAnythingMovesAndNoGemIsTakenThen) {
  playtest::DragPath({{0, 0}, {1, 0}, {2, 0}});
  g->comboTimer = 0.5f;
  Step();  // the shatter: the holes refill from here on
  ASSERT_EQ(g->moving, 1);
  // Hold the pointer on a gem away from the fall: it may only be taken once
  // an update has passed without movement.
  const auto p = playtest::CellPixel(9, 5);
  gametest::MovePointer(p.first, p.second);
  gametest::PressLeft();
  int movingUpdates = 0;
  bool previousMoved = true;
  for (int i = 0; i < 300 && !playtest::InPath(9, 5); ++i) {
    const int before = g->timeLeft;
    Step();
    if (g->moving == 1) {
      ++movingUpdates;
      ASSERT_EQ(g->timeLeft, before) << "the clock ran while gems moved";
    } else {
      ASSERT_EQ(g->timeLeft, before - 1);
    }
    if (playtest::InPath(9, 5)) {
      ASSERT_FALSE(previousMoved) << "a gem was taken in the update after movement";
    }
    previousMoved = g->moving == 1;
  }
  EXPECT_TRUE(playtest::InPath(9, 5)) << "once the board is still the held pointer takes the gem";
  EXPECT_GT(movingUpdates, 5);
  gametest::ReleaseLeft();
  Step();
  for (int c = 0; c < 3; ++c) EXPECT_GT(playtest::KindAt(c, 0), 0) << "the holes refilled";
}

// The round's time is counted by the update, never by drawing: a host that
// runs updates without a render between them (catching up, or a still frame)
// ends the round on the same update. The bar drawn meanwhile takes its colour
// from the time before the update's tick and its length from the time after.
TEST_F(PlayField, RoundTimeRunsOutOnTheSameUpdateWithOrWithoutRenderPasses) {
  for (bool renders : {true, false}) {
    SCOPED_TRACE(renders ? "an update and a render each" : "updates only");
    playtest::SetBoard(kBoard);
    g->roundState = 0;
    g->timeLeft = 8;
    int updates = 0;
    while (g->roundState == 0 && updates < 20) {
      renders ? Step() : gametest::Update();
      if (++updates == 1) {
        const float* bar = playtest::FindRect(32, 4);
        ASSERT_NE(bar, nullptr) << "the time bar is drawn";
        EXPECT_EQ(bar[11], 8 / 4) << "green from the time before the tick";
        EXPECT_EQ(bar[12], 8 / 2 / 4);
        EXPECT_EQ(bar[4], static_cast<int>((vl_Korvane_jscrw - 64) / 900 * 7)) << "length after the tick";
      }
    }
    EXPECT_EQ(updates, 8) << "the update that uses the last of the time ends the round";
    EXPECT_EQ(g->timeLeft, 0);
    EXPECT_EQ(g->roundState, 2) << "a still board starts leaving in that same update";
  }
}

TEST_F(PlayField, NewGameAtDifficultyTwoHasFourKindsAndTargetTwentyThenSixtyInRoundThree) {
  playtest::StartGame(2);
  EXPECT_EQ(g->mode, kModePlaying);
  EXPECT_EQ(g->level, 1);
  EXPECT_EQ(g->roundTarget, 20);
  EXPECT_EQ(g->gemKinds, 4);
  EXPECT_EQ(g->score, 0);
  EXPECT_EQ(g->timeLeft, 900);
  int seen[6] = {};
  for (int c = 0; c < 10; ++c) {
    for (int r = 0; r < 6; ++r) {
      const int kind = playtest::KindAt(c, r);
      ASSERT_GE(kind, 1);
      ASSERT_LE(kind, 4);
      ++seen[kind];
      EXPECT_LT(playtest::CellOffset(c, r), 0) << "every gem falls in from above";
    }
  }
  g->m_NewRound();
  g->m_NewRound();
  EXPECT_EQ(g->level, 3);
  EXPECT_EQ(g->roundTarget, 60);
  playtest::StartGame(3);
  EXPECT_EQ(g->gemKinds, 5);
  EXPECT_EQ(g->roundTarget, 30);
}

TEST_F(PlayField, MarkedGemsStillShatterAndScoreWhenTimeRunsOut) {
  playtest::DragPath({{0, 0}, {1, 0}, {2, 0}});
  g->timeLeft = 0;
  ASSERT_TRUE(StepUntil([&] { return g->roundState == 2; }));
  EXPECT_EQ(g->roundScore, 3);
  EXPECT_FALSE(playtest::Marked(0, 0));
}

TEST_F(PlayField, ClearedRoundStartsTheNextWithItsScoreAddedOnce) {
  g->score = 15;
  g->roundScore = 20;
  g->timeLeft = 1;
  int cleared = 0;
  ASSERT_TRUE(StepUntil([&] {
    const int mark = playtest::SoundMark();
    Step();
    if (Contains(playtest::SoundsSince(mark), kSfxRoundCleared)) ++cleared;
    return g->level == 2;
  }));
  EXPECT_EQ(cleared, 1);
  EXPECT_EQ(g->score, 35);
  EXPECT_EQ(g->roundScore, 0);
  EXPECT_EQ(g->roundTarget, 40);
  EXPECT_EQ(g->timeLeft, 900);
  EXPECT_EQ(g->gameOverFlag, 0);
}

TEST_F(PlayField, MissedTargetEndsTheGameAddingTheLastRoundOnceThenRecordsIt) {
  g->score = 40;
  g->roundScore = 7;
  g->timeLeft = 1;
  int failed = 0;
  ASSERT_TRUE(StepUntil([&] {
    const int mark = playtest::SoundMark();
    Step();
    if (Contains(playtest::SoundsSince(mark), kSfxRoundFailed)) ++failed;
    return g->gameOverFlag == 1;
  }));
  EXPECT_EQ(failed, 1);
  EXPECT_EQ(g->score, 47);
  for (int i = 0; i < 30; ++i) Step();
  EXPECT_EQ(g->score, 47) << "the last round is added once";
  ASSERT_TRUE(StepUntil([&] { return g->mode == kModeMenu; }));
  EXPECT_EQ(g->highScores[30 + 10], 47) << "the last-score row of difficulty 2 takes the game";
  // Saved: table 1 starts at number 57 of the line with its first best and
  // last scores.
  const std::string state = gametest::ReadStateFile();
  std::vector<std::string> numbers;
  size_t from = 0;
  for (size_t bar; (bar = state.find('|', from)) != std::string::npos; from = bar + 1) {
    numbers.push_back(state.substr(from, bar - from));
  }
  ASSERT_EQ(numbers.size(), 98u);
  EXPECT_EQ(numbers[57], "47") << "the finished game is saved";
}

TEST_F(PlayField, ShownScoreEasesTowardTheScore) {
  g->score = 600;
  g->shownScore = 0;
  Step();
  EXPECT_EQ(g->shownScore, 100);
  Step();
  EXPECT_EQ(g->shownScore, 183);
  for (int i = 0; i < 40; ++i) Step();
  EXPECT_EQ(g->shownScore, 600);
  EXPECT_TRUE(playtest::HasText("00000000600"));
}

// Gravity runs down the screen in both orientations: a vertical path of three
// shatters and the three gems above it fall into its place.
void ExpectGemsFallIntoAShatteredColumn(bool portrait) {
  vl_Korvane_MyApp* g = Game();
  // In grid terms "above" is the previous row in landscape and the previous
  // column in portrait.
  std::vector<std::string> rows = {
      "3434343434",  //
      "4343434343",  //
      "3434343434",  //
      "4343434343",  //
      "3434343434",  //
      "4343434343",  //
  };
  std::vector<Cell> path;
  std::vector<Cell> above;
  if (!portrait) {
    rows[0][5] = '1';
    rows[1][5] = '2';
    rows[2][5] = '1';
    for (int r = 3; r < 6; ++r) path.push_back({5, r});
    above = {{5, 0}, {5, 1}, {5, 2}};
  } else {
    rows[2][0] = '1';
    rows[2][1] = '2';
    rows[2][2] = '1';
    for (int c = 3; c < 6; ++c) path.push_back({c, 2});
    above = {{0, 2}, {1, 2}, {2, 2}};
  }
  for (const Cell& p : path) rows[p.second][p.first] = '4';
  playtest::SetBoard(rows);
  Step();
  playtest::DragPath(path);
  ASSERT_EQ(g->combo, 1) << "the path runs straight down the screen";
  g->comboTimer = 0.5f;
  Step();
  for (int i = 0; i < 300 && (g->moving == 1 || g->wasMoving == 1); ++i) Step();
  ASSERT_EQ(g->moving, 0);
  for (int k = 0; k < 3; ++k) {
    const Cell from = above[k];
    const Cell to = path[k];
    const int expected = rows[from.second][from.first] - '0';
    EXPECT_EQ(playtest::KindAt(to.first, to.second), expected) << "cell " << to.first << "," << to.second;
  }
}

TEST_F(PlayField, GemsFallDownTheScreenInA640x480Window) {
  ASSERT_EQ(g->landscape, 1);
  ExpectGemsFallIntoAShatteredColumn(false);
}

TEST_F(PlayField, GemsFallDownTheScreenInA480x640Window) {
  ASSERT_TRUE(playtest::ReadyInMenu(480, 640));
  ASSERT_EQ(g->landscape, 0);
  EXPECT_EQ(vl_Korvane_jscrw, 360);
  EXPECT_EQ(vl_Korvane_jscrh, 480);
  playtest::StartGame(2);
  Step();
  // Portrait: rows run across the screen, columns down it.
  const auto first = playtest::CellPixel(0, 0);
  const auto nextColumn = playtest::CellPixel(1, 0);
  const auto nextRow = playtest::CellPixel(0, 1);
  EXPECT_EQ(first.first, nextColumn.first);
  EXPECT_GT(nextColumn.second, first.second);
  EXPECT_GT(nextRow.first, first.first);
  ExpectGemsFallIntoAShatteredColumn(true);
  ASSERT_TRUE(playtest::ReadyInMenu(640, 480));
}

}  // namespace
