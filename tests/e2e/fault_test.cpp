// The real korvane program when its surroundings are broken: no display, no
// sound device, data files missing, truncated or corrupt, a state file that
// is damaged, huge, unreadable or cannot be written, and a window squeezed to
// a single pixel row (X allows no window 0 pixels high; the host's own tests
// take the size away entirely). Each time the program either keeps running
// and playing or stops with its own message, and whatever was saved before is
// still there afterwards.
//
// Each case runs on a display of its own with the openbox window manager, so
// that the game can be minimised (it saves its state on suspend) and the
// pointer it moves disturbs no other test.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/korvane_process.h"
#include "tests/support/private_display.h"

namespace {

using e2e::KorvaneProcess;
using e2e::Shot;
using testsupport::MenuShows;
using testsupport::PausePanelShows;
namespace layout = testsupport::layout;
namespace fs = std::filesystem;

constexpr int kPlayWaitMs = 40000;  // to reach the board and have a path judged, on a busy machine
constexpr int kShowWaitMs = 20000;  // for a screen to show
const std::vector<std::string> kQuietSound = {"ALSOFT_DRIVERS=null"};

// A state line as the game writes it, with valid checksums: settings at their
// defaults, badge word 0 = 5, table 0 best and last 500, table 1 best 600 with
// a wrong checksum, table 2 best 700 and last 300.
std::string SavedLine(bool tableOneDamaged) {
  std::string line;
  auto add = [&line](long n) { line += std::to_string(n) + "|"; };
  const int settings[25] = {0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 64, 64, 10};
  for (int s : settings) add(s);
  add(1469);
  add(5);
  for (int i = 1; i < 8; ++i) add(0);
  add(5);
  const int best[3] = {500, 600, 700};
  const int last[3] = {500, 0, 300};
  for (int t = 0; t < 3; ++t) {
    for (int i = 0; i < 10; ++i) {
      add(i == 0 ? best[t] : 0);
      add(i == 0 ? last[t] : 0);
    }
    long sum = 4L * best[t] + (t + 3L) * last[t];
    if (t == 1 && tableOneDamaged) sum += 1;
    add(sum);
  }
  return line;
}

class Faults : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::is_directory(KORVANE_BUILD_DATA_DIR)) GTEST_SKIP() << "the build has no generated data folder";
    if (!e2e::HaveDisplayTools()) GTEST_SKIP() << "xdotool or ImageMagick is missing (tools/install-deps.sh)";
    display = std::make_unique<PrivateDisplay>(/*withWindowManager=*/true);
    if (!display->ready()) GTEST_SKIP() << "Xvfb with openbox could not be started here";
  }

  void TearDown() override {
    game.Stop();
    display.reset();
  }

  void Launch(const KorvaneProcess::Options& options = {kQuietSound, nullptr}) {
    ASSERT_TRUE(game.StartAndWaitForWindow(options)) << "no window; output:\n" << game.Output() << game.Errors();
  }

  // Chooses the hard difficulty and drags across three cells of the top row
  // until the game judges a released path: proof that the program runs its
  // game and takes input. Works whether or not anything could be drawn.
  bool PlayAPath() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPlayWaitMs);
    while (std::chrono::steady_clock::now() < deadline && game.Running()) {
      game.Click(layout::kHardButton);
      e2e::Sleep(800);
      game.Drag({layout::Cell(0, 0), layout::Cell(1, 0), layout::Cell(2, 0)});
      e2e::Sleep(300);
      if (game.Output().find("Found 3+ = ") != std::string::npos) return true;
    }
    return false;
  }

  bool WaitForShot(const std::function<bool(const Shot&)>& test, int waitMs = kShowWaitMs) {
    return game.WaitForShot(game.Folder() / "shot.png", test, waitMs);
  }

  // Minimises the window during play and restores it. The game saves its
  // state when it is suspended and shows its pause panel when it comes back,
  // which is how the test knows the save was attempted.
  void SuspendDuringPlayAndResume() {
    game.Minimise();
    e2e::Sleep(1000);
    game.Restore();
    EXPECT_TRUE(WaitForShot(PausePanelShows)) << "the game did not come back paused after a suspend";
  }

  void ExpectStillRunningWithoutErrors() {
    EXPECT_TRUE(game.Running()) << "exit code " << game.ExitCode() << ", signal " << game.Signal() << "; output:\n"
                                << game.Output() << game.Errors();
    EXPECT_EQ(game.Output().find("Runtime Error"), std::string::npos) << game.Output();
  }

  std::unique_ptr<PrivateDisplay> display;
  KorvaneProcess game;
};

