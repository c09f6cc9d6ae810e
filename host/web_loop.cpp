// The browser's host loop: one pass per animation frame, never blocking (a
// page that blocks freezes the tab). The rules are the desktop's: updates at
// the set rate, at most seven to catch up, then one render; suspended while
// the page is hidden and resumed with the schedule one full period later.
// Window events arrive between frames, where the desktop loop would poll.
#include <emscripten/emscripten.h>
#include <sys/stat.h>

#include "host/app.h"
#include "host/audio_device.h"
#include "host/browser.h"
#include "host/entry.h"
#include "host/graphics_device.h"
#include "host/window.h"

namespace {

// 0: the browser's own frame rate (requestAnimationFrame), which pauses in
// hidden pages.
constexpr int kAnimationFrames = 0;

// Emscripten starts the program with every permission bit masked, so a file
// created with the mask applied (the state file) could not be read back.
constexpr mode_t kDesktopUmask = 022;

void RunAnimationFrame() { app->RunPass(); }

// Animation frames stop in a hidden page, so suspension cannot wait for the
// next one: a pass runs as the page is hidden. The pass suspends only a
// created application; before creation it calls nothing of the game, whose
// suspend would save the constructor's empty tables over the stored scores.
void onPageVisibility(bool hidden) {
  if (hidden) app->RunPass();
}

// A page may start sound only after the player's first click, key or touch:
// the audio output opens at the first pass after it (see audio_device.h).
bool audioTried = false;
void openAudioAfterGesture() {
  if (audioTried || !browser::GestureSeen()) return;
  audioTried = true;
  if (OpenAudio()) {
    app->audio->OutputOpened();
  } else {
    app->audio->OutputFailed();
    browser::NoteNoAudio();
  }
}

}  // namespace

// Hands the loop to the browser; returns only once the browser runs it (the
// program's stack is unwound, so main's shut-down code never runs: closing
// the tab ends the program).
int gxtkApp::Run() {
  umask(kDesktopUmask);
  InstallCallbacks();
  audio->AwaitOutput();
  browser::WatchVisibility(onPageVisibility);
  emscripten_set_main_loop(RunAnimationFrame, kAnimationFrames, true);
  return 0;
}

void gxtkApp::RunPass() {
  openAudioAfterGesture();
  if (browser::Hidden()) {  // a game not yet created is not called at all
    if (created) InvokeOnSuspend();
    return;
  }
  browser::FitCanvas();
  if (!created) {  // the application is created once the canvas has a size
    if (!graphics->Validate()) return;
    created = true;
    Start();
    return;
  }
  if (suspended) {
    InvokeOnResume();
    browser::NoteResume(nextUpdate - hostwin::Time());
    return;
  }
  // Until the images of this size's resolution level have arrived, the game
  // is held where it is (it would otherwise load files that are not there).
  if (!browser::DataReady(graphics->Width(), graphics->Height()) || updateRate == 0) {
    InvokeOnRender();
    return;
  }
  if (hostwin::Time() < nextUpdate) return;
  browser::CountUpdates(RunDueUpdates());
  InvokeOnRender();
}
