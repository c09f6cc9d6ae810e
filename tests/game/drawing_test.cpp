// Drawing, text and button helpers of the game object, on a game object built
// without a window: every helper here only appends display records or reads
// the input snapshot fields, so no device is needed.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "framework/random.h"
#include "game/my_app.h"
#include "game/slots.h"
#include "runtime/gc.h"
#include "tests/support/windowless_game.h"

namespace {

using korvane::kImageFont;
using korvane::kImageIcons;

constexpr int kFontAdvance = 7;
constexpr int kFontLineHeight = 10;

std::string Narrow(const String& s) {
  std::string out;
  for (int i = 0; i < s.Length(); ++i) out += static_cast<char>(s[i]);
  return out;
}

struct Record {
  float kind, x, y, rot, sx, sy, frame, alpha, r, g, b;
};

class DrawingTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testsupport::StartWindowlessRuntime(); }

  void SetUp() override {
    game = new vl_Korvane_MyApp();
    game->fontSlot = kImageFont;
    game->imageInfo[3 * kImageFont] = kFontAdvance;
    game->imageInfo[3 * kImageFont + 1] = kFontLineHeight;
    game->imageInfo[3 * kImageFont + 2] = 128;
    game->imageInfo[3 * kImageIcons] = 32;
    game->imageInfo[3 * kImageIcons + 1] = 32;
    game->hdDrawScale = 1;
    for (int i = 0; i < 10; ++i) {
      game->touchX[i] = korvane::kUnset;
      game->touchY[i] = korvane::kUnset;
    }
    game->m_CLS2D(0, 0, 0, 1);
  }

  int RecordCount() const { return game->drawLen / korvane::kRecordFloats; }

  Record At(int n) const {
    const float* f = &game->drawList[n * korvane::kRecordFloats];
    return {f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[10], f[11], f[12]};
  }

  void Touch(int point, int x, int y) {
    game->touchDown[point] = 1;
    game->touchX[point] = x;
    game->touchY[point] = y;
    game->mouseDown = 1;
  }

  vl_Korvane_MyApp* game = nullptr;
};

TEST_F(DrawingTest, DrawStateSettersKeepOmittedArguments) {
  game->m_SetSize(2, korvane::kUnset);
  EXPECT_EQ(game->drawSizeX, 2);
  EXPECT_EQ(game->drawSizeY, 2);
  game->m_SetSize(2, 3);
  EXPECT_EQ(game->drawSizeY, 3);
  game->m_Alpha(0.25f);
  game->m_SetCol(10, 20, 30, korvane::kUnset);
  EXPECT_EQ(game->drawAlpha, 0.25f);
  EXPECT_EQ(game->drawBlue, 30);
  game->m_SetRot(90);
  EXPECT_EQ(game->drawRot, -90);

  game->m_CLS2D(1, 2, 3, 0.5f);
  game->m_Rect(0, 0, 1, 1);
  game->m_SetSize(4, korvane::kUnset);
  game->m_CLS2D(korvane::kUnset, 0, 0, 0);
  EXPECT_EQ(game->clearRed, 1) << "an omitted background must keep the old one";
  EXPECT_EQ(game->clearAlpha, 0.5f);
  EXPECT_EQ(game->drawLen, 0) << "clearing must start an empty list";
  EXPECT_EQ(game->drawSizeX, 1) << "clearing must reset the draw state";
  EXPECT_EQ(game->drawRed, 255);
}

TEST_F(DrawingTest, BackgroundTableCoversKindsOneToEightAndGreyOtherwise) {
  game->m_CLSMe(3);
  EXPECT_EQ(game->clearRed, 240);
  EXPECT_EQ(game->clearGreen, 160);
  EXPECT_EQ(game->clearBlue, 100);
  for (int kind : {0, 9, -1, 1000}) {
    game->m_CLSMe(kind);
    EXPECT_EQ(game->clearRed, 180) << kind;
    EXPECT_EQ(game->clearBlue, 180) << kind;
  }
  game->m_CLSMe(8);
  EXPECT_EQ(game->clearGreen, 100);
  EXPECT_EQ(game->clearAlpha, 1);
}

