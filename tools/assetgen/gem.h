// The five gem kinds, drawn as cut stones: a rim outline, a flat table in the
// middle and lit facets between them, a dark edge line, a soft highlight and a
// sparkle. Each kind has its own colour and its own silhouette (round, square,
// diamond, triangle, star) so that players who cannot tell the colours apart
// still tell the gems apart. Used by the gem sheet and by every picture that
// shows gems (buttons, title art, logo, badges).
// Depends on canvas.h. Kinds are 1..5; other values draw nothing.
#pragma once

#include <string>

#include "tools/assetgen/canvas.h"

namespace assetgen {

constexpr int kGemKinds = 5;

// The main colour of gem `kind` (1..5).
Colour gemColour(int kind);

// Draws gem `kind` centred on `centre` (design units) with outer radius
// `radius`, turned by `degrees`.
void drawGem(Canvas& c, int kind, Vec2 centre, float radius, float degrees = 0);

// The gem's silhouette as an outline, for shadows and badges.
Outline gemSilhouette(int kind, Vec2 centre, float radius, float degrees = 0);

// Gem `kind` as a scalable drawing: a complete SVG document of `size` by
// `size` units showing the gem centred with outer radius `radius`. The same
// cut, facet shading, edge, table line, glare and sparkle as drawGem, as
// vector shapes (the desktop's scalable icon).
std::string gemSvg(int kind, float size, float radius);

}  // namespace assetgen
