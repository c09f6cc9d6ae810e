// The board cursor: playing the board without a pointer. The directions
// (arrows, W/A/S/D, the game pad's stick and pad) move a cursor over the grid
// and the first button (Space, Enter, Z, the pad's first button) held down
// holds the gem under it the way a held pointer does, so that moving the
// cursor while the button is held draws a path through the same rules as a
// drag, and letting go ends it.
//
// The cursor is hidden until a controller key is used on the play screen; the
// first key only shows it where it stands. Pointer motion or a press hides it
// again. The cursor stands on a cell in grid terms, so a turned (portrait)
// board keeps it on the same gem, and each direction moves it the way the key
// points on the screen. It holds nothing while the pause panel is open or the
// game has ended, and a key already down when a game or round starts counts
// only once it is let go and pressed again.
//
// Depends on the game object's fields and m_PlayKey only; the play field asks
// it, cell by cell, whether the cursor holds that cell.
#pragma once

#include "game/my_app.h"

namespace korvane {

// One update of the cursor, before the play field scans the board.
void RunBoardCursor(vl_Korvane_MyApp& g);

// Whether the first button holds the cursor's cell (c, r) in this update.
bool CursorHoldsCell(const vl_Korvane_MyApp& g, int c, int r);

// Ends a hold and makes every key already down wait for its release; for the
// start of a game or round.
void RestartBoardCursor(vl_Korvane_MyApp& g);

// Draws the cursor, when shown, as a frame around the cell centred at (x, y)
// with the cell pitch `pitch`.
void DrawBoardCursor(vl_Korvane_MyApp& g, float x, float y, float pitch);

}  // namespace korvane
