// Replays: what recording costs an update, how large a 10-minute game's
// replay is, and how fast the headless runner re-runs it.
//
// The real game runs in a 640x480 window (Xvfb with llvmpipe under tests),
// recorded from program start as the program records it, with a scripted
// player who drags three-gem paths; a game that ends starts again. The
// window's clock is set to 60 updates a second, so that the clock readings
// in the replay are those of real play. After
// 36,000 frames (10 minutes at 60 updates a second) the replay of the last
// finished game is written to the test output folder and korvane-replay
// re-runs it, and the golden quit replay for comparison.
//
// Counters: update median and 99th percentile with recording on (microseconds;
// game_frame_bench's BM_GameUpdatesOnly is the same play with recording off),
// replay_kib, rerun_seconds, startup_seconds (the runner on the shortest
// golden replay) and rerun_updates_per_second (updates beyond the short
// replay per second beyond its time).
#include <GLFW/glfw3.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "host/app.h"
#include "host/replay_tap.h"
#include "tests/support/game_harness.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTenMinutesOfFrames = 36000;
constexpr double kUpdatePeriod = 1.0 / 60;  // seconds: the game's clock moves as in real play
constexpr int kPlayMode = 10;
// Outside a game the player clicks where the Normal button stands in a
// 640x480 window, which also gets past the start screen: every game starts
// through input, as a recording must.
constexpr int kNormalButtonX = 256, kNormalButtonY = 336;
constexpr int kFramesPerClick = 20;
constexpr int kFramesPerDrag = 24;
constexpr int kCellPitch = 32;

std::vector<std::uint8_t> latestReplay;
std::uint32_t latestUpdates = 0;

double Micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }
double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double Percentile(std::vector<double> samples, double fraction) {
  if (samples.empty()) return 0;
  std::sort(samples.begin(), samples.end());
  return samples[static_cast<size_t>(fraction * static_cast<double>(samples.size() - 1))];
}

void ClickNormal(int frame) {
  const int phase = frame % kFramesPerClick;
  gametest::MovePointer(kNormalButtonX, kNormalButtonY);
  if (phase == 1) gametest::PressLeft();
  if (phase == 6) gametest::ReleaseLeft();
}

// Presses on a gem and drags three cells every kFramesPerDrag frames.
void Play(vl_Korvane_MyApp* game, int frame) {
  const int phase = frame % kFramesPerDrag;
  const int drag = frame / kFramesPerDrag;
  const float pitch = kCellPitch * game->scaleX;
  const float x = game->boardX * game->scaleX + pitch * static_cast<float>(drag % 7 + std::min(phase / 4, 2));
  const float y = game->boardY * game->scaleY + pitch * static_cast<float>(drag % std::max(game->gridRows, 1));
  gametest::MovePointer(static_cast<int>(x), static_cast<int>(y));
  if (phase == 1) gametest::PressLeft();
  if (phase == 14) gametest::ReleaseLeft();
}

// Runs korvane-replay on a file: its time in seconds (-1 when it failed)
// and the updates it re-ran.
double TimeRunner(const std::string& file, double* updates) {
  const Clock::time_point start = Clock::now();
  FILE* pipe = popen((std::string(KORVANE_REPLAY) + " " + file).c_str(), "r");
  if (pipe == nullptr) return -1;
  char line[256] = {};
  const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
  const int status = pclose(pipe);
  const char* field = std::strstr(line, "\"updates\":");
  *updates = field ? std::atof(field + std::strlen("\"updates\":")) : 0;
  return read && status == 0 ? Seconds(Clock::now() - start) : -1;
}

void BM_TenMinuteGameRecordedAndReRun(benchmark::State& state) {
  replay::StartRecording([](const replay::Header& header, const std::vector<std::uint8_t>& file) {
    latestReplay = file;
    latestUpdates = header.updates;
  });
  vl_Korvane_MyApp* game = gametest::Game();
  std::vector<double> updates;
  const double start = glfwGetTime();
  for (auto _ : state) {
    for (int frame = 0; frame < kTenMinutesOfFrames; ++frame) {
      glfwSetTime(start + frame * kUpdatePeriod);
      if (game->mode == kPlayMode) {
        Play(game, frame);
      } else {
        ClickNormal(frame);
      }
      const Clock::time_point t0 = Clock::now();
      gametest::Update();
      updates.push_back(Micros(Clock::now() - t0));
      gametest::Render();
    }
  }
  const std::string file = std::string(KORVANE_TEST_OUTPUT_DIR) + "/ten-minutes.kvrp";
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(latestReplay.data()),
                                             static_cast<std::streamsize>(latestReplay.size()));
  double updatesLong = 0, updatesShort = 0;
  const double rerun = TimeRunner(file, &updatesLong);
  const double startup = TimeRunner(KORVANE_SHORT_GOLDEN, &updatesShort);
  state.counters["update_median_us"] = Percentile(updates, 0.5);
  state.counters["update_p99_us"] = Percentile(updates, 0.99);
  state.counters["replay_updates"] = latestUpdates;
  state.counters["replay_kib"] = static_cast<double>(latestReplay.size()) / 1024.0;
  state.counters["rerun_seconds"] = rerun;
  state.counters["startup_seconds"] = startup;
  state.counters["rerun_updates_per_second"] =
      rerun > startup ? (updatesLong - updatesShort) / (rerun - startup) : 0;
}
BENCHMARK(BM_TenMinuteGameRecordedAndReRun)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
