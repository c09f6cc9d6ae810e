#include "host/app.h"

#include <iterator>

#include "host/audio_device.h"
#if defined(__EMSCRIPTEN__) && !defined(KORVANE_HEADLESS)
#include "host/browser.h"
#endif
#include "host/graphics_device.h"
#include "host/input_device.h"
#include "host/key_codes.h"
#include "host/replay_tap.h"
#include "host/state_file.h"
#include "host/window.h"
#include "runtime/gc.h"

gxtkApp* app = nullptr;
int (*runner)() = nullptr;

namespace {

// Updates run back to back when the loop has fallen behind; any backlog
// beyond this is dropped so that one stall cannot snowball.
constexpr int kMaxUpdatesPerPass = 7;

constexpr double kMillisecondsPerSecond = 1000.0;

// Framework key codes of the three mouse buttons, in the window library's
// button order (left, right, middle).
constexpr int kMouseButtonKeys[] = {keycode::kMouseLeft, keycode::kMouseRight, keycode::kMouseMiddle};

// What AppTitle answers; nothing reads it (the window title is set at start-up).
const char kUntitled[] = "<TODO>";

}  // namespace

int RunApp() {
  app->Run();
  return 0;
}

gxtkApp::gxtkApp()
    : graphics(nullptr),
      input(nullptr),
      audio(nullptr),
      updateRate(0),
      nextUpdate(0),
      updatePeriod(0),
      suspended(false) {
  app = this;
  gc_assign(graphics, new gxtkGraphics());
  gc_assign(input, new gxtkInput());
  gc_assign(audio, new gxtkAudio());
  runner = RunApp;
}

// The framework's device globals keep the devices alive in the program; the
// host traces them as well so that a host object on its own never points at
// a collected device.
void gxtkApp::mark() {
  gc_enqueue(graphics);
  gc_enqueue(input);
  gc_enqueue(audio);
}

gxtkGraphics* gxtkApp::GraphicsDevice() { return graphics; }
gxtkInput* gxtkApp::InputDevice() { return input; }
gxtkAudio* gxtkApp::AudioDevice() { return audio; }
String gxtkApp::AppTitle() { return String(kUntitled); }
String gxtkApp::LoadState() { return replay::AnswerState(LoadStateFile); }
int gxtkApp::SaveState(String state) {
  return UpdateState([&state](const String&) { return state; });
}
// A replay never touches the saved scores: re-run or watched, each save
// answers as the recording saw it.
int gxtkApp::UpdateState(const StateMerge& merge) {
  const int result = replay::AnswerSave([&merge] { return UpdateStateFile(merge); });
#if defined(__EMSCRIPTEN__) && !defined(KORVANE_HEADLESS)
  // The browser's file system lives in memory: the page keeps a copy.
  if (result == kStateSaved) browser::KeepState();
#endif
  return result;
}
String gxtkApp::LoadString(String path) { return LoadTextFile(path); }

int gxtkApp::SetUpdateRate(int hertz) {
  updateRate = hertz;
  if (hertz != 0) {
    updatePeriod = 1.0 / hertz;
    nextUpdate = hostwin::Time() + updatePeriod;
  }
  return 0;
}

int gxtkApp::MilliSecs() { return replay::AnswerClock(static_cast<int>(hostwin::Time() * kMillisecondsPerSecond)); }

// The answer steers the title menu's slide-in, so replays record it.
bool gxtkApp::ReducedMotion() {
#if defined(__EMSCRIPTEN__) && !defined(KORVANE_HEADLESS)
  return replay::AnswerReducedMotion(browser::PrefersReducedMotion());
#else
  return replay::AnswerReducedMotion(false);
#endif
}

int gxtkApp::Loading() { return 0; }
int gxtkApp::OnCreate() { return 0; }
int gxtkApp::OnSuspend() { return 0; }
int gxtkApp::OnResume() { return 0; }
int gxtkApp::OnUpdate() { return 0; }
int gxtkApp::OnRender() { return 0; }
int gxtkApp::OnLoading() { return 0; }
int gxtkApp::OnClose() { return 0; }

