// The game object in a real window: start-up values, the input snapshot in
// virtual pixels, the two latches, the mode dispatch, the scale and resolution
// level that follow the window size, and suspend/resume.
#include <gtest/gtest.h>

#include "framework/input.h"
#include "game/modes.h"
#include "game/sound_setting.h"
#include "host/app.h"
#include "tests/support/game_harness.h"

namespace {

using gametest::Game;
using gametest::Step;
using korvane::kModeBackToMenu;
using korvane::kModeMenu;
using korvane::kModePlaying;
using korvane::kModeWaitStart;
using korvane::kSoundMusicAndEffects;
using korvane::kSoundMusicOnly;
using korvane::kSoundOff;
using korvane::kSoundSetting;

constexpr int kKeyEscape = 27;
constexpr int kKeyCursorUp = 38;
constexpr int kKeyW = 87;
constexpr int kLoadUpdates = 23;

// Runs updates until loading has finished; returns how many it took.
int FinishLoading() {
  int updates = 0;
  while (Game()->loadStage > 0 && updates < 100) {
    Step();
    ++updates;
  }
  return updates;
}

TEST(GameStartUp, CreateSetsTheStartValuesAndBeginsLoading) {
  vl_Korvane_MyApp* g = Game();
  EXPECT_EQ(g->mode, kModeMenu);
  EXPECT_EQ(g->loadStage, 1);
  EXPECT_EQ(g->deviceWidth, 640);
  EXPECT_EQ(g->deviceHeight, 480);
  EXPECT_EQ(g->difficulty, 2);
  EXPECT_EQ(g->menuSlide, -32);
  EXPECT_EQ(g->pauseState, -1);
  EXPECT_EQ(g->pauseSlide, -64);
  EXPECT_EQ(g->settings[kSoundSetting], kSoundMusicAndEffects);
  EXPECT_EQ(g->settings[10], 64) << "the first run's empty state still raises the pad settings";
  EXPECT_EQ(g->settings[11], 64);
  EXPECT_EQ(g->settings[12], 10);
  for (int i = 0; i <= 32; ++i) ASSERT_EQ(g->sfxChannels[i], i);
  EXPECT_EQ(g->hdLevel, 2) << "640 is more than 630 device pixels";
  EXPECT_EQ(g->hdDrawScale, 0.5f);
  EXPECT_EQ(g->clearAlpha, 1);
  EXPECT_NE(g->musicPlayer, nullptr);
  EXPECT_EQ(vl_Korvane_HasMusic, KORVANE_MUSIC) << "the build switch KORVANE_MUSIC sets it";
  EXPECT_EQ(vl_Korvane_DebugMode, 0);
  EXPECT_EQ(vl_Korvane_OnScreenControls, 0);
  EXPECT_EQ(vl_Korvane_AccelerometerControls, 0);
  EXPECT_EQ(vl_Korvane_iCadeControls, 0);
  EXPECT_EQ(g->scaleX, 1) << "the first render computes the scale";
}

TEST(GameLoading, TakesTwentyThreeUpdatesWithEveryDataFileMissing) {
  vl_Korvane_MyApp* g = Game();
  gametest::LinkData(false);
  g->m_Reload();
  EXPECT_EQ(g->images[93], nullptr);
  g->mode = kModeWaitStart;  // a screen that reacts to a click: it must not run while loading
  gametest::MovePointer(320, 240);
  gametest::PressLeft();
  EXPECT_EQ(FinishLoading(), kLoadUpdates);
  gametest::ReleaseLeft();
  EXPECT_EQ(g->loadStage, 0);
  EXPECT_EQ(g->mode, kModeWaitStart) << "the mode dispatch must wait for loading";
  for (int slot = 0; slot < 100; ++slot) {
    ASSERT_EQ(g->images[slot], nullptr) << slot;
    ASSERT_EQ(g->sounds[slot], nullptr) << slot;
  }
  EXPECT_EQ(g->imageInfo[3 * 1], 32 * g->hdLevel) << "sizes are known even when the file is not";
  EXPECT_EQ(g->imageInfo[3 * 90], 7);
  EXPECT_EQ(g->imageInfo[3 * 90 + 1], 10);
  EXPECT_EQ(g->imageInfo[3 * 80 + 2], 64);
  EXPECT_EQ(g->fontSlot, 90);
  EXPECT_GT(g->drawLen, 0) << "the loading screen is drawn every loading update";
  g->mode = kModeMenu;
}

TEST(GameLoading, LoadsEveryAssetOfTheBuildsDataFolder) {
  if (!gametest::LinkData(true)) GTEST_SKIP() << "the build has no generated data folder";
  vl_Korvane_MyApp* g = Game();
  g->m_Reload();
  EXPECT_NE(g->images[93], nullptr) << "the logo is loaded at once for the loading screen";
  EXPECT_NE(g->images[90], nullptr);
  FinishLoading();
  for (int slot : {1, 80, 90, 92, 93, 94, 95, 96, 97, 98, 99}) EXPECT_NE(g->images[slot], nullptr) << slot;
  for (int slot : {1, 2, 3, 4, 5, 6, 7, 8, 95, 98, 99}) EXPECT_NE(g->sounds[slot], nullptr) << slot;
  EXPECT_EQ(g->sounds[9], nullptr);
  EXPECT_EQ(g->images[0], nullptr);
}

TEST(GameDispatch, BackToMenuRecordsThenReturnsToTheMenuInOneUpdate) {
  vl_Korvane_MyApp* g = Game();
  FinishLoading();
  g->mode = kModeBackToMenu;
  Step();
  EXPECT_EQ(g->mode, kModeMenu);
}

TEST(GameDispatch, ClickToStartNeedsAClickInTheMiddleHalf) {
  vl_Korvane_MyApp* g = Game();
  FinishLoading();
  g->mode = kModeWaitStart;
  gametest::MovePointer(100, 100);  // left of a quarter of the width
  gametest::PressLeft();
  Step();
  gametest::ReleaseLeft();
  Step();
  EXPECT_EQ(g->mode, kModeWaitStart);
  EXPECT_EQ(g->loadStage, 0);
  gametest::MovePointer(320, 240);
  gametest::PressLeft();
  Step();
  EXPECT_EQ(g->mode, kModeMenu);
  EXPECT_EQ(g->loadStage, 2) << "starting reloads everything, from this very update";
  EXPECT_EQ(g->clickLatch, 1);
  gametest::ReleaseLeft();
  Step();
  EXPECT_EQ(g->clickLatch, 0) << "the click latch clears once the button is up";
}

TEST(GameInput, PointerIsInVirtualPixelsAndAFreshPressHasNoDragDistance) {
  vl_Korvane_MyApp* g = Game();
  gametest::Resize(1280, 960);
  Step();  // the render computes the new scale
  gametest::MovePointer(200, 100);
  Step();
  gametest::MovePointer(401, 301);
  gametest::PressLeft();
  Step();
  EXPECT_EQ(g->mouseX, 200) << "401 device pixels at scale 2, truncated";
  EXPECT_EQ(g->mouseY, 150);
  EXPECT_EQ(g->prevMouseX, 200) << "a fresh press reports no movement";
  EXPECT_EQ(g->prevMouseY, 150);
  EXPECT_EQ(g->mouseDown, 1);
  EXPECT_EQ(g->mouseHit, 1);
  EXPECT_EQ(g->touchDown[0], 1) << "touch 0 follows the left button";
  EXPECT_EQ(g->touchX[0], 200);
  EXPECT_EQ(g->touchX[1], -3717);
  gametest::MovePointer(441, 301);
  Step();
  EXPECT_EQ(g->prevMouseX, 200);
  EXPECT_EQ(g->mouseX, 220);
  EXPECT_EQ(g->mouseHit, 0);
  gametest::ReleaseLeft();
  Step();
  EXPECT_EQ(g->mouseDown, 0);
  EXPECT_EQ(g->touchX[0], -3717);
  gametest::Resize(640, 480);
  Step();
}

TEST(GameInput, LatchesHoldUntilReleased) {
  vl_Korvane_MyApp* g = Game();
  FinishLoading();
  g->clickLatch = 1;
  g->keyLatch = 1;
  gametest::PressLeft();
  gametest::PressKey(kKeyCursorUp);
  Step();
  EXPECT_EQ(g->clickLatch, 1);
  EXPECT_EQ(g->keyLatch, 1);
  gametest::ReleaseKey(kKeyCursorUp);
  Step();
  EXPECT_EQ(g->keyLatch, 0);
  EXPECT_EQ(g->clickLatch, 1) << "the click latch waits for the button";
  gametest::ReleaseLeft();
  Step();
  EXPECT_EQ(g->clickLatch, 0);
}

TEST(GameInput, BackKeyClosesTheCreditsBoxAndIsThenUsedUp) {
  vl_Korvane_MyApp* g = Game();
  FinishLoading();
  g->mode = kModeMenu;
  g->creditsOpen = 1;
  g->badgesOpen = 1;
  gametest::PressKey(kKeyEscape);
  Step();
  EXPECT_EQ(g->creditsOpen, 0);
  EXPECT_EQ(g->badgesOpen, 0);
  EXPECT_EQ(g->keyLatch, 1);
  EXPECT_EQ(g->clickLatch, 1);
  g->creditsOpen = 1;
  Step();
  EXPECT_EQ(g->creditsOpen, 1) << "a held back key must not close again";
  gametest::ReleaseKey(kKeyEscape);
  Step();
  EXPECT_EQ(g->keyLatch, 0);
  g->creditsOpen = 0;
}

TEST(GameInput, ActionKeysFollowTheTableAndTheArcadeMode) {
  vl_Korvane_MyApp* g = Game();
  gametest::PressKey(kKeyW);
  EXPECT_EQ(g->m_PlayKey(0), 1);
  EXPECT_EQ(g->m_PlayKey(8), 0);
  g->m_iCade(1);
  EXPECT_EQ(vl_Korvane_iCadeControls, 1);
  EXPECT_EQ(g->m_PlayKey(0), 0) << "letters belong to the arcade controller";
  gametest::PressKey(kKeyCursorUp);
  EXPECT_EQ(g->m_PlayKey(0), 1);
  g->pads[16] = 2;
  EXPECT_EQ(g->m_PlayKey(99), 1) << "pad 16 is a back button";
  g->m_iCade(0);
  EXPECT_EQ(vl_Korvane_iCadeControls, 0);
  EXPECT_EQ(g->pads[16], 0) << "leaving arcade mode releases every pad";
  gametest::ReleaseKey(kKeyW);
  gametest::ReleaseKey(kKeyCursorUp);
  EXPECT_EQ(g->m_PlayKey(0), 0);
  for (int key : {13, 32, 90, 74, 256}) {
    gametest::PressKey(key);
    EXPECT_EQ(g->m_PlayKey(10), 1) << key;
    gametest::ReleaseKey(key);
  }
  EXPECT_EQ(g->m_PlayKey(14), 0) << "actions outside the table are never active";
  g->pads[14] = 1;
  EXPECT_EQ(g->m_PlayKey(14), 0);
  g->pads[14] = 0;
}

TEST(GameInput, PadPressesLastOneUpdateAndArcadeHoldsStay) {
  vl_Korvane_MyApp* g = Game();
  g->pads[3] = 1;
  g->pads[5] = 2;
  Step();
  EXPECT_EQ(g->pads[3], 0);
  EXPECT_EQ(g->pads[5], 2);
  g->pads[5] = 0;
}

TEST(GameSound, EffectsUseTheNextOfTwentyFourChannelsOnlyWhenSoundIsOn) {
  vl_Korvane_MyApp* g = Game();
  g->settings[kSoundSetting] = kSoundOff;
  const int before = g->sfxNext;
  g->m_PlaySFX(98, 1, 0.5f, 0);
  EXPECT_EQ(g->sfxNext, before) << "sound off: the rotor must not move";
  g->settings[kSoundSetting] = kSoundMusicAndEffects;
  g->sfxNext = 22;
  g->m_PlaySFX(98, 1, 0.5f, 0);
  EXPECT_EQ(g->sfxNext, 23);
  g->m_PlaySFX(42, 1.5f, 1, 0);  // an empty slot still sets the channel up
  EXPECT_EQ(g->sfxNext, 0);
  g->settings[kSoundSetting] = kSoundMusicOnly;
  g->m_PlaySFX(98, 1, 0.5f, 0);
  EXPECT_EQ(g->sfxNext, 0) << "music only: no effects";
  g->settings[kSoundSetting] = kSoundMusicAndEffects;
}

struct ScaleCase {
  int width, height;
  float scale, virtualWidth, virtualHeight;
  int level;
};

TEST(GameScale, WindowSizeGivesOneUniformScaleAndTheResolutionLevel) {
  vl_Korvane_MyApp* g = Game();
  gametest::LinkData(false);
  const ScaleCase cases[] = {
      {1280, 720, 2, 640, 360, 4},
      {640, 960, 2, 320, 480, 2},
      {800, 600, 1.25f, 640, 480, 2},
      {630, 630, 1.3125f, 480, 630 / 1.3125f, 1},
      {640, 1300, 1300 / 480.0f, 640 / (1300 / 480.0f), 480, 4},
      {640, 480, 1, 640, 480, 2},
  };
  for (const ScaleCase& c : cases) {
    gametest::Resize(c.width, c.height);
    g->loadStage = 0;
    Step();
    EXPECT_EQ(g->loadStage, 1) << c.width << "x" << c.height << ": a new size reloads";
    EXPECT_EQ(g->deviceWidth, c.width);
    EXPECT_FLOAT_EQ(g->scaleX, c.scale) << c.width << "x" << c.height;
    EXPECT_EQ(g->scaleY, g->scaleX);
    EXPECT_NEAR(vl_Korvane_jscrw, c.virtualWidth, 1e-3) << c.width << "x" << c.height;
    EXPECT_NEAR(vl_Korvane_jscrh, c.virtualHeight, 1e-3) << c.width << "x" << c.height;
    EXPECT_EQ(g->landscape, c.virtualWidth >= c.virtualHeight ? 1 : 0);
    Step();
    EXPECT_EQ(g->hdLevel, c.level) << c.width << "x" << c.height;
    EXPECT_FLOAT_EQ(g->hdDrawScale, 1.0f / c.level);
    FinishLoading();
  }
}

TEST(GameScale, ResizeReloadsEveryImageAtTheNewLevelAndKeepsTheMode) {
  if (!gametest::LinkData(true)) GTEST_SKIP() << "the build has no generated data folder";
  vl_Korvane_MyApp* g = Game();
  gametest::Resize(800, 600);
  Step();
  FinishLoading();
  EXPECT_EQ(g->imageInfo[3 * 1], 64);
  EXPECT_EQ(g->images[1]->width, 64);
  g->mode = kModeWaitStart;
  gametest::Resize(1920, 1080);
  Step();
  EXPECT_EQ(g->loadStage, 1);
  EXPECT_EQ(FinishLoading(), kLoadUpdates);
  EXPECT_EQ(g->mode, kModeWaitStart);
  EXPECT_EQ(g->hdLevel, 4);
  EXPECT_EQ(g->imageInfo[3 * 1], 128) << "gems frames are four times the level-1 size";
  EXPECT_EQ(g->imageInfo[3 * 99], 1024);
  EXPECT_EQ(g->imageInfo[3 * 90], 7) << "the font keeps its virtual advance";
  ASSERT_NE(g->images[1], nullptr);
  EXPECT_EQ(g->images[1]->width, 128);
  g->mode = kModeMenu;
  gametest::Resize(640, 480);
  Step();
  FinishLoading();
}

TEST(GameSuspend, SuspendDuringPlayComesBackWithThePausePanelOpen) {
  vl_Korvane_MyApp* g = Game();
  FinishLoading();
  g->mode = kModePlaying;
  g->pauseActive = 0;
  app->InvokeOnSuspend();
  EXPECT_EQ(g->pauseActive, 1);
  EXPECT_EQ(g->pauseState, 1);
  EXPECT_EQ(g->pauseSlide, 240);
  EXPECT_EQ(app->updateRate, 5) << "the rate set while suspending is kept for the resume";
  EXPECT_FALSE(gametest::ReadStateFile().empty()) << "suspending saves the state";
  app->InvokeOnResume();
  EXPECT_EQ(g->pauseActive, 1);
  EXPECT_EQ(app->updateRate, 60);

  g->mode = kModeMenu;
  app->InvokeOnSuspend();
  EXPECT_EQ(g->pauseActive, 0) << "suspending in the menu leaves no pause state";
  EXPECT_EQ(g->pauseState, 0);
  EXPECT_EQ(g->pauseSlide, 0);
  app->InvokeOnResume();
  EXPECT_EQ(g->pauseActive, 0);
}

TEST(GameRender, RenderMeterAveragesTheRate) {
  vl_Korvane_MyApp* g = Game();
  g->renderFpsAvg = 0;
  g->renderLastMs = vl_app_Millisecs() - 20;
  gametest::Render();
  EXPECT_GE(g->renderFps, 1);
  EXPECT_LE(g->renderFps, 50);
  EXPECT_EQ(g->renderFpsAvg, g->renderFps / 10);
}

}  // namespace

