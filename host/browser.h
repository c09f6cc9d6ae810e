// The browser around the web host: the page's canvas, its visibility, the
// data packages of the three image resolutions, the saved state's copy in
// the browser's own storage (IndexedDB), the player's first gesture (sound
// may start only after it) and the reduced-motion setting.
//
// The canvas fills the page; its drawing buffer follows the page size times
// the device pixel ratio, so every size the host reports is in device pixels
// and the game picks its resolution level as on a desktop of that size. The
// data of one resolution level at a time is fetched; the page loads the level
// its first size needs before the program starts, others on demand.
//
// Built only with Emscripten; its JavaScript half is web/korvane-page.js (the
// page's script, which sets up Module.korvane before the program starts). Main
// thread only.
#pragma once

#include <cstdint>
#include <vector>

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

// Hands a finished game's replay to the page (web/korvane-scores.js), which
// posts it to the world score server when the page came from one and the
// player chose to post; either way the page shows that difficulty's world
// table. Never waits: the page queues the game and posts it in the
// background.
void PostGame(const std::vector<std::uint8_t>& replay, int difficulty, int claimedScore);

// The loop's figures the page keeps for tests and diagnostics
// (Module.korvane.loop): updates run so far, and after each resume how far
// ahead the next update was scheduled.
void CountUpdates(int updates);
void NoteResume(double secondsToNextUpdate);

// Whether the player has clicked, pressed a key or touched the page: only
// then may the page start sound.
bool GestureSeen();

// Tells the player, once, that the game is silent: the browser cannot play
// sound (no Web Audio).
void NoteNoAudio();

// Whether the player asked for less motion (prefers-reduced-motion: reduce).
bool PrefersReducedMotion();

// Calls `onChange(hidden)` whenever the page is hidden or shown again.
void WatchVisibility(void (*onChange)(bool hidden));

}  // namespace browser
