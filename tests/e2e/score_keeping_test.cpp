// No score lost, with the real program: two copies sharing one state file,
// a state written from outside while the game runs, the program ended by a
// signal, the window manager's close or a window destroyed under it (in play,
// in the menu after a setting change, and while the game-over overlay shows
// a score), something other than a file named ".vellumstate", and a disk that
// is full or read-only under the state.
//
// Games are played with the keyboard: Space starts the selected difficulty
// (Normal), Escape opens the pause panel, Left picks its quit button and
// Space quits, which ends the game with its score (0) as a finished game. The
// state is seeded with a known table first, so that where its entries stand
// afterwards tells which games reached the file.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/korvane_process.h"
#include "tests/support/private_display.h"
#include "tests/support/wait_until.h"

namespace {

using e2e::KorvaneProcess;
using e2e::Shot;
using testsupport::GameOverShows;
using testsupport::MenuShows;
using testsupport::PausePanelShows;
using testsupport::SaveNoticeShows;
namespace fs = std::filesystem;
namespace layout = testsupport::layout;

constexpr int kShowWaitMs = 20000;     // for a screen to show on a busy machine
constexpr int kExitWaitMs = 500;       // how long closing may take
constexpr int kMenuStartMs = 4000;     // from a window to a menu that takes keys, on a busy machine
constexpr int kScreenChangeMs = 1000;  // for a key's screen to come and settle
const std::vector<std::string> kQuietSound = {"ALSOFT_DRIVERS=null"};

constexpr int kSoundToken = 5;
constexpr int kNormalTable = 1;
constexpr int kTablesAt = 35;  // token of table 0's first number; 21 tokens a table

// A saved line whose Normal table has best 600 and last 600 at their heads;
// every checksum right.
std::string SeedLine() {
  std::string line;
  auto add = [&line](long n) { line += std::to_string(n) + "|"; };
  const int settings[25] = {0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 64, 64, 10};
  for (int s : settings) add(s);
  add(1469);
  for (int i = 0; i < 9; ++i) add(0);
  for (int t = 0; t < 3; ++t) {
    const int head = t == kNormalTable ? 600 : 0;
    for (int i = 0; i < 10; ++i) {
      add(i == 0 ? head : 0);
      add(i == 0 ? head : 0);
    }
    add(4L * head + (t + 3L) * head);
  }
  return line;
}

// Where the seeded 600 stands in the Normal table's last row of the state
// file: each finished game that reached the file moved it one place on. -1
// when the file holds no such row.
int SeedPlaceInLastRow(const fs::path& stateFile) {
  const std::vector<std::string> tokens = e2e::StateTokens(e2e::ReadFile(stateFile));
  if (tokens.size() != 98) return -1;
  for (int i = 0; i < 10; ++i) {
    if (tokens[kTablesAt + 21 * kNormalTable + 2 * i + 1] == "600") return i;
  }
  return -1;
}

class ScoreKeeping : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::is_directory(KORVANE_BUILD_DATA_DIR)) GTEST_SKIP() << "the build has no generated data folder";
    if (!e2e::HaveDisplayTools()) GTEST_SKIP() << "xdotool or ImageMagick is missing (tools/install-deps.sh)";
    display = std::make_unique<PrivateDisplay>(/*withWindowManager=*/true);
    if (!display->ready()) GTEST_SKIP() << "Xvfb with openbox could not be started here";
    game.LinkData();
  }

  void TearDown() override { game.Stop(); }

  static void Launch(KorvaneProcess& p) {
    ASSERT_TRUE(p.StartAndWaitForWindow({kQuietSound, nullptr})) << p.Output() << p.Errors();
    ASSERT_TRUE(p.WaitForShot(p.Folder() / "shot.png", MenuShows, kShowWaitMs)) << "no menu\n" << p.Output();
  }

  // Starts a game from the menu and quits it from the pause panel; returns
  // once the game-over overlay shows (the score not yet recorded). The window
  // is raised first: screenshots take what the screen shows where it stands.
  static void PlayAndQuit(KorvaneProcess& p) {
    const fs::path shot = p.Folder() / "shot.png";
    p.Restore();
    p.Key("space");
    ASSERT_TRUE(p.WaitForShot(
        shot, [](const Shot& s) { return !MenuShows(s); }, kShowWaitMs))
        << "no game";
    e2e::Sleep(1000);  // the board falls in; the pause button works once play runs
    p.Key("Escape");
    ASSERT_TRUE(p.WaitForShot(shot, PausePanelShows, kShowWaitMs)) << "no pause panel";
    p.Key("Left");
    p.Key("space");
    ASSERT_TRUE(p.WaitForShot(shot, GameOverShows, kShowWaitMs)) << "no game-over overlay";
  }

  // The same by keys alone, with waits long enough for each screen.
  static void PlayAndQuitBlind(KorvaneProcess& p) {
    for (const char* key : {"space", "", "Escape", "Left", "space"}) {
      if (*key) p.Key(key);
      e2e::Sleep(kScreenChangeMs);
    }
  }

  bool WaitForSeedPlace(int place) {
    return testsupport::WaitUntil([&] { return SeedPlaceInLastRow(game.StateFile()) == place; },
                                  std::chrono::milliseconds(kShowWaitMs), std::chrono::milliseconds(100));
  }

  static void WaitForMenu(KorvaneProcess& p) {
    ASSERT_TRUE(p.WaitForShot(p.Folder() / "shot.png", MenuShows, kShowWaitMs)) << "the menu did not come back";
  }

  std::unique_ptr<PrivateDisplay> display;
  KorvaneProcess game;
};

