// korvane_music_demo: plays a generated demo song through the music player so
// that a person can check it by ear.
//
//   korvane_music_demo [seconds] [seed]
//
// Plays the game's song and instruments, which the asset generator wrote into
// the build's data folder: it works in the folder that holds that "data"
// folder and runs the ordinary host loop with a small application that
// starts the player and shows one bar per voice with its current volume. The window closes by itself after `seconds`
// seconds of music (default 20; 0 plays until the window is closed). `seed` picks the arrangement (default 1).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "framework/app.h"
#include "framework/audio.h"
#include "framework/graphics.h"
#include "framework/input.h"
#include "framework/random.h"
#include "framework/std_main.h"
#include "host/window.h"
#include "music/music_player.h"
#include "runtime/errors.h"

namespace {

const char kSongFile[] = "inst/song.png";
// The folder that holds the generated "data" folder.
const char kDataParent[] = KORVANE_DATA_PARENT;
const char kNoData[] = "korvane_music_demo: cannot work in the build folder " KORVANE_DATA_PARENT;
const char kPlayingLine[] = "korvane_music_demo: playing; close the window to stop early";
constexpr int kSampleNumber = 0;
constexpr int kUpdateRate = 60;
constexpr int kInitialSeed = 1234;
constexpr int kDefaultSongSeed = 1;
// The game's arguments to the player: channels below 32, and four values
// that nothing reads.
constexpr int kChannelBase = 32;

constexpr int kDefaultSeconds = 20;
int playSeconds = kDefaultSeconds;  // 0: until the window is closed
int songSeed = kDefaultSongSeed;

class DemoApp : public vl_app_App {
 public:
  vl_KXTrackr_KXPlayer* player = nullptr;
  int playingSinceMs = -1;

  DemoApp* g_new() {
    vl_app_App::g_new();
    return this;
  }

  int m_OnCreate() override {
    vl_app_SetUpdateRate(kUpdateRate);
    gc_assign(player, (new vl_KXTrackr_KXPlayer())->g_new());
    player->m_KX_Init(kChannelBase, 4, 3, 3, 4);
    player->m_KX_Start(T(kSongFile), kSampleNumber, kSampleNumber, kSampleNumber, kSampleNumber, kSampleNumber,
                       songSeed);
    return 0;
  }

  int m_OnUpdate() override {
    player->m_KX_Alive_U(0, 1);
    if (player->playState == 2 && playingSinceMs < 0) playingSinceMs = vl_app_Millisecs();
    constexpr int kMsPerSecond = 1000;
    if (playSeconds > 0 && playingSinceMs >= 0 && vl_app_Millisecs() - playingSinceMs >= playSeconds * kMsPerSecond) {
      // Time is up: close the window as a person would; the host loop ends
      // and the program shuts audio down in order.
      hostwin::RequestClose();
    }
    return 0;
  }

  int m_OnRender() override {
    player->m_KX_Alive_R();  // loads while loading, then clears to black
    DrawVoices();
    return 0;
  }

  void mark() override { gc_enqueue(player); }

 private:
  // One bar per voice, as long as the voice's current volume, and a marker
  // running along the rows of the bar.
  void DrawVoices() {
    constexpr float kLeft = 40.0f, kTop = 60.0f, kBarHeight = 40.0f, kGap = 20.0f;
    constexpr float kFullWidth = 560.0f;
    const float colours[5][3] = {{230, 90, 60}, {230, 170, 60}, {90, 200, 240}, {120, 230, 120}, {190, 120, 240}};
    for (int v = 0; v < player->voiceCount && v < 5; ++v) {
      const float y = kTop + v * (kBarHeight + kGap);
      vl_graphics_SetColor(40, 40, 40);
      vl_graphics_DrawRect(kLeft, y, kFullWidth, kBarHeight);
      vl_graphics_SetColor(colours[v][0], colours[v][1], colours[v][2]);
      const float muted = player->mute[v] ? 0.3f : 1.0f;
      vl_graphics_SetAlpha(muted);
      vl_graphics_DrawRect(kLeft, y, kFullWidth * player->voiceVolume[v], kBarHeight);
      vl_graphics_SetAlpha(1);
    }
    const float rowX = kLeft + kFullWidth * player->row / 64.0f;
    vl_graphics_SetColor(255, 255, 255);
    vl_graphics_DrawRect(rowX, kTop - 20.0f, 4.0f, 10.0f);
  }
};

}  // namespace

int vlInit() {
  gc_assign(vl_graphics_device, static_cast<gxtkGraphics*>(nullptr));
  gc_assign(vl_input_device, static_cast<gxtkInput*>(nullptr));
  gc_assign(vl_audio_device, static_cast<gxtkAudio*>(nullptr));
  gc_assign(vl_app_device, static_cast<vl_app_AppDevice*>(nullptr));
  gc_assign(vl_graphics_context, (new vl_graphics_GraphicsContext())->g_new());
  gc_assign(vl_graphics_renderDevice, static_cast<gxtkGraphics*>(nullptr));
  vl_random_Seed = kInitialSeed;
  return 0;
}

int vlMain() {
  if (argc > 1) playSeconds = std::atoi(argv[1]);
  if (argc > 2) songSeed = std::atoi(argv[2]);
  if (chdir(kDataParent) != 0) fail(kNoData);
  std::puts(kPlayingLine);
  std::fflush(stdout);
  (new DemoApp())->g_new();
  return 0;
}
