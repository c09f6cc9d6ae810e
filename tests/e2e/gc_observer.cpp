// Linked into korvane-observed: the korvane program's own objects with every
// collector step the host takes (its gc_collect calls after create, update,
// render, suspend and resume) passed through this wrapper (-Wl,--wrap). Once a
// second it writes one line on standard error:
//   gc <ms since start> alloced <bytes> free <bytes> max <bytes> step_us <longest step this second>
// so soak tests can watch the collected bytes over time; and once, after the
// first frame has been drawn (the host's second step, after create and the
// first render):  first_frame_ms <ms since the program's static start-up>.
// Main thread only, as the collector itself.
//
// The linker wraps gc_collect by its symbol name, _Z10gc_collectv (see
// tests/e2e/CMakeLists.txt). Should that name change, the reference to
// __real__Z10gc_collectv below no longer links, and the static_assert stops a
// changed signature; the soak test fails when the reports stop coming.
#include <chrono>
#include <cstdio>
#include <type_traits>

#include "runtime/gc.h"

static_assert(std::is_same_v<decltype(gc_collect), int()>,
              "gc_collect's signature changed: update the wrapped symbol name");

extern "C" int __real__Z10gc_collectv();

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kReportEvery = std::chrono::seconds(1);

const Clock::time_point kStart = Clock::now();
Clock::time_point nextReport = kStart + kReportEvery;
long long longestStepNs = 0;
int steps = 0;
constexpr int kFirstFrameStep = 2;

}  // namespace

extern "C" int __wrap__Z10gc_collectv() {
  const Clock::time_point before = Clock::now();
  const int result = __real__Z10gc_collectv();
  const Clock::time_point after = Clock::now();
  const long long ns = std::chrono::duration_cast<std::chrono::nanoseconds>(after - before).count();
  if (ns > longestStepNs) longestStepNs = ns;
  if (++steps == kFirstFrameStep) {
    std::fprintf(stderr, "first_frame_ms %lld\n",
                 static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(before - kStart).count()));
  }
  if (after >= nextReport) {
    const long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(after - kStart).count();
    std::fprintf(stderr, "gc %lld alloced %d free %d max %d step_us %lld\n", ms, gc_alloced_bytes, gc_free_bytes,
                 gc_max_alloced_bytes, longestStepNs / 1000);
    std::fflush(stderr);
    longestStepNs = 0;
    nextReport = after + kReportEvery;
  }
  return result;
}
