#include "host/replay_watch.h"

#include <GLFW/glfw3.h>

#include "host/app.h"
#include "host/graphics_device.h"
#include "host/replay_tap.h"
#include "host/window.h"

namespace replay {

namespace {

bool escapePressed = false;

void onWatchKey(int key, int action) {
  if (key == GLFW_KEY_ESCAPE && action == 1) escapePressed = true;
}

// Waits for the update's turn at the rate the game set; a late update runs at
// once, and the schedule starts again from it rather than racing to catch up.
void paceUpdate(const gxtkApp& app, double* due) {
  const double now = hostwin::Time();
  if (*due > now) hostwin::Sleep(*due - now);
  *due = (*due < now ? now : *due) + (app.updateRate > 0 ? 1.0 / app.updateRate : 0);
}

// The window follows the recorded size, so the game is seen as it was played.
void followSize(int* shown) {
  int width = 0, height = 0;
  PlayedSize(&width, &height);
  if (width <= 0 || height <= 0 || (width == shown[0] && height == shown[1])) return;
  shown[0] = width;
  shown[1] = height;
  hostwin::SetSize(width, height);
}

}  // namespace

int Watch(gxtkApp& app) {
  hostwin::SetKeyCallback(onWatchKey);
  double due = hostwin::Time();
  int shown[2] = {0, 0};
  while (hostwin::IsOpened() && !escapePressed) {
    const Step step = NextStep();
    followSize(shown);
    switch (step) {
      case Step::kCreate: app.InvokeOnCreate(); break;
      case Step::kUpdate:
        paceUpdate(app, &due);
        app.InvokeOnUpdate();
        break;
      case Step::kRender: app.InvokeOnRender(); break;
      case Step::kSuspend: app.InvokeOnSuspend(); break;
      case Step::kResume: app.InvokeOnResume(); break;
      case Step::kEnd: return 0;
    }
    hostwin::PollEvents();
  }
  return 0;
}

}  // namespace replay