// Each copy read the seeded state at its start; each finishes a game. Both
// games reach the file whichever finishes first: the seed stands two places
// on. The two windows stand on one spot, so the copies are played blind, by
// keys sent to each window, and followed through the state file.
TEST_F(ScoreKeeping, TwoCopiesInOneFolderKeepEachOthersScoresInEitherOrder) {
  for (bool firstFinishesFirst : {true, false}) {
    e2e::WriteFile(game.StateFile(), SeedLine());
    KorvaneProcess other(game, "other");
    ASSERT_NO_FATAL_FAILURE(Launch(game));
    ASSERT_TRUE(other.StartAndWaitForWindow({kQuietSound, nullptr})) << other.Output() << other.Errors();
    e2e::Sleep(kMenuStartMs);
    KorvaneProcess& first = firstFinishesFirst ? game : other;
    KorvaneProcess& second = firstFinishesFirst ? other : game;
    PlayAndQuitBlind(first);
    EXPECT_TRUE(WaitForSeedPlace(1)) << "the first game was not saved: " << e2e::ReadFile(game.StateFile());
    PlayAndQuitBlind(second);
    EXPECT_TRUE(WaitForSeedPlace(2)) << "a game was lost: " << e2e::ReadFile(game.StateFile());
    game.Stop();
    other.Stop();
  }
}

// Scores put into the file from outside (a synced folder, a restored backup)
// while the game runs survive its save on minimising.
TEST_F(ScoreKeeping, StateWrittenFromOutsideSurvivesAMinimise) {
  ASSERT_NO_FATAL_FAILURE(Launch(game));
  e2e::WriteFile(game.StateFile(), SeedLine());
  game.Key("space");
  e2e::Sleep(1500);
  game.Minimise();
  e2e::Sleep(1000);
  game.Restore();
  ASSERT_TRUE(game.WaitForShot(game.Folder() / "shot.png", PausePanelShows, kShowWaitMs)) << "no suspend";
  EXPECT_EQ(SeedPlaceInLastRow(game.StateFile()), 0) << e2e::ReadFile(game.StateFile());
}

// How the program is asked to end.
struct Closer {
  const char* name;
  std::function<void(KorvaneProcess&)> close;
};

void PrintTo(const Closer& closer, std::ostream* out) { *out << closer.name; }

void SendSignal(KorvaneProcess& p, int sig) { kill(p.Pid(), sig); }

const Closer kClosers[] = {
    {"SIGTERM", [](KorvaneProcess& p) { SendSignal(p, SIGTERM); }},
    {"SIGINT", [](KorvaneProcess& p) { SendSignal(p, SIGINT); }},
    {"SIGHUP", [](KorvaneProcess& p) { SendSignal(p, SIGHUP); }},
    {"WindowManagerClose",
     [](KorvaneProcess& p) { e2e::Shell("xdotool windowactivate --sync " + p.Window() + " key alt+F4"); }},
    {"WindowDestroyed", [](KorvaneProcess& p) { e2e::Shell("xdotool windowclose " + p.Window()); }},
};

