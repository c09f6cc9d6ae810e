// The desktop host loop: between updates the thread sleeps until the next one
// is due, and it blocks in the window library's event wait while suspended or
// running without timed updates (see host/app.h). It ends when the window is
// closed, taken away by the display server, or a signal asks the program to
// end (host/exit_signals.h); then the application's close runs.
#include "host/app.h"
#include "host/exit_signals.h"
#include "host/graphics_device.h"
#include "host/replay_tap.h"
#include "host/replay_watch.h"
#include "host/window.h"

namespace {

bool running() { return hostwin::IsOpened() && exitsignals::Requested() == 0; }

// The display connection is gone and the program ends with it: the
// application's close is its last chance to save.
void closeOnLostConnection() { app->InvokeOnClose(); }

}  // namespace

int gxtkApp::Run() {
  if (replay::Playing()) return replay::Watch(*this);
  InstallCallbacks();
  exitsignals::Watch(hostwin::WakeEvents);
  if (!WaitForDrawableWindow()) return 0;
  Start();
  hostwin::WatchForLostWindow(closeOnLostConnection);
  while (running()) RunPass();
  InvokeOnClose();
  return 0;
}

// The application is created only once the window has a positive size; a
// window that starts without one is waited for, and one closed before it
// gets a size never creates the application.
bool gxtkApp::WaitForDrawableWindow() {
  while (!graphics->Validate()) {
    if (!running()) return false;
    hostwin::WaitEvents();
  }
  return true;
}

void gxtkApp::RunPass() {
  if (hostwin::IsIconified()) {
    if (!suspended) {
      InvokeOnSuspend();
    } else {
      hostwin::WaitEvents();
    }
    return;
  }
  // Losing the focus alone does not suspend; only a minimised window does.
  if (hostwin::IsActive() && suspended) {
    InvokeOnResume();
    return;
  }
  if (suspended) {  // restored, but not yet active
    hostwin::WaitEvents();
    return;
  }
  if (updateRate == 0) {  // no timed updates: render after each batch of events
    InvokeOnRender();
    hostwin::WaitEvents();
    return;
  }
  double now = hostwin::Time();
  if (now < nextUpdate) {
    hostwin::Sleep(nextUpdate - now);
    return;
  }
  hostwin::PollEvents();
  RunDueUpdates();
  InvokeOnRender();
}
