// The replay module: how the game tells the host's replay tap
// (host/replay_tap.h) what a replay needs from the game itself. The host
// records every answer it gives; only the game knows its rules version, how
// to hash its state (for the checkpoints that find where a re-run leaves its
// recording), and where a game begins and ends with which result. The end of
// a game is reported after its score is saved: a replay that cannot be
// written never costs a score.
//
// Depends on host/replay_tap.h and host/score_request.h. Main thread only.
#pragma once

#include <cstdint>

// The rules version a replay is recorded under, and the state hash.
int vl_replay_SetRules(int version, std::uint64_t (*stateHash)());
int vl_replay_GameBegins();
// The player quit from the pause panel (otherwise a game ends by time).
int vl_replay_GameQuit();
int vl_replay_GameEnds(int difficulty, int total, int rounds);
// The game ending now is also to go to the world score server (when the
// player set one up): its replay is handed over once it is complete.
int vl_replay_PostGame();
