// The play field: a grid of gems that fall into place, paths dragged through
// same-kind neighbours, combos that shatter marked gems into fragments, the
// round's time and combo bars, and the end of a round (a new round when its
// target was reached, the end of the game otherwise); and m_Rand, the random
// integers the board is drawn from.
//
// The grid store has room for 50 x 50 cells of 10 floats; only 10 x 6 are
// used. Landscape screens show column c left to right and row r top to bottom
// with gravity toward higher r; portrait screens turn the board a quarter, so
// r runs left to right, c top to bottom and gravity pulls toward higher c. The
// rules themselves only know "the cell above", which is the spare empty cell
// at store index 6250 for a cell on the top edge.
#include <cmath>
#include <cstdlib>

#include "framework/app.h"
#include "framework/random.h"
#include "framework/replay.h"
#include "game/board_cursor.h"
#include "game/modes.h"
#include "game/my_app.h"
#include "game/screen_fit.h"
#include "game/slots.h"
#include "game/texts.h"
#include "runtime/errors.h"

using namespace korvane;

namespace {

// Floats of one grid cell.
constexpr int kCellStride = 10;
constexpr int kCellKind = 0;
constexpr int kCellOffset = 2;  // fall offset in cells: < 0 above its place, > 0 sliding off
constexpr int kCellFlip = 5;    // flip angle in degrees, 0..180
constexpr int kCellInPath = 6;
constexpr int kCellMarked = 7;
constexpr int kStoreColumns = 50;  // the store is laid out 50 cells to a row
// A cell that no rule ever fills: what "the cell above" is for the top edge.
constexpr int kEmptyCellIndex = 6250;

// Floats of one fragment slot.
constexpr int kParticleStride = 10;
constexpr int kParticleSlots = 101;
constexpr int kPartKind = 0;
constexpr int kPartX = 1;
constexpr int kPartY = 2;
constexpr int kPartSpeedX = 3;
constexpr int kPartSpeedY = 4;
constexpr int kPartAngle = 5;
constexpr int kPartSpin = 6;
constexpr int kPartAlpha = 7;
constexpr int kFragmentsPerBurst = 4;

// Board geometry.
constexpr int kGridColumns = 10;
constexpr int kGridRows = 6;
constexpr float kGemPixels = 32;  // frame size of a gem at cell scale 1
constexpr float kHalfGem = 16;
constexpr float kBoardVisibleMargin = 64;  // a cell this far below the bottom edge is gone
constexpr float kPathTouchSize = 28;       // touch area of a gem at cell scale 1
constexpr float kMarkerOuterRadius = 20;
constexpr float kMarkerInnerRadius = 18;

// Round rules, in updates.
constexpr int kComboTime = 90;   // combo timer after each accepted path
constexpr int kRoundTime = 900;  // still updates in a round
constexpr int kShortestPath = 3;
constexpr int kTargetPerLevel = 10;  // round target = round x difficulty x this
constexpr int kSeedDiscards = 100;   // draws thrown away after reseeding a round
constexpr int kSpawnOffset = -4;     // a new gem starts this many cells above its place
constexpr float kLeavingOffset = 0.25f;
constexpr int kPanelHidden = -64;  // pauseSlide of a closed pause panel
constexpr float kComboDrainPerPath = 0.125f;
constexpr float kComboDrainAbove = 5;  // the per-path drain stops at this timer value
constexpr int kScoreEasing = 6;        // the shown score closes 1/6 of the gap per update
constexpr int kScoreSnap = 5;

// Fall speeds in cells per update: fast while far above, slow for the last cell.
constexpr float kFarFallBase = 0.3f, kFarFallRandom = 0.3f;
constexpr float kNearFallBase = 0.08f, kNearFallRandom = 0.06f;
constexpr float kLeaveBase = 0.2f, kLeaveRandom = 0.4f;
constexpr float kFlipBase = 24, kFlipRandom = 8;  // degrees per update
constexpr float kFlipMax = 180;

constexpr float kMaxAcceptRate = 2.5f;

// Texts at size 2, and the two bars.
constexpr float kTextSize = 2;
constexpr float kBarLeft = 32;
constexpr float kTimeBarTop = 4;
constexpr float kComboBarTop = 28;
constexpr float kBarHeight = 24;
constexpr float kBarAlpha = 0.85f;
constexpr int kTimeColourCap = 255;
constexpr float kRoundLineY = 24;
// Half the height of a gem's picture, in cell pitches: the picture does not
// fill its cell, and the top rows of a character cell are blank, so a text
// cell reaching less far into the last row's cells covers no gem.
constexpr float kGemInk = 0.35f;
constexpr float kTextGap = 4;  // virtual pixels between a text and what it keeps clear of

int cellIndex(int c, int r) { return kCellStride * (c + kStoreColumns * r); }

bool onTopEdge(const vl_Korvane_MyApp& g, int c, int r) { return g.landscape == 1 ? r == 0 : c == 0; }

// The cell that falls into (c, r): one row up in landscape, one column left
// in portrait; the spare empty cell above the top edge.
int cellAboveIndex(const vl_Korvane_MyApp& g, int c, int r) {
  if (onTopEdge(g, c, r)) return kEmptyCellIndex;
  return g.landscape == 1 ? cellIndex(c, r - 1) : cellIndex(c - 1, r);
}

struct Board {
  float cellScale;  // E: gem size / 32
  float pitch;      // S: distance between cell centres
};

// Cell scale and the centre of cell (0, 0): the board leaves room for two
// extra cells along its height and sits half a cell below the screen centre.
Board placeBoard(vl_Korvane_MyApp& g) {
  const float w = vl_Korvane_jscrw;
  const float h = vl_Korvane_jscrh;
  const float across = static_cast<float>(g.landscape == 1 ? g.gridCols : g.gridRows);
  const float down = static_cast<float>(g.landscape == 1 ? g.gridRows : g.gridCols);
  const float e = std::fmin(w / across, h / (down + 2)) / kGemPixels;
  g.boardX = w / 2 - kHalfGem * (across - 1) * e;
  g.boardY = h / 2 - kHalfGem * (down - 2) * e;
  return {e, kGemPixels * e};
}

// Screen position of cell (c, r) at rest.
void cellPlace(const vl_Korvane_MyApp& g, const Board& b, int c, int r, float& x, float& y) {
  const float along = static_cast<float>(g.landscape == 1 ? c : r);
  const float down = static_cast<float>(g.landscape == 1 ? r : c);
  x = g.boardX + b.pitch * along;
  y = g.boardY + b.pitch * down;
}

// Fills an empty cell that rests: the cell above falls into it, or a new gem
// appears above the top edge.
void fillCell(vl_Korvane_MyApp& g, int c, int r) {
  float* cell = &g.cells[cellIndex(c, r)];
  float* above = &g.cells[cellAboveIndex(g, c, r)];
  if (cell[kCellKind] != 0 || cell[kCellOffset] != 0 || above[kCellOffset] != 0) return;
  if (!onTopEdge(g, c, r)) {
    for (int i = 0; i < kCellStride; ++i) {
      cell[i] = above[i];
      above[i] = 0;
    }
    cell[kCellOffset] = -1;
    g.settling = 10;
    g.moving = 1;
  } else {
    cell[kCellKind] = static_cast<float>(g.m_Rand(1, g.gemKinds));
    cell[kCellOffset] = kSpawnOffset;
    g.moving = 1;
  }
}

// Falling gems ease into place; a board that is leaving keeps sliding down
// without counting as movement.
void moveOffset(vl_Korvane_MyApp& g, float* cell) {
  float& offset = cell[kCellOffset];
  if (offset < -1) {
    g.moving = 1;
    offset += kFarFallBase + kFarFallRandom * vl_random_Rnd();
  }
  if (offset < 0) {
    g.moving = 1;
    offset += kNearFallBase + kNearFallRandom * vl_random_Rnd();
    if (offset > 0) offset = 0;
  }
  if (offset > 0) offset += kLeaveBase + kLeaveRandom * vl_random_Rnd();
}

void drawMarker(vl_Korvane_MyApp& g, float x, float y, float e) {
  g.m_SetCol(0, 105, 0, 0.25f);
  g.m_Oval(x, y, kMarkerOuterRadius * e, kMarkerOuterRadius * e);
  g.m_SetCol(100, 255, 100, 0.5f);
  g.m_SetSize(1, kUnset);
  g.m_Oval(x, y, kMarkerInnerRadius * e, kMarkerInnerRadius * e);
  g.m_SetSize(e, kUnset);
  g.m_SetCol(255, 255, 255, 1);
}

bool isNeighbourOfLast(const vl_Korvane_MyApp& g, int c, int r) {
  return (r == g.lastRow && std::abs(c - g.lastCol) == 1) || (c == g.lastCol && std::abs(r - g.lastRow) == 1);
}

// A pointer or touch held down, or the board cursor's button held.
bool pathHeld(const vl_Korvane_MyApp& g) { return g.mouseDown > 0 || g.cursorHeld != 0; }

// Whether a held pointer lies on the gem drawn at (x, y), with a press that
// began on the board.
bool pointerOnGem(vl_Korvane_MyApp& g, const Board& b, float x, float y) {
  if (g.mouseDown <= 0) return false;
  const float touch = kPathTouchSize * b.cellScale;
  return g.m_MouseIn_Radius(x, y, touch, touch) != 0 && g.clickLatch == 0;
}

// Takes the gem under a held pointer or the holding board cursor into the
// path: the first gem of a path is any gem, every later one a direct
// neighbour of the last of the same kind.
void takeIntoPath(vl_Korvane_MyApp& g, const Board& b, int c, int r, float x, float y) {
  float* cell = &g.cells[cellIndex(c, r)];
  if (!pointerOnGem(g, b, x, y) && !CursorHoldsCell(g, c, r)) return;
  if (cell[kCellMarked] == 1 || cell[kCellInPath] == 1 || g.canSelect != 1) return;
  const int kind = static_cast<int>(cell[kCellKind]);
  const bool accepted = g.lastCol == -1 || (isNeighbourOfLast(g, c, r) && kind == g.pathKind);
  if (!accepted) return;
  g.pathKind = kind;
  cell[kCellInPath] = 1;
  g.pathLength += 1;
  g.m_PlaySFX(kSfxGemTaken, static_cast<float>(g.pathLength) / 10 + 0.5f, 1, 0);
  g.lastCol = c;
  g.lastRow = r;
}

// One cell of the update: fill, move, draw, flip and take into the path.
// Returns whether the cell is in the path.
bool runCell(vl_Korvane_MyApp& g, const Board& b, int c, int r) {
  float* cell = &g.cells[cellIndex(c, r)];
  if (cell[kCellMarked] == 1) g.markedCount += 1;
  fillCell(g, c, r);
  if (cell[kCellFlip] > 0) g.settling = 1;
  float x, y;
  cellPlace(g, b, c, r, x, y);
  y += b.pitch * cell[kCellOffset];
  moveOffset(g, cell);

  const bool inPath = cell[kCellInPath] == 1;
  g.m_Alpha(inPath ? 1.0f : 0.9f);
  g.m_SetRot(cell[kCellFlip]);
  const int kind = static_cast<int>(std::floor(cell[kCellKind]));
  if (kind > 0) g.m_DrawImg(kImageGems, x, y, static_cast<float>(kind - 1));

  const float flipStep = kFlipBase + kFlipRandom * vl_random_Rnd();
  float& flip = cell[kCellFlip];
  flip += inPath ? flipStep : -flipStep;
  if (flip < 0) flip = 0;
  if (flip > kFlipMax) flip = kFlipMax;

  if (cell[kCellMarked] == 1) {
    flip = kFlipMax;
    drawMarker(g, x, y, b.cellScale);
  }
  if (y < vl_Korvane_jscrh + kBoardVisibleMargin) g.boardVisible = 1;
  takeIntoPath(g, b, c, r, x, y);
  return inPath;
}

// Judges the released path: three or more gems of one kind are marked and
// extend the combo; anything shorter is dropped.
void judgePath(vl_Korvane_MyApp& g) {
  int kind = -1;
  int count = 0;
  for (int c = 0; c < g.gridCols; ++c) {
    for (int r = 0; r < g.gridRows; ++r) {
      const float* cell = &g.cells[cellIndex(c, r)];
      if (cell[kCellInPath] != 1) continue;
      const int cellKind = static_cast<int>(cell[kCellKind]);
      if (count == 0) {
        kind = cellKind;
        count = 1;
      } else if (cellKind == kind) {
        count += 1;
      } else {
        kind = -2;
      }
    }
  }
  const bool success = kind >= 0 && count >= kShortestPath;
  DebugLog(String(texts::kFoundPath) + String(success ? 1 : 0) + String(",") + String(count) + String(",") +
           String(kind));
  if (success) {
    g.m_PlaySFX(kSfxPathAccepted, std::fmin(0.5f + 0.1f * static_cast<float>(g.combo), kMaxAcceptRate), 1, 0);
  } else if (kind >= 0) {
    g.m_PlaySFX(kSfxPathShort, 1, 1, 0);
  }
  for (int c = 0; c < g.gridCols; ++c) {
    for (int r = 0; r < g.gridRows; ++r) {
      float* cell = &g.cells[cellIndex(c, r)];
      if (cell[kCellInPath] != 1) continue;
      cell[kCellInPath] = 0;
      cell[kCellMarked] = success ? 1 : 0;
    }
  }
  if (success) {
    g.comboTimer = static_cast<float>(g.comboTime);
    g.combo += 1;
  }
  g.pathLength = 0;
}

// The round's time runs only in updates in which nothing on the board moved;
// when it runs out the round is up (the board leaves once combos are done).
void countRoundTime(vl_Korvane_MyApp& g) {
  if (g.moving == 0) g.timeLeft -= 1;
  if (g.timeLeft < 0) {
    g.timeLeft = 0;
    if (g.roundState == 0) g.roundState = 1;
  }
}

// The bar's length shows the time left; over the last 255 updates its colour
// fades to dark red. The colour is taken from the time as it stood before this
// update counted.
void drawTimeBar(vl_Korvane_MyApp& g, int colourTime) {
  const int t = colourTime < kTimeColourCap ? colourTime : kTimeColourCap;
  g.m_SetCol(63, static_cast<float>(t / 4), static_cast<float>((t / 2) / 4), kBarAlpha);
  const float span = vl_Korvane_jscrw - 2 * kBarLeft;
  const float width = span / static_cast<float>(g.timeMax) * static_cast<float>(g.timeLeft);
  g.m_Rect(kBarLeft, kTimeBarTop, static_cast<float>(static_cast<int>(width)), kBarHeight);
}

void drawComboBar(vl_Korvane_MyApp& g) {
  g.m_SetCol(0, 80, 0, kBarAlpha);
  const float width = (vl_Korvane_jscrw - 2 * kBarLeft) / static_cast<float>(g.comboTime) * g.comboTimer;
  g.m_Rect(kBarLeft, kComboBarTop, static_cast<float>(static_cast<int>(width)), kBarHeight);
}

// The combo timer runs down by one per update while no path is held, and by
// a share per path in the combo while it is above the drain limit.
void runComboTimer(vl_Korvane_MyApp& g) {
  if (!pathHeld(g)) g.comboTimer -= 1;
  if (g.comboTimer > kComboDrainAbove) g.comboTimer -= kComboDrainPerPath * static_cast<float>(g.combo);
}

// When the combo timer runs out every marked gem shatters; the round scores
// the marked count times the paths of the combo.
void shatter(vl_Korvane_MyApp& g, const Board& b) {
  if (g.comboTimer >= 0) return;
  if (g.combo >= 1) {
    bool any = false;
    for (int c = 0; c < g.gridCols; ++c) {
      for (int r = 0; r < g.gridRows; ++r) {
        float* cell = &g.cells[cellIndex(c, r)];
        if (cell[kCellMarked] != 1) continue;
        float x, y;
        cellPlace(g, b, c, r, x, y);
        g.m_Burst(x, y, static_cast<int>(cell[kCellKind]));
        cell[kCellKind] = 0;
        cell[kCellFlip] = 0;
        cell[kCellInPath] = 0;
        cell[kCellMarked] = 0;
        g.wasMoving = 1;
        g.settling = 1;
        g.boardVisible = 1;
        g.moving = 1;
        any = true;
      }
    }
    g.roundScore += g.markedCount * g.combo;
    if (any) g.m_PlaySFX(kSfxShatter, 1, 1, 0);
  }
  g.combo = 0;
  g.comboTimer = 0;
}

void runFragments(vl_Korvane_MyApp& g, float cellScale) {
  const float w = vl_Korvane_jscrw;
  const float h = vl_Korvane_jscrh;
  g.m_ResetDraw();
  g.m_SetSize(cellScale * 0.5f, kUnset);
  for (int i = 0; i < kParticleSlots; ++i) {
    float* p = &g.particles[kParticleStride * i];
    if (p[kPartKind] <= 0) continue;
    p[kPartX] += p[kPartSpeedX];
    p[kPartY] += p[kPartSpeedY];
    p[kPartAngle] += p[kPartSpin];
    g.m_Alpha(p[kPartAlpha]);
    p[kPartAlpha] -= 0.01f + 0.01f * vl_random_Rnd();
    g.m_SetRot(p[kPartAngle]);
    g.m_DrawImg(kImageGems, p[kPartX], p[kPartY], p[kPartKind] - 1);
    const float x = p[kPartX], y = p[kPartY];
    if (x < -32 || x > w + 32 || y < -32 || y > h + 32 || p[kPartAlpha] < 0.01f) p[kPartKind] = 0;
  }
}

// Once the time is up and the last combo has shattered the board slides off;
// when it has left, the next round starts or the game ends.
void runEndOfRound(vl_Korvane_MyApp& g) {
  if (!(g.comboTimer < 1 && g.timeLeft <= 0)) return;
  if (g.roundState <= 1 && g.wasMoving == 0 && g.settling == 0) {
    g.roundState = 2;
    for (int c = 0; c < g.gridCols; ++c) {
      for (int r = 0; r < g.gridRows; ++r) g.cells[cellIndex(c, r) + kCellOffset] = kLeavingOffset;
    }
    g.boardVisible = 1;
    g.m_PlaySFX(g.roundScore >= g.roundTarget ? kSfxRoundCleared : kSfxRoundFailed, 1, 1, 0);
  } else if (g.roundState == 2 && g.boardVisible == 0) {
    if (g.roundScore >= g.roundTarget) {
      g.m_NewRound();
    } else if (g.gameOverFlag == 0) {
      g.score += g.roundScore;
      g.gameOverFlag = 1;
    }
  }
}

void drawCursor(vl_Korvane_MyApp& g, const Board& b) {
  float x, y;
  cellPlace(g, b, g.cursorCol, g.cursorRow, x, y);
  DrawBoardCursor(g, x, y, b.pitch);
}

void easeShownScore(vl_Korvane_MyApp& g) {
  const int gap = g.shownScore - g.score;
  g.shownScore -= gap / kScoreEasing;
  if (std::abs(g.shownScore - g.score) <= kScoreSnap) g.shownScore = g.score;
}

// Where a text that keeps clear of something must stand: at its place when
// it is clear of the left limit, else moved right of it, shrunk to the room
// between the limit and the right margin when that is too narrow. The size is
// left set for the text; returns the centre x (the text is centred on it).
float placeClearOnTheRight(vl_Korvane_MyApp& g, float x, float y, const String& text, float alignY, float leftLimit) {
  const Box box = TextBox(g, x, y, text, 1, alignY);
  if (box.left >= leftLimit) return x;
  const float width = box.right - box.left;
  const float room = vl_Korvane_jscrw - kScreenMargin - leftLimit;
  float size = kTextSize;
  if (width > room) size = kTextSize * room / width;
  g.m_SetSize(size, kUnset);
  return leftLimit + width * size / kTextSize / 2;
}

// The round line at the top centre, clear of the pause button in the corner.
void drawRoundLine(vl_Korvane_MyApp& g) {
  const String line = g.m_rstr(g.roundScore, 5, String("0")) + String(" : ") + g.m_rstr(g.roundTarget, 5, String("0"));
  const float clear = kPauseButtonCentre + HalfImageWidth(g, kIconSheet, 1) + kTextGap;
  const float x = placeClearOnTheRight(g, vl_Korvane_jscrw / 2, kRoundLineY, line, 1.4f, clear);
  WriteTextInside(g, x, kRoundLineY, line, 1, 1.4f);
  g.m_SetSize(kTextSize, kUnset);
}

// The total against the bottom right corner; where that would cover the
// board's last gems (a wide, low screen) it shrinks into the room right of
// the board.
void drawTotal(vl_Korvane_MyApp& g, const Board& b) {
  const float w = vl_Korvane_jscrw;
  const float h = vl_Korvane_jscrh;
  const String total = g.m_rstr(g.shownScore, 11, String("0"));
  const float lastColumn = g.boardX + b.pitch * static_cast<float>(g.gridCols - 1);
  const float lastRow = g.boardY + b.pitch * static_cast<float>(g.gridRows - 1);
  const float boardRight = lastColumn + b.pitch / 2;
  Box box = TextBox(g, w, h - 4, total, 2, 1.8f);
  float dx = 0, dy = 0;
  ShiftInside(box, dx, dy);
  const bool overGems = box.top + dy < lastRow + kGemInk * b.pitch && box.left + dx < boardRight;
  if (g.landscape == 1 && overGems) {
    const float room = w - kScreenMargin - boardRight - kTextGap;
    const float width = box.right - box.left;
    if (room > 0 && width > room) g.m_SetSize(kTextSize * room / width, kUnset);
  }
  WriteTextInside(g, w, h - 4, total, 2, 1.8f);
  g.m_SetSize(kTextSize, kUnset);
}

void drawTexts(vl_Korvane_MyApp& g, const Board& b) {
  const float w = vl_Korvane_jscrw;
  g.m_SetCol(255, 255, 255, 1);
  g.m_SetSize(kTextSize, kUnset);
  // Each text keeps its place where the screen has room; the total, set
  // against the bottom right corner, moves in by the margin.
  drawRoundLine(g);
  drawTotal(g, b);
  if (g.markedCount > 0) {
    WriteTextInside(g, w / 2, 48, String(" ") + String(g.combo) + String(" x ") + String(g.markedCount), 0.8f, 1.4f);
  }
}

}  // namespace