class ClosingKeeps : public ScoreKeeping, public ::testing::WithParamInterface<Closer> {
 protected:
  void CloseAndWait() {
    GetParam().close(game);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(game.WaitForExit(10000)) << "the program did not end";
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::milliseconds(kExitWaitMs * 4)) << "closing took too long";
    EXPECT_EQ(game.Output().find("Runtime Error"), std::string::npos) << game.Output();
  }
};

// In play: the unfinished game scores nothing and the saved state is kept.
// In the menu: a sound setting changed there is saved. During the game-over
// overlay: the score it shows is recorded.
TEST_P(ClosingKeeps, WhatThePlayerSawSaved) {
  e2e::WriteFile(game.StateFile(), SeedLine());
  ASSERT_NO_FATAL_FAILURE(Launch(game));
  game.Key("space");
  e2e::Sleep(1500);
  ASSERT_NO_FATAL_FAILURE(CloseAndWait());
  EXPECT_EQ(SeedPlaceInLastRow(game.StateFile()), 0) << "in play";

  ASSERT_NO_FATAL_FAILURE(Launch(game));
  game.Click(layout::kSoundSwitch);
  e2e::Sleep(500);
  ASSERT_NO_FATAL_FAILURE(CloseAndWait());
  const std::vector<std::string> tokens = e2e::StateTokens(e2e::ReadFile(game.StateFile()));
  ASSERT_EQ(tokens.size(), 98u);
  EXPECT_NE(tokens[kSoundToken], "1") << "the changed sound setting was not saved";

  ASSERT_NO_FATAL_FAILURE(Launch(game));
  ASSERT_NO_FATAL_FAILURE(PlayAndQuit(game));
  ASSERT_NO_FATAL_FAILURE(CloseAndWait());
  EXPECT_EQ(SeedPlaceInLastRow(game.StateFile()), 1) << "the score the overlay showed was lost";
}

INSTANTIATE_TEST_SUITE_P(Closers, ClosingKeeps, ::testing::ValuesIn(kClosers),
                         [](const ::testing::TestParamInfo<Closer>& info) { return std::string(info.param.name); });

// A reader of standard output that goes away does not end the game.
TEST_F(ScoreKeeping, ClosedOutputPipeDoesNotEndTheGame) {
  KorvaneProcess::Options options{kQuietSound, nullptr, /*outputThroughPipe=*/true};
  ASSERT_TRUE(game.StartAndWaitForWindow(options));
  ASSERT_TRUE(game.WaitForShot(game.Folder() / "shot.png", MenuShows, kShowWaitMs));
  game.StopOutputCopier();
  ASSERT_NO_FATAL_FAILURE(PlayAndQuit(game));  // prints lines into the closed pipe
  ASSERT_NO_FATAL_FAILURE(WaitForMenu(game));
  EXPECT_TRUE(game.Running()) << "signal " << game.Signal();
  EXPECT_EQ(e2e::StateTokens(e2e::ReadFile(game.StateFile())).size(), 98u);
}

// --- what stands in place of the state file -----------------------------------

// Something other than a plain file as ".vellumstate": the game starts without
// waiting on it, plays, says that scores are not being saved, and leaves it as
// it was.
class NotAFile : public ScoreKeeping, public ::testing::WithParamInterface<const char*> {};

