#include "host/entry.h"

#include <AL/alc.h>

#include <cstdio>
#include <cstdlib>

#include "host/window.h"
#include "host/window_icon.h"
#include "runtime/errors.h"
#include "runtime/string.h"

namespace {
// The OpenAL device and context; null when opening failed or was not tried.
ALCdevice* alcDevice = nullptr;
ALCcontext* alcContext = nullptr;

constexpr int kWindowWidth = 640;
constexpr int kWindowHeight = 480;
const char kWindowTitle[] = "Korvane";
// WM_CLASS: the menu entry's StartupWMClass names the class.
const char kWindowInstance[] = "korvane";
const char kWindowClass[] = "Korvane";

const char kGlfwInitFailed[] = "glfwInit failed";
const char kGlfwOpenWindowFailed[] = "glfwOpenWindow failed";
const char kAlcOpenDeviceFailed[] = "alcOpenDevice failed";
const char kAlcCreateContextFailed[] = "alcCreateContext failed";
const char kAlcMakeContextCurrentFailed[] = "alcMakeContextCurrent failed";
const char kUncaughtException[] = "Vellum Runtime Error : Uncaught Vellum Exception";

void openWindow() {
  if (!hostwin::Init()) fail(kGlfwInitFailed);
  hostwin::DesktopMode desktop = hostwin::GetDesktopMode();
  hostwin::SetClass(kWindowInstance, kWindowClass);
  if (!hostwin::Open(kWindowWidth, kWindowHeight)) fail(kGlfwOpenWindowFailed);
  hostwin::SetWindowIconFromData();
  hostwin::SetPos(desktop.x + (desktop.width - kWindowWidth) / 2, desktop.y + (desktop.height - kWindowHeight) / 2);
  hostwin::SetTitle(kWindowTitle);
}

// Audio failures are reported and otherwise ignored: the program runs silent.
void openAudio() {
  alcDevice = alcOpenDevice(nullptr);
  if (!alcDevice) {
    std::puts(kAlcOpenDeviceFailed);
  } else if (!(alcContext = alcCreateContext(alcDevice, nullptr))) {
    std::puts(kAlcCreateContextFailed);
  } else if (!alcMakeContextCurrent(alcContext)) {
    std::puts(kAlcMakeContextCurrentFailed);
  }
  std::fflush(stdout);
}

}  // namespace

void StartHost() {
  openWindow();
  openAudio();
}

void ReportUncaughtException() { Print(String(kUncaughtException)); }

void StopHost() {
  if (alcContext) alcDestroyContext(alcContext);
  if (alcDevice) alcCloseDevice(alcDevice);
  alcContext = nullptr;
  alcDevice = nullptr;
  hostwin::Terminate();
}
