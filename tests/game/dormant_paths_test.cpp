// The paths behind the build-wide switches that stay off in this game (arcade
// controller letters, on-screen pad, tilt, debug line) and the pixel
// decoders nothing calls: each is switched on here and must work, not crash.
#include <gtest/gtest.h>

#include "game/modes.h"
#include "host/app.h"
#include "host/input_device.h"
#include "tests/support/game_harness.h"

namespace {

using gametest::Game;
using gametest::Step;
using korvane::kModeMenu;
using korvane::kModePlaying;

void FinishLoading() {
  for (int i = 0; i < 100 && Game()->loadStage > 0; ++i) Step();
}

// Whether the display list holds a record of the pad picture's frame at (x, y).
bool HasPadFrameAt(int frame, float x, float y) {
  constexpr int kPadImage = 94;
  const vl_Korvane_MyApp* g = Game();
  for (int at = 0; at < g->drawLen; at += korvane::kRecordFloats) {
    const float* r = &g->drawList[at];
    if (r[0] == kPadImage && r[6] == frame && r[1] == x && r[2] == y) return true;
  }
  return false;
}

void Type(const char* letters) {
  for (const char* c = letters; *c; ++c) app->input->PutChar(*c);
}

TEST(ArcadeController, LettersHoldAndReleaseThePads) {
  vl_Korvane_MyApp* g = Game();
  FinishLoading();
  Type("zz");  // typed before the switch: discarded by it
  g->m_iCade(1);
  EXPECT_EQ(app->input->charGet, app->input->charPut) << "switching on drops what was typed";
  Type("wXh");
  Step();
  EXPECT_EQ(g->pads[0], 2) << "W holds up";
  EXPECT_EQ(g->pads[8], 2) << "X holds down, in either case";
  EXPECT_EQ(g->pads[10], 2);
  EXPECT_EQ(g->lastChar, 'h');
  EXPECT_EQ(g->m_PlayKey(0), 1);
  Type("e");
  Step();
  EXPECT_EQ(g->pads[0], 0) << "E releases up";
  EXPECT_EQ(g->pads[8], 2) << "holds stay across updates";
  Type("1!");
  Step();
  EXPECT_EQ(g->lastChar, '!') << "other characters are read and ignored";
  g->pads[19] = 2;
  g->lp = -1;
  g->m_iCade(0);
  EXPECT_EQ(g->pads[8], 0);
  EXPECT_EQ(g->pads[19], 0);
  EXPECT_EQ(g->lp, 20) << "the pads are cleared counting in the shared loop counter";
  Type("w");
  Step();
  EXPECT_EQ(g->pads[0], 0) << "with the switch off letters are not decoded";
}

TEST(OnScreenPad, TouchOnADirectionPressesItForOneUpdate) {
  vl_Korvane_MyApp* g = Game();
  FinishLoading();
  vl_Korvane_OnScreenControls = 1;
  g->mode = kModePlaying;  // above the click-to-start mode; the play screens are not needed here
  g->settings[10] = 64;
  g->settings[11] = 64;
  g->settings[12] = 10;
  // At 640x480 the pad centre is (64, 480 - 64); "up" sits 20 pixels above it.
  gametest::MovePointer(64, 480 - 64 - 20);
  gametest::PressLeft();
  Step();
  EXPECT_EQ(g->pads[0], 1);
  EXPECT_EQ(g->pads[8], 0);
  EXPECT_EQ(g->m_PlayKey(0), 1);
  // The generated pad picture holds the arrows in frames 0-3 (up, right, down,
  // left), the cross in frame 4 and the pressed parts from frame 8 on.
  EXPECT_TRUE(HasPadFrameAt(4, 64, 480 - 64)) << "the cross is the pad's base";
  EXPECT_TRUE(HasPadFrameAt(8, 64, 480 - 64 - 20)) << "the pressed up arrow over the touched part";
  EXPECT_FALSE(HasPadFrameAt(10, 64, 480 - 64 + 20)) << "an untouched arrow is not drawn pressed";
  gametest::ReleaseLeft();
  Step();
  EXPECT_EQ(g->pads[0], 0) << "the press lasts one update";
  g->mode = kModeMenu;
  Step();
  EXPECT_EQ(g->pads[0], 0) << "no pad in the menu";
  vl_Korvane_OnScreenControls = 0;
}

TEST(TiltAndDebugLine, RunWithoutDisturbingTheFrame) {
  vl_Korvane_MyApp* g = Game();
  FinishLoading();
  vl_Korvane_AccelerometerControls = 1;
  vl_Korvane_DebugMode = 1;
  g->accelZeroX = 0.5f;
  g->m_CLS2D(0, 0, 0, 1);
  Step();
  EXPECT_EQ(g->tiltX, -0.5f) << "no tilt sensor: the reading is 0, minus the zero";
  EXPECT_GT(g->drawLen, 0) << "the calibrate button and the debug line are drawn";
  gametest::MovePointer(24, 480 - 24);
  gametest::PressLeft();
  Step();
  EXPECT_EQ(g->accelZeroX, 0) << "the calibrate button stores the reading as zero";
  gametest::ReleaseLeft();
  g->m_iCade(1);
  Step();
  EXPECT_EQ(g->tiltX, 0) << "with the arcade controller on there is no tilt";
  g->m_iCade(0);
  vl_Korvane_AccelerometerControls = 0;
  vl_Korvane_DebugMode = 0;
}

TEST(PixelDecoders, GrabReadsAFrameBackAsFiveBitColours) {
  vl_Korvane_MyApp* g = Game();
  if (!gametest::LinkData(true)) GTEST_SKIP() << "the build has no generated data folder";
  g->m_Reload();
  FinishLoading();
  ASSERT_NE(g->images[1], nullptr);
  g->grabSlot = 1;  // gems, frame 1: the first gem kind
  g->grabFrame = 1;
  testing::internal::CaptureStdout();
  gametest::Render();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Loading Image Data 1:1\n");
  EXPECT_EQ(g->grabSlot, 0) << "a grab runs once";
  int drawn = 0, marker = 0;
  for (int i = 0; i < 64 * 64; ++i) {
    for (int c = 0; c < 3; ++c) {
      ASSERT_GE(g->colourGrid[4 * i + c], 0);
      ASSERT_LE(g->colourGrid[4 * i + c], 32);
    }
    const bool isMarker = g->colourGrid[4 * i] == 0 && g->colourGrid[4 * i + 1] == 0 && g->colourGrid[4 * i + 2] == 0;
    (isMarker ? marker : drawn) += 1;
  }
  EXPECT_GT(drawn, 100) << "the gem shows in the grabbed block";
  EXPECT_GT(marker, 100) << "the block outside the frame keeps the clear colour";
}

TEST(PixelDecoders, WordListDecodesTwoThousandWordsPerSheet) {
  vl_Korvane_MyApp* g = Game();
  FinishLoading();
  // The word-list image slot is empty in this game: a sheet decodes the clear
  // colour, 2048 words of 0, and the store grows as sheets are added.
  app->graphics->BeginRender();
  vl_graphics_BeginRender();
  testing::internal::CaptureStdout();
  g->m_Loader_WordList();
  g->m_Loader_WordList();
  const std::string out = testing::internal::GetCapturedStdout();
  vl_graphics_EndRender();
  app->graphics->EndRender();
  EXPECT_EQ(out, "Loading WordList 1\nLoading WordList 2\n");
  EXPECT_EQ(g->wordCount, 4096);
  EXPECT_GE(g->wordList.Length(), 4096);
  EXPECT_EQ(g->wordList[4095], 0);
  EXPECT_EQ(g->wordSheet, 3);
}

}  // namespace
