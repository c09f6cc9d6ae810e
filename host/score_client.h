// Posting finished games to a world score server (korvane-server), on the
// desktop, from a thread of its own with libcurl: the game's update never
// waits on the network.
//
// Nothing is posted unless the player chose to: a server must be named
// (KORVANE_SERVER=URL, or the first line of "score-server" in the player's
// folder) and a name set (`korvane --name NAME` writes "player-name"). The
// first post makes a random secret token ("player-token", readable by its
// owner only); the server keeps only its hash.
//
// Every game to post is first written to the queue folder ("score-queue",
// one file per game, written whole and renamed into place) and leaves it
// only when the server has answered for it: accepted (201), already stored
// (409) or refused for good (any other 4xx but 429). A server that cannot be
// reached, or answers 429 or 5xx, is tried again after a back-off (its
// Retry-After when given), also by the next run of the game, so no game is
// lost and none is stored twice.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace scores {

extern const char kQueueFolder[];  // "score-queue"

struct Settings {
  std::string folder;  // the player's folder
  std::string server;  // base URL; empty: posting is off
  std::string name;    // empty: posting is off
};
Settings ReadSettings(const std::string& folder);
// Keeps the player's display name; false with `error` set when it cannot.
bool SaveName(const std::string& folder, const std::string& name, std::string* error);

class Poster {
 public:
  explicit Poster(Settings settings);
  ~Poster();
  Poster(const Poster&) = delete;
  Poster& operator=(const Poster&) = delete;

  // Queues a finished game's replay; never waits on the network.
  void Enqueue(const std::vector<std::uint8_t>& replay, int claimedScore);
  // "World rank 12 of 3,400 (Normal)" after the latest accepted post.
  std::string RankLine();
  // Games waiting in the queue folder.
  std::size_t Waiting() const;

 private:
  void Run();
  // One attempt at the oldest queued game; the seconds to wait before the
  // next attempt (0: go on at once).
  int PostOldest();
  static int StopCheck(void* poster, std::int64_t, std::int64_t, std::int64_t, std::int64_t);
  bool WaitFor(int seconds);  // false when stopping

  const Settings settings_;
  std::string token_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::atomic<bool> stopping_{false};
  bool queued_ = false;
  std::string rankLine_;
  int failures_ = 0;
  std::thread thread_;
};

}  // namespace scores
