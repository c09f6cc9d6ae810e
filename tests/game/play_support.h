// Helpers for driving a real game through whole games: a prepared board, the
// pointer on a cell, paths dragged update by update, the sound effects an
// update started and the texts it wrote, all read from the game's own state,
// its audio device and its display list.
//
// Every helper works on the one game of gametest::Game() and runs updates
// followed by renders, so the scale and virtual screen follow the window.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tests/support/game_harness.h"

namespace playtest {

using Cell = std::pair<int, int>;  // column, row in grid terms

// Links the generated data, runs the loader to its end and puts the game back
// into a quiet menu (no box, no pause, no overlay, sound on, nothing held).
// False when the build has no data folder.
bool ReadyInMenu(int windowWidth = 640, int windowHeight = 480);

// Runs updates (each followed by a render) until loading has finished.
void FinishLoading();

// Starts a game at the difficulty from the menu, the way a click does
// (mode 11), and runs its first update.
void StartGame(int difficulty);

// Replaces the board by gems at rest: rows[r][c] is the kind of cell (c, r)
// in grid terms ('1'.. for gems, '0' for an empty cell). Clears paths, marks,
// combo and fragments and records that nothing moved, so that gems can be
// taken in the next update.
void SetBoard(const std::vector<std::string>& rows);
int KindAt(int c, int r);
bool InPath(int c, int r);
bool Marked(int c, int r);
float CellOffset(int c, int r);

// Window pixel at the centre of cell (c, r) at rest, from the board position
// of the last update.
std::pair<int, int> CellPixel(int c, int r);
// Window pixel of a point in virtual pixels.
std::pair<int, int> WindowPixel(float x, float y);

// Presses on the first cell, moves over the others one update each and
// releases (one more update). Returns the sound slots started meanwhile.
std::vector<int> DragPath(const std::vector<Cell>& cells);

// A click at a virtual point: press for one update, release for one update.
void ClickVirtual(float x, float y);
// A key held for one update and released in the next.
void TapKey(int code);

// Rotor position to pass to SoundsSince.
int SoundMark();
// Sound slots started by m_PlaySFX since the mark, oldest first.
std::vector<int> SoundsSince(int mark);

// The texts of the current display list, one string per written line (spaces
// restored from the pen positions), in drawing order.
std::vector<std::string> TextLines();
bool HasText(const std::string& line);
bool HasTextContaining(const std::string& part);

// The first rectangle record of the current display list with its top-left
// corner at (x, y), or null.
const float* FindRect(float x, float y);

// Number of image records of a slot and frame in the current display list;
// the position of the first one.
int CountImages(int slot, int frame);
bool FindImage(int slot, int frame, float* x, float* y);
bool HasImageAt(int slot, int frame, float x, float y);

}  // namespace playtest
