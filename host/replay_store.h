// Replay files on the desktop: the folder "replays" in the working folder,
// beside ".vellumstate". Like the score tables it keeps the best game of
// each difficulty (best-1.kvrp ... best-3.kvrp; a better total replaces the
// kept one, an equal one does not) and the last 10 games (game-NNNNNN.kvrp,
// numbered on, the oldest removed).
//
// Each file is written whole to a temporary name and renamed into place. A
// failure (full disk, a protected folder) prints one line on standard error
// and loses that replay only; the game and its saved scores never notice.
// Depends on host/replay_format.h and the C++ file system library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/replay_format.h"

namespace replay {

constexpr int kLastGamesKept = 10;
extern const char kReplayFolder[];  // "replays"

void KeepReplay(const std::string& folder, const Header& header, const std::vector<std::uint8_t>& file);

// The kept best game of a difficulty, and the name the next game takes.
std::string BestReplayName(int difficulty);

// Reads a whole replay file of at most kMaxFileBytes; false when it cannot
// be read or is larger (then `error` says which).
bool ReadReplayFile(const std::string& path, std::vector<std::uint8_t>* bytes, std::string* error);

}  // namespace replay
