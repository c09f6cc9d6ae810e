// Replays of real games: the real korvane program plays under the test
// display with X input from xdotool, keeps each finished game in replays/
// beside its state file, and the headless runner korvane-replay re-runs that
// file to the very total the program saved in .vellumstate.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/korvane_process.h"
#include "tests/support/screen_checks.h"
#include "tests/support/wait_until.h"

namespace fs = std::filesystem;

namespace {

using e2e::KorvaneProcess;
using testsupport::IsRoundOneBackground;
using testsupport::Shot;
namespace layout = testsupport::layout;

constexpr int kWaitMs = 30000;
constexpr int kSlideInMs = 1000;
constexpr int kTimedOutGameMs = 60000;
constexpr int kPathAttempts = 4;
constexpr int kRoundOneAttempts = 16;
constexpr int kQuitGoldenSeconds = 6;  // a round runs out after 900 still updates, then the overlay
// .vellumstate: 26 settings tokens and 9 badge tokens, then per difficulty a
// table of 10 (best, latest) pairs and its checksum.
constexpr int kFirstTableToken = 35;
constexpr int kTableTokens = 21;

struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

RunResult runReplay(const fs::path& file, const fs::path& scratch) {
  const fs::path err = scratch / "replay-err.txt";
  RunResult result;
  const std::string command = std::string(KORVANE_REPLAY) + " " + file.string() + " 2>" + err.string();
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) result.out += buffer;
  const int status = pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.err = e2e::ReadFile(err);
  return result;
}

// A number field of the runner's JSON line, or -1.
long jsonNumber(const std::string& json, const std::string& key) {
  std::smatch match;
  if (!std::regex_search(json, match, std::regex("\"" + key + "\":(-?[0-9]+)"))) return -1;
  return std::stol(match[1]);
}

std::string jsonText(const std::string& json, const std::string& key) {
  std::smatch match;
  if (!std::regex_search(json, match, std::regex("\"" + key + "\":\"([^\"]*)\""))) return "";
  return match[1];
}

// The latest total of a difficulty in a state line.
long savedLatestTotal(const std::string& state, int difficulty) {
  std::vector<long> tokens;
  std::stringstream in(state);
  std::string token;
  while (std::getline(in, token, '|')) tokens.push_back(std::atol(token.c_str()));
  const size_t at = kFirstTableToken + kTableTokens * (difficulty - 1) + 1;
  return at < tokens.size() ? tokens[at] : -1;
}

class ReplayRecord : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X display (the test command provides one)";
    if (!fs::is_directory(KORVANE_BUILD_DATA_DIR)) GTEST_SKIP() << "the build has no generated data folder";
    if (!e2e::HaveDisplayTools()) GTEST_SKIP() << "xdotool or ImageMagick's import is missing";
    game.LinkData();
    shots = fs::path(KORVANE_TEST_OUTPUT_DIR) / "e2e-replay";
    fs::create_directories(shots);
    ASSERT_TRUE(game.StartAndWaitForWindow()) << game.Output() << game.Errors();
  }
  void TearDown() override { game.Stop(); }

  bool WaitFor(const std::string& name, const std::function<bool(const Shot&)>& test, int waitMs = kWaitMs) {
    return game.WaitForShot(shots / (name + ".png"), test, waitMs);
  }
  bool ClickUntil(testsupport::Point p, const std::string& name, const std::function<bool(const Shot&)>& test) {
    game.Click(p);
    if (WaitFor(name, test, kWaitMs / 3)) return true;
    game.Click(p);
    return WaitFor(name, test);
  }
  // Escape until the pause panel shows: a key a busy machine let fall
  // between two updates is given once more.
  bool OpenPausePanel(const std::string& name) {
    game.Key("Escape");
    if (WaitFor(name, testsupport::PausePanelShows, kWaitMs / 3)) return true;
    game.Key("Escape");
    return WaitFor(name, testsupport::PausePanelShows);
  }
  fs::path Replays() const { return game.Folder() / "replays"; }
  bool ReplayKept(const std::string& name) const { return fs::exists(Replays() / name); }

  // The runner agrees with the state file on the game just saved.
  void ExpectRunnerAgrees(const std::string& name, int difficulty, const std::string& ended) {
    ASSERT_TRUE(testsupport::WaitUntil([&] { return ReplayKept(name); }, std::chrono::milliseconds(kWaitMs),
                                       std::chrono::milliseconds(50)))
        << "no " << name << " in replays/";
    // Kept with the screenshots: a replay of real play to look at or watch.
    const fs::path copy = shots / (::testing::UnitTest::GetInstance()->current_test_info()->name() + std::string(".kvrp"));
    fs::copy_file(Replays() / name, copy, fs::copy_options::overwrite_existing);
    const RunResult run = runReplay(copy, game.Folder());
    std::printf("korvane-replay %s: %s", copy.filename().c_str(), run.out.c_str());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const long saved = savedLatestTotal(e2e::ReadFile(game.StateFile()), difficulty);
    EXPECT_EQ(jsonNumber(run.out, "score"), saved) << run.out;
    EXPECT_EQ(jsonNumber(run.out, "difficulty"), difficulty) << run.out;
    EXPECT_EQ(jsonText(run.out, "ended"), ended) << run.out;
    EXPECT_GE(jsonNumber(run.out, "rounds"), 1) << run.out;
    EXPECT_GT(jsonNumber(run.out, "updates"), 60) << run.out;
    EXPECT_EQ(jsonText(run.out, "state_hash").size(), 16u) << run.out;
  }

  KorvaneProcess game;
  fs::path shots;
};

