// The window sizes that choose the image set's resolution level. Every image
// comes at three sizes (level 1, and twice and four times that size, the
// "-hd" and "-hd2" files); a window whose longer side in device pixels is
// above a threshold draws the next level, scaled down to the virtual screen.
//
// The browser page chooses which level's data to fetch with the same two
// numbers: web/CMakeLists.txt reads them from this file into the page's
// generated levels script, so the definitions below keep their one-line form.
#pragma once

namespace korvane {

constexpr int kLevel2Above = 630;   // device pixels: a longer side loads the twice-size images
constexpr int kLevel4Above = 1230;  // device pixels: a longer side loads the four-times-size images

}  // namespace korvane