// --- devices ----------------------------------------------------------------

TEST(DeviceFaults, WithoutADisplayTheProgramStopsWithItsMessageAndLeavesTheStateAlone) {
  KorvaneProcess game;
  game.LinkData();
  e2e::WriteFile(game.StateFile(), SavedLine(false));
  game.Start({{"-DISPLAY", "-WAYLAND_DISPLAY", "ALSOFT_DRIVERS=null"}, nullptr});
  ASSERT_TRUE(game.WaitForExit(30000)) << "the program kept running without a display";
  EXPECT_EQ(game.ExitCode(), 255);
  EXPECT_EQ(game.Output(), "glfwInit failed\n");
  EXPECT_EQ(e2e::ReadFile(game.StateFile()), SavedLine(false));
}

TEST_F(Faults, WithoutASoundDeviceTheGameSaysSoAndPlaysSilently) {
  game.LinkData();
  ASSERT_NO_FATAL_FAILURE(Launch({{"ALSOFT_DRIVERS=no-such-driver"}, nullptr}));
  ASSERT_TRUE(PlayAPath()) << game.Output();  // every path sound played into nothing
  EXPECT_EQ(game.Output().rfind("alcOpenDevice failed\n", 0), 0u) << game.Output();
  SuspendDuringPlayAndResume();
  EXPECT_EQ(e2e::StateTokens(e2e::ReadFile(game.StateFile())).size(), 98u) << "the suspend did not save";
  ExpectStillRunningWithoutErrors();
}

// --- data files ---------------------------------------------------------------

TEST_F(Faults, EmptyDataFolderLeavesEverythingUndrawnButTheGamePlaysAndSaves) {
  fs::create_directory(game.Folder() / "data");
  ASSERT_NO_FATAL_FAILURE(Launch());
  ASSERT_TRUE(PlayAPath()) << game.Output();
  SuspendDuringPlayAndResume();
  EXPECT_EQ(e2e::StateTokens(e2e::ReadFile(game.StateFile())).size(), 98u);
  ExpectStillRunningWithoutErrors();
}

TEST_F(Faults, NoDataFolderAtAllIsTheSameAsAnEmptyOne) {
  ASSERT_NO_FATAL_FAILURE(Launch());
  ASSERT_TRUE(PlayAPath()) << game.Output();
  ExpectStillRunningWithoutErrors();
}

// Damages one PNG or WAV file in the way `kind` (0-4) names: cut in the
// middle, emptied, its body overwritten, header sizes that lie, or the other
// kind of file's bytes under its name.
void DamageFile(const fs::path& file, size_t kind, const std::string& someWav, const std::string& somePng) {
  std::string bytes = e2e::ReadFile(file);
  const bool png = file.extension() == ".png";
  switch (kind) {
    case 0: bytes.resize(bytes.size() / 2); break;
    case 1: bytes.clear(); break;
    case 2:
      for (size_t k = 48; k < bytes.size(); k += 7) bytes[k] = static_cast<char>(bytes[k] ^ 0x5a);
      break;
    case 3:  // PNG width and height, WAV chunk sizes
      if (png && bytes.size() > 24) {
        bytes.replace(16, 8, "\x3f\xff\xff\xff\x3f\xff\xff\xff", 8);
      } else if (bytes.size() > 44) {
        bytes.replace(4, 4, "\xff\xff\xff\x7f", 4);
        bytes.replace(40, 4, "\xff\xff\xff\x7f", 4);
      }
      break;
    default: bytes = png ? someWav : somePng; break;
  }
  e2e::WriteFile(file, bytes);
}

// Every PNG and WAV file damaged in one of several ways: cut short, cut to
// nothing, bytes overwritten past the header, a header promising far more
// than the file holds, or the other kind's bytes under the name.
void DamageDataFiles(const fs::path& data) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::recursive_directory_iterator(data)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  const std::string someWav = e2e::ReadFile(data / "sfx" / "002.wav");
  const std::string somePng = e2e::ReadFile(data / "parts.png");
  for (size_t i = 0; i < files.size(); ++i) DamageFile(files[i], i % 5, someWav, somePng);
}