// Landscape, normal difficulty, music on: paths of alike gems score, and the
// round runs out of time.
TEST_F(ReplayRecord, GameThatRunsOutOfTimeReRunsToTheSavedTotal) {
  ASSERT_TRUE(WaitFor("menu", testsupport::MenuShows)) << "the title menu did not appear";
  e2e::Sleep(kSlideInMs);
  ASSERT_TRUE(ClickUntil(layout::kNormalButton, "play",
                         [](const Shot& s) { return IsRoundOneBackground(s.At(layout::kBackgroundCorner)); }));
  e2e::Sleep(2 * kSlideInMs);  // the board falls into place
  int paths = 0;
  for (int attempt = 0; attempt < kPathAttempts; ++attempt) {
    const std::vector<testsupport::Point> path = testsupport::FindThreeAlike(game.Take(shots / "board.png"));
    if (path.empty()) break;
    game.Drag(path);
    ++paths;
    e2e::Sleep(kSlideInMs);  // the gems taken are replaced
  }
  ASSERT_TRUE(testsupport::WaitUntil([&] { return ReplayKept("best-2.kvrp"); },
                                     std::chrono::milliseconds(kTimedOutGameMs), std::chrono::milliseconds(200)))
      << "the game did not end by time";
  ASSERT_NO_FATAL_FAILURE(ExpectRunnerAgrees("best-2.kvrp", 2, "time"));
  EXPECT_TRUE(ReplayKept("game-000001.kvrp"));
  if (paths > 0) {
    EXPECT_GT(savedLatestTotal(e2e::ReadFile(game.StateFile()), 2), 0) << "no path scored";
  }
}

// Landscape, easy: paths clear the first round, so the replay spans a new
// round drawn from the clock; the second round runs out of time.
TEST_F(ReplayRecord, GameOfTwoRoundsReRunsToTheSavedTotal) {
  ASSERT_TRUE(WaitFor("menu-easy", testsupport::MenuShows));
  e2e::Sleep(kSlideInMs);
  ASSERT_TRUE(ClickUntil(layout::kEasyButton, "play-easy",
                         [](const Shot& s) { return IsRoundOneBackground(s.At(layout::kBackgroundCorner)); }));
  e2e::Sleep(2 * kSlideInMs);
  bool roundOne = true;
  for (int attempt = 0; attempt < kRoundOneAttempts && roundOne; ++attempt) {
    const Shot board = game.Take(shots / "board-easy.png");
    roundOne = IsRoundOneBackground(board.At(layout::kBackgroundCorner));
    const std::vector<testsupport::Point> path = testsupport::FindThreeAlike(board);
    if (roundOne && !path.empty()) game.Drag(path);
    e2e::Sleep(kSlideInMs / 2);
  }
  ASSERT_TRUE(testsupport::WaitUntil([&] { return ReplayKept("best-1.kvrp"); },
                                     std::chrono::milliseconds(2 * kTimedOutGameMs), std::chrono::milliseconds(200)))
      << "the game did not end by time";
  ASSERT_NO_FATAL_FAILURE(ExpectRunnerAgrees("best-1.kvrp", 1, "time"));
}

// Portrait (the board turns), hard, music switched off in the menu; the
// round runs out of time.
TEST_F(ReplayRecord, PortraitGameWithoutMusicReRunsToTheSavedTotal) {
  ASSERT_TRUE(WaitFor("menu-start", testsupport::MenuShows));
  game.Resize(480, 640);
  ASSERT_TRUE(WaitFor("menu-480x640", [](const Shot& s) {
    return s.width == 480 && s.height == 640 && testsupport::IsSwitchGreen(s.At(layout::kPortraitSoundSwitch));
  }));
  e2e::Sleep(kSlideInMs);
  game.Click(layout::kPortraitSoundSwitch);  // music and effects -> the next mode, without music
  e2e::Sleep(kSlideInMs);
  ASSERT_TRUE(ClickUntil(layout::kPortraitHardButton, "play-480x640",
                         [](const Shot& s) { return IsRoundOneBackground(s.At(5, 630)); }));
  ASSERT_TRUE(testsupport::WaitUntil([&] { return ReplayKept("best-3.kvrp"); },
                                     std::chrono::milliseconds(kTimedOutGameMs), std::chrono::milliseconds(200)))
      << "the game did not end by time";
  ASSERT_NO_FATAL_FAILURE(ExpectRunnerAgrees("best-3.kvrp", 3, "time"));
}

