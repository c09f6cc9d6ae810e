// Soak: the korvane program (korvane-observed, which reports its collected
// bytes once a second) under random but legal input on a display of its own
// with openbox: clicks, drags across the board, keys, window resizes, and
// minimise and restore. It must not crash or raise a runtime error, and after
// a warm-up that visits every image resolution its collected bytes and its
// resident memory must stay flat.
//
// KORVANE_SOAK_SECONDS sets the length (60 by default; tools/soak.sh runs
// 600), KORVANE_SOAK_SEED the input sequence (random otherwise; printed).
// Figures over time are printed every 10 seconds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/korvane_process.h"
#include "tests/support/private_display.h"
#include "tests/support/wait_until.h"

namespace {

using e2e::KorvaneProcess;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kDefaultSeconds = 60;
constexpr int kReportEverySeconds = 10;
// Growth allowed after warm-up: allocator and driver caches settle in steps.
constexpr long kRssSlackKiB = 64 * 1024;
constexpr long kGcSlackBytes = 1 << 20;
constexpr int kLoadSettleMs = 2500;  // the loader's 23 updates plus decoding the largest images

struct Sample {
  int seconds = 0;
  long rssKiB = 0;
  long gcAlloced = 0;  // from the last report line
  long gcMax = 0;
  long stepUs = 0;      // longest collector step in that report's second, outside loading
  long loadStepUs = 0;  // the same while loading
  long stepCpuUs = 0;   // CPU time of the longest step outside loading
};

constexpr const char* kGcLine = "gc %ld alloced %ld free %ld max %ld step_us %ld load_step_us %ld step_cpu_us %ld";
constexpr int kGcLineFields = 7;

// The last "gc ..." line of the program's standard error.
void ReadGc(const std::string& errors, Sample& s) {
  const size_t at = errors.rfind("gc ");
  if (at == std::string::npos) return;
  long ms = 0, freeBytes = 0;
  std::sscanf(errors.c_str() + at, kGcLine, &ms, &s.gcAlloced, &freeBytes, &s.gcMax, &s.stepUs, &s.loadStepUs,
              &s.stepCpuUs);
}

// The longest steps over the whole run.
Sample LongestSteps(const std::string& errors) {
  Sample longest;
  std::istringstream lines(errors);
  std::string line;
  while (std::getline(lines, line)) {
    Sample s;
    long ms, freeBytes;
    if (std::sscanf(line.c_str(), kGcLine, &ms, &s.gcAlloced, &freeBytes, &s.gcMax, &s.stepUs, &s.loadStepUs,
                    &s.stepCpuUs) == kGcLineFields) {
      longest.stepUs = std::max(longest.stepUs, s.stepUs);
      longest.loadStepUs = std::max(longest.loadStepUs, s.loadStepUs);
      longest.stepCpuUs = std::max(longest.stepCpuUs, s.stepCpuUs);
    }
  }
  return longest;
}

class RandomPlayer {
 public:
  RandomPlayer(KorvaneProcess& game, unsigned seed) : game_(game), random_(seed) {}

  int Pick(int from, int to) { return std::uniform_int_distribution<int>(from, to)(random_); }

  // One legal action, in window pixels of a width x height window.
  void Act(int width, int height) {
    const int roll = Pick(0, 99);
    if (roll < 45) {
      game_.Click(Pick(0, width - 1), Pick(0, height - 1));
    } else if (roll < 80) {
      Drag(width, height);
    } else {
      static const char* const kKeys[] = {"Escape", "Return", "space", "Up", "Down", "Left",     "Right",
                                          "1",      "2",      "3",     "a",  "z",    "BackSpace"};
      game_.Key(kKeys[Pick(0, static_cast<int>(sizeof kKeys / sizeof kKeys[0]) - 1)]);
    }
  }

 private:
  // A path from a random cell through up to five neighbours, as a player
  // drags: 60 pixels per cell in a 640x480 window, scaled with the window.
  void Drag(int width, int height) {
    namespace layout = testsupport::layout;
    const double scale = std::max(width / double(layout::kWindowWidth), height / double(layout::kWindowHeight));
    const int lastColumn = layout::kBoardColumns - 1, lastRow = layout::kBoardRows - 1;
    int x = Pick(0, lastColumn), y = Pick(0, lastRow);
    std::vector<testsupport::Point> points;
    for (int n = Pick(1, 5); n > 0; --n) {
      const testsupport::Point cell = layout::Cell(x, y);
      points.push_back({static_cast<int>(cell.x * scale), static_cast<int>(cell.y * scale)});
      if (Pick(0, 1)) {
        x = std::clamp(x + Pick(-1, 1), 0, lastColumn);
      } else {
        y = std::clamp(y + Pick(-1, 1), 0, lastRow);
      }
    }
    game_.Drag(points);
  }

