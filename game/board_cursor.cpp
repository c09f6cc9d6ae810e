// The board cursor's keys, moves and frame.
#include "game/board_cursor.h"

#include "game/input_actions.h"

namespace korvane {

namespace {

// One bit per control the cursor listens to, in cursorKeys.
constexpr int kBitUp = 1;
constexpr int kBitLeft = 2;
constexpr int kBitRight = 4;
constexpr int kBitDown = 8;
constexpr int kBitButton = 16;
constexpr int kAllControls = kBitUp | kBitLeft | kBitRight | kBitDown | kBitButton;
constexpr int kDirections = kBitUp | kBitLeft | kBitRight | kBitDown;

// A direction held down moves the cursor once, then again after a pause and
// from then on every few updates, like a key's own repeat.
constexpr int kFirstRepeat = 15;  // updates: a quarter second
constexpr int kRepeatEvery = 6;   // updates: ten cells a second

// The frame: a dark rim under a bright one, set in from the cell's edge.
constexpr float kFrameInset = 0.04f;      // of the pitch
constexpr float kFrameThickness = 0.08f;  // of the pitch
constexpr float kFrameMinThickness = 2;   // virtual pixels
constexpr float kRimAlpha = 0.6f;
constexpr int kBoardLeaving = 2;  // roundState while the board slides off the screen

struct Rgb {
  float r, g, b;
};
constexpr Rgb kRim{20, 20, 40};
constexpr Rgb kIdleFrame{255, 255, 255};
constexpr Rgb kHoldingFrame{255, 220, 40};  // the button holds a path

int controlsDown(vl_Korvane_MyApp& g) {
  int down = 0;
  if (g.m_PlayKey(kActionUp) != 0) down |= kBitUp;
  if (g.m_PlayKey(kActionLeft) != 0) down |= kBitLeft;
  if (g.m_PlayKey(kActionRight) != 0) down |= kBitRight;
  if (g.m_PlayKey(kActionDown) != 0) down |= kBitDown;
  if (g.m_PlayKey(kActionFirstButton) != 0) down |= kBitButton;
  return down;
}

bool pointerUsed(const vl_Korvane_MyApp& g) {
  return g.mouseDown > 0 || g.mouseX != g.prevMouseX || g.mouseY != g.prevMouseY;
}

int clampTo(int v, int low, int high) { return v < low ? low : (v > high ? high : v); }

// Moves the cursor by the directions in `dirs` as they point on the screen:
// across is the column in landscape and the row on the turned board.
void moveBy(vl_Korvane_MyApp& g, int dirs) {
  const int across = ((dirs & kBitRight) != 0 ? 1 : 0) - ((dirs & kBitLeft) != 0 ? 1 : 0);
  const int down = ((dirs & kBitDown) != 0 ? 1 : 0) - ((dirs & kBitUp) != 0 ? 1 : 0);
  const int dc = g.landscape == 1 ? across : down;
  const int dr = g.landscape == 1 ? down : across;
  g.cursorCol = clampTo(g.cursorCol + dc, 0, g.gridCols - 1);
  g.cursorRow = clampTo(g.cursorRow + dr, 0, g.gridRows - 1);
}

void stepDirections(vl_Korvane_MyApp& g, int down, int fresh) {
  if ((fresh & kDirections) != 0) {
    moveBy(g, fresh & kDirections);
    g.cursorRepeat = kFirstRepeat;
  } else if ((down & kDirections) != 0 && --g.cursorRepeat <= 0) {
    moveBy(g, down & kDirections);
    g.cursorRepeat = kRepeatEvery;
  }
}

void drawFrame(vl_Korvane_MyApp& g, float left, float top, float size, float thickness) {
  g.m_Rect(left, top, size, thickness);
  g.m_Rect(left, top + size - thickness, size, thickness);
  g.m_Rect(left, top + thickness, thickness, size - 2 * thickness);
  g.m_Rect(left + size - thickness, top + thickness, thickness, size - 2 * thickness);
}

}  // namespace

void RunBoardCursor(vl_Korvane_MyApp& g) {
  const int down = controlsDown(g);
  const int fresh = down & ~g.cursorKeys;
  g.cursorKeys = down;
  if (g.cursorHeld == 0 && pointerUsed(g)) g.cursorShown = 0;
  if (g.pauseActive != 0 || g.gameOverFlag != 0) {
    g.cursorHeld = 0;
    return;
  }
  if (g.cursorShown == 0) {
    // The first key shows where the cursor stands and does nothing else.
    if (fresh != 0) g.cursorShown = 1;
    g.cursorRepeat = kFirstRepeat;
    return;
  }
  if ((fresh & kBitButton) != 0) {
    // The path starts where the cursor stood; a direction pressed in the same
    // update moves it in the next, still as a fresh press.
    g.cursorHeld = 1;
    g.cursorKeys &= ~(fresh & kDirections);
    return;
  }
  if ((down & kBitButton) == 0) g.cursorHeld = 0;
  stepDirections(g, down, fresh);
}

bool CursorHoldsCell(const vl_Korvane_MyApp& g, int c, int r) {
  return g.cursorHeld != 0 && c == g.cursorCol && r == g.cursorRow;
}

void RestartBoardCursor(vl_Korvane_MyApp& g) {
  g.cursorHeld = 0;
  g.cursorKeys = kAllControls;
  g.cursorCol = clampTo(g.cursorCol, 0, g.gridCols - 1);
  g.cursorRow = clampTo(g.cursorRow, 0, g.gridRows - 1);
}

void DrawBoardCursor(vl_Korvane_MyApp& g, float x, float y, float pitch) {
  if (g.cursorShown == 0 || g.pauseActive != 0 || g.gameOverFlag != 0) return;
  if (g.roundState == kBoardLeaving) return;  // no frame over an empty screen
  const float inset = kFrameInset * pitch;
  const float size = pitch - 2 * inset;
  float thickness = kFrameThickness * pitch;
  if (thickness < kFrameMinThickness) thickness = kFrameMinThickness;
  const float left = x - pitch / 2 + inset;
  const float top = y - pitch / 2 + inset;
  g.m_SetCol(kRim.r, kRim.g, kRim.b, kRimAlpha);
  drawFrame(g, left - 1, top - 1, size + 2, thickness + 2);
  const Rgb frame = g.cursorHeld != 0 ? kHoldingFrame : kIdleFrame;
  g.m_SetCol(frame.r, frame.g, frame.b, 1);
  drawFrame(g, left, top, size, thickness);
}

}  // namespace korvane
