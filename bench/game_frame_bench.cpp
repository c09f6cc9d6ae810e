// Per-frame cost of the real game in play: the update (rules, input snapshot,
// display list), the render submission (the display-list replay through the
// graphics module, up to the last batch flush) and the whole render with the
// buffer swap, plus OpenGL draw calls per frame. The game runs in a real
// 640x480 window on the display in DISPLAY (Xvfb with llvmpipe under tests),
// through the same harness as the game's window tests, with a scripted player
// who drags three-gem paths so that gems flip, shatter and fall.
//
// Reported as counters: median and 99th percentile in microseconds.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "framework/app.h"
#include "host/app.h"
#include "host/graphics_device.h"
#include "host/replay_tap.h"
#include "runtime/gc.h"
#include "tests/support/game_harness.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kNewGameMode = 11;  // the dispatch starts a game in this mode
constexpr int kPlayMode = 10;
constexpr int kDifficulty = 2;
constexpr int kFramesPerDrag = 24;  // press, three cells of drag, release
constexpr int kCellPitch = 32;      // virtual pixels per cell at scale 1

double Micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

double Percentile(std::vector<double> samples, double fraction) {
  if (samples.empty()) return 0;
  std::sort(samples.begin(), samples.end());
  size_t index = static_cast<size_t>(fraction * static_cast<double>(samples.size() - 1));
  return samples[index];
}

// Waits out the loader, then starts a game.
vl_Korvane_MyApp* StartPlaying() {
  vl_Korvane_MyApp* game = gametest::Game();
  while (game->loadStage > 0) gametest::Step();
  game->difficulty = kDifficulty;
  game->mode = kNewGameMode;
  gametest::Step();
  return game;
}

// A player who presses on a gem and drags three cells to the right every
// kFramesPerDrag frames; rows and columns vary so that some paths succeed.
void Play(vl_Korvane_MyApp* game, int frame) {
  int phase = frame % kFramesPerDrag;
  int drag = frame / kFramesPerDrag;
  // The cell pitch the play field uses in a landscape window.
  float scale = std::min(vl_Korvane_jscrw / static_cast<float>(game->gridCols),
                         vl_Korvane_jscrh / static_cast<float>(game->gridRows + 2)) / kCellPitch;
  float pitch = kCellPitch * scale;
  float x = game->boardX + pitch * static_cast<float>(drag % 7);
  float y = game->boardY + pitch * static_cast<float>(drag % game->gridRows);
  int step = std::min(phase / 4, 2);
  gametest::MovePointer(static_cast<int>((x + pitch * static_cast<float>(step)) * game->scaleX),
                        static_cast<int>(y * game->scaleY));
  if (phase == 1) gametest::PressLeft();
  if (phase == 14) gametest::ReleaseLeft();
}

void BM_GameFrameInPlay(benchmark::State& state) {
  vl_Korvane_MyApp* game = StartPlaying();
  std::vector<double> updates, submissions, renders, drawCalls;
  int frame = 0;
  for (auto _ : state) {
    if (game->mode != kPlayMode) game->mode = kNewGameMode;  // a finished game starts again
    Play(game, frame++);

    Clock::time_point t0 = Clock::now();
    gametest::Update();
    Clock::time_point t1 = Clock::now();

    // The host's guarded render, taken apart to time the submission alone.
    long callsBefore = graphics_seams::drawCalls;
    app->graphics->BeginRender();
    Clock::time_point t2 = Clock::now();
    app->OnRender();
    Clock::time_point t3 = Clock::now();
    app->graphics->EndRender();
    gc_collect();
    Clock::time_point t4 = Clock::now();

    updates.push_back(Micros(t1 - t0));
    submissions.push_back(Micros(t3 - t2));
    renders.push_back(Micros(t4 - t2));
    drawCalls.push_back(static_cast<double>(graphics_seams::drawCalls - callsBefore));
  }
  state.counters["update_median_us"] = Percentile(updates, 0.5);
  state.counters["update_p99_us"] = Percentile(updates, 0.99);
  state.counters["submit_median_us"] = Percentile(submissions, 0.5);
  state.counters["submit_p99_us"] = Percentile(submissions, 0.99);
  state.counters["render_swap_median_us"] = Percentile(renders, 0.5);
  state.counters["draw_calls_median"] = Percentile(drawCalls, 0.5);
  state.counters["draw_calls_max"] = Percentile(drawCalls, 1.0);
}
BENCHMARK(BM_GameFrameInPlay)->Iterations(3000)->Unit(benchmark::kMicrosecond);

// The same play with updates only and no rendering in between (the display
// list is rebuilt by every update, so the rules run alike): the update alone,
// quick enough to run under an instruction-counting profiler such as
// valgrind --tool=callgrind --toggle-collect='gametest::Update()'.
void TimeUpdates(benchmark::State& state) {
  vl_Korvane_MyApp* game = StartPlaying();
  std::vector<double> updates;
  int frame = 0;
  for (auto _ : state) {
    if (game->mode != kPlayMode) game->mode = kNewGameMode;
    Play(game, frame++);
    Clock::time_point t0 = Clock::now();
    gametest::Update();
    updates.push_back(Micros(Clock::now() - t0));
  }
  state.counters["update_median_us"] = Percentile(updates, 0.5);
  state.counters["update_p99_us"] = Percentile(updates, 0.99);
}
void BM_GameUpdatesOnly(benchmark::State& state) { TimeUpdates(state); }
BENCHMARK(BM_GameUpdatesOnly)->Iterations(3000)->Unit(benchmark::kMicrosecond);

// The same updates while the replay tap records every answer, as the program
// always does (from here on: the recording is only timed, never re-run).
void BM_GameUpdatesRecorded(benchmark::State& state) {
  if (!replay::Recording()) replay::StartRecording(nullptr);
  TimeUpdates(state);
}
BENCHMARK(BM_GameUpdatesRecorded)->Iterations(3000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
