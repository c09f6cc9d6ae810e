// The browser around the web host: the page's canvas, its visibility, the
// data packages of the three image resolutions, and the saved state's copy in
// the browser's own storage (IndexedDB).
//
// The canvas fills the page; its drawing buffer follows the page size times
// the device pixel ratio, so every size the host reports is in device pixels
// and the game picks its resolution level as on a desktop of that size. The
// data of one resolution level at a time is fetched; the page loads the level
// its first size needs before the program starts, others on demand.
//
// Built only with Emscripten; its JavaScript half is host/browser.js (linked
// in as a pre-script). Main thread only.
#pragma once

namespace browser {

// Brings the drawing buffer to the page size in device pixels; cheap when
// nothing changed, so the loop calls it every animation frame.
void FitCanvas();

// Whether the page is hidden (another tab, a minimised window).
bool Hidden();

// Whether the images for a drawing buffer of this size are in the file
// system; when they are not, their fetch starts (once) and this answers false
// until it is complete.
bool DataReady(int width, int height);

// Copies the state file, just saved, into the browser's storage so that it
// survives a reload. Does nothing in a browser that refuses storage.
void KeepState();

// Copies the replay folder, just written, into the browser's storage (the
// page puts it back before the program starts). Does nothing in a browser
// that refuses storage.
void KeepReplays();

// The loop's figures the page keeps for tests and diagnostics
// (Module.korvane.loop): updates run so far, and after each resume how far
// ahead the next update was scheduled.
void CountUpdates(int updates);
void NoteResume(double secondsToNextUpdate);

// Calls `onChange(hidden)` whenever the page is hidden or shown again.
void WatchVisibility(void (*onChange)(bool hidden));

}  // namespace browser
