// The title menu and the credits box in a real window: score lists that fit
// the screen, recording a game in the score rows, the difficulty keys and
// buttons with their latches, the sound switch, the credits box that eats the
// click, the slide-in, and the portrait layout.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/modes.h"
#include "game/my_app.h"
#include "game/slots.h"
#include "game/sound_setting.h"
#include "tests/game/play_support.h"

namespace {

using gametest::Game;
using gametest::Step;
using korvane::kImageButtons;
using korvane::kImageIcons;
using korvane::kImageTitleLogo;
using korvane::kModeBackToMenu;
using korvane::kModeMenu;
using korvane::kModeNewGame;
using korvane::kModePlaying;
using korvane::kSfxClick;
using korvane::kSfxCredits;
using korvane::kSoundMusicAndEffects;
using korvane::kSoundOff;
using korvane::kSoundSetting;

constexpr int kKeyLeft = 37;
constexpr int kKeyUp = 38;
constexpr int kKeyRight = 39;
constexpr int kKeyDown = 40;
constexpr int kKeyZ = 90;
constexpr int kKeyEscape = 27;
constexpr int kSelectionMark = 15;

class Menu : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!playtest::ReadyInMenu()) GTEST_SKIP() << "the build has no generated data folder";
    g->difficulty = 2;
    Step();
  }

  // Best and last rows of a difficulty.
  void SetRows(int difficulty, const std::vector<int>& best, const std::vector<int>& last) {
    for (int i = 0; i < 10; ++i) {
      g->highScores[10 * (difficulty - 1) + i] = best.at(i);
      g->highScores[30 + 10 * (difficulty - 1) + i] = last.at(i);
    }
  }
  std::vector<int> Best(int difficulty) {
    std::vector<int> row;
    for (int i = 0; i < 10; ++i) row.push_back(g->highScores[10 * (difficulty - 1) + i]);
    return row;
  }
  std::vector<int> Last(int difficulty) {
    std::vector<int> row;
    for (int i = 0; i < 10; ++i) row.push_back(g->highScores[30 + 10 * (difficulty - 1) + i]);
    return row;
  }

  // Records a finished game through mode 2, as the end of a game does.
  void Record(int difficulty, int score) {
    g->difficulty = difficulty;
    g->score = score;
    g->mode = kModeBackToMenu;
    Step();
  }

  vl_Korvane_MyApp* g = Game();
};

TEST_F(Menu, ScoreListsShowAsManyRowsAsFitTheScreenHeight) {
  SetRows(2, {1000, 900, 800, 700, 600, 500, 400, 300, 200, 100}, {11, 12, 13, 14, 15, 16, 17, 18, 19, 20});
  Step();
  EXPECT_TRUE(playtest::HasText("Top 10"));
  EXPECT_TRUE(playtest::HasText("Last 10"));
  EXPECT_TRUE(playtest::HasText("1000"));
  EXPECT_TRUE(playtest::HasText("100"));
  EXPECT_TRUE(playtest::HasText("20"));

  // 1280x600 is a 640x300 virtual screen: four rows.
  ASSERT_TRUE(playtest::ReadyInMenu(1280, 600));
  EXPECT_EQ(vl_Korvane_jscrh, 300);
  EXPECT_TRUE(playtest::HasText("Top 4"));
  EXPECT_TRUE(playtest::HasText("Last 4"));
  EXPECT_TRUE(playtest::HasText("700"));
  EXPECT_FALSE(playtest::HasText("600"));
  EXPECT_TRUE(playtest::HasText("14"));
  EXPECT_FALSE(playtest::HasText("15"));

  // 1280x400 is 640x200: a single row under the one-row headers.
  ASSERT_TRUE(playtest::ReadyInMenu(1280, 400));
  EXPECT_TRUE(playtest::HasText("Highscore"));
  EXPECT_TRUE(playtest::HasText("Last"));
  EXPECT_TRUE(playtest::HasText("1000"));
  EXPECT_FALSE(playtest::HasText("900"));
  ASSERT_TRUE(playtest::ReadyInMenu(640, 480));
}

