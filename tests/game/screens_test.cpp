// The pause panel and the game-over overlay in a real window: opening and
// closing by key and button, the key navigation and the sound button, quitting
// with the score of the finished rounds only, the overlay's timing and its
// high-score notice, and the place text.
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
using korvane::kImageIcons;
using korvane::kModeBackToMenu;
using korvane::kModeMenu;
using korvane::kModePlaying;
using korvane::kSfxClick;
using korvane::kSoundEffectsOnly;
using korvane::kSoundMusicAndEffects;
using korvane::kSoundOff;
using korvane::kSoundSetting;

constexpr int kKeyEscape = 27;
constexpr int kKeyLeft = 37;
constexpr int kKeyRight = 39;
constexpr int kKeyZ = 90;

class Screens : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!playtest::ReadyInMenu()) GTEST_SKIP() << "the build has no generated data folder";
    playtest::StartGame(2);
    Step();
    // A board at rest, so that the round clock runs.
    playtest::SetBoard({"3434343434", "4343434343", "3434343434", "4343434343", "3434343434", "4343434343"});
    Step();
  }

  void OpenPanelWithBackKey() {
    playtest::TapKey(kKeyEscape);
    for (int i = 0; i < 20; ++i) Step();
  }

  float PanelY() const { return static_cast<float>(g->pauseSlide); }
  float QuitX() const { return g->landscape == 1 ? vl_Korvane_jscrw / 2 - 140 : vl_Korvane_jscrw / 2 - 96; }
  float ButtonsY() const { return PanelY() - (g->landscape == 1 ? 64 : 96); }
  float SoundX() const { return g->landscape == 1 ? vl_Korvane_jscrw / 2 + 140 : vl_Korvane_jscrw / 2 + 96; }

  vl_Korvane_MyApp* g = Game();
};

TEST_F(Screens, BackKeyOpensThePanelAndASecondPressClosesIt) {
  gametest::PressKey(kKeyEscape);
  Step();
  EXPECT_EQ(g->pauseActive, 1);
  EXPECT_EQ(g->pauseState, 1);
  EXPECT_EQ(g->pauseChoice, 0);
  EXPECT_EQ(g->pauseSlide, -64 + 24) << "the panel slides in by 24 per update";
  for (int i = 0; i < 20; ++i) Step();
  EXPECT_EQ(g->pauseActive, 1) << "a held back key does not close the panel again";
  EXPECT_EQ(g->pauseSlide, 248);
  gametest::ReleaseKey(kKeyEscape);
  Step();
  const int timeBefore = g->timeLeft;
  Step();
  EXPECT_LT(g->timeLeft, timeBefore) << "the play field keeps running under the panel";
  playtest::TapKey(kKeyEscape);
  EXPECT_EQ(g->pauseState, -1);
  for (int i = 0; i < 20 && g->pauseActive == 1; ++i) Step();
  EXPECT_EQ(g->pauseActive, 0);
  EXPECT_EQ(g->mode, kModePlaying);
}

TEST_F(Screens, PauseButtonOpensThePanelAndResumeSlidesItOut) {
  playtest::ClickVirtual(16, 16);
  EXPECT_EQ(g->pauseActive, 1);
  for (int i = 0; i < 20; ++i) Step();
  const int mark = playtest::SoundMark();
  playtest::ClickVirtual(vl_Korvane_jscrw / 2, PanelY());
  EXPECT_EQ(g->pauseState, -1);
  const std::vector<int> sounds = playtest::SoundsSince(mark);
  ASSERT_FALSE(sounds.empty());
  EXPECT_EQ(sounds.front(), kSfxClick);
  for (int i = 0; i < 20 && g->pauseActive == 1; ++i) Step();
  EXPECT_EQ(g->pauseActive, 0);
  EXPECT_EQ(g->gameOverFlag, 0);
}