// Landscape, hard: quit from the pause panel in the first round.
TEST_F(ReplayRecord, QuitGameReRunsToTheSavedTotal) {
  ASSERT_TRUE(WaitFor("menu-quit", testsupport::MenuShows));
  e2e::Sleep(kSlideInMs);
  ASSERT_TRUE(ClickUntil(layout::kHardButton, "play-quit",
                         [](const Shot& s) { return IsRoundOneBackground(s.At(layout::kBackgroundCorner)); }));
  e2e::Sleep(2 * kSlideInMs);
  ASSERT_TRUE(OpenPausePanel("pause")) << "the pause panel did not open";
  game.Click(layout::kPauseQuitButton);
  ASSERT_NO_FATAL_FAILURE(ExpectRunnerAgrees("best-3.kvrp", 3, "quit"));
}

// A replay folder that cannot be made (a file stands in its place) loses the
// replay, never the score, and the game plays on.
TEST_F(ReplayRecord, AReplayThatCannotBeWrittenCostsNoScore) {
  e2e::WriteFile(Replays(), "not a folder");
  ASSERT_TRUE(WaitFor("menu-no-folder", testsupport::MenuShows));
  e2e::Sleep(kSlideInMs);
  ASSERT_TRUE(ClickUntil(layout::kHardButton, "play-no-folder",
                         [](const Shot& s) { return IsRoundOneBackground(s.At(layout::kBackgroundCorner)); }));
  e2e::Sleep(2 * kSlideInMs);
  ASSERT_TRUE(OpenPausePanel("pause-no-folder")) << "the pause panel did not open";
  game.Click(layout::kPauseQuitButton);
  ASSERT_TRUE(testsupport::WaitUntil([&] { return fs::exists(game.StateFile()); }, std::chrono::milliseconds(kWaitMs),
                                     std::chrono::milliseconds(50)))
      << "the score was not saved";
  EXPECT_EQ(savedLatestTotal(e2e::ReadFile(game.StateFile()), 3), 0);
  EXPECT_TRUE(testsupport::WaitUntil([&] { return game.Errors().find("could not be saved") != std::string::npos; },
                                     std::chrono::milliseconds(kWaitMs), std::chrono::milliseconds(50)))
      << game.Errors();
  EXPECT_TRUE(WaitFor("menu-after-no-folder", testsupport::MenuShows)) << "the game did not play on";
  EXPECT_EQ(e2e::ReadFile(Replays()), "not a folder");
}

// korvane --replay FILE: the game plays in the window as recorded, ends by
// itself at the replay's end or at Escape, and leaves no scores or replays.
class ReplayWatch : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X display (the test command provides one)";
    if (!fs::is_directory(KORVANE_BUILD_DATA_DIR)) GTEST_SKIP() << "the build has no generated data folder";
    if (!e2e::HaveDisplayTools()) GTEST_SKIP() << "xdotool or ImageMagick's import is missing";
    game.LinkData();
  }
  void Watch(const std::string& golden) {
    KorvaneProcess::Options options;
    options.arguments = {"--replay", std::string(KORVANE_GOLDEN_DIR) + "/" + golden};
    ASSERT_TRUE(game.StartAndWaitForWindow(options)) << game.Output() << game.Errors();
  }
  void ExpectNothingSaved() {
    EXPECT_FALSE(fs::exists(game.StateFile())) << "watching saved scores";
    EXPECT_FALSE(fs::exists(game.Folder() / "replays")) << "watching recorded a replay";
  }
  KorvaneProcess game;
};

TEST_F(ReplayWatch, PlaysToTheEndAtNormalSpeedAndSavesNothing) {
  const auto start = std::chrono::steady_clock::now();
  ASSERT_NO_FATAL_FAILURE(Watch("hard-landscape-quit.kvrp"));
  ASSERT_TRUE(game.WaitForExit(kWaitMs)) << "the replay did not end";
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start);
  EXPECT_EQ(game.ExitCode(), 0) << game.Errors();
  EXPECT_GE(seconds.count(), kQuitGoldenSeconds) << "381 updates at 60 a second take over 6 seconds";
  ExpectNothingSaved();
}

TEST_F(ReplayWatch, EscapeStopsWatching) {
  ASSERT_NO_FATAL_FAILURE(Watch("easy-landscape-music.kvrp"));
  e2e::Sleep(kSlideInMs);
  game.Key("Escape");
  ASSERT_TRUE(game.WaitForExit(kWaitMs / 3)) << "Escape did not stop the replay";
  EXPECT_EQ(game.ExitCode(), 0) << game.Errors();
  ExpectNothingSaved();
}

TEST_F(ReplayWatch, ABadFileIsRefusedBeforeAnyWindow) {
  KorvaneProcess::Options options;
  options.arguments = {"--replay", std::string(KORVANE_GOLDEN_DIR) + "/CMakeLists.txt"};
  game.Start(options);
  ASSERT_TRUE(game.WaitForExit(kWaitMs));
  EXPECT_EQ(game.ExitCode(), 2);
  EXPECT_NE(game.Errors().find("not a replay file"), std::string::npos) << game.Errors();
}

}  // namespace
