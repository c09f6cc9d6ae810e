// The random module: the program's one pseudo-random generator.
//
// A 32-bit linear congruential generator whose state is the global
// vl_random_Seed (1234 at start-up). The game, the music player and this
// module all draw from it and reseed it by assigning it, so its exact
// sequence is part of the game's behaviour: every call advances the seed
// exactly once. No dependencies.
#pragma once

extern int vl_random_Seed;

// A value in [0, 1).
float vl_random_Rnd();
// low + (high - low) x r, with r the fraction Rnd would give.
float vl_random_Rnd2(float low, float high);
// r x range.
float vl_random_Rnd3(float range);

namespace korvane {

// A whole number from low to high from one step of the generator: the floor of
// low + (high + 0.99 - low) x r in single precision, so high comes out slightly
// less often than the others (its share of the range is 0.99). The game's and
// the music player's m_Rand are this.
int RandomWhole(int low, int high);

}  // namespace korvane
