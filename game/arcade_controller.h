// The arcade-controller mode: a controller that types letters, one letter for
// each button pressed and another for it released, read as holds of the
// game's virtual pads (game/input_actions.h).
//
// m_iCade (a method of the game object, game/arcade_controller.cpp) switches
// the mode and the global vl_Korvane_iCadeControls; while it is 1, the update
// decodes the typed characters with DecodeArcadeLetters. The game only ever
// switches the mode off, so in this build no letter is decoded.
#pragma once

#include "game/my_app.h"

namespace korvane {

// Reads every character typed since the last update (the framework's queue)
// and turns each press letter into a held pad (2) and each release letter
// into a released one (0), in either letter case; other characters are
// skipped. The last character read is kept in `lastChar`.
void DecodeArcadeLetters(vl_Korvane_MyApp& g);

}  // namespace korvane