// The music's files: every instrument and the song image damaged in each of
// the ways above, one instrument missing. Their voices stay silent and the
// song empty: the player prints its "Music File : " line and no decoded cell,
// and the game plays on.
TEST_F(Faults, DamagedOrMissingMusicFilesLeaveTheMusicSilentAndTheGamePlaying) {
  if (!KORVANE_MUSIC) GTEST_SKIP() << "built with KORVANE_MUSIC=OFF: the game reads no music files";
  const fs::path data = game.CopyData();
  const std::string someWav = e2e::ReadFile(data / "sfx" / "002.wav");
  const std::string somePng = e2e::ReadFile(data / "parts.png");
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(data / "inst")) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  ASSERT_EQ(files.size(), 12u);
  for (size_t i = 0; i < files.size(); ++i) DamageFile(files[i], i % 5, someWav, somePng);
  fs::remove(data / "inst" / "bass0.wav");
  ASSERT_NO_FATAL_FAILURE(Launch());
  ASSERT_TRUE(PlayAPath()) << game.Output();
  e2e::Sleep(1000);
  const std::string out = game.Output();
  EXPECT_NE(out.find("Music File : inst/song.png\n"), std::string::npos) << out;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    EXPECT_EQ(line.find_first_not_of("0123456789:"), line.empty() ? std::string::npos : 0u)
        << "a cell decoded from a damaged song image: " << line;
  }
  EXPECT_EQ(game.Errors().find("inst/"), std::string::npos) << game.Errors();
  ExpectStillRunningWithoutErrors();
}

TEST_F(Faults, TruncatedAndCorruptImagesAndSoundsAreSkipped) {
  DamageDataFiles(game.CopyData());
  ASSERT_NO_FATAL_FAILURE(Launch());
  ASSERT_TRUE(PlayAPath()) << game.Output();
  SuspendDuringPlayAndResume();
  EXPECT_EQ(e2e::StateTokens(e2e::ReadFile(game.StateFile())).size(), 98u);
  ExpectStillRunningWithoutErrors();
}

// --- the state file ------------------------------------------------------------

TEST_F(Faults, DamagedStateKeepsTheSectionsThatAreIntact) {
  game.LinkData();
  // One table broken, then bytes that are not text at all.
  e2e::WriteFile(game.StateFile(), SavedLine(true) + std::string("\xff\xfe\0\x80garbage|||", 14));
  ASSERT_NO_FATAL_FAILURE(Launch());
  ASSERT_TRUE(PlayAPath()) << game.Output();
  const std::string out = game.Output();
  for (const char* line : {"Settings Loaded", "Badges Loaded", "Highscore 0 Loaded", "Highscore 1 Checksum Invalid",
                           "Highscore 2 Loaded"}) {
    EXPECT_NE(out.find(line), std::string::npos) << line << " missing from:\n" << out;
  }
  SuspendDuringPlayAndResume();
  const std::vector<std::string> saved = e2e::StateTokens(e2e::ReadFile(game.StateFile()));
  ASSERT_EQ(saved.size(), 98u);
  EXPECT_EQ(saved[26], "5") << "badges lost";
  EXPECT_EQ(saved[35], "500") << "table 0 lost";
  EXPECT_EQ(saved[77], "700") << "table 2 lost";
  EXPECT_EQ(saved[78], "300") << "table 2 lost";
  ExpectStillRunningWithoutErrors();
}

// 3 GiB: the saved line followed by zeros (sparse, so no disk is used).
TEST_F(Faults, HugeStateFileStillStartsTheGameAndKeepsItsScores) {
  game.LinkData();
  e2e::WriteFile(game.StateFile(), SavedLine(false));
  ASSERT_EQ(truncate(game.StateFile().c_str(), 3LL << 30), 0);
  ASSERT_NO_FATAL_FAILURE(Launch());
  ASSERT_TRUE(PlayAPath()) << game.Output();
  EXPECT_NE(game.Output().find("Highscore 2 Loaded"), std::string::npos) << game.Output();
  SuspendDuringPlayAndResume();
  const std::vector<std::string> saved = e2e::StateTokens(e2e::ReadFile(game.StateFile()));
  ASSERT_EQ(saved.size(), 98u);
  EXPECT_EQ(saved[35], "500");
  EXPECT_EQ(saved[77], "700");
  ExpectStillRunningWithoutErrors();
}

