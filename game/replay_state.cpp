#include "game/replay_state.h"

#include <cstring>

#include "framework/random.h"
#include "game/my_app.h"

namespace korvane {

namespace {

constexpr std::uint64_t kFnvOffset = 14695981039346656037ull;
constexpr std::uint64_t kFnvPrime = 1099511628211ull;

class StateHasher {
 public:
  void Int(int value) { hash_ = (hash_ ^ static_cast<std::uint32_t>(value)) * kFnvPrime; }
  void Float(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    Int(static_cast<int>(bits));
  }
  template <typename T>
  void All(const Array<T>& values, int count) {
    Int(count);
    for (int i = 0; i < count; ++i) Item(values[i]);
  }
  std::uint64_t Value() const { return hash_; }

 private:
  void Item(int value) { Int(value); }
  void Item(float value) { Float(value); }
  std::uint64_t hash_ = kFnvOffset;
};

void hashPlay(StateHasher& h, const vl_Korvane_MyApp& g) {
  const int ints[] = {g.level,     g.score,       g.gridCols,     g.gridRows,     g.moving,     g.wasMoving,
                      g.canSelect, g.markedCount, g.boardVisible, g.roundState,   g.combo,      g.gemKinds,
                      g.lastCol,   g.lastRow,     g.pathKind,     g.pathLength,   g.comboTime,  g.timeLeft,
                      g.timeMax,   g.roundScore,  g.roundTarget,  g.targetJingle, g.shownScore, g.settling};
  for (int value : ints) h.Int(value);
  h.Float(g.comboTimer);
  h.Float(g.boardX);
  h.Float(g.boardY);
  h.All(g.cells, g.cells.Length());
  h.All(g.particles, g.particles.Length());
}

void hashScreens(StateHasher& h, const vl_Korvane_MyApp& g) {
  const int ints[] = {g.mode,          g.difficulty, g.menuSlide,   g.pauseActive, g.pauseState,   g.pauseSlide,
                      g.loadStage,     g.hdLevel,    g.landscape,   g.mouseX,      g.mouseY,       g.mouseDown,
                      g.clickLatch,    g.keyLatch,   g.creditsOpen, g.badgesOpen,  g.gameOverFlag, g.pauseChoice,
                      g.gameOverTimer, g.insertPos,  g.spinAngle};
  for (int value : ints) h.Int(value);
  h.All(g.settings, g.settings.Length());
  h.All(g.highScores, g.highScores.Length());
  // Only the length of the display list: its floats are drawing output (text
  // and spinner positions pass through sin and cos, whose last bit differs
  // between maths libraries) and nothing reads them back into the game.
  h.Int(g.drawLen);
}

}  // namespace

std::uint64_t HashGameState() {
  StateHasher h;
  h.Int(vl_random_Seed);
  const auto* game = static_cast<const vl_Korvane_MyApp*>(vl_app_device ? vl_app_device->app : nullptr);
  if (game != nullptr) {
    hashPlay(h, *game);
    hashScreens(h, *game);
  }
  return h.Value();
}

}  // namespace korvane
