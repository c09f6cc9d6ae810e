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
