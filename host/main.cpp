// The program entry: start the host, run the framework start-up and the host
// loop inside the guard for uncaught exceptions, then stop the host.
//
// Every run records its games into the replay folder (host/replay_store.h).
// `korvane --replay FILE` instead plays FILE in the window
// (host/replay_watch.h), records nothing and saves nothing. A file that is
// not a sound replay is refused with a message and exit code 2 before any
// window opens; one recorded under other rules, as soon as the game has said
// which rules it plays.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/app.h"
#ifdef __EMSCRIPTEN__
#include "host/browser.h"
#endif
#include "host/entry.h"
#include "host/replay_store.h"
#include "host/replay_tap.h"
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

}  // namespace

int main(int argc, char* argv[]) {
  int exitCode = 0;
  if (argc == 3 && std::strcmp(argv[1], kReplayOption) == 0) {
    if (!startWatching(argv[2])) return replay::kExitBadReplay;
  } else {
    replay::StartRecording([](const replay::Header& header, const std::vector<std::uint8_t>& file) {
      replay::KeepReplay(replay::kReplayFolder, header, file);
#ifdef __EMSCRIPTEN__
      browser::KeepReplays();  // the browser's file system lives in memory: the page keeps a copy
#endif
    });
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
  return exitCode;
}
