// The play field's rules on a game object created as the program creates it
// but without a window, so that the sanitizer build runs them too: the board
// is driven by calling the play update directly with a pointer written into
// the input snapshot, in both orientations, including a long soak of random
// presses and drags that must keep every store inside its bounds. Effects are
// switched off (no sound device is open here).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "framework/random.h"
#include "framework/std_main.h"
#include "game/my_app.h"
#include "game/sound_setting.h"
#include "runtime/gc.h"
#include "tests/support/windowless_game.h"

namespace {

using korvane::kSoundOff;
using korvane::kSoundSetting;

constexpr int kCellStride = 10;
constexpr int kStoreColumns = 50;

vl_Korvane_MyApp* Game() {
  static vl_Korvane_MyApp* game = nullptr;
  if (game != nullptr) return game;
  game = testsupport::WindowlessGame();
  for (int i = 0; i < 10; ++i) {
    game->touchX[i] = korvane::kUnset;
    game->touchY[i] = korvane::kUnset;
  }
  game->fontSlot = 90;
  game->imageInfo[3 * 90] = 7;
  game->imageInfo[3 * 90 + 1] = 10;
  return game;
}

// The virtual screen as a render would leave it.
void Screen(float w, float h) {
  vl_Korvane_jscrw = w;
  vl_Korvane_jscrh = h;
  Game()->landscape = w >= h ? 1 : 0;
}

void Press(float x, float y) {
  vl_Korvane_MyApp* g = Game();
  g->mouseDown = 1;
  g->touchDown[0] = 1;
  g->touchX[0] = static_cast<int>(x);
  g->touchY[0] = static_cast<int>(y);
}

void Release() {
  vl_Korvane_MyApp* g = Game();
  g->mouseDown = 0;
  g->touchDown[0] = 0;
  g->touchX[0] = korvane::kUnset;
  g->touchY[0] = korvane::kUnset;
  g->clickLatch = 0;  // the input snapshot clears it while the pointer is up
}

float* Cell(int c, int r) { return &Game()->cells[kCellStride * (c + kStoreColumns * r)]; }

void NewGame(int difficulty) {
  vl_Korvane_MyApp* g = Game();
  g->settings[kSoundSetting] = kSoundOff;
  g->difficulty = difficulty;
  g->m_LoadGame();
  Release();
  for (int i = 0; i < 400 && (g->moving == 1 || g->wasMoving == 1); ++i) g->m_Game();
}

// Screen centre of cell (c, r) at rest, as the last update placed the board.
void CellCentre(int c, int r, float* x, float* y) {
  vl_Korvane_MyApp* g = Game();
  const float across = static_cast<float>(g->landscape == 1 ? g->gridCols : g->gridRows);
  const float down = static_cast<float>(g->landscape == 1 ? g->gridRows : g->gridCols);
  const float pitch = std::min(vl_Korvane_jscrw / across, vl_Korvane_jscrh / (down + 2));
  *x = g->boardX + pitch * static_cast<float>(g->landscape == 1 ? c : r);
  *y = g->boardY + pitch * static_cast<float>(g->landscape == 1 ? r : c);
}

void ExpectBoardSane() {
  vl_Korvane_MyApp* g = Game();
  for (int c = 0; c < g->gridCols; ++c) {
    for (int r = 0; r < g->gridRows; ++r) {
      const float* cell = Cell(c, r);
      ASSERT_GE(cell[0], 0);
      ASSERT_LE(cell[0], g->gemKinds);
      ASSERT_GE(cell[5], 0);
      ASSERT_LE(cell[5], 180);
    }
  }
  ASSERT_EQ(g->drawLen % korvane::kRecordFloats, 0);
  ASSERT_LE(g->drawLen, korvane::kLastRecordStart + korvane::kRecordFloats);
  ASSERT_GE(g->timeLeft, 0);
  ASSERT_LE(g->markedCount, g->gridCols * g->gridRows);
}

TEST(PlayRules, PathOfThreeOnAStillBoardIsMarkedInEitherOrientation) {
  for (bool portrait : {false, true}) {
    SCOPED_TRACE(portrait ? "portrait 360x480" : "landscape 640x480");
    Screen(portrait ? 360 : 640, 480);
    NewGame(2);
    vl_Korvane_MyApp* g = Game();
    for (int c = 0; c < 3; ++c) Cell(c, 0)[0] = 1;
    Cell(3, 0)[0] = 2;
    for (int c = 0; c < 3; ++c) {
      float x, y;
      CellCentre(c, 0, &x, &y);
      Press(x, y);
      g->m_Game();
    }
    Release();
    g->m_Game();
    for (int c = 0; c < 3; ++c) EXPECT_EQ(Cell(c, 0)[7], 1) << c;
    EXPECT_EQ(g->combo, 1);
    g->comboTimer = 0.5f;
    g->m_Game();
    EXPECT_EQ(g->roundScore, 3);
    EXPECT_EQ(Cell(0, 0)[7], 0);
  }
}

TEST(PlayRules, BurstWithEveryFragmentSlotBusyLeavesTheRandomSequenceAlone) {
  vl_Korvane_MyApp* g = Game();
  for (int i = 0; i <= 100; ++i) g->particles[10 * i] = 1;
  const int seed = vl_random_Seed;
  g->m_Burst(10, 10, 2);
  EXPECT_EQ(vl_random_Seed, seed);
  g->particles[10 * 100] = 0;
  g->particles[10 * 7] = 0;
  g->m_Burst(10, 10, 2);
  EXPECT_EQ(g->particles[10 * 100], 2) << "the highest free slot is taken first";
  EXPECT_EQ(g->particles[10 * 7], 2);
  EXPECT_NE(vl_random_Seed, seed);
  for (int i = 0; i <= 100; ++i) g->particles[10 * i] = 0;
}

// The board's random integers and the framework's random functions share one
// generator: a long run of m_Rand over many ranges, with framework draws mixed
// in, gives exactly the values and seeds the generator's own arithmetic does
// (seed x 1664525 + 1013904223, the top 24 bits as a fraction, the integer
// range scaled in single precision).
TEST(PlayRules, RandomIntegersFollowTheSharedGeneratorStepForStep) {
  vl_Korvane_MyApp* g = Game();
  uint32_t seed = 1234;
  auto step = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<float>(seed >> 8) / 16777216.0f;
  };
  const int ranges[][2] = {{1, 3}, {1, 10}, {0, 1}, {-5, 5}, {5, 5}, {0, 1000}, {1, 5}};
  vl_random_Seed = 1234;
  for (int i = 0; i < 3000; ++i) {
    if (i % 5 == 4) {
      ASSERT_EQ(vl_random_Rnd(), step()) << i;
    } else {
      const int low = ranges[i % 7][0], high = ranges[i % 7][1];
      const float r = step();
      const int expected = static_cast<int>(
          std::floor(static_cast<float>(low) + (static_cast<float>(high) + 0.99f - static_cast<float>(low)) * r));
      ASSERT_EQ(g->m_Rand(low, high), expected) << i;
    }
    ASSERT_EQ(static_cast<uint32_t>(vl_random_Seed), seed) << i;
  }
}