TEST_F(Screens, KeysMoveTheHighlightAndStepTheSoundSetting) {
  OpenPanelWithBackKey();
  playtest::TapKey(kKeyLeft);
  EXPECT_EQ(g->pauseChoice, -1);
  playtest::TapKey(kKeyRight);
  EXPECT_EQ(g->pauseChoice, 0);
  playtest::TapKey(kKeyRight);
  EXPECT_EQ(g->pauseChoice, 1);
  float x = 0, y = 0;
  ASSERT_TRUE(playtest::FindImage(kImageIcons, 6, &x, &y));
  EXPECT_EQ(x, SoundX());
  // The action key steps through all four settings even without music.
  const int expected[] = {2, 3, 0, 1};
  for (int want : expected) {
    playtest::TapKey(kKeyZ);
    ASSERT_EQ(g->settings[kSoundSetting], want);
    EXPECT_EQ(playtest::CountImages(kImageIcons, want == 0 ? 5 : 4), 1) << "setting " << want;
  }
  EXPECT_EQ(g->pauseActive, 1);
  EXPECT_EQ(g->gameOverFlag, 0);
}

TEST_F(Screens, SoundButtonAlternatesBetweenOnAndOff) {
  if (vl_Korvane_HasMusic == 1) GTEST_SKIP() << "with music the button cycles four modes (next test)";
  OpenPanelWithBackKey();
  playtest::ClickVirtual(SoundX(), ButtonsY());
  EXPECT_EQ(g->settings[kSoundSetting], kSoundOff);
  EXPECT_EQ(playtest::CountImages(kImageIcons, 5), 1);
  playtest::ClickVirtual(SoundX(), ButtonsY());
  EXPECT_EQ(g->settings[kSoundSetting], kSoundMusicAndEffects);
  g->settings[kSoundSetting] = kSoundEffectsOnly;  // effects only, from a saved state
  Step();
  playtest::ClickVirtual(SoundX(), ButtonsY());
  EXPECT_EQ(g->settings[kSoundSetting], kSoundOff);
}

TEST_F(Screens, SoundButtonCyclesTheFourModesWithTheirMarks) {
  if (vl_Korvane_HasMusic == 0) GTEST_SKIP() << "without music the button only turns sound on and off";
  OpenPanelWithBackKey();
  for (int want : {2, 3, 0, 1}) {
    playtest::ClickVirtual(SoundX(), ButtonsY());
    ASSERT_EQ(g->settings[kSoundSetting], want);
    EXPECT_EQ(playtest::CountImages(kImageIcons, want == 0 ? 5 : 4), 1) << "mode " << want;
    for (int frame : {8, 9, 10}) {
      float x = 0, y = 0;
      const bool shown = frame == want + 7;
      EXPECT_EQ(playtest::FindImage(kImageIcons, frame, &x, &y), shown) << "mode " << want << " frame " << frame;
      if (shown) {
        EXPECT_EQ(x, static_cast<int>(SoundX()) + 20);
      }
    }
  }
  EXPECT_EQ(g->pauseActive, 1) << "the button leaves the panel open";
}

TEST_F(Screens, QuitRecordsTheFinishedRoundsButNotTheRoundInProgress) {
  g->score = 30;
  g->roundScore = 12;
  OpenPanelWithBackKey();
  const auto p = playtest::WindowPixel(QuitX(), ButtonsY());
  gametest::MovePointer(p.first, p.second);
  gametest::PressLeft();
  Step();
  EXPECT_EQ(g->gameOverFlag, 1);
  EXPECT_EQ(g->pauseActive, 0);
  EXPECT_EQ(g->pauseSlide, -64);
  gametest::ReleaseLeft();
  for (int i = 0; i < 200 && g->mode != kModeMenu; ++i) Step();
  ASSERT_EQ(g->mode, kModeMenu);
  EXPECT_EQ(g->score, 30);
  EXPECT_EQ(g->highScores[30 + 10], 30);
}

TEST_F(Screens, PanelCannotOpenOnceTheGameHasEndedAndANewGameStartsWithItClosed) {
  g->gameOverFlag = 1;  // the round was lost: the overlay runs over the board
  Step();
  playtest::TapKey(kKeyEscape);
  EXPECT_EQ(g->pauseActive, 0) << "the back key during the overlay";
  playtest::ClickVirtual(16, 16);
  EXPECT_EQ(g->pauseActive, 0) << "the pause button during the overlay";
  g->m_OnSuspend();
  g->m_OnResume();
  EXPECT_EQ(g->pauseActive, 0) << "a suspend during the overlay";
  for (int i = 0; i < 200 && g->mode != kModeMenu; ++i) Step();
  ASSERT_EQ(g->mode, kModeMenu);

  // A panel still open when a game ends (opened before its end) is gone in
  // the next game.
  playtest::StartGame(2);
  OpenPanelWithBackKey();
  ASSERT_EQ(g->pauseActive, 1);
  g->gameOverFlag = 1;
  for (int i = 0; i < 200 && g->mode != kModeMenu; ++i) Step();
  ASSERT_EQ(g->mode, kModeMenu);
  playtest::StartGame(3);
  Step();
  EXPECT_EQ(g->mode, kModePlaying);
  EXPECT_EQ(g->pauseActive, 0);
  EXPECT_EQ(g->pauseSlide, -64);
  EXPECT_EQ(playtest::CountImages(kImageIcons, 3), 0) << "no resume button is drawn";
}