TEST_F(DrawingTest, RecordsCarryTheDrawStateAtTheTimeOfTheCall) {
  game->m_SetCol(10, 20, 30, 0.5f);
  game->m_SetRot(45);
  game->m_SetSize(2, 3);
  game->m_DrawImg(7, 11, 12, 4);
  game->m_Rect(1, 2, 30, 40);
  game->m_Oval(5, 6, 7, 8);
  ASSERT_EQ(RecordCount(), 3);
  const Record img = At(0), rect = At(1), oval = At(2);
  EXPECT_EQ(img.kind, 7);
  EXPECT_EQ(img.sx, 2);
  EXPECT_EQ(img.sy, 3);
  EXPECT_EQ(img.frame, 4);
  EXPECT_EQ(img.rot, -45);
  EXPECT_EQ(img.alpha, 0.5f);
  EXPECT_EQ(img.g, 20);
  EXPECT_EQ(rect.kind, korvane::kKindRect);
  EXPECT_EQ(rect.sx, 30);
  EXPECT_EQ(rect.sy, 40);
  EXPECT_EQ(rect.frame, 0);
  EXPECT_EQ(oval.kind, korvane::kKindOval);
  EXPECT_EQ(oval.x, 5);
  EXPECT_EQ(oval.sy, 8);
}

TEST_F(DrawingTest, FullListKeeps2499RecordsAndDropsTheRest) {
  for (int i = 0; i < 2499; ++i) game->m_Rect(static_cast<float>(i), 0, 1, 1);
  EXPECT_EQ(game->drawLen, 2499 * 15);
  game->m_Rect(-5, -5, 1, 1);
  game->m_DrawImg(1, 0, 0, 0);
  game->m_Text(0, 0, String("ABC"), 0, 0);
  EXPECT_EQ(game->drawLen, 2499 * 15) << "records past the capacity must be dropped";
  EXPECT_EQ(At(2498).x, 2498);
  game->m_CLS2D(korvane::kUnset, 0, 0, 0);
  game->m_Rect(9, 9, 1, 1);
  EXPECT_EQ(RecordCount(), 1) << "a new frame must have room again";
}

TEST_F(DrawingTest, TextLinesStartAtTheSameAlignedPoint) {
  game->m_Text(100, 50, String("AB\\nCD"), 1, 1);
  ASSERT_EQ(RecordCount(), 4);
  // Six characters count: the row of centres is 5 advances long, centred on x.
  const float startX = 100 - 5 * kFontAdvance / 2.0f;
  EXPECT_FLOAT_EQ(At(0).x, startX);
  EXPECT_FLOAT_EQ(At(0).y, 50);
  EXPECT_EQ(At(0).frame, 'A' - 32);
  EXPECT_FLOAT_EQ(At(1).x, startX + kFontAdvance);
  EXPECT_FLOAT_EQ(At(2).x, startX) << "the second line must not be re-aligned";
  EXPECT_FLOAT_EQ(At(2).y, 50 + kFontLineHeight);
  EXPECT_EQ(At(3).frame, 'D' - 32);
  EXPECT_EQ(At(0).kind, kImageFont);
}

TEST_F(DrawingTest, TextAlignmentPlacesFirstCentreOrLastCharacter) {
  game->m_Text(100, 50, String("ABC"), 0, 0);
  EXPECT_FLOAT_EQ(At(0).x, 100);
  EXPECT_FLOAT_EQ(At(0).y, 50 + kFontLineHeight / 2.0f) << "alignY 0 puts the top of the line at y";
  game->m_CLS2D(korvane::kUnset, 0, 0, 0);
  game->m_Text(100, 50, String("ABC"), 2, 2);
  EXPECT_FLOAT_EQ(At(2).x, 100) << "alignX 2 puts the last character's centre at x";
  EXPECT_FLOAT_EQ(At(2).y, 50 - kFontLineHeight / 2.0f);
  game->m_CLS2D(korvane::kUnset, 0, 0, 0);
  game->m_SetSize(2, korvane::kUnset);
  game->m_Text(0, 0, String("AB"), 0, 1);
  EXPECT_FLOAT_EQ(At(1).x, 2 * kFontAdvance) << "the advance scales with the size";
  EXPECT_EQ(At(1).sx, 2);
}

TEST_F(DrawingTest, RotatedTextRunsDownAndBreaksToTheLeft) {
  game->m_SetRot(90);
  game->m_Text(100, 100, String("AB\\nC"), 0, 1);
  ASSERT_EQ(RecordCount(), 3);
  EXPECT_NEAR(At(1).x, 100, 1e-4);
  EXPECT_NEAR(At(1).y, 100 + kFontAdvance, 1e-4);
  EXPECT_NEAR(At(2).x, 100 - kFontLineHeight, 1e-4);
  EXPECT_NEAR(At(2).y, 100, 1e-4);
  EXPECT_EQ(At(2).rot, -90);
}

