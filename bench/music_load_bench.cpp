// The game's frames while the song loads, against frames of the same menu
// with the song playing: each render of the real game in a 640x480 window is
// timed (display-list replay, the player's loading steps, buffer swap). The
// song is started again and again (as the menu does after a game), so every
// one of its 70 loading steps, three per render, is timed many times.
//   music_load_bench [loads]   (needs an X display; default 20 loads)
// Standard output also carries the lines the player prints while it loads;
// the four lines of figures come last.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "game/my_app.h"
#include "music/music_player.h"
#include "tests/support/game_harness.h"

namespace {

using Clock = std::chrono::steady_clock;

double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return 1e3 * static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_nsec);
}

// One render: wall time, and the main thread's own CPU time (which a busy
// machine's other processes do not inflate; OpenGL's own threads are not in it).
struct RenderTime {
  double wallMs, cpuMs;
};
RenderTime TimeRender() {
  const auto start = Clock::now();
  const double cpuStart = ThreadCpuMs();
  gametest::Render();
  return {std::chrono::duration<double, std::milli>(Clock::now() - start).count(), ThreadCpuMs() - cpuStart};
}

void Report(const char* what, std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  std::printf("%-30s frames %4zu  median %6.2f ms  p90 %6.2f ms  p99 %6.2f ms  longest %6.2f ms\n", what, ms.size(),
              ms[ms.size() / 2], ms[ms.size() * 9 / 10], ms[ms.size() * 99 / 100], ms.back());
}

}  // namespace

int main(int argc, char** argv) {
  const int loads = argc > 1 ? std::atoi(argv[1]) : 20;
  vl_Korvane_MyApp* game = gametest::Game();
  if (vl_Korvane_HasMusic == 0 || !gametest::LinkData(true)) {
    std::puts("music_load_bench: needs the music build and its data folder");
    return 1;
  }
  game->loadStage = 1;
  while (game->loadStage > 0) gametest::Step();
  for (int i = 0; i < 60; ++i) gametest::Step();  // the menu has slid in
  vl_KXTrackr_KXPlayer* player = game->musicPlayer;
  std::vector<double> loading, playing, loadingCpu, playingCpu;
  for (int n = 0; n < loads; ++n) {
    player->m_KX_Stop(1);  // as the game-over overlay does; the next update starts the song again
    gametest::Update();
    while (player->loadStep > 0) {
      gametest::Update();
      const RenderTime t = TimeRender();
      loading.push_back(t.wallMs);
      loadingCpu.push_back(t.cpuMs);
    }
    for (int i = 0; i < 30; ++i) {
      gametest::Update();
      const RenderTime t = TimeRender();
      playing.push_back(t.wallMs);
      playingCpu.push_back(t.cpuMs);
    }
  }
  Report("render while the song loads", loading);
  Report("render with the song playing", playing);
  Report("  main thread CPU, loading", loadingCpu);
  Report("  main thread CPU, playing", playingCpu);
  return 0;
}