TEST_F(Screens, AfterQuitARoundEndingUnderTheOverlayAddsNothing) {
  // The round has reached its target and its clock is about to run out: the
  // board leaves and a new round starts while the overlay builds up.
  OpenPanelWithBackKey();
  g->score = 30;
  g->roundScore = 25;
  g->roundTarget = 20;
  g->timeLeft = 1;
  const int levelBefore = g->level;
  playtest::ClickVirtual(QuitX(), ButtonsY());
  ASSERT_EQ(g->gameOverFlag, 1);
  for (int i = 0; i < 200 && g->mode != kModeMenu; ++i) Step();
  ASSERT_EQ(g->mode, kModeMenu);
  EXPECT_EQ(g->level, levelBefore + 1) << "the round did end under the overlay";
  EXPECT_EQ(g->score, 30) << "quitting fixes the score";
  EXPECT_EQ(g->highScores[30 + 10], 30);
}

TEST_F(Screens, QuitByTheActionKeyAlsoStopsAHeldPointerTakingGems) {
  OpenPanelWithBackKey();
  playtest::TapKey(kKeyLeft);
  ASSERT_EQ(g->pauseChoice, -1);
  playtest::SetBoard({"3434343434", "4343434343", "3434343434", "4343434343", "3434343434", "1111111111"});
  // The board runs under the panel: a press at its lower left takes a gem.
  const auto first = playtest::CellPixel(0, 5);
  gametest::MovePointer(first.first, first.second);
  gametest::PressLeft();
  Step();
  ASSERT_TRUE(playtest::InPath(0, 5));
  gametest::PressKey(kKeyZ);
  Step();
  gametest::ReleaseKey(kKeyZ);
  ASSERT_EQ(g->gameOverFlag, 1);
  EXPECT_EQ(g->clickLatch, 1);
  EXPECT_EQ(g->keyLatch, 1);
  const auto next = playtest::CellPixel(1, 5);
  gametest::MovePointer(next.first, next.second);
  Step();
  Step();
  EXPECT_FALSE(playtest::InPath(1, 5)) << "the held pointer took a gem after the quit";
  gametest::ReleaseLeft();
  Step();
}

TEST_F(Screens, PressOrKeyHeldAcrossTheEndOfAGameDoesNotStartTheNext) {
  // The pointer rests where the Normal button settles in the menu and stays
  // down from the overlay on.
  g->gameOverFlag = 1;
  Step();
  const float buttonX = 0.4f * vl_Korvane_jscrw;
  const float buttonY = 0.7f * vl_Korvane_jscrh;
  const auto p = playtest::WindowPixel(buttonX, buttonY);
  gametest::MovePointer(p.first, p.second);
  gametest::PressLeft();
  for (int i = 0; i < 200 && g->mode != kModeMenu; ++i) Step();
  ASSERT_EQ(g->mode, kModeMenu);
  for (int i = 0; i < 40; ++i) Step();
  ASSERT_EQ(g->menuSlide, 0) << "the button has settled under the pointer";
  EXPECT_EQ(g->mode, kModeMenu) << "a held press started a game";
  gametest::ReleaseLeft();
  Step();
  playtest::ClickVirtual(buttonX, buttonY);
  EXPECT_EQ(g->mode, kModePlaying) << "a press that begins in the menu starts the game";

  // The same for an action key held from the overlay into the menu.
  g->gameOverFlag = 1;
  gametest::PressKey(kKeyZ);
  for (int i = 0; i < 200 && g->mode != kModeMenu; ++i) Step();
  ASSERT_EQ(g->mode, kModeMenu);
  for (int i = 0; i < 5; ++i) Step();
  EXPECT_EQ(g->mode, kModeMenu) << "a held action key started a game";
  gametest::ReleaseKey(kKeyZ);
  Step();
  playtest::TapKey(kKeyZ);
  EXPECT_EQ(g->mode, kModePlaying);
}

