// Watching a replay in the window (korvane --replay FILE): the host loop
// makes the calls into the game that the recording made, in its order, with
// updates at the game's own rate and renders drawn and heard as they were,
// at the size they were recorded at (the window takes that size). The
// player's input goes nowhere; Escape or the window's close ends watching.
// Depends on host/app.h, host/replay_tap.h and the window (host/window.h).
#pragma once

class gxtkApp;

namespace replay {

// Runs the playing replay to its end or until the player stops it.
int Watch(gxtkApp& app);

}  // namespace replay
