// The program entry: start the host, run the framework start-up and the host
// loop inside the guard for uncaught exceptions, then stop the host.
//
// Every run records its games into the replay folder (host/replay_store.h).
// `korvane --replay FILE` instead plays FILE in the window
// (host/replay_watch.h), records nothing and saves nothing. A file that is
// not a sound replay is refused with a message and exit code 2 before any
// window opens; one recorded under other rules, as soon as the game has said
// which rules it plays.
// On the desktop, `korvane --name NAME` keeps the player's name for the world
// score server and plays; finished games go to that server when one is set
// up (host/score_client.h). In the browser the page posts them
// (web/korvane-scores.js).
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/app.h"
#ifdef __EMSCRIPTEN__
#include "host/browser.h"
#endif
#include "host/entry.h"
#include "host/replay_store.h"
#include "host/replay_tap.h"
#ifndef __EMSCRIPTEN__
#include "host/score_client.h"
#endif
#include "host/score_request.h"
#include "runtime/gc.h"

namespace {

const char kReplayOption[] = "--replay";

// The replay named on the command line, checked and made the host's answers.
bool startWatching(const char* path) {
  std::vector<std::uint8_t> bytes;
  std::string error;
  replay::Replay loaded;
  if (!replay::ReadReplayFile(path, &bytes, &error) ||
      !replay::ReadReplay(bytes.data(), bytes.size(), replay::kAnyRules, &loaded, &error)) {
    std::fprintf(stderr, "korvane: %s: %s\n", path, error.c_str());
    return false;
  }
  replay::StartPlaying(std::move(loaded));
  return true;
}

#ifdef __EMSCRIPTEN__
void keepGame(const replay::Header& header, const std::vector<std::uint8_t>& file) {
  replay::KeepReplay(replay::kReplayFolder, header, file);
  browser::KeepReplays();  // the browser's file system lives in memory: the page keeps a copy
  if (scores::TakePostRequest()) browser::PostGame(file, header.difficulty, static_cast<int>(header.total));
}
#else
const char kNameOption[] = "--name";
const char kPlayerFolder[] = ".";  // beside the saved state and the replays
std::unique_ptr<scores::Poster> poster;

void keepGame(const replay::Header& header, const std::vector<std::uint8_t>& file) {
  replay::KeepReplay(replay::kReplayFolder, header, file);
  if (scores::TakePostRequest() && poster) poster->Enqueue(file, static_cast<int>(header.total));
}

// Keeps a name given with --name; starts the score poster when the player
// has set up a server and a name.
void startPosting(int argc, char* argv[]) {
  if (argc == 3 && std::strcmp(argv[1], kNameOption) == 0) {
    std::string error;
    if (!scores::SaveName(kPlayerFolder, argv[2], &error)) std::fprintf(stderr, "korvane: %s\n", error.c_str());
  }
  scores::Settings settings = scores::ReadSettings(kPlayerFolder);
  if (settings.server.empty() || settings.name.empty()) return;
  poster = std::make_unique<scores::Poster>(std::move(settings));
  replay::SetRankSource([] { return poster->RankLine(); });
}

void stopPosting() {
  replay::SetRankSource(nullptr);
  poster.reset();
}
#endif

}  // namespace

int main(int argc, char* argv[]) {
  int exitCode = 0;
  if (argc == 3 && std::strcmp(argv[1], kReplayOption) == 0) {
    if (!startWatching(argv[2])) return replay::kExitBadReplay;
  } else {
#ifndef __EMSCRIPTEN__
    startPosting(argc, argv);
#endif
    replay::StartRecording(keepGame);
  }
  StartHost();
  try {
    vl_std_main(argc, const_cast<const char**>(argv));
    if (runner) runner();
  } catch (ThrowableObject*) {
    ReportUncaughtException();
  } catch (const char*) {
    // The runtime's raw error signal: already reported where it was raised.
  } catch (const replay::Failure& failure) {
    std::fprintf(stderr, "korvane: %s\n", failure.message.c_str());
    exitCode = failure.exitCode;
  }
  StopHost();
#ifndef __EMSCRIPTEN__
  stopPosting();
#endif
  return exitCode;
}
