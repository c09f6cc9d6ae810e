// A program built on the real entry point (host/main.cpp) for the start-up
// tests. Its application does what its first argument asks:
//   report   print the window's position and size, then close the window
//   throw    throw a language exception from the first update
//   signal   raise the runtime's raw error signal from the first update
// It prints "created" from its create call, so a test can tell that start-up
// reached the application.
#include <GLFW/glfw3.h>

#include <cstdio>
#include <cstring>

#include "framework/app.h"
#include "framework/graphics.h"
#include "framework/std_main.h"
#include "host/window.h"
#include "runtime/errors.h"
#include "runtime/gc.h"

namespace {

bool Mode(const char* name) { return argc > 1 && std::strcmp(argv[1], name) == 0; }

class ProbeApp : public vl_app_App {
 public:
  int m_OnCreate() override {
    std::printf("created\n");
    if (Mode("report")) {
      int x = 0, y = 0, width = 0, height = 0;
      glfwGetWindowPos(hostwin::Handle(), &x, &y);
      hostwin::GetSize(&width, &height);
      hostwin::DesktopMode desktop = hostwin::GetDesktopMode();
      std::printf("window %d %d %d %d on %d %d\n", x, y, width, height, desktop.width, desktop.height);
      glfwSetWindowShouldClose(hostwin::Handle(), GLFW_TRUE);
    }
    std::fflush(stdout);
    vl_app_SetUpdateRate(60);
    return 0;
  }
  int m_OnUpdate() override {
    if (Mode("throw")) throw new ThrowableObject();
    if (Mode("signal")) dbg_throw("raw error");
    glfwSetWindowShouldClose(hostwin::Handle(), GLFW_TRUE);
    return 0;
  }
};

}  // namespace

int vlInit() {
  gc_assign(vl_graphics_context, (new vl_graphics_GraphicsContext())->g_new());
  return 0;
}

int vlMain() {
  (new ProbeApp())->g_new();
  return 0;
}
