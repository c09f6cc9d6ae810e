// korvane-replay [--data DIR] FILE: re-runs a replay with no window, no
// OpenGL and no sound device, on the headless host, and prints one JSON line:
//   {"difficulty":2,"score":1234,"rounds":3,"ended":"time","updates":5678,
//    "state_hash":"0123456789abcdef"}
// (the result the re-run game reached, the updates re-run, the game's state
// hash at the end), then exits 0. A file it cannot use (truncated, damaged,
// another format or rules version, too large, values out of range) exits 2,
// a re-run that leaves its recording or reaches another result exits 3; both
// with one line on standard error. Data come from the "data" folder beside
// the program unless --data names another.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/app.h"
#include "host/replay_store.h"
#include "host/replay_tap.h"
#include "runtime/errors.h"
#include "runtime/files.h"
#include "runtime/gc.h"

int vl_std_main(int argc, const char* argv[]);

namespace {

constexpr int kExitUsage = 64;
const char kUsage[] = "usage: korvane-replay [--data DIR] FILE\n";

struct Options {
  std::string data;
  std::string file;
};

// The data folder beside the program, where a build writes it.
std::string dataBesideProgram() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return "data";
  std::string program(path, static_cast<size_t>(length));
  return program.substr(0, program.rfind('/') + 1) + "data";
}

bool parseOptions(int argc, char** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--data" && i + 1 < argc) {
      options->data = argv[++i];
    } else if (options->file.empty() && !arg.empty() && arg[0] != '-') {
      options->file = arg;
    } else {
      return false;
    }
  }
  if (options->data.empty()) options->data = dataBesideProgram();
  return !options->file.empty();
}

[[noreturn]] void fail(int code, const std::string& message) {
  std::fprintf(stderr, "korvane-replay: %s\n", message.c_str());
  std::exit(code);
}

replay::Replay readReplay(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  std::string error;
  replay::Replay loaded;
  if (!replay::ReadReplayFile(path, &bytes, &error)) fail(replay::kExitBadReplay, error);
  // The rules version is checked once the game has said which rules this
  // build plays (they differ with and without music).
  if (!replay::ReadReplay(bytes.data(), bytes.size(), replay::kAnyRules, &loaded, &error)) {
    fail(replay::kExitBadReplay, path + ": " + error);
  }
  return loaded;
}

void runGame(const char* program) {
  const char* args[] = {program, nullptr};
  try {
    vl_std_main(1, args);
    if (runner) runner();
  } catch (const replay::Failure& failure) {
    fail(failure.exitCode, failure.message);
  } catch (ThrowableObject*) {
    fail(replay::kExitDiverged, "the game stopped with an error at update " + std::to_string(replay::UpdatesRun()));
  } catch (const char*) {
    fail(replay::kExitDiverged, "the game stopped with an error at update " + std::to_string(replay::UpdatesRun()));
  }
}

// The result the re-run reached must be the one the recording saw.
void checkResult(const replay::Header& header, const replay::Result& result) {
  if (!result.seen) fail(replay::kExitDiverged, "the re-run game did not end where the recording did");
  if (result.difficulty != header.difficulty || static_cast<std::uint32_t>(result.total) != header.total ||
      static_cast<std::uint32_t>(result.rounds) != header.rounds || result.ending != header.ending) {
    fail(replay::kExitDiverged, "the re-run ended with a total of " + std::to_string(result.total) + " in " +
                                    std::to_string(result.rounds) + " rounds; the recording saw " +
                                    std::to_string(header.total) + " in " + std::to_string(header.rounds));
  }
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parseOptions(argc, argv, &options)) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  replay::Replay loaded = readReplay(options.file);
  const replay::Header header = loaded.header;
  SetDataFolder(options.data);
  replay::StartPlaying(std::move(loaded));
  SetQuietOutput(true);  // the game's own lines (what it loads) would mix with the result
  runGame(argv[0]);
  const replay::Result result = replay::LastResult();
  checkResult(header, result);
  std::printf(
               "{\"difficulty\":%d,\"score\":%d,\"rounds\":%d,\"ended\":\"%s\",\"updates\":%llu,"
               "\"state_hash\":\"%016llx\"}\n",
               result.difficulty, result.total, result.rounds,
               result.ending == replay::Ending::kQuit ? "quit" : "time",
               static_cast<unsigned long long>(replay::UpdatesRun()),
               static_cast<unsigned long long>(replay::StateHash()));
  return 0;
}
