// A contact sheet: one picture showing every generated image sheet (at the
// middle resolution) on a checkerboard, with its file name, followed by
// previews of the screens that combine them (title menu, loading screen and
// play field) laid out the way the game draws them on a 640 x 480 screen.
// For reviewing the art; the game never reads it. Depends on catalogue.h.
#pragma once

#include "tools/assetgen/canvas.h"
#include "tools/assetgen/catalogue.h"

namespace assetgen {

Canvas contactSheet(const Fonts& fonts);

}  // namespace assetgen
