// The window's icon: the game's icon pictures, read from the data folder as
// "data/icons/korvane-<size>.png" for 32, 64 and 128 pixels (the build's icon
// tool writes them beside the menu entry's icons), decoded by the host's own
// image loader and handed to the window. Task bars and switchers then show
// the game's picture rather than a generic one.
//
// A picture that is missing or cannot be decoded is left out, silently: the
// icon is decoration, and the game starts without it. Call after the window
// is open.
#pragma once

namespace hostwin {

// Loads the pictures that can be read and sets them as the window's icon.
// Returns how many were set (0 leaves the window's icon as it was).
int SetWindowIconFromData();

}  // namespace hostwin