TEST_F(Menu, FinishedGameEntersBehindAnEqualScoreAndTheLastRowTakesEveryGame) {
  SetRows(2, {100, 90, 80, 70, 60, 50, 40, 30, 20, 10}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  Record(2, 60);
  EXPECT_EQ(g->mode, kModeMenu);
  EXPECT_EQ(g->insertPos, 5) << "an equal score enters after the one it equals";
  EXPECT_EQ(Best(2), (std::vector<int>{100, 90, 80, 70, 60, 60, 50, 40, 30, 20}));
  EXPECT_EQ(Last(2), (std::vector<int>{60, 1, 2, 3, 4, 5, 6, 7, 8, 9}));

  Record(2, 5);
  EXPECT_EQ(g->insertPos, -1);
  EXPECT_EQ(Best(2), (std::vector<int>{100, 90, 80, 70, 60, 60, 50, 40, 30, 20}));
  EXPECT_EQ(Last(2)[0], 5);

  Record(2, 1000);
  EXPECT_EQ(g->insertPos, 0);
  EXPECT_EQ(Best(2)[0], 1000);
  EXPECT_EQ(Best(2)[9], 30) << "the former tenth entry is lost";

  SetRows(1, std::vector<int>(10, 0), std::vector<int>(10, 0));
  Record(1, 0);
  EXPECT_EQ(g->insertPos, -1) << "a zero does not enter an empty row";
  EXPECT_EQ(Best(1), std::vector<int>(10, 0));
  EXPECT_EQ(Last(1)[0], 0);
  const std::string state = gametest::ReadStateFile();
  EXPECT_NE(state.find("1000|"), std::string::npos) << "recording saves the state";
}

TEST_F(Menu, KeysStepTheDifficultyOncePerPressAndStopAtTheEnds) {
  g->difficulty = 1;
  int mark = playtest::SoundMark();
  playtest::TapKey(kKeyUp);
  EXPECT_EQ(g->difficulty, 1);
  EXPECT_TRUE(playtest::SoundsSince(mark).empty()) << "up at difficulty 1 is silent";

  mark = playtest::SoundMark();
  gametest::PressKey(kKeyDown);
  for (int i = 0; i < 5; ++i) Step();
  EXPECT_EQ(g->difficulty, 2) << "a held key counts once";
  EXPECT_EQ(playtest::SoundsSince(mark), std::vector<int>{kSfxClick});
  gametest::ReleaseKey(kKeyDown);
  Step();
  playtest::TapKey(kKeyRight);
  EXPECT_EQ(g->difficulty, 3);
  mark = playtest::SoundMark();
  playtest::TapKey(kKeyDown);
  EXPECT_EQ(g->difficulty, 3);
  EXPECT_TRUE(playtest::SoundsSince(mark).empty()) << "down at difficulty 3 is silent";
  playtest::TapKey(kKeyLeft);
  EXPECT_EQ(g->difficulty, 2);

  gametest::PressKey(kKeyZ);
  Step();
  EXPECT_EQ(g->mode, kModeNewGame) << "an action key starts the game";
  EXPECT_EQ(g->keyLatch, 1);
  Step();
  gametest::ReleaseKey(kKeyZ);
  EXPECT_EQ(g->mode, kModePlaying);
  EXPECT_EQ(g->gemKinds, 4);
}

TEST_F(Menu, ClickedDifficultyButtonStartsThatGameWithTheMarkAlreadyOnIt) {
  const float x = 0.6f * vl_Korvane_jscrw;
  const float y = 0.7f * vl_Korvane_jscrh;
  const auto p = playtest::WindowPixel(x, y);
  gametest::MovePointer(p.first, p.second);
  const int mark = playtest::SoundMark();
  gametest::PressLeft();
  Step();
  EXPECT_EQ(g->mode, kModeNewGame);
  EXPECT_EQ(g->difficulty, 3);
  EXPECT_EQ(g->clickLatch, 1);
  EXPECT_EQ(playtest::SoundsSince(mark), std::vector<int>{kSfxClick});
  EXPECT_TRUE(playtest::HasImageAt(kImageButtons, kSelectionMark, x, y));
  Step();
  EXPECT_EQ(g->mode, kModePlaying);
  EXPECT_EQ(g->gemKinds, 5);
  Step();
  for (int c = 0; c < 10; ++c) {
    for (int r = 0; r < 6; ++r) EXPECT_FALSE(playtest::InPath(c, r)) << "the starting click started a path";
  }
  gametest::ReleaseLeft();
  Step();
}

TEST_F(Menu, SoundSwitchTurnsEffectsOnWithAClickAndOffSilently) {
  if (vl_Korvane_HasMusic == 1) GTEST_SKIP() << "with music the switch cycles four modes (next test)";
  g->settings[kSoundSetting] = kSoundOff;
  Step();
  const float x = 32, y = static_cast<float>(static_cast<int>(vl_Korvane_jscrh / 2));
  float ix = 0, iy = 0;
  ASSERT_TRUE(playtest::FindImage(kImageIcons, 5, &ix, &iy));
  EXPECT_EQ(ix, x);
  EXPECT_EQ(iy, y);
  int mark = playtest::SoundMark();
  playtest::ClickVirtual(x, y);
  EXPECT_EQ(g->settings[kSoundSetting], kSoundMusicAndEffects);
  EXPECT_EQ(playtest::SoundsSince(mark), std::vector<int>{kSfxClick});
  EXPECT_EQ(playtest::CountImages(kImageIcons, 4), 1);
  mark = playtest::SoundMark();
  playtest::ClickVirtual(x, y);
  EXPECT_EQ(g->settings[kSoundSetting], kSoundOff);
  EXPECT_TRUE(playtest::SoundsSince(mark).empty());
  g->settings[kSoundSetting] = kSoundMusicAndEffects;
}

// Off, music and effects, effects only, music only: the click is heard in the
// modes with effects, and the mark beside the switch names the mode.
TEST_F(Menu, SoundSwitchCyclesTheFourModesWithTheirMarks) {
  if (vl_Korvane_HasMusic == 0) GTEST_SKIP() << "without music the switch only turns sound on and off";
  g->settings[kSoundSetting] = kSoundOff;
  Step();
  const float x = 32, y = static_cast<float>(static_cast<int>(vl_Korvane_jscrh / 2));
  EXPECT_EQ(playtest::CountImages(kImageIcons, 5), 1) << "off shows the crossed speaker";
  for (int frame : {8, 9, 10}) EXPECT_EQ(playtest::CountImages(kImageIcons, frame), 0) << "no mark when off";
  struct Step {
    int mode;
    bool clickHeard;
  };
  for (const Step want : {Step{1, true}, Step{2, true}, Step{3, false}, Step{0, false}}) {
    const int mark = playtest::SoundMark();
    playtest::ClickVirtual(x, y);
    ASSERT_EQ(g->settings[kSoundSetting], want.mode);
    EXPECT_EQ(playtest::SoundsSince(mark).size(), want.clickHeard ? 1u : 0u) << "mode " << want.mode;
    EXPECT_EQ(playtest::CountImages(kImageIcons, want.mode == 0 ? 5 : 4), 1) << "mode " << want.mode;
    for (int frame : {8, 9, 10}) {
      const bool shown = frame == want.mode + 7;
      float mx = 0, my = 0;
      EXPECT_EQ(playtest::FindImage(kImageIcons, frame, &mx, &my), shown) << "mode " << want.mode << " frame " << frame;
      if (shown) {
        EXPECT_EQ(mx, x + 20) << "the mark sits 20 to the right of the switch";
      }
    }
  }
  g->settings[kSoundSetting] = kSoundMusicAndEffects;
}

TEST_F(Menu, CreditsBoxEatsTheClickThatClosesItButNotTheSoundSwitch) {
  const float w = vl_Korvane_jscrw, h = vl_Korvane_jscrh;
  int mark = playtest::SoundMark();
  playtest::ClickVirtual(w - 70, h - 40);
  ASSERT_EQ(g->creditsOpen, 1);
  EXPECT_EQ(playtest::SoundsSince(mark), std::vector<int>{kSfxCredits});
  EXPECT_TRUE(playtest::HasText("A Game By"));
  EXPECT_TRUE(playtest::HasText("Created using"));
  EXPECT_TRUE(playtest::HasText("Vellum"));
  EXPECT_FALSE(playtest::HasText("Top 10")) << "the score lists hide under the box";

  // The sound switch still works and leaves the box open.
  playtest::ClickVirtual(32, static_cast<float>(static_cast<int>(h / 2)));
  EXPECT_EQ(g->settings[kSoundSetting], vl_Korvane_HasMusic == 1 ? 2 : 0);
  EXPECT_EQ(g->creditsOpen, 1);
  g->settings[kSoundSetting] = kSoundMusicAndEffects;

  // A click on a difficulty button closes the box and starts nothing.
  g->difficulty = 2;
  mark = playtest::SoundMark();
  playtest::ClickVirtual(0.2f * w, 0.7f * h);
  EXPECT_EQ(g->creditsOpen, 0);
  EXPECT_EQ(playtest::SoundsSince(mark), std::vector<int>{kSfxCredits});
  EXPECT_EQ(g->mode, kModeMenu);
  EXPECT_EQ(g->difficulty, 2);
  Step();
  EXPECT_EQ(g->mode, kModeMenu);
  EXPECT_TRUE(playtest::HasText("Top 10"));

  // Keys do nothing while the box is open; the back key closes it.
  playtest::ClickVirtual(w - 70, h - 40);
  ASSERT_EQ(g->creditsOpen, 1);
  playtest::TapKey(kKeyDown);
  EXPECT_EQ(g->difficulty, 2);
  playtest::TapKey(kKeyEscape);
  EXPECT_EQ(g->creditsOpen, 0);
  EXPECT_EQ(g->mode, kModeMenu);
}

TEST_F(Menu, ArtAndPanelSlideInOverThirtyTwoUpdates) {
  g->menuSlide = -32;
  for (int i = 0; i < 31; ++i) Step();
  EXPECT_EQ(g->menuSlide, -1);
  float x = 0, y = 0;
  ASSERT_TRUE(playtest::FindImage(kImageTitleLogo, 0, &x, &y));
  EXPECT_FLOAT_EQ(y, 0.2f * vl_Korvane_jscrh - 12);
  Step();
  EXPECT_EQ(g->menuSlide, 0);
  ASSERT_TRUE(playtest::FindImage(kImageTitleLogo, 0, &x, &y));
  EXPECT_FLOAT_EQ(y, 0.2f * vl_Korvane_jscrh);
}

TEST_F(Menu, BackgroundShowsTheColourOfTheLastRoundReached) {
  g->level = 3;
  Step();
  EXPECT_EQ(g->clearRed, 240);
  EXPECT_EQ(g->clearGreen, 160);
  EXPECT_EQ(g->clearBlue, 100);
  g->level = 0;
  Step();
  EXPECT_EQ(g->clearRed, 180);
}

TEST_F(Menu, PortraitWindowPutsTheSwitchOnTopAndTheButtonsInAColumn) {
  ASSERT_TRUE(playtest::ReadyInMenu(480, 640));
  ASSERT_EQ(g->landscape, 0);
  const float w = vl_Korvane_jscrw, h = vl_Korvane_jscrh;
  float x = 0, y = 0;
  ASSERT_TRUE(playtest::FindImage(kImageIcons, 4, &x, &y));
  EXPECT_EQ(x, static_cast<float>(static_cast<int>(w / 2)));
  EXPECT_EQ(y, 32);
  ASSERT_TRUE(playtest::FindImage(kImageButtons, 0, &x, &y));
  EXPECT_FLOAT_EQ(x, 0.3f * w);
  EXPECT_FLOAT_EQ(y, 0.45f * h);
  ASSERT_TRUE(playtest::FindImage(kImageButtons, 2, &x, &y));
  EXPECT_FLOAT_EQ(y, 0.85f * h);
  playtest::ClickVirtual(0.3f * w, 0.85f * h);
  EXPECT_EQ(g->difficulty, 3);
  EXPECT_EQ(g->mode, kModePlaying);
  ASSERT_TRUE(playtest::ReadyInMenu(640, 480));
}

}  // namespace
