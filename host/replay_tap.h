// The replay tap: the one place where the host's answers to the game are
// recorded or, on a re-run, answered from a recording.
//
// The host calls the tap at every answer that can steer the game (the
// clock, the saved state, the frame counter, pixels read back) and at every
// call into the game (create, update, render, suspend, resume). Recording
// appends to a stream kept in memory, so an update never waits on a disk;
// when the game reports a finished game, the stream up to the end of that
// update becomes a file handed to the sink. Playing answers from a checked
// recording (host/replay_format.h) and reports a re-run that leaves it.
//
// The tap is off unless StartRecording or StartPlaying ran. Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/replay_format.h"
#include "runtime/string.h"

class gxtkInput;

namespace replay {

// A re-run that cannot go on: exit code 2 (a bad file) or 3 (the re-run left
// the recording), and a message naming the update.
struct Failure {
  int exitCode;
  std::string message;
};
constexpr int kExitBadReplay = 2;
constexpr int kExitDiverged = 3;

// What the game reported at the end of its latest game.
struct Result {
  bool seen = false;
  int difficulty = 0;
  int total = 0;
  int rounds = 0;
  Ending ending = Ending::kQuit;
};

bool Recording();
bool Playing();

// Where a finished game's file goes; it must not throw.
using Sink = std::function<void(const Header& header, const std::vector<std::uint8_t>& file)>;
void StartRecording(Sink sink);
// Recording costs: the bytes of stream held so far.
std::size_t RecordedBytes();

void StartPlaying(Replay replay);
// The next call into the game the recording made, once the sizes and input
// that came before it are taken up; checks state hashes on the way.
enum class Step { kCreate, kUpdate, kRender, kSuspend, kResume, kEnd };
Step NextStep();
std::uint64_t UpdatesRun();
[[noreturn]] void Diverged(const std::string& what);
const Header& PlayedHeader();

// Answers. Each takes the live answer, records it or replaces it by the
// recorded one, and returns what the game sees.
int AnswerClock(int liveMs);
long AnswerFramesDrawn(long live);
// The saved state: when playing, the recorded text (the file is not read).
String AnswerState(const std::function<String()>& load);
// A save: when playing, the outcome the recording saw (the file is not
// touched and `save` is not called); otherwise `save` runs and its result
// (0, -1 or -2) is kept.
int AnswerSave(const std::function<int()>& save);
// Whether the player asked for reduced motion: when playing, as recorded.
bool AnswerReducedMotion(bool live);
// Pixels read back: when playing, `pixels` is filled from the recording;
// when recording, `pixels` (already read) is kept.
void AnswerPixels(std::vector<int>& pixels);
// The framebuffer size a played update or render sees.
void PlayedSize(int* width, int* height);
// The world rank line ("World rank 12 of 3,400 (Normal)", or empty). The
// host's live line comes from `source` (the desktop's score poster, from
// another thread's answer); the game sees it change only before an update,
// as recorded, so a re-run sees it at the same update.
using RankSource = std::function<std::string()>;
void SetRankSource(RankSource source);
const std::string& AnswerRankLine();

// Calls into the game.
void OnCreate();
void OnUpdate(gxtkInput& input, int width, int height);  // after the input was polled
void AfterUpdate();
void OnRender(int width, int height);
void OnSuspend();
void OnResume();

// Marks from the game.
void SetRules(int version, std::uint64_t (*stateHash)());
int RulesVersion();
std::uint64_t StateHash();
void GameBegins();
void GameQuit();
void GameEnds(int difficulty, int total, int rounds);
Result LastResult();

}  // namespace replay
