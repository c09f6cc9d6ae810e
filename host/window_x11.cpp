// The desktop window's watch for a display server that takes the window away
// (see WatchForLostWindow in host/window.h). The X library's own handlers end
// the program at the first error, unsaved; these keep it going long enough to
// close in order.
#include <X11/Xlib.h>

#include <cstdio>

#include "host/window.h"

namespace hostwin {
namespace {

void (*connectionLost)() = nullptr;

// Any error from the server once the window is up means the window is gone
// or unusable (another program destroyed it): the loop ends after its pass.
// Drawing calls until then fail harmlessly.
int onXError(Display*, XErrorEvent* error) {
  if (!WindowLost()) {
    std::fprintf(stderr, "korvane: the window was taken away (X error %d); closing\n", error->error_code);
    std::fflush(stderr);
  }
  MarkWindowLost();
  return 0;
}

// The connection is gone; the X library ends the program when this returns.
int onXConnectionLost(Display*) {
  std::fprintf(stderr, "korvane: the connection to the display was lost; closing\n");
  std::fflush(stderr);
  MarkWindowLost();
  if (connectionLost) {
    void (*last)() = connectionLost;
    connectionLost = nullptr;  // once, even if saving meets the same error
    last();
  }
  return 0;
}

}  // namespace

void WatchForLostWindow(void (*onConnectionLost)()) {
  connectionLost = onConnectionLost;
  XSetErrorHandler(onXError);
  XSetIOErrorHandler(onXConnectionLost);
}

}  // namespace hostwin