TEST_P(NotAFile, IsLeftAloneAndTheGameSaysScoresAreNotSaved) {
  const std::string kind = GetParam();
  const fs::path state = game.StateFile();
  int socketFd = -1;
  if (kind == "pipe") {
    ASSERT_EQ(mkfifo(state.c_str(), 0600), 0);
  } else if (kind == "device") {
    fs::create_symlink("/dev/zero", state);
  } else {
    socketFd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(state.string().size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, state.c_str());
    ASSERT_EQ(bind(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  }
  const fs::file_type before = fs::status(state).type();
  ASSERT_NO_FATAL_FAILURE(Launch(game));
  ASSERT_NO_FATAL_FAILURE(PlayAndQuit(game));
  ASSERT_NO_FATAL_FAILURE(WaitForMenu(game));
  EXPECT_TRUE(game.WaitForShot(game.Folder() / "shot.png", SaveNoticeShows, kShowWaitMs)) << "no notice";
  EXPECT_NE(game.Errors().find("korvane: could not save "), std::string::npos) << game.Errors();
  EXPECT_NE(game.Errors().find(": it is not a plain file"), std::string::npos) << game.Errors();
  EXPECT_EQ(fs::status(state).type(), before);
  if (socketFd >= 0) close(socketFd);
}

INSTANTIATE_TEST_SUITE_P(Kinds, NotAFile, ::testing::Values("pipe", "device", "socket"));

// A failed save changes what the menu shows: the replay of the next game,
// which holds the menu before it, re-runs only because the save's outcome was
// recorded with it.
TEST_F(ScoreKeeping, ReplayOfAGameAfterAFailedSaveReRunsToItsEnd) {
  fs::create_directory(game.StateFile());
  ASSERT_NO_FATAL_FAILURE(Launch(game));
  for (int games = 0; games < 2; ++games) {
    ASSERT_NO_FATAL_FAILURE(PlayAndQuit(game));
    ASSERT_NO_FATAL_FAILURE(WaitForMenu(game));
  }
  ASSERT_TRUE(game.WaitForShot(game.Folder() / "shot.png", SaveNoticeShows, kShowWaitMs)) << "no notice";
  game.Stop();
  std::vector<fs::path> replays;
  for (const auto& entry : fs::directory_iterator(game.Folder() / "replays")) {
    if (entry.path().filename().string().rfind("game-", 0) == 0) replays.push_back(entry.path());
  }
  ASSERT_EQ(replays.size(), 2u);
  std::sort(replays.begin(), replays.end());
  const std::string command = std::string(KORVANE_REPLAY) + " --data " + KORVANE_BUILD_DATA_DIR + " " +
                              replays.back().string() + " >" + (game.Folder() / "rerun.txt").string() + " 2>&1";
  EXPECT_EQ(e2e::Shell(command), 0) << e2e::ReadFile(game.Folder() / "rerun.txt");
}

// --- a disk that refuses the save --------------------------------------------------

// A small tmpfs mounted in the game's folder for the test; the state file is
// a link into it. Mounting needs root: elsewhere the test is skipped.
class SmallDisk {
 public:
  explicit SmallDisk(const fs::path& where) : path_(where) {
    fs::create_directory(path_);
    mounted_ = mount("korvane-test", path_.c_str(), "tmpfs", 0, "size=64k") == 0;
  }
  ~SmallDisk() {
    if (mounted_) umount2(path_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }
  bool Fill() const {
    return e2e::Shell("dd if=/dev/zero of=" + (path_ / "filler").string() + " bs=4k 2>/dev/null; true") == 0;
  }
  bool MakeReadOnly() const { return mount(nullptr, path_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0; }

 private:
  fs::path path_;
  bool mounted_ = false;
};

class RefusingDisk : public ScoreKeeping, public ::testing::WithParamInterface<bool> {};

TEST_P(RefusingDisk, KeepsTheOldStateAndTheGameSaysScoresAreNotSaved) {
  const bool readOnly = GetParam();
  SmallDisk disk(game.Folder() / "disk");
  if (!disk.mounted()) GTEST_SKIP() << "mounting a tmpfs is not allowed here (needs root)";
  e2e::WriteFile(game.Folder() / "disk" / "scores", SeedLine());
  fs::create_symlink("disk/scores", game.StateFile());
  ASSERT_TRUE(readOnly ? disk.MakeReadOnly() : disk.Fill());
  ASSERT_NO_FATAL_FAILURE(Launch(game));
  ASSERT_NO_FATAL_FAILURE(PlayAndQuit(game));
  ASSERT_NO_FATAL_FAILURE(WaitForMenu(game));
  EXPECT_TRUE(game.WaitForShot(game.Folder() / "shot.png", SaveNoticeShows, kShowWaitMs)) << "no notice";
  const char* reason = readOnly ? "Read-only file system" : "No space left on device";
  EXPECT_NE(game.Errors().find(reason), std::string::npos) << game.Errors();
  EXPECT_EQ(e2e::ReadFile(game.Folder() / "disk" / "scores"), SeedLine());
  EXPECT_TRUE(game.Running());
}

INSTANTIATE_TEST_SUITE_P(Disks, RefusingDisk, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
  return std::string(info.param ? "ReadOnly" : "Full");
});

}  // namespace