  KorvaneProcess& game_;
  std::mt19937 random_;
};

// The soak's figures come from the observer on the host's collector steps:
// if the host stopped reaching it, the soak would measure nothing.
TEST(CollectorObserver, ReportsTheHostsCollectorStepsEverySecond) {
  if (!fs::is_directory(KORVANE_BUILD_DATA_DIR)) GTEST_SKIP() << "the build has no generated data folder";
  if (!e2e::HaveDisplayTools()) GTEST_SKIP() << "xdotool or ImageMagick is missing (tools/install-deps.sh)";
  PrivateDisplay display(/*withWindowManager=*/false);
  if (!display.ready()) GTEST_SKIP() << "Xvfb could not be started here";
  KorvaneProcess game;
  game.LinkData();
  game.Start(KORVANE_OBSERVED_PROGRAM, {{"ALSOFT_DRIVERS=null"}, nullptr, false});
  ASSERT_TRUE(game.WaitForWindow()) << game.Output() << game.Errors();
  constexpr std::chrono::seconds kReportsWithin(20);  // two reports, on a busy machine
  EXPECT_TRUE(testsupport::WaitUntil(
      [&] {
    const std::string errors = game.Errors();
    return errors.find("first_frame_ms ") != std::string::npos && errors.find("gc ") != errors.rfind("gc ");
      },
      kReportsWithin, std::chrono::milliseconds(100)))
      << "korvane-observed reported no collector steps:\n"
      << game.Errors();
}

TEST(Soak, RandomPlayKeepsRunningWithFlatMemory) {
  if (!fs::is_directory(KORVANE_BUILD_DATA_DIR)) GTEST_SKIP() << "the build has no generated data folder";
  if (!e2e::HaveDisplayTools()) GTEST_SKIP() << "xdotool or ImageMagick is missing (tools/install-deps.sh)";
  PrivateDisplay display(/*withWindowManager=*/true);
  if (!display.ready()) GTEST_SKIP() << "Xvfb with openbox could not be started here";
  const char* secondsText = std::getenv("KORVANE_SOAK_SECONDS");
  const int seconds = secondsText ? std::max(30, std::atoi(secondsText)) : kDefaultSeconds;
  const char* seedText = std::getenv("KORVANE_SOAK_SEED");
  const unsigned seed = seedText ? static_cast<unsigned>(std::atol(seedText)) : std::random_device()();
  std::printf("soak: %d s, seed %u\n", seconds, seed);

  KorvaneProcess game;
  game.LinkData();
  game.Start(KORVANE_OBSERVED_PROGRAM, {{"ALSOFT_DRIVERS=null"}, nullptr, false});
  ASSERT_TRUE(game.WaitForWindow()) << game.Output() << game.Errors();
  RandomPlayer player(game, seed);

  // Warm-up: every size the soak uses (all three image resolutions, both
  // orientations) and one minimise.
  const std::pair<int, int> kSizes[] = {{640, 480}, {800, 600}, {1280, 960}, {480, 640}, {1000, 700}};
  int width = 640, height = 480;
  auto resize = [&](std::pair<int, int> size) {
    e2e::Shell("xdotool windowmove " + game.Window() + " 0 0");
    game.Resize(size.first, size.second);
    width = size.first;
    height = size.second;
  };
  for (int i = 4; i >= 0; --i) {
    resize(kSizes[i]);
    // A resize restarts loading; let it finish, so that the images of every
    // resolution have been resident once before memory is measured.
    e2e::Sleep(kLoadSettleMs);
    for (int k = 0; k < 6; ++k) player.Act(width, height);
  }
  game.Minimise();
  e2e::Sleep(500);
  game.Restore();

  const auto start = Clock::now();
  const int warmUp = seconds / 4;
  std::vector<Sample> samples;
  int nextReport = 0;
  printf("  time_s   rss_KiB   gc_alloced   gc_max   step_us  load_step_us\n");
  for (;;) {
    const int now = static_cast<int>(std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start).count());
    if (now >= seconds || !game.Running()) break;
    if (now >= nextReport) {
      Sample s;
      s.seconds = now;
      s.rssKiB = game.ResidentKiB();
      ReadGc(game.Errors(), s);
      samples.push_back(s);
      std::printf("  %6d  %8ld  %11ld  %7ld  %8ld  %12ld\n", s.seconds, s.rssKiB, s.gcAlloced, s.gcMax, s.stepUs,
                  s.loadStepUs);
      std::fflush(stdout);
      nextReport += kReportEverySeconds;
    }
    const int roll = player.Pick(0, 99);
    if (roll < 3) {
      resize(kSizes[player.Pick(0, 4)]);
    } else if (roll < 5) {
      game.Minimise();
      e2e::Sleep(player.Pick(200, 1500));
      game.Restore();
    } else {
      player.Act(width, height);
    }
    e2e::Sleep(player.Pick(0, 150));
  }

  ASSERT_TRUE(game.Running()) << "exit code " << game.ExitCode() << ", signal " << game.Signal() << "\n"
                              << game.Output() << game.Errors();
  EXPECT_EQ(game.Output().find("Runtime Error"), std::string::npos) << game.Output();
  const Sample longest = LongestSteps(game.Errors());
  std::printf(
      "soak: longest collector step %ld us outside loading (longest CPU time of one %ld us, in the thread clock's ticks), %ld us while loading\n",
      longest.stepUs, longest.stepCpuUs, longest.loadStepUs);

  long warmRss = 0, warmGc = 0, lateRss = 0, lateGc = 0;
  for (const Sample& s : samples) {
    if (s.seconds <= warmUp) {
      warmRss = std::max(warmRss, s.rssKiB);
      warmGc = std::max(warmGc, s.gcAlloced);
    } else {
      lateRss = std::max(lateRss, s.rssKiB);
      lateGc = std::max(lateGc, s.gcAlloced);
    }
  }
  std::printf("soak: after warm-up (%d s) rss %ld KiB -> highest later %ld KiB; gc %ld -> %ld bytes\n", warmUp, warmRss,
              lateRss, warmGc, lateGc);
  // Without reports the memory checks below would pass on zeros.
  ASSERT_GT(warmGc, 0) << "the collector observer reported nothing during the warm-up:\n" << game.Errors();
  ASSERT_GT(lateGc, 0) << "the collector observer reported nothing after the warm-up:\n" << game.Errors();
  EXPECT_LE(lateRss, warmRss + kRssSlackKiB) << "resident memory grew after warm-up";
  EXPECT_LE(lateGc, 2 * warmGc + kGcSlackBytes) << "collected bytes grew after warm-up";
}

}  // namespace
