// The C++ side of the browser glue (see browser.h); the page-facing half,
// which owns the storage and the data packages, is web/korvane-page.js.
#include "host/browser.h"

#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include "host/window.h"

namespace {

const char kCanvas[] = "#canvas";  // the page's canvas (web/index.html)

// clang-format off
EM_JS(int, canvasPixelWidth, (), { return Module.korvane.canvasPixels().width; });
EM_JS(int, canvasPixelHeight, (), { return Module.korvane.canvasPixels().height; });
EM_JS(int, levelReady, (int width, int height), { return Module.korvane.levelReady(width, height) ? 1 : 0; });
EM_JS(void, keepStateFile, (), { Module.korvane.keepState(); });
EM_JS(void, keepReplayFiles, (), { Module.korvane.keepReplays(); });
EM_JS(void, postGameToPage, (const std::uint8_t* bytes, int size, int difficulty, int claimed), {
  Module.korvane.postGame(HEAPU8.slice(bytes, bytes + size), difficulty, claimed);
});
EM_JS(void, countLoopUpdates, (int updates), { Module.korvane.loop.updates += updates; });
EM_JS(void, noteLoopResume, (double seconds), {
  Module.korvane.loop.resumes++;
  Module.korvane.loop.resumeLeadMs = seconds * 1000;
});
EM_JS(int, gestureSeen, (), { return Module.korvane.gestureSeen() ? 1 : 0; });
EM_JS(void, noteNoAudio, (), { Module.korvane.noAudio(); });
EM_JS(int, reducedMotionAsked, (), {
  return window.matchMedia && window.matchMedia('(prefers-reduced-motion: reduce)').matches ? 1 : 0;
});
// clang-format on

void (*visibilityListener)(bool) = nullptr;

EM_BOOL onVisibilityChange(int, const EmscriptenVisibilityChangeEvent* event, void*) {
  if (visibilityListener) visibilityListener(event->hidden != 0);
  return EM_FALSE;
}

}  // namespace

namespace browser {

// The drawing buffer is sized here, not through the window library: that
// turns a size equal to the screen's into a full-screen request, which the
// browser refuses outside a user gesture and which wraps the canvas in one
// more element each time. The canvas's size on the page is the style sheet's
// (the whole page).
void FitCanvas() {
  if (!hostwin::Handle()) return;
  const int width = canvasPixelWidth();
  const int height = canvasPixelHeight();
  int current = 0, currentHeight = 0;
  hostwin::GetSize(&current, &currentHeight);
  if (width > 0 && height > 0 && (width != current || height != currentHeight) &&
      emscripten_set_canvas_element_size(kCanvas, width, height) == EMSCRIPTEN_RESULT_SUCCESS) {
    hostwin::NoteResized(width, height);
  }
}

bool Hidden() {
  EmscriptenVisibilityChangeEvent status;
  return emscripten_get_visibility_status(&status) == EMSCRIPTEN_RESULT_SUCCESS && status.hidden;
}

bool DataReady(int width, int height) { return levelReady(width, height) != 0; }

void KeepState() { keepStateFile(); }

void KeepReplays() { keepReplayFiles(); }

void PostGame(const std::vector<std::uint8_t>& replay, int difficulty, int claimedScore) {
  postGameToPage(replay.data(), static_cast<int>(replay.size()), difficulty, claimedScore);
}

void CountUpdates(int updates) { countLoopUpdates(updates); }

void NoteResume(double secondsToNextUpdate) { noteLoopResume(secondsToNextUpdate); }

bool GestureSeen() { return gestureSeen() != 0; }

void NoteNoAudio() { noteNoAudio(); }

bool PrefersReducedMotion() { return reducedMotionAsked() != 0; }

void WatchVisibility(void (*onChange)(bool hidden)) {
  visibilityListener = onChange;
  emscripten_set_visibilitychange_callback(nullptr, EM_FALSE, onVisibilityChange);
}

}  // namespace browser