void gxtkApp::InvokeOnCreate() {
  graphics->Validate();
  replay::OnCreate();
  OnCreate();
  gc_collect();
}

void gxtkApp::InvokeOnUpdate() {
  if (suspended || updateRate == 0 || !graphics->Validate()) return;
  input->BeginUpdate();
  replay::OnUpdate(*input, graphics->width, graphics->height);
  OnUpdate();
  input->EndUpdate();
  replay::AfterUpdate();
  gc_collect();
}

void gxtkApp::InvokeOnRender() {
  if (suspended || !graphics->Validate()) return;
  replay::OnRender(graphics->width, graphics->height);
  graphics->BeginRender();
  OnRender();
  graphics->EndRender();  // swaps only a frame that differs from the one on screen
  gc_collect();
}

void gxtkApp::InvokeOnSuspend() {
  if (suspended) return;
  suspended = true;
  replay::OnSuspend();
  OnSuspend();
  audio->OnSuspend();
  // Stop the schedule but keep the rate (as set by OnSuspend) for the resume.
  if (updateRate != 0) {
    int rate = updateRate;
    SetUpdateRate(0);
    updateRate = rate;
  }
  gc_collect();
}

void gxtkApp::InvokeOnResume() {
  if (!suspended) return;
  replay::OnResume();
  if (updateRate != 0) {
    int rate = updateRate;
    updateRate = 0;
    SetUpdateRate(rate);  // the first update comes one full period from now
  }
  audio->OnResume();
  OnResume();
  suspended = false;
  graphics->MarkScreenStale();  // a restored window shows whatever the system left in it
  gc_collect();
}

// A replay being watched ends without the game's close: the game would save,
// and a replay never touches the saved scores.
void gxtkApp::InvokeOnClose() {
  if (!created || closed || replay::Playing()) return;
  closed = true;
  OnClose();
  gc_collect();
}

void gxtkApp::InstallCallbacks() {
  // Held keys repeat as presses and events are handled only between passes of
  // the loop: both are how the window layer always behaves.
  hostwin::SetKeyCallback(OnKey);
  hostwin::SetCharCallback(OnChar);
  hostwin::SetSizeCallback(OnWindowSize);
  hostwin::SetRefreshCallback(OnWindowRefresh);
  hostwin::SetMouseButtonCallback(OnMouseButton);
}

void gxtkApp::Start() {
  created = true;
  InvokeOnCreate();
  InvokeOnRender();  // one first frame before any update
}

int gxtkApp::RunDueUpdates() {
  for (int i = 0; i < kMaxUpdatesPerPass; ++i) {
    nextUpdate += updatePeriod;
    InvokeOnUpdate();
    if (updateRate == 0 || nextUpdate > hostwin::Time()) return i + 1;
  }
  nextUpdate = hostwin::Time();  // still behind: drop the backlog
  return kMaxUpdatesPerPass;
}

void OnKey(int key, int action) {
  int code = TransKey(key);
  if (code == 0) return;
  if (action == 0) {
    app->input->OnKeyUp(code);
  } else if (action == 1) {
    app->input->OnKeyDown(code);
    if (int chr = KeyToChar(code)) app->input->PutChar(chr);
  }
}

void OnChar(int chr, int action) {
  if (action == 1) app->input->PutChar(chr);
}

void OnMouseButton(int button, int action) {
  if (button < 0 || button >= static_cast<int>(std::size(kMouseButtonKeys))) return;
  int code = kMouseButtonKeys[button];
  if (action == 1) {
    app->input->OnKeyDown(code);
  } else if (action == 0) {
    app->input->OnKeyUp(code);
  }
}

// The graphics device reads the window size itself before every update and
// render, and a frame of another size is always drawn.
void OnWindowSize(int, int) {}

// The window's picture was exposed or damaged: the next render draws even a
// frame that is the same as the last one drawn.
void OnWindowRefresh() {
  if (app) app->graphics->MarkScreenStale();
}
