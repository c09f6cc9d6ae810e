#include "framework/std_main.h"

#include <csignal>

#include "framework/app.h"
#include "framework/audio.h"
#include "framework/graphics.h"
#include "framework/input.h"
#include "runtime/errors.h"
#include "runtime/gc.h"

int argc = 0;
const char** argv = nullptr;

namespace {

// Crash signals reported by the runtime's handler, in installation order.
constexpr int kCrashSignals[] = {SIGSEGV, SIGILL, SIGFPE};

// The collector's roots: the framework's object-typed module globals.
void markFrameworkRoots() {
  gc_enqueue(vl_graphics_device);
  gc_enqueue(vl_input_device);
  gc_enqueue(vl_audio_device);
  gc_enqueue(vl_app_device);
  gc_enqueue(vl_graphics_context);
  gc_enqueue(vl_graphics_renderDevice);
}

}  // namespace

int vl_std_main(int programArgc, const char* programArgv[]) {
  argc = programArgc;
  argv = programArgv;
  for (int signalNumber : kCrashSignals) std::signal(signalNumber, sighandler);
  gc_init1();
  gc_root_marker = markFrameworkRoots;
  vlInit();
  gc_init2();
  vlMain();
  return 0;
}