TEST_F(DrawingTest, TextSkipsInvisibleCharactersButAdvancesForThem) {
  game->m_Text(0, 0, String(""), 0, 1);
  game->m_Text(0, 0, String("   "), 0, 1);
  EXPECT_EQ(RecordCount(), 0);

  const unsigned char units[] = {'A', ' ', 0, 200, 'B', '\\', 'x', '\\'};
  const String text(units, static_cast<int>(sizeof units));
  game->m_Text(0, 0, text, 0, 1);
  ASSERT_EQ(RecordCount(), 5);
  EXPECT_FLOAT_EQ(At(1).x, 3 * kFontAdvance) << "space and code 200 advance, code 0 does not";
  EXPECT_EQ(At(1).frame, 'B' - 32);
  EXPECT_EQ(At(2).frame, 60) << "a lone backslash draws its own frame";
  EXPECT_EQ(At(3).frame, 'x' - 32);
  EXPECT_EQ(At(4).frame, 60) << "a final backslash draws its own frame";
}

TEST_F(DrawingTest, ButtonHitNeedsATouchStrictlyInsideWhileHeld) {
  Touch(0, 116, 100);
  EXPECT_EQ(game->m_Button(kImageIcons, 100, 100, 0), 0) << "the right edge is outside";
  Touch(0, 115, 100);
  EXPECT_EQ(game->m_Button(kImageIcons, 100, 100, 0), 1);
  EXPECT_EQ(game->buttonHit, 1);
  EXPECT_EQ(game->lp, 10) << "the scan counts in the shared loop counter";
  Touch(0, 100, 84);
  EXPECT_EQ(game->m_Button(kImageIcons, 100, 100, 0), 0) << "the top edge is outside";
  Touch(0, 100, 85);
  game->mouseDown = 0;
  EXPECT_EQ(game->m_Button(kImageIcons, 100, 100, 0), 0) << "a released button must not hit";

  // Larger image levels draw at a smaller scale: the same virtual size.
  game->hdDrawScale = 0.5f;
  game->imageInfo[3 * kImageIcons] = 64;
  game->imageInfo[3 * kImageIcons + 1] = 64;
  Touch(0, 115, 100);
  EXPECT_EQ(game->m_Button(kImageIcons, 100, 100, 0), 1);
  Touch(0, 117, 100);
  EXPECT_EQ(game->m_Button(kImageIcons, 100, 100, 0), 0);

  game->m_SetSize(2, korvane::kUnset);
  EXPECT_EQ(game->m_Button(kImageIcons, 100, 100, 0), 1) << "the hit box grows with the size";
  EXPECT_EQ(RecordCount(), 7) << "every button draws its image";
}

TEST_F(DrawingTest, FirstButtonTestOnlyLooksAtPointZero) {
  game->touchX[0] = korvane::kUnset;
  game->touchY[0] = korvane::kUnset;
  Touch(1, 100, 100);
  EXPECT_EQ(game->m_Button(kImageIcons, 100, 100, 0), 1);
  game->buttonHit = 7;
  EXPECT_EQ(game->m_Button0(kImageIcons, 100, 100, 0), 0);
  EXPECT_EQ(game->buttonHit, 0) << "m_Button0 clears the last result first, as m_Button does";
  Touch(0, 90, 110);
  EXPECT_EQ(game->m_Button0(kImageIcons, 100, 100, 0), 1);
  EXPECT_EQ(game->buttonHit, 0) << "m_Button0 does not store its result";
}

TEST_F(DrawingTest, TextCountsItsCharactersInTheSharedLoopCounter) {
  game->m_Text(0, 0, String("AB\\nCD"), 0, 1);
  EXPECT_EQ(game->lp, 6) << "the text writer leaves the text's length in lp";
  game->m_Text(0, 0, String("X\\n"), 0, 1);
  EXPECT_EQ(game->lp, 3) << "a final line break is consumed whole";
}

