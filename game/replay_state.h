// What a replay needs from the game: the rules version replays are recorded
// under, and a hash of the game's state.
//
// The rules version names the behaviour of every update: the board, the
// scoring, the timings, the menus. A change that makes the same input give
// another game raises it, and the golden replays in tests/ are recorded
// again; a replay made under another version is refused, never re-run wrong.
//
// The hash covers what decides how a game goes on and what it scores: the
// mode and play fields, the board's cells, the score tables and settings,
// the fragments, the display list's length and the shared random generator.
// It reads float fields by their bits, so any difference shows.
#pragma once

#include <cstdint>

namespace korvane {

constexpr int kRulesVersion = 1;
// Added to the version by a build without music (KORVANE_MUSIC off): there no
// song reseeds the shared random generator, so the same input gives another
// game, and each kind of build refuses the other's replays.
constexpr int kSilentBuildRules = 1000;

// The state hash of the running game (the application's game object).
std::uint64_t HashGameState();

}  // namespace korvane
