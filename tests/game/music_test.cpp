// The game's music, update by update in a real window: where the player is
// started and stopped, the song loading in the render passes without showing
// on screen, the holds under the pause panel and while minimised (no note left
// ringing, no racing through missed rows afterwards), the sound modes, and a
// new arrangement at every start.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "framework/app.h"
#include "game/modes.h"
#include "game/sound_setting.h"
#include "host/app.h"
#include "music/music_player.h"
#include "tests/game/play_support.h"

namespace {

using gametest::Game;
using gametest::Step;
using korvane::kModeBackToMenu;
using korvane::kModeMenu;
using korvane::kModePlaying;
using korvane::kSoundMusicAndEffects;
using korvane::kSoundSetting;

constexpr int kKeyEscape = 27;
constexpr int kPlaying = vl_KXTrackr_KXPlayer::kPlaying;
constexpr int kStarted = vl_KXTrackr_KXPlayer::kStarted;
constexpr int kStopped = vl_KXTrackr_KXPlayer::kStopped;

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

class GameMusic : public ::testing::Test {
 protected:
  void SetUp() override {
    if (vl_Korvane_HasMusic == 0) GTEST_SKIP() << "built with KORVANE_MUSIC=OFF: the game has no music";
    if (!playtest::ReadyInMenu()) GTEST_SKIP() << "the build has no generated data folder";
    player = g->musicPlayer;
  }

  // Steps (update and render, as the host loop does) until the condition
  // holds, pausing between steps so that the clock moves; false at the deadline.
  bool StepUntil(const std::function<bool()>& done, int deadlineMs = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadlineMs);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      Step();
      SleepMs(4);
    }
    return true;
  }

  bool SongPlaying() {
    return StepUntil([&] { return player->playState == kPlaying && player->loadStep == 0; });
  }

  bool AnyVoiceSounding() const {
    for (int v = 0; v < 8; ++v) {
      if (player->voiceSounding[v] != 0) return true;
    }
    return false;
  }

  // Rows played while stepping for `ms` milliseconds.
  int RowsPlayedIn(int ms) {
    int rows = 0, last = player->row;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
      Step();
      if (player->row != last) ++rows;
      last = player->row;
      SleepMs(4);
    }
    return rows;
  }

  vl_Korvane_MyApp* g = Game();
  vl_KXTrackr_KXPlayer* player = nullptr;
};

TEST_F(GameMusic, MenuStartsTheSongWhichLoadsInRenderPassesWithoutShowing) {
  player->m_KX_Stop(1);  // as the game-over overlay leaves it
  gametest::Update();
  EXPECT_EQ(player->playState, kStarted) << "the menu starts the player";
  EXPECT_EQ(player->loadStep, 1);
  EXPECT_EQ(player->songFile, String("inst/song.png"));
  EXPECT_NEAR(player->songSeed, vl_app_Millisecs(), 50) << "the seed is the clock";
  for (int n = 1; n <= 5; ++n) EXPECT_EQ(player->sampleSet[n], 0);

  // The same display list drawn while the song loads and after it has loaded
  // gives the same picture: the read-back drawing never reaches the screen.
  gametest::RenderAndCapture();
  EXPECT_EQ(player->loadStep, 4) << "three loading steps per render";
  std::vector<unsigned> whileLoading;
  for (int y = 0; y < 480; y += 2) {
    for (int x = 0; x < 640; x += 2) whileLoading.push_back(gametest::FramePixel(x, y));
  }
  int renders = 1;
  while (player->loadStep > 0 && renders < 100) {
    gametest::Render();
    ++renders;
  }
  EXPECT_EQ(renders, 24) << "70 steps, three per render";
  gametest::RenderAndCapture();
  size_t i = 0, differing = 0;
  for (int y = 0; y < 480; y += 2) {
    for (int x = 0; x < 640; x += 2) differing += gametest::FramePixel(x, y) != whileLoading[i++] ? 1 : 0;
  }
  EXPECT_EQ(differing, 0u);

  EXPECT_EQ(player->playState, kPlaying);
  EXPECT_EQ(player->lastPattern[2], 5) << "the lead's six patterns were decoded";
  for (int v = 2; v <= 4; ++v) EXPECT_NE(player->instruments[v], nullptr) << "voice " << v;
  for (int d = 1; d <= 8; ++d) EXPECT_NE(player->kitA[d], nullptr) << "drum " << d;
  EXPECT_GT(RowsPlayedIn(400), 2) << "rows play in the menu";
}

