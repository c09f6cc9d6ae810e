// The program's module initialiser and main operation, called by the framework
// start-up: vlInit gives every module global its start value (framework and
// game, in one fixed order), vlMain creates the game object and hands it to the
// application module, which installs it as the running application.
#include "framework/app.h"
#include "framework/audio.h"
#include "framework/graphics.h"
#include "framework/input.h"
#include "framework/random.h"
#include "framework/replay.h"
#include "framework/std_main.h"
#include "game/my_app.h"
#include "game/replay_state.h"

float vl_Korvane_rawscrw = 0;
float vl_Korvane_rawscrh = 0;
float vl_Korvane_jscrw = 0;
float vl_Korvane_jscrh = 0;
int vl_Korvane_HasMusic = 0;
int vl_Korvane_DebugMode = 0;
int vl_Korvane_OnScreenControls = 0;
int vl_Korvane_AccelerometerControls = 0;
int vl_Korvane_iCadeControls = 0;

namespace {
constexpr float kDesignWidth = 640;   // virtual pixels
constexpr float kDesignHeight = 480;
constexpr int kRandomSeed = 1234;
// The build switch KORVANE_MUSIC: 1 plays the procedural music and gives the
// sound switch its four modes, 0 keeps effects only.
constexpr int kHasMusic = KORVANE_MUSIC;
constexpr int kRulesOfThisBuild = korvane::kRulesVersion + (kHasMusic ? 0 : korvane::kSilentBuildRules);
}  // namespace

int vlInit() {
  gc_assign(vl_graphics_device, static_cast<gxtkGraphics*>(nullptr));
  gc_assign(vl_input_device, static_cast<gxtkInput*>(nullptr));
  gc_assign(vl_audio_device, static_cast<gxtkAudio*>(nullptr));
  gc_assign(vl_app_device, static_cast<vl_app_AppDevice*>(nullptr));
  gc_assign(vl_graphics_context, (new vl_graphics_GraphicsContext())->g_new());
  vl_graphics_Image::g_DefaultFlags = 0;
  gc_assign(vl_graphics_renderDevice, static_cast<gxtkGraphics*>(nullptr));
  vl_Korvane_HasMusic = kHasMusic;
  vl_Korvane_DebugMode = 0;
  vl_Korvane_rawscrw = kDesignWidth;
  vl_Korvane_jscrw = kDesignWidth;
  vl_Korvane_rawscrh = kDesignHeight;
  vl_Korvane_jscrh = kDesignHeight;
  vl_Korvane_iCadeControls = 0;
  vl_random_Seed = kRandomSeed;
  vl_Korvane_OnScreenControls = 0;
  vl_Korvane_AccelerometerControls = 0;
  return 0;
}

int vlMain() {
  vl_replay_SetRules(kRulesOfThisBuild, korvane::HashGameState);
  (new vl_Korvane_MyApp())->g_new();
  return 0;
}