namespace {

TEST(GameRender, ReplayDrawsEveryRecordKindAtTheUniformScale) {
  vl_Korvane_MyApp* g = Game();
  gametest::Resize(1280, 960);  // scale 2
  Step();
  FinishLoading();
  g->m_CLS2D(0, 0, 0, 1);
  g->m_SetCol(255, 0, 0, 1);
  g->m_Rect(10, 10, 20, 20);
  g->m_SetCol(0, 255, 0, 1);
  g->m_Oval(100, 100, 10, 5);
  g->m_DrawImg(50, 200, 200, 0);    // an empty slot draws nothing
  g->m_DrawImg(97, 200, 200, 999);  // nor does a frame the image lacks
  g->m_SetCol(0, 0, 255, 1);
  g->m_Rect(0, 0, 0, 0);
  float* line = &g->drawList[g->drawLen - 15];
  line[0] = korvane::kKindLine;  // a line from (0, 150) to (320, 150)
  line[1] = 0;
  line[2] = 150;
  line[4] = 320;
  line[5] = 150;
  gametest::RenderAndCapture();
  EXPECT_EQ(gametest::FramePixel(40, 40), 0xff0000u);
  EXPECT_EQ(gametest::FramePixel(17, 40), 0x000000u);
  EXPECT_EQ(gametest::FramePixel(62, 40), 0x000000u);
  EXPECT_EQ(gametest::FramePixel(200, 200), 0x00ff00u);
  EXPECT_EQ(gametest::FramePixel(215, 200), 0x00ff00u) << "radius 10 x scale 2 across";
  EXPECT_EQ(gametest::FramePixel(200, 215), 0x000000u) << "radius 5 x scale 2 down";
  EXPECT_EQ(gametest::FramePixel(400, 400), 0x000000u);
  unsigned lineHits = 0;
  for (int y = 298; y <= 302; ++y) lineHits += gametest::FramePixel(300, y) == 0x0000ffu ? 1 : 0;
  EXPECT_GE(lineHits, 1u) << "the line record is drawn at y = 300";
  EXPECT_EQ(gametest::FramePixel(700, 300), 0x000000u) << "the line ends at x = 640";
  gametest::Resize(640, 480);
  Step();
}

}  // namespace