TEST_F(Screens, GameOverOverlayBuildsForNinetyUpdatesThenFadesOverTheMenu) {
  g->difficulty = 2;
  for (int i = 0; i < 10; ++i) g->highScores[10 + i] = 100 - 10 * i;
  g->score = 75;  // reaches the fourth place
  g->gameOverFlag = 1;
  Step();
  EXPECT_EQ(g->gameOverTimer, 1);
  for (int i = 0; i < 30; ++i) Step();
  EXPECT_TRUE(playtest::HasText("GAME"));
  EXPECT_TRUE(playtest::HasText("OVER"));
  EXPECT_TRUE(playtest::HasText("New Highscore"));
  EXPECT_TRUE(playtest::HasTextContaining("4th"));
  for (int i = 0; i < 100 && g->mode == kModePlaying; ++i) Step();
  EXPECT_EQ(g->mode, kModeBackToMenu);
  EXPECT_EQ(g->gameOverTimer, 73) << "the turn to the menu also starts the fade";
  Step();
  EXPECT_EQ(g->mode, kModeMenu);
  EXPECT_EQ(g->gameOverTimer, 71);
  EXPECT_EQ(g->highScores[13], 75) << "recorded at the place shown";
  EXPECT_TRUE(playtest::HasText("GAME")) << "the overlay fades out over the menu";
  for (int i = 0; i < 40; ++i) Step();
  EXPECT_EQ(g->gameOverTimer, 0);
  EXPECT_FALSE(playtest::HasText("GAME"));
}

TEST_F(Screens, GameOverWithoutAPlaceShowsNoNotice) {
  for (int i = 0; i < 10; ++i) g->highScores[10 + i] = 100 - 10 * i;
  g->score = 5;
  g->gameOverFlag = 1;
  for (int i = 0; i < 30; ++i) Step();
  EXPECT_TRUE(playtest::HasText("GAME"));
  EXPECT_FALSE(playtest::HasText("New Highscore"));
}

TEST_F(Screens, PlaceTextCountsAnEqualScoreAsReachingThePlace) {
  g->difficulty = 2;
  for (int i = 0; i < 10; ++i) g->highScores[10 + i] = 100 - 10 * i;
  struct Case {
    int score;
    const char* text;
    int place;
  };
  const Case cases[] = {{101, "1st!", 1}, {100, "1st!", 1}, {95, "2nd", 2},   {80, "3rd", 3},
                        {60, "5th", 5},   {55, "6th", 6},   {10, "10th", 10}, {9, "", 0}};
  for (const Case& c : cases) {
    g->score = c.score;
    const String text = g->m_MyNth();
    std::string narrow;
    for (int i = 0; i < text.Length(); ++i) narrow += static_cast<char>(text[i]);
    EXPECT_EQ(narrow, c.text) << c.score;
    EXPECT_EQ(g->lp, c.place) << c.score;
  }
  for (int i = 0; i < 10; ++i) g->highScores[10 + i] = 0;
  g->score = 0;
  g->m_MyNth();
  EXPECT_EQ(g->lp, 1) << "a zero against an empty row is first";
}

TEST_F(Screens, PortraitPanelIsTallerWithItsButtonsCloserTogether) {
  ASSERT_TRUE(playtest::ReadyInMenu(480, 640));
  playtest::StartGame(2);
  Step();
  ASSERT_EQ(g->landscape, 0);
  OpenPanelWithBackKey();
  EXPECT_EQ(g->pauseSlide, 248);
  float x = 0, y = 0;
  ASSERT_TRUE(playtest::FindImage(kImageIcons, 1, &x, &y));
  EXPECT_EQ(x, vl_Korvane_jscrw / 2 - 96);
  EXPECT_EQ(y, 248 - 96);
  g->score = 0;
  g->roundScore = 0;
  playtest::ClickVirtual(QuitX(), ButtonsY());
  EXPECT_EQ(g->gameOverFlag, 1);
  ASSERT_TRUE(playtest::ReadyInMenu(640, 480));
}

}  // namespace
