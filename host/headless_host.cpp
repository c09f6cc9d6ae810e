// The headless host: what is left of the window and the host loop when a
// replay is re-run with no window (see host/replay_tap.h). The clock, the
// pointer and the window size come from the replay, so the window layer
// answers nothing; the loop makes exactly the calls into the game that the
// recording made, in its order, until its end.
#include "host/app.h"
#include "host/input_device.h"
#include "host/replay_tap.h"
#include "host/window.h"

namespace hostwin {

// Only the schedule of the desktop loop reads this clock; the game's clock
// is answered by the replay.
double Time() { return 0; }

void SetKeyCallback(KeyCallback) {}
void SetCharCallback(CharCallback) {}
void SetMouseButtonCallback(MouseButtonCallback) {}
void SetSizeCallback(SizeCallback) {}
void SetRefreshCallback(RefreshCallback) {}

}  // namespace hostwin

// The replay set the whole input table before each update.
void gxtkInput::PollMouse() {}
void gxtkInput::PollJoystick() {}

int gxtkApp::Run() {
  for (;;) {
    switch (replay::NextStep()) {
      case replay::Step::kCreate: InvokeOnCreate(); break;
      case replay::Step::kUpdate:
        if (suspended || updateRate == 0) replay::Diverged("the recording updates a game that takes no updates");
        InvokeOnUpdate();
        break;
      case replay::Step::kRender: InvokeOnRender(); break;
      case replay::Step::kSuspend: InvokeOnSuspend(); break;
      case replay::Step::kResume: InvokeOnResume(); break;
      case replay::Step::kEnd: return 0;
    }
  }
}