int vl_Korvane_MyApp::m_LoadGame() {
  vl_replay_GameBegins();
  score = 0;
  gameOverFlag = 0;
  gameOverTimer = 0;
  mode = kModePlaying;
  gemKinds = difficulty + 2;
  gridCols = kGridColumns;
  gridRows = kGridRows;
  level = 0;
  roundScore = 0;
  cursorCol = gridCols / 2;  // the board cursor starts in the middle
  cursorRow = gridRows / 2;
  // A panel left open by the last game (or by a suspend during its overlay)
  // does not carry over into this one.
  pauseActive = 0;
  pauseState = -1;
  pauseSlide = kPanelHidden;
  m_NewRound();
  return 0;
}

int vl_Korvane_MyApp::m_NewRound() {
  targetJingle = 0;
  // Each round's board is drawn from the clock.
  vl_random_Seed = vl_app_Millisecs();
  for (int i = 0; i < kSeedDiscards; ++i) m_Rand(1, 10);
  // After a quit the score is already final: a round the board finishes
  // during the game-over overlay adds nothing.
  if (gameOverFlag == 0) score += roundScore;
  level += 1;
  roundScore = 0;
  roundTarget = level * difficulty * kTargetPerLevel;
  for (int c = 0; c < gridCols; ++c) {
    for (int r = 0; r < gridRows; ++r) {
      float* cell = &cells[cellIndex(c, r)];
      cell[kCellKind] = static_cast<float>(m_Rand(1, gemKinds));
      cell[kCellOffset] = static_cast<float>(r - 10);  // every gem falls in from above
      cell[kCellFlip] = 0;
      cell[kCellInPath] = 0;
      cell[kCellMarked] = 0;
    }
  }
  comboTime = kComboTime;
  combo = 0;
  comboTimer = 0;
  timeMax = kRoundTime;
  timeLeft = kRoundTime;
  roundState = 0;
  clickLatch = 1;             // a press still held from before does not start a path
  RestartBoardCursor(*this);  // nor does a key
  moving = 1;
  wasMoving = 1;
  return 0;
}