// The state file's permissions were changed: the game cannot read it, and must
// not replace it with a first run's state when it saves. Root reads anything,
// so the program then runs as the unprivileged "nobody" in a folder it may
// write to.
TEST_F(Faults, UnreadableStateFileIsNeverOverwritten) {
  const passwd* nobody = getpwnam("nobody");
  if (geteuid() == 0 && nobody == nullptr) GTEST_SKIP() << "no unprivileged user to run as";
  game.LinkData();
  e2e::WriteFile(game.StateFile(), SavedLine(false));
  ASSERT_EQ(chmod(game.StateFile().c_str(), 0), 0);
  ASSERT_EQ(chmod(game.Folder().c_str(), 0777), 0);
  const uid_t uid = nobody ? nobody->pw_uid : 0;
  const gid_t gid = nobody ? nobody->pw_gid : 0;
  ASSERT_NO_FATAL_FAILURE(Launch({kQuietSound, [uid, gid] {
                                    if (geteuid() == 0 && (setgid(gid) != 0 || setuid(uid) != 0)) _exit(126);
                                  }}));
  ASSERT_TRUE(PlayAPath()) << game.Output() << game.Errors();
  SuspendDuringPlayAndResume();
  ExpectStillRunningWithoutErrors();
  game.Stop();
  ASSERT_EQ(chmod(game.StateFile().c_str(), 0600), 0);
  EXPECT_EQ(e2e::ReadFile(game.StateFile()), SavedLine(false)) << "the saved scores were replaced";
}

TEST_F(Faults, FolderInPlaceOfTheStateFileIsLeftAlone) {
  game.LinkData();
  fs::create_directory(game.StateFile());
  ASSERT_NO_FATAL_FAILURE(Launch());
  ASSERT_TRUE(PlayAPath()) << game.Output();
  SuspendDuringPlayAndResume();
  EXPECT_TRUE(fs::is_directory(game.StateFile()));
  ExpectStillRunningWithoutErrors();
}

// Every save is cut short by a file-size limit of 16 bytes (a full disk
// behaves the same): the old state stays whole and no partial file is left.
TEST_F(Faults, UnwritableStateKeepsTheOldFileWhole) {
  game.LinkData();
  e2e::WriteFile(game.StateFile(), SavedLine(false));
  ASSERT_NO_FATAL_FAILURE(Launch({kQuietSound,
                                  [] {
    std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails instead of killing
    const rlimit limit = {16, 16};
    setrlimit(RLIMIT_FSIZE, &limit);
                                  },
                                  /*outputThroughPipe=*/true}));
  ASSERT_TRUE(PlayAPath()) << game.Output();
  SuspendDuringPlayAndResume();
  ExpectStillRunningWithoutErrors();
  EXPECT_EQ(e2e::ReadFile(game.StateFile()), SavedLine(false));
  for (const auto& entry : fs::directory_iterator(game.Folder())) {
    EXPECT_EQ(entry.path().filename().string().rfind(".vellumstate.", 0), std::string::npos)
        << "left behind: " << entry.path();
  }
}

// --- the window -------------------------------------------------------------------

TEST_F(Faults, WindowSqueezedToOnePixelRowOrColumnComesBackWhole) {
  game.LinkData();
  ASSERT_NO_FATAL_FAILURE(Launch());
  ASSERT_TRUE(WaitForShot(MenuShows)) << "no title menu";
  for (auto size : {std::make_pair(640, 1), std::make_pair(1, 480), std::make_pair(1, 1)}) {
    game.Resize(size.first, size.second);
    e2e::Sleep(1500);  // a size change restarts loading; let it run at this size
    ASSERT_TRUE(game.Running()) << size.first << "x" << size.second << ":\n" << game.Output();
  }
  game.Resize(640, 480);
  EXPECT_TRUE(WaitForShot([](const Shot& s) { return s.width == layout::kWindowWidth && MenuShows(s); }))
      << "the title menu did not come back at 640x480";
  ASSERT_TRUE(PlayAPath()) << game.Output();
  ExpectStillRunningWithoutErrors();
}

}  // namespace
