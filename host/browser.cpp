// The C++ side of the browser glue (see browser.h); the page-facing half,
// which owns the storage and the data packages, is host/browser.js.
#include "host/browser.h"

#include <GLFW/glfw3.h>
#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include "host/window.h"

namespace {

// clang-format off
EM_JS(int, canvasPixelWidth, (), { return Module.korvane.canvasPixels().width; });
EM_JS(int, canvasPixelHeight, (), { return Module.korvane.canvasPixels().height; });
EM_JS(int, levelReady, (int width, int height), { return Module.korvane.levelReady(width, height) ? 1 : 0; });
EM_JS(void, keepStateFile, (), { Module.korvane.keepState(); });
EM_JS(void, keepReplayFiles, (), { Module.korvane.keepReplays(); });
EM_JS(void, countLoopUpdates, (int updates), { Module.korvane.loop.updates += updates; });
EM_JS(void, noteLoopResume, (double seconds), {
  Module.korvane.loop.resumes++;
  Module.korvane.loop.resumeLeadMs = seconds * 1000;
});
// clang-format on

void (*visibilityListener)(bool) = nullptr;

EM_BOOL onVisibilityChange(int, const EmscriptenVisibilityChangeEvent* event, void*) {
  if (visibilityListener) visibilityListener(event->hidden != 0);
  return EM_FALSE;
}

}  // namespace

namespace browser {

void FitCanvas() {
  GLFWwindow* window = hostwin::Handle();
  if (!window) return;
  const int width = canvasPixelWidth();
  const int height = canvasPixelHeight();
  int current = 0, currentHeight = 0;
  hostwin::GetSize(&current, &currentHeight);
  if (width > 0 && height > 0 && (width != current || height != currentHeight)) {
    glfwSetWindowSize(window, width, height);
  }
}

bool Hidden() {
  EmscriptenVisibilityChangeEvent status;
  return emscripten_get_visibility_status(&status) == EMSCRIPTEN_RESULT_SUCCESS && status.hidden;
}

bool DataReady(int width, int height) { return levelReady(width, height) != 0; }

void KeepState() { keepStateFile(); }

void KeepReplays() { keepReplayFiles(); }

void CountUpdates(int updates) { countLoopUpdates(updates); }

void NoteResume(double secondsToNextUpdate) { noteLoopResume(secondsToNextUpdate); }

void WatchVisibility(void (*onChange)(bool hidden)) {
  visibilityListener = onChange;
  emscripten_set_visibilitychange_callback(nullptr, EM_FALSE, onVisibilityChange);
}

}  // namespace browser