int vl_Korvane_MyApp::m_Game() {
  m_CLSMe(level % 9);
  const Board board = placeBoard(*this);
  m_SetSize(board.cellScale, kUnset);
  wasMoving = moving;
  moving = 0;
  canSelect = 1;
  markedCount = 0;
  boardVisible = 0;
  settling = 0;
  if (wasMoving == 1) canSelect = 0;
  if (roundState > 0 && combo == 0 && comboTimer < 1) canSelect = 0;
  RunBoardCursor(*this);

  bool selected = false;
  for (int c = 0; c < gridCols; ++c) {
    for (int r = 0; r < gridRows; ++r) {
      if (runCell(*this, board, c, r)) selected = true;
    }
  }
  drawCursor(*this, board);
  if (!pathHeld(*this)) {
    lastCol = -1;
    lastRow = -1;
    pathKind = -1;
    if (selected) judgePath(*this);
  }
  const int timeBefore = timeLeft;
  countRoundTime(*this);
  drawTimeBar(*this, timeBefore);
  drawComboBar(*this);
  runComboTimer(*this);
  shatter(*this, board);
  if (roundScore + combo * markedCount > roundTarget && targetJingle == 0) {
    targetJingle = 1;
    m_PlaySFX(kSfxTargetReached, 1, 1, 0);
  }
  runFragments(*this, board.cellScale);
  m_ResetDraw();
  runEndOfRound(*this);
  easeShownScore(*this);
  drawTexts(*this, board);
  return 0;
}

int vl_Korvane_MyApp::m_Burst(float x, float y, int kind) {
  for (int n = 0; n < kFragmentsPerBurst; ++n) {
    int slot = kParticleSlots - 1;
    while (slot >= 0 && particles[kParticleStride * slot + kPartKind] > 0) --slot;
    if (slot < 0) return 0;
    float* p = &particles[kParticleStride * slot];
    p[kPartKind] = static_cast<float>(kind);
    p[kPartX] = x;
    p[kPartY] = y;
    p[kPartSpeedX] = 24 * vl_random_Rnd() - 12;
    p[kPartSpeedY] = 24 * vl_random_Rnd() - 12;
    p[kPartAngle] = 360 * vl_random_Rnd();
    p[kPartSpin] = 16 * vl_random_Rnd() - 8;
    p[kPartAlpha] = 0.8f + 0.2f * vl_random_Rnd();
  }
  return 0;
}

// A random integer from low to high for gem kinds and seeding.
int vl_Korvane_MyApp::m_Rand(int low, int high) { return RandomWhole(low, high); }
