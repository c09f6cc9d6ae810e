// Keeping what a screen writes inside the window: where a text written by
// m_Text lands (the box of its character cells at the current size), anchors
// moved so that a text lies within the virtual screen less a margin, and the
// size and centre that keep an image inside it.
//
// The screens place texts and art as fractions of the virtual screen, which
// is 640 wide or 480 high and smaller on the other side; these helpers let
// them keep their places where there is room and move in where there is not.
// Depends on the game object's draw state and image table only; texts are
// taken as unrotated (no screen writes rotated text).
#pragma once

#include "game/my_app.h"

namespace korvane {

// Virtual pixels kept free between a text or the title art and the window's
// edge: room for the glyphs' outline and shadow beyond their cells.
constexpr float kScreenMargin = 8;

struct Box {
  float left, top, right, bottom;
};

// The cells of the characters m_Text would draw for `text` at (x, y) with the
// given alignment and the current size: from the first character's left edge
// to the widest line's right edge, from the first line's top to the last
// line's bottom. Every character counts, as in m_Text's own layout.
Box TextBox(const vl_Korvane_MyApp& g, float x, float y, const String& text, float alignX, float alignY);

// How far a box must move (dx, dy) to lie inside the virtual screen less the
// margin; a box too large for the room keeps its top-left edge inside.
void ShiftInside(const Box& box, float& dx, float& dy);

// The pause button of the play screen: the icon sheet's pause frame at its
// natural size, centred this far from the top left corner.
constexpr int kIconSheet = 97;
constexpr float kPauseButtonCentre = 16;

// Half the width of a frame of image `slot` at size `size`, in virtual pixels.
float HalfImageWidth(const vl_Korvane_MyApp& g, int slot, float size);

// m_Text at (x, y), moved just enough to keep the whole text inside the
// screen; returns the box the text was written in.
Box WriteTextInside(vl_Korvane_MyApp& g, float x, float y, const String& text, float alignX, float alignY);

// The largest size up to `size` at which a frame of image `slot` fits the
// screen's width less the margins, and the centre x nearest to `x` at which it
// lies inside.
void FitImageAcross(const vl_Korvane_MyApp& g, int slot, float& x, float& size);

}  // namespace korvane
