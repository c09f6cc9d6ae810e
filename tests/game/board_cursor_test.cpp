// The board played without a pointer: the cursor's keys (arrows, W/A/S/D, the
// game pad's stick and buttons), its moves on both orientations of the board,
// the frame it draws, and paths held with the first button and judged as a
// drag's are. Runs on the windowless game, calling the play update directly
// with keys put into the real input device, so the sanitizer build covers it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "framework/input.h"
#include "game/my_app.h"
#include "tests/support/windowless_game.h"

namespace {

constexpr int kCellStride = 10;
constexpr int kStoreColumns = 50;
// Framework key codes, written out so that a slip in the game's table shows.
constexpr int kLeft = 37, kUp = 38, kRight = 39, kDown = 40;
constexpr int kSpace = 32, kEnter = 13, kZ = 90, kW = 87, kA = 65, kS = 83, kD = 68;
constexpr int kEscape = 27;
constexpr int kPadButton0 = 256;
constexpr int kPadRight = 266;    // the pad's right direction (button 10)
constexpr int kFirstRepeat = 15;  // updates a held direction waits before it repeats
constexpr int kRepeatEvery = 6;

vl_Korvane_MyApp* Game() { return testsupport::WindowlessGame(); }
float* Cell(int c, int r) { return &Game()->cells[kCellStride * (c + kStoreColumns * r)]; }

void Down(int key) { vl_input_device->OnKeyDown(key); }
void Up(int key) { vl_input_device->OnKeyUp(key); }

class BoardCursor : public ::testing::Test {
 protected:
  void SetUp() override { Start(640, 480); }
  void TearDown() override {
    for (int key : {kLeft, kUp, kRight, kDown, kSpace, kEnter, kZ, kW, kA, kS, kD, kEscape, kPadButton0}) Up(key);
    vl_input_device->joyAxes[0] = 0;
    vl_input_device->joyAxes[1] = 0;
    vl_Korvane_jscrw = 640;
    vl_Korvane_jscrh = 480;
    g->landscape = 1;
    g->cursorShown = 0;
  }

  // A new game on a board at rest on a virtual screen of w x h, the pointer
  // still and up, the cursor hidden.
  void Start(float w, float h) {
    vl_Korvane_jscrw = w;
    vl_Korvane_jscrh = h;
    g->landscape = w >= h ? 1 : 0;
    g->settings[5] = 0;
    g->mode = 10;
    g->mouseDown = 0;
    g->mouseX = g->prevMouseX = 0;
    g->mouseY = g->prevMouseY = 0;
    for (int i = 0; i < 10; ++i) {
      g->touchDown[i] = 0;
      g->touchX[i] = g->touchY[i] = korvane::kUnset;
    }
    g->clickLatch = 0;
    g->cursorShown = 0;
    g->difficulty = 2;
    g->m_LoadGame();
    for (int i = 0; i < 400 && (g->moving == 1 || g->wasMoving == 1); ++i) g->m_Game();
  }

  // Holds the key for one update and lets it go in the next.
  void Tap(int key) {
    Down(key);
    g->m_Game();
    Up(key);
    g->m_Game();
  }

  void ShowCursorAt(int c, int r) {
    Tap(kRight);  // the first key only shows the cursor
    ASSERT_EQ(g->cursorShown, 1);
    g->cursorCol = c;
    g->cursorRow = r;
  }

  // Centre of the cursor's bright frame in the display list; false when the
  // list holds no frame.
  bool FrameCentre(float* x, float* y, bool* holding = nullptr) {
    float left = 1e9f, top = 1e9f, right = -1e9f, bottom = -1e9f;
    for (int at = 0; at < g->drawLen; at += korvane::kRecordFloats) {
      const float* rec = &g->drawList[at];
      const bool white = rec[10] == 255 && rec[11] == 255 && rec[12] == 255;
      const bool yellow = rec[10] == 255 && rec[11] == 220 && rec[12] == 40;
      if (rec[0] != korvane::kKindRect || rec[7] != 1 || !(white || yellow)) continue;
      if (holding != nullptr) *holding = yellow;
      left = std::min(left, rec[1]);
      top = std::min(top, rec[2]);
      right = std::max(right, rec[1] + rec[4]);
      bottom = std::max(bottom, rec[2] + rec[5]);
    }
    *x = (left + right) / 2;
    *y = (top + bottom) / 2;
    return right > left;
  }

