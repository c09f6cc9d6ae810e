// Linked into korvane-observed: the korvane program's own objects with an
// observer on every collector step the host takes (its gc_collect calls after
// create, update, render, suspend and resume), installed through the
// collector's gc_step_observer hook before main runs. Once a second it writes
// one line on standard error:
//   gc <ms since start> alloced <bytes> free <bytes> max <bytes> step_us <us>
//      load_step_us <us> step_cpu_us <us>
// so soak tests can watch the collected bytes over time. The three figures are
// this second's longest step: step_us and step_cpu_us (the thread's own CPU
// time, without preemption) outside loading, load_step_us while the game
// loads assets (its loader runs, or a loaded image or sound forced a full
// collection). And once, after the
// first frame has been drawn (the host's second step, after create and the
// first render):  first_frame_ms <ms since the program's static start-up>.
// Main thread only, as the collector itself. The soak test fails when the
// reports stop coming, so a hook the collector no longer calls shows at once.
#include <chrono>
#include <cstdio>
#include <ctime>

#include "framework/app.h"
#include "game/my_app.h"
#include "runtime/gc.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kReportEvery = std::chrono::seconds(1);

const Clock::time_point kStart = Clock::now();
Clock::time_point nextReport = kStart + kReportEvery;
long long longestStepNs = 0, longestLoadStepNs = 0, longestStepCpuNs = 0;
int steps = 0;
constexpr int kFirstFrameStep = 2;

long long threadCpuNs() {
  timespec now;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// Whether this step belongs to loading: the game's loader is running, or a
// surface or sample just loaded asked for a full collection.
bool loading() {
  if (gc_force_sweep) return true;
  const auto* game = vl_app_device ? dynamic_cast<vl_Korvane_MyApp*>(vl_app_device->app) : nullptr;
  return game && game->loadStage > 0;
}

// The step's start, taken by beforeStep for afterStep.
bool stepDuringLoad = false;
long long stepCpuBefore = 0;
Clock::time_point stepBefore;

void beforeStep() {
  stepDuringLoad = loading();
  stepCpuBefore = threadCpuNs();
  stepBefore = Clock::now();
}

void afterStep() {
  const Clock::time_point after = Clock::now();
  const long long cpuNs = threadCpuNs() - stepCpuBefore;
  const long long ns = std::chrono::duration_cast<std::chrono::nanoseconds>(after - stepBefore).count();
  if (stepDuringLoad) {
    if (ns > longestLoadStepNs) longestLoadStepNs = ns;
  } else {
    if (ns > longestStepNs) longestStepNs = ns;
    if (cpuNs > longestStepCpuNs) longestStepCpuNs = cpuNs;
  }
  if (++steps == kFirstFrameStep) {
    std::fprintf(
        stderr, "first_frame_ms %lld\n",
        static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(stepBefore - kStart).count()));
  }
  if (after >= nextReport) {
    const long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(after - kStart).count();
    std::fprintf(stderr, "gc %lld alloced %d free %d max %d step_us %lld load_step_us %lld step_cpu_us %lld\n", ms,
                 gc_alloced_bytes, gc_free_bytes, gc_max_alloced_bytes, longestStepNs / 1000, longestLoadStepNs / 1000,
                 longestStepCpuNs / 1000);
    std::fflush(stderr);
    longestStepNs = longestLoadStepNs = longestStepCpuNs = 0;
    nextReport = after + kReportEvery;
  }
}

constexpr gc_step_hooks kObserver{beforeStep, afterStep};

// Installed during static initialisation, before the host's first step.
[[maybe_unused]] const bool kInstalled = (gc_step_observer = &kObserver, true);

}  // namespace
