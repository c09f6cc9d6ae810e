#include "framework/replay.h"

#include "host/replay_tap.h"
#include "host/score_request.h"

int vl_replay_SetRules(int version, std::uint64_t (*stateHash)()) {
  replay::SetRules(version, stateHash);
  return 0;
}

int vl_replay_GameBegins() {
  replay::GameBegins();
  return 0;
}

int vl_replay_GameQuit() {
  replay::GameQuit();
  return 0;
}

int vl_replay_GameEnds(int difficulty, int total, int rounds) {
  replay::GameEnds(difficulty, total, rounds);
  return 0;
}

int vl_replay_PostGame() {
  scores::RequestPost();
  return 0;
}
