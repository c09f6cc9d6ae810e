// What the host loop costs while the application does nothing: a real window
// (run under Xvfb), OpenAL as configured, an empty application at 60 updates
// per second for 10 seconds. Reports the updates and renders per second and
// the CPU time the process used, as a share of one core.
//
//   DISPLAY=... ALSOFT_DRIVERS=null build-bench/bench/host_loop_idle_bench
#include <GLFW/glfw3.h>
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include "framework/app.h"
#include "framework/graphics.h"
#include "framework/std_main.h"
#include "host/entry.h"
#include "host/window.h"
#include "runtime/gc.h"

namespace {

constexpr double kIdleSeconds = 10.0;

int updates = 0;
int renders = 0;
double createTime = 0;

class EmptyApp : public vl_app_App {
 public:
  int m_OnCreate() override {
    vl_app_SetUpdateRate(60);
    createTime = hostwin::Time();
    return 0;
  }
  int m_OnUpdate() override {
    ++updates;
    if (hostwin::Time() - createTime >= kIdleSeconds) {
      glfwSetWindowShouldClose(hostwin::Handle(), GLFW_TRUE);
    }
    return 0;
  }
  int m_OnRender() override {
    ++renders;
    return 0;
  }
};

double ProcessCpuSeconds() {
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void BM_HostLoopIdleAt60(benchmark::State& state) {
  for (auto _ : state) {
    StartHost();
    const char* args[] = {"host_loop_idle_bench", nullptr};
    vl_std_main(1, args);
    double cpuBefore = ProcessCpuSeconds();
    double wallBefore = hostwin::Time();
    runner();
    double wall = hostwin::Time() - wallBefore;
    double cpu = ProcessCpuSeconds() - cpuBefore;
    StopHost();
    state.counters["updates_per_s"] = updates / wall;
    state.counters["renders_per_s"] = renders / wall;
    state.counters["cpu_percent_of_core"] = 100.0 * cpu / wall;
  }
}
BENCHMARK(BM_HostLoopIdleAt60)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int vlInit() {
  gc_assign(vl_graphics_context, (new vl_graphics_GraphicsContext())->g_new());
  return 0;
}

int vlMain() {
  (new EmptyApp())->g_new();
  return 0;
}

BENCHMARK_MAIN();