TEST_F(GameMusic, GameOverStopsTheSongAndTheMenuStartsItWithANewSeed) {
  ASSERT_TRUE(SongPlaying());
  playtest::StartGame(2);
  Step();
  EXPECT_EQ(player->playState, kPlaying) << "a new game keeps the song going";
  const int seed = player->songSeed;
  g->gameOverFlag = 1;
  ASSERT_TRUE(StepUntil([&] { return g->mode != kModePlaying; }, 10000));
  EXPECT_EQ(g->mode, kModeBackToMenu);
  EXPECT_EQ(player->playState, kStopped) << "the overlay's end stops the player";
  EXPECT_FALSE(AnyVoiceSounding());
  Step();  // back to the menu
  EXPECT_EQ(g->mode, kModeMenu);
  Step();
  EXPECT_GE(player->playState, kStarted) << "the menu starts it again";
  EXPECT_NE(player->songSeed, seed) << "with a new arrangement";
  ASSERT_TRUE(SongPlaying());

  // A game started while the player is stopped starts it too.
  player->m_KX_Stop(1);
  playtest::StartGame(1);
  EXPECT_GE(player->playState, kStarted);
  ASSERT_TRUE(SongPlaying());
  g->mode = kModeMenu;
}

TEST_F(GameMusic, PausePanelHoldsTheSongAndItResumesWithoutCatchingUp) {
  playtest::StartGame(2);
  ASSERT_TRUE(SongPlaying());
  ASSERT_GT(RowsPlayedIn(300), 0);
  playtest::TapKey(kKeyEscape);
  ASSERT_EQ(g->pauseActive, 1);
  EXPECT_FALSE(AnyVoiceSounding()) << "the pause stops the ringing notes";
  EXPECT_EQ(RowsPlayedIn(400), 0) << "no row plays under the panel";
  const int row = player->row;
  playtest::TapKey(kKeyEscape);
  const auto closing = std::chrono::steady_clock::now();
  ASSERT_TRUE(StepUntil([&] { return g->pauseActive == 0; }));
  const int lastPausedMs = vl_app_Millisecs();
  EXPECT_LE(player->nextTime - lastPausedMs, 150);
  ASSERT_TRUE(StepUntil([&] { return player->row != row; }));
  const auto resumed = std::chrono::steady_clock::now();
  EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(resumed - closing).count(), 140)
      << "the song waits 150 ms after the panel has gone";
  EXPECT_EQ((player->row - row + 64) % 64, 1) << "one row, not the ones missed while paused";
  g->mode = kModeMenu;
}

TEST_F(GameMusic, MinimisingHoldsTheSongAndRestoringGoesOnWithoutCatchingUp) {
  ASSERT_TRUE(SongPlaying());
  ASSERT_GT(RowsPlayedIn(300), 0);
  app->InvokeOnSuspend();
  EXPECT_FALSE(AnyVoiceSounding());
  SleepMs(1000);  // twelve rows' time
  app->InvokeOnResume();
  // At 84 ms a row, 300 ms hold at most four rows; racing through the twelve
  // missed ones would play a row in every update.
  EXPECT_LE(RowsPlayedIn(300), 4) << "the rows missed while minimised are not played";
  EXPECT_GT(RowsPlayedIn(400), 2) << "and the song goes on";
}

TEST_F(GameMusic, SongPlaysOnlyInTheModesWithMusic) {
  ASSERT_TRUE(SongPlaying());
  for (int mode : {1, 2, 3, 0}) {
    g->settings[kSoundSetting] = mode;
    const bool music = mode == 1 || mode == 3;
    EXPECT_EQ(RowsPlayedIn(400) > 0, music) << "mode " << mode;
    if (!music) {
      EXPECT_FALSE(AnyVoiceSounding()) << "mode " << mode;
    }
  }
  g->settings[kSoundSetting] = kSoundMusicAndEffects;
}

}  // namespace
