// Re-runs of posted replays: each one is korvane-replay in a child process
// of its own, because the game's runtime is one game object and one
// collector per process. A child runs under a CPU-time limit (RLIMIT_CPU)
// and an address-space limit (RLIMIT_AS), and is killed if it outlives a
// wall-clock limit; at most `workers` children run at once, and a post that
// would wait behind too many others is turned away as busy.
//
// What decides a post is the child's JSON line (difficulty, score, rounds,
// updates, state hash): the runner has already checked that the re-run ends
// the way the file's header says.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

namespace server {

struct Rerun {
  enum class Outcome { kVerified, kBadReplay, kMismatch, kTooLong, kBusy, kFailed };
  Outcome outcome = Outcome::kFailed;
  std::string reason;  // for the client, when not verified
  int difficulty = 0;
  int score = 0;
  int rounds = 0;
  std::uint64_t updates = 0;
  std::string stateHash;
};

struct RerunLimits {
  int workers = 1;
  int cpuSeconds = 30;   // per re-run: far beyond the longest real game
  int wallSeconds = 60;  // a child stuck off the CPU is killed as well
  long addressSpaceMiB = 1024;
  int queuePerWorker = 8;  // waiting posts per worker before "busy"
};

class Verifier {
 public:
  Verifier(std::string program, std::string dataFolder, RerunLimits limits);
  Rerun Run(const std::string& replay);

 private:
  bool Acquire();
  void Release();
  Rerun RunChild(const std::string& path);

  const std::string program_;
  const std::string dataFolder_;
  const RerunLimits limits_;
  std::mutex mutex_;
  std::condition_variable freed_;
  int running_ = 0;
  int waiting_ = 0;
};

}  // namespace server