TEST_F(DrawingTest, RadiusTestIsStrictAndIgnoresPointsThatAreUp) {
  Touch(3, 119, 50);
  EXPECT_EQ(game->m_MouseIn_Radius(100, 50, 40, 40), 1);
  Touch(3, 120, 50);
  EXPECT_EQ(game->m_MouseIn_Radius(100, 50, 40, 40), 0);
  Touch(3, 115, 65);
  EXPECT_EQ(game->m_MouseIn_Radius(100, 50, 40, 40), 1);
  game->touchDown[3] = 0;
  EXPECT_EQ(game->m_MouseIn_Radius(100, 50, 40, 40), 0) << "a point that is up must not count";
  game->mouseDown = 0;
  Touch(3, 100, 50);
  game->mouseDown = 0;
  EXPECT_EQ(game->m_MouseIn_Radius(100, 50, 40, 40), 1) << "the held flag of the point decides";
}

TEST_F(DrawingTest, RandomIntegersFollowTheSharedGenerator) {
  vl_random_Seed = 1234;
  EXPECT_EQ(game->m_Rand(1, 3), 3);  // 1 + 2.99 x 0.7143...
  EXPECT_EQ(static_cast<unsigned>(vl_random_Seed), 3067928073u);
  EXPECT_EQ(game->m_Rand(1, 3), 1);  // 1 + 2.99 x 0.2070...
  std::set<int> seen;
  for (int i = 0; i < 2000; ++i) {
    const int v = game->m_Rand(1, 3);
    ASSERT_GE(v, 1);
    ASSERT_LE(v, 3);
    seen.insert(v);
    ASSERT_EQ(game->m_Rand(5, 5), 5);
  }
  EXPECT_EQ(seen.size(), 3u);
}

TEST_F(DrawingTest, ScoreNumbersArePaddedAndCutToWidth) {
  EXPECT_EQ(Narrow(game->m_rstr(42, 5, String("0"))), "00042");
  EXPECT_EQ(Narrow(game->m_rstr(1234567, 5, String("0"))), "34567");
  EXPECT_EQ(Narrow(game->m_rstr(7, 11, String(" "))), "          7");
  EXPECT_EQ(Narrow(game->m_rstr(-5, 4, String("0"))), "00-5");
  EXPECT_EQ(Narrow(game->m_rstr(5, 0, String("0"))), "");
  EXPECT_EQ(Narrow(game->m_rstr(5, -3, String("0"))), "");
  EXPECT_EQ(Narrow(game->m_rstr(12345, 5, String("0"))), "12345") << "exactly the width: no pad";
  // Pads of another length: pad width + 1 times, then the last width units.
  EXPECT_EQ(Narrow(game->m_rstr(7, 4, String("ab"))), "bab7");
  EXPECT_EQ(Narrow(game->m_rstr(123, 5, String())), "23") << "no pad: the cut counts from the end twice";
}

TEST_F(DrawingTest, BadgeRecordsSplitIntoNameAndDetail) {
  EXPECT_EQ(Narrow(game->m_BadgeName(0)), "Test Badge");
  EXPECT_EQ(Narrow(game->m_BadgeDetail(0)), "This is a Test Badge which has no purpose.");
  EXPECT_EQ(Narrow(game->m_BadgeName(5)), "");
  EXPECT_EQ(Narrow(game->m_BadgeDetail(5)), "");
  EXPECT_EQ(Narrow(game->m_BadgeID(255)), "");
}

TEST_F(DrawingTest, BadgePopUpSlidesInStaysAndFreesItsSlot) {
  vl_Korvane_jscrh = 480;
  game->badgePopId[0] = 0;
  game->badgePopTimer[0] = 9;
  game->m_ShowBadges();
  EXPECT_EQ(game->badgePopTimer[0], 10);
  ASSERT_GE(RecordCount(), 2);
  EXPECT_EQ(At(0).kind, korvane::kKindRect);
  EXPECT_FLOAT_EQ(At(0).x, 0) << "fully on screen from timer 10";
  EXPECT_FLOAT_EQ(At(0).y, 480 - 34);

  game->m_CLS2D(korvane::kUnset, 0, 0, 0);
  game->badgePopTimer[2] = 240;
  game->badgePopTimer[0] = 0;
  game->m_ShowBadges();
  EXPECT_EQ(game->badgePopTimer[2], 0) << "the slot is free once the timer passes 240";
  ASSERT_GE(RecordCount(), 1);
  EXPECT_LT(At(0).x, -160) << "drawn once more, off screen";
  EXPECT_FLOAT_EQ(At(0).y, 480 - 3 * 34);

  game->m_CLS2D(korvane::kUnset, 0, 0, 0);
  game->m_ShowBadges();
  EXPECT_EQ(RecordCount(), 0) << "no pop-up, nothing drawn";
}

}  // namespace