// Drags from a random gem through up to five same-kind neighbours, one update
// per gem, and releases: most such paths are long enough to mark.
void DragAlongAKind() {
  vl_Korvane_MyApp* g = Game();
  int c = std::rand() % g->gridCols, r = std::rand() % g->gridRows;
  const float kind = Cell(c, r)[0];
  for (int step = 0; step < 5; ++step) {
    float x, y;
    CellCentre(c, r, &x, &y);
    Press(x, y);
    g->m_Game();
    const int moves[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    bool moved = false;
    for (const auto& m : moves) {
      const int nc = c + m[0], nr = r + m[1];
      if (nc < 0 || nr < 0 || nc >= g->gridCols || nr >= g->gridRows) continue;
      if (Cell(nc, nr)[0] != kind || Cell(nc, nr)[6] == 1) continue;
      c = nc;
      r = nr;
      moved = true;
      break;
    }
    if (!moved) break;
  }
  Release();
}

// Random presses, drags and releases over whole games in three window shapes;
// every store stays within its bounds and the board stays a board.
TEST(PlayRules, SoakOfRandomDragsKeepsTheBoardSane) {
  const float shapes[][2] = {{640, 480}, {360, 480}, {640, 200}};
  std::srand(12345);
  int accepted = 0;
  for (const auto& shape : shapes) {
    Screen(shape[0], shape[1]);
    for (int difficulty = 1; difficulty <= 3; ++difficulty) {
      NewGame(difficulty);
      vl_Korvane_MyApp* g = Game();
      for (int update = 0; update < 1500 && g->gameOverFlag == 0; ++update) {
        const int roll = std::rand() % 10;
        if (roll == 0) {
          DragAlongAKind();
        } else if (roll < 4) {
          Press(static_cast<float>(std::rand() % static_cast<int>(shape[0])),
                static_cast<float>(std::rand() % static_cast<int>(shape[1])));
        } else if (roll < 6) {
          Release();
        }
        if (update % 300 == 299) g->timeLeft = 0;  // reach the ends of rounds
        const int comboBefore = g->combo;
        g->m_Game();
        if (g->combo > comboBefore) ++accepted;
        ASSERT_NO_FATAL_FAILURE(ExpectBoardSane()) << "update " << update;
      }
    }
  }
  EXPECT_GT(accepted, 20) << "the soak should mark many paths";
  Screen(640, 480);
}

}  // namespace