  // Screen centre of cell (c, r) at rest.
  void CellCentre(int c, int r, float* x, float* y) {
    const float across = static_cast<float>(g->landscape == 1 ? g->gridCols : g->gridRows);
    const float down = static_cast<float>(g->landscape == 1 ? g->gridRows : g->gridCols);
    const float pitch = std::min(vl_Korvane_jscrw / across, vl_Korvane_jscrh / (down + 2));
    *x = g->boardX + pitch * static_cast<float>(g->landscape == 1 ? c : r);
    *y = g->boardY + pitch * static_cast<float>(g->landscape == 1 ? r : c);
  }

  vl_Korvane_MyApp* g = Game();
};

TEST_F(BoardCursor, HiddenUntilAKeyThenMovedByArrowsAndLettersWithRepeatAndStoppedAtTheEdges) {
  float x, y;
  g->m_Game();
  EXPECT_FALSE(FrameCentre(&x, &y)) << "no cursor before a key is used";
  Tap(kLeft);
  ASSERT_EQ(g->cursorShown, 1);
  EXPECT_EQ(g->cursorCol, 5) << "the first key shows the cursor in the middle and does not move it";
  EXPECT_EQ(g->cursorRow, 3);
  ASSERT_TRUE(FrameCentre(&x, &y));
  float cx, cy;
  CellCentre(5, 3, &cx, &cy);
  EXPECT_NEAR(x, cx, 0.01f);
  EXPECT_NEAR(y, cy, 0.01f);

  Tap(kLeft);
  EXPECT_EQ(g->cursorCol, 4);
  Tap(kUp);
  EXPECT_EQ(g->cursorRow, 2);
  Tap(kD);
  Tap(kS);
  EXPECT_EQ(g->cursorCol, 5);
  EXPECT_EQ(g->cursorRow, 3);
  Tap(kA);
  Tap(kW);
  EXPECT_EQ(g->cursorCol, 4);
  EXPECT_EQ(g->cursorRow, 2);

  // Held: one move at once, the next after the pause, then at the repeat rate.
  Down(kRight);
  g->m_Game();
  EXPECT_EQ(g->cursorCol, 5);
  for (int i = 1; i < kFirstRepeat; ++i) g->m_Game();
  EXPECT_EQ(g->cursorCol, 5);
  g->m_Game();
  EXPECT_EQ(g->cursorCol, 6);
  for (int i = 0; i < kRepeatEvery; ++i) g->m_Game();
  EXPECT_EQ(g->cursorCol, 7);
  for (int i = 0; i < 10 * kRepeatEvery; ++i) g->m_Game();
  EXPECT_EQ(g->cursorCol, 9) << "the cursor stops at the board's edge";
  Up(kRight);
  for (int i = 0; i < 4; ++i) Tap(kDown);
  EXPECT_EQ(g->cursorRow, 5);
  g->roundState = 2;  // the board slides off: no frame over the empty screen
  g->m_Game();
  EXPECT_FALSE(FrameCentre(&x, &y));
  g->roundState = 0;
  for (int i = 0; i < 12; ++i) Tap(kLeft);
  for (int i = 0; i < 8; ++i) Tap(kUp);
  EXPECT_EQ(g->cursorCol, 0);
  EXPECT_EQ(g->cursorRow, 0);
}

TEST_F(BoardCursor, HeldButtonDrawsAPathThroughSameKindNeighboursJudgedAsADrag) {
  for (int c = 0; c < 3; ++c) Cell(c, 0)[0] = 1;
  Cell(3, 0)[0] = 2;
  Cell(4, 0)[0] = 1;
  Cell(1, 1)[0] = 1;
  ASSERT_NO_FATAL_FAILURE(ShowCursorAt(0, 0));

  Down(kSpace);
  g->m_Game();
  EXPECT_EQ(Cell(0, 0)[6], 1) << "the held button takes the gem under the cursor";
  float x, y;
  bool holding = false;
  ASSERT_TRUE(FrameCentre(&x, &y, &holding));
  EXPECT_TRUE(holding) << "the frame shows that a path is held";
  Tap(kRight);
  Tap(kRight);
  Tap(kRight);  // onto the 2: not taken, the path goes on
  Tap(kRight);  // a 1 again, but not a neighbour of the path's last gem
  EXPECT_EQ(Cell(2, 0)[6], 1);
  EXPECT_EQ(Cell(3, 0)[6], 0);
  EXPECT_EQ(Cell(4, 0)[6], 0);
  EXPECT_EQ(g->pathLength, 3);
  EXPECT_EQ(g->combo, 0) << "nothing is judged while the button is held";
  Up(kSpace);
  g->m_Game();
  for (int c = 0; c < 3; ++c) EXPECT_EQ(Cell(c, 0)[7], 1) << c;
  EXPECT_EQ(Cell(4, 0)[7], 0);
  EXPECT_EQ(g->combo, 1);
  EXPECT_EQ(g->lastCol, -1);

  // While a path is held the combo clock stops its countdown of one per
  // update, as under a held pointer; a diagonal step takes nothing, and a
  // path of one is dropped.
  g->cursorCol = 2;
  g->cursorRow = 1;
  const float before = g->comboTimer;
  Down(kEnter);
  g->m_Game();
  EXPECT_FLOAT_EQ(g->comboTimer, before - 0.125f);
  Down(kLeft);
  Down(kUp);
  g->m_Game();
  EXPECT_EQ(Cell(1, 1)[6], 0) << "(1, 1) is not taken from a path ending at (2, 1)";
  Up(kLeft);
  Up(kUp);
  Up(kEnter);
  g->m_Game();
  EXPECT_EQ(Cell(2, 1)[6], 0);
  EXPECT_EQ(Cell(2, 1)[7], 0) << "a path of one is not marked";
  EXPECT_EQ(g->combo, 1);
}

TEST_F(BoardCursor, TurnedBoardMovesTheCursorTheWayTheArrowsPointOnScreen) {
  Start(360, 480);
  ASSERT_EQ(g->landscape, 0);
  ASSERT_NO_FATAL_FAILURE(ShowCursorAt(2, 2));
  g->m_Game();
  float x0, y0;
  ASSERT_TRUE(FrameCentre(&x0, &y0));
  Tap(kRight);
  EXPECT_EQ(g->cursorRow, 3) << "rows run left to right on the turned board";
  EXPECT_EQ(g->cursorCol, 2);
  float x1, y1;
  ASSERT_TRUE(FrameCentre(&x1, &y1));
  EXPECT_GT(x1, x0 + 10);
  EXPECT_NEAR(y1, y0, 0.01f);
  Tap(kDown);
  EXPECT_EQ(g->cursorCol, 3) << "columns run top to bottom";
  float x2, y2;
  ASSERT_TRUE(FrameCentre(&x2, &y2));
  EXPECT_NEAR(x2, x1, 0.01f);
  EXPECT_GT(y2, y1 + 10);
  for (int i = 0; i < 12; ++i) Tap(kDown);
  for (int i = 0; i < 12; ++i) Tap(kRight);
  EXPECT_EQ(g->cursorCol, 9);
  EXPECT_EQ(g->cursorRow, 5);

  // A path drawn downwards on the screen runs along a column of the store.
  for (int c = 5; c < 8; ++c) Cell(c, 0)[0] = 3;
  g->cursorCol = 5;
  g->cursorRow = 0;
  Down(kZ);
  Down(kDown);  // pressed together: the path starts where the cursor stood
  g->m_Game();
  EXPECT_EQ(Cell(5, 0)[6], 1);
  g->m_Game();
  EXPECT_EQ(Cell(6, 0)[6], 1);
  Up(kDown);
  g->m_Game();
  Tap(kDown);
  Up(kZ);
  g->m_Game();
  for (int c = 5; c < 8; ++c) EXPECT_EQ(Cell(c, 0)[7], 1) << c;
}

TEST_F(BoardCursor, GamePadStickDirectionsAndFirstButtonWorkTheCursor) {
  float* axes = vl_input_device->joyAxes;  // JoyX(0) reads axis 0, JoyY(0) axis 1
  for (int c = 0; c < 3; ++c) Cell(c, 2)[0] = 4;
  axes[0] = 0.9f;
  g->m_Game();
  axes[0] = 0;
  g->m_Game();
  ASSERT_EQ(g->cursorShown, 1);
  g->cursorCol = 0;
  g->cursorRow = 1;
  axes[1] = 0.9f;  // the stick down
  g->m_Game();
  axes[1] = 0;
  g->m_Game();
  EXPECT_EQ(g->cursorRow, 2);
  Down(kPadButton0);
  g->m_Game();
  for (int pad : {kPadRight, kPadRight}) {
    Down(pad);
    g->m_Game();
    Up(pad);
    g->m_Game();
  }
  Up(kPadButton0);
  g->m_Game();
  for (int c = 0; c < 3; ++c) EXPECT_EQ(Cell(c, 2)[7], 1) << c;
}

TEST_F(BoardCursor, PointerHidesItAndNoHoldCarriesOverFromBeforeARoundOrThroughThePause) {
  ASSERT_NO_FATAL_FAILURE(ShowCursorAt(4, 4));
  g->mouseX = 100;  // the pointer moved
  g->m_Game();
  EXPECT_EQ(g->cursorShown, 0);
  g->prevMouseX = 100;
  float x, y;
  EXPECT_FALSE(FrameCentre(&x, &y));
  Tap(kSpace);
  EXPECT_EQ(g->cursorShown, 1) << "a key shows it again";
  EXPECT_EQ(Cell(4, 4)[6] + Cell(4, 4)[7], 0) << "the key that shows it takes nothing";

  // A button held when the round starts waits for its release.
  Down(kSpace);
  g->m_NewRound();
  for (int i = 0; i < 400 && (g->moving == 1 || g->wasMoving == 1); ++i) g->m_Game();
  g->m_Game();
  EXPECT_EQ(g->pathLength, 0);
  Up(kSpace);
  g->m_Game();

  // The pause panel's keys do not reach the board.
  g->pauseActive = 1;
  g->pauseState = 1;
  Down(kSpace);
  g->m_Game();
  EXPECT_EQ(g->pathLength, 0);
  ASSERT_FALSE(FrameCentre(&x, &y)) << "the cursor is not drawn under the panel";
  Up(kSpace);
  g->pauseActive = 0;
  g->pauseState = -1;
  g->m_Game();
  ASSERT_TRUE(FrameCentre(&x, &y));
}

// Random presses and releases of every cursor control over whole games in
// three screen shapes, with the window turned now and then: the cursor stays
// on the grid, paths are marked, and the board stays a board.
TEST_F(BoardCursor, SoakOfRandomKeysKeepsTheCursorOnTheBoard) {
  const float shapes[][2] = {{640, 480}, {360, 480}, {640, 288}};
  const int keys[] = {kLeft, kUp, kRight, kDown, kW, kA, kS, kD, kSpace, kEnter, kZ, kPadButton0};
  std::srand(4321);
  int marked = 0;
  for (const auto& shape : shapes) {
    Start(shape[0], shape[1]);
    for (int update = 0; update < 3000 && g->gameOverFlag == 0; ++update) {
      const int key = keys[std::rand() % 12];
      if (std::rand() % 3 == 0) {
        Up(key);
      } else {
        Down(key);
      }
      if (update % 700 == 699) g->landscape = 1 - g->landscape;  // the window turned
      if (update % 500 == 499) g->timeLeft = 0;                  // reach the ends of rounds
      const int comboBefore = g->combo;
      g->m_Game();
      if (g->combo > comboBefore) ++marked;
      ASSERT_GE(g->cursorCol, 0);
      ASSERT_LT(g->cursorCol, g->gridCols);
      ASSERT_GE(g->cursorRow, 0);
      ASSERT_LT(g->cursorRow, g->gridRows);
      ASSERT_LE(g->pathLength, g->gridCols * g->gridRows);
      ASSERT_EQ(g->drawLen % korvane::kRecordFloats, 0);
    }
    for (int key : keys) Up(key);
  }
  EXPECT_GT(marked, 0) << "random keys should mark a path now and then";
}

}  // namespace
