// korvane-replay on files made from a golden replay: bad files exit 2 and
// tampered ones exit 3, each with one line on standard error that says what
// is wrong (and, for a re-run that leaves its recording, at which update),
// and nothing on standard output.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "game/replay_state.h"
#include "host/replay_format.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_folder.h"

namespace {

using testsupport::TempFolder;

struct RunnerRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

class ReplayRunner : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string bytes = testsupport::ReadBytes(KORVANE_GOLDEN_REPLAY);
    ASSERT_FALSE(bytes.empty()) << "no golden replay at " << KORVANE_GOLDEN_REPLAY;
    golden.assign(bytes.begin(), bytes.end());
    std::string error;
    ASSERT_TRUE(replay::ReadReplay(golden.data(), golden.size(), replay::kAnyRules, &parsed, &error)) << error;
  }

  RunnerRun RunOn(const std::vector<std::uint8_t>& file) {
    const std::string path = folder.path() + "/case.kvrp";
    testsupport::WriteBytes(path, std::string(file.begin(), file.end()));
    return RunPath(path);
  }

  RunnerRun RunPath(const std::string& path) {
    const std::string err = folder.path() + "/err.txt";
    RunnerRun run;
    FILE* pipe = popen((std::string(KORVANE_REPLAY) + " " + path + " 2>" + err).c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) run.out += buffer;
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = testsupport::ReadBytes(err);
    return run;
  }

  // The golden file with its header or stream changed, written whole again.
  std::vector<std::uint8_t> Rewritten(const replay::Header& header, const std::vector<std::uint8_t>& stream) {
    return replay::WriteReplay(header, stream);
  }

  // Position of the first op of a kind in the golden stream.
  std::size_t FirstOp(std::uint8_t op) const {
    for (std::size_t at : replay::OpStarts(parsed.stream)) {
      if (parsed.stream[at] == op) return at;
    }
    return 0;
  }

  TempFolder folder{"replay-runner"};
  std::vector<std::uint8_t> golden;
  replay::Replay parsed;
};

void expectRefused(const RunnerRun& run, int code, const std::string& says) {
  EXPECT_EQ(run.exitCode, code) << run.err;
  EXPECT_EQ(run.out, "") << "nothing but a result goes to standard output";
  EXPECT_NE(run.err.find(says), std::string::npos) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
}

TEST_F(ReplayRunner, BadFilesExitTwoWithAMessage) {
  expectRefused(RunPath(folder.path() + "/missing.kvrp"), 2, "cannot open");
  expectRefused(RunOn(std::vector<std::uint8_t>(golden.begin(), golden.begin() + golden.size() / 2)), 2, "truncated");
  std::vector<std::uint8_t> damaged = golden;
  damaged[golden.size() - 3] ^= 0x40;
  expectRefused(RunOn(damaged), 2, "damaged");
  replay::Header later = parsed.header;
  later.rulesVersion = korvane::kRulesVersion + 1;
  expectRefused(RunOn(Rewritten(later, parsed.stream)), 2, "rules version");
  std::vector<std::uint8_t> huge = golden;
  huge.resize(replay::kMaxFileBytes + 1);
  expectRefused(RunOn(huge), 2, "16 MiB");
  replay::Header endless = parsed.header;
  endless.updates = replay::kMaxUpdates + 1;
  expectRefused(RunOn(Rewritten(endless, parsed.stream)), 2, "out of range");
}

TEST_F(ReplayRunner, TamperedReplaysExitThreeNamingTheUpdate) {
  replay::Header claimed = parsed.header;
  claimed.total += 1;
  expectRefused(RunOn(Rewritten(claimed, parsed.stream)), 3, "total of");

  std::vector<std::uint8_t> stream = parsed.stream;
  const std::size_t check = FirstOp(replay::kOpCheck);
  ASSERT_NE(check, 0u) << "the golden replay holds no state hash";
  stream[check + 1] ^= 1;
  expectRefused(RunOn(Rewritten(parsed.header, stream)), 3, "at update 300: the game's state differs");

  // One more clock reading than the game asks for, right after the start.
  stream = parsed.stream;
  const std::size_t create = FirstOp(replay::kOpCreate);
  stream.insert(stream.begin() + static_cast<std::ptrdiff_t>(create) + 1, 0);
  expectRefused(RunOn(Rewritten(parsed.header, stream)), 3, "left the recording at update 0");
}

}  // namespace
