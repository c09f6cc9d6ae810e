// The image files as the game's loaders read them: names with resolution
// suffixes, frame sizes and counts cut left to right with wrapping rows, the
// fonts' character layout, and the frames each screen draws.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/tools/generated_data.h"
#include "tools/assetgen/geometry.h"

namespace {

using assetgen_test::generatedData;
using assetgen_test::Image;
using assetgen_test::loadImage;

// What the game's loader asks for: name, frame size at level 1, frame count.
struct Wanted {
  const char* name;
  int frameWidth, frameHeight, frames;
};
const Wanted kSheets[] = {
    {"common/icons", 32, 32, 16},
    {"common/Buttons", 64, 64, 16},
    {"common/dpad", 32, 32, 16},
    {"common/icade", 64, 64, 2},
    {"common/ZEVOLogo", 256, 256, 1},
    {"fonts/editundo", 16, 16, 128},
    {"menu", 256, 256, 4},
    {"logo", 256, 128, 1},
    {"parts", 8, 8, 16},
    {"BadgesA", 64, 64, 64},
    {"gems", 32, 32, 16},
};
constexpr int kLevels[] = {1, 2, 4};
constexpr int kTextureLimit = 4096;

std::string fileFor(const std::string& name, int level) {
  const char* suffix = level == 4 ? "-hd2" : level == 2 ? "-hd" : "";
  return generatedData() + "/" + name + suffix + ".png";
}

struct Rect {
  int x, y, w, h;
};

// Frame corners the way the image loader grabs them: left to right, moving
// to the next row when a frame would pass the right edge. Empty on overflow.
std::vector<Rect> grabFrames(const Image& img, int fw, int fh, int count) {
  std::vector<Rect> frames;
  int cx = 0, cy = 0;
  for (int i = 0; i < count; ++i) {
    if (cx + fw > img.width) {
      if (fw > img.width) return {};
      cx = 0;
      cy += fh;
    }
    if (cy + fh > img.height) return {};
    frames.push_back({cx, cy, fw, fh});
    cx += fw;
  }
  return frames;
}

struct Ink {
  int pixels = 0;
  int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;  // bounds of visible pixels
};

Ink inkOf(const Image& img, Rect r, int threshold = 24) {
  Ink ink;
  for (int y = r.y; y < r.y + r.h; ++y)
    for (int x = r.x; x < r.x + r.w; ++x)
      if (img.alpha(x, y) > threshold) {
        ++ink.pixels;
        ink.x0 = std::min(ink.x0, x - r.x);
        ink.y0 = std::min(ink.y0, y - r.y);
        ink.x1 = std::max(ink.x1, x - r.x);
        ink.y1 = std::max(ink.y1, y - r.y);
      }
  return ink;
}

struct Loaded {
  Image image;
  std::vector<Rect> frames;
};

Loaded loadSheet(const std::string& name, int level) {
  for (const Wanted& w : kSheets)
    if (name == w.name) {
      Loaded l{loadImage(fileFor(name, level)), {}};
      if (l.image.ok()) l.frames = grabFrames(l.image, w.frameWidth * level, w.frameHeight * level, w.frames);
      return l;
    }
  return {};
}

TEST(ImageFiles, EverySheetExistsAndFitsTheLoaderAtEachLevel) {
  for (const Wanted& w : kSheets) {
    Image base = loadImage(fileFor(w.name, 1));
    for (int level : kLevels) {
      SCOPED_TRACE(std::string(w.name) + " level " + std::to_string(level));
      Image img = loadImage(fileFor(w.name, level));
      ASSERT_TRUE(img.ok()) << "missing or unreadable";
      EXPECT_LE(img.width, kTextureLimit);
      EXPECT_LE(img.height, kTextureLimit);
      // Whole frames only, and every requested frame inside the picture.
      EXPECT_EQ(img.width % (w.frameWidth * level), 0);
      EXPECT_EQ(img.height % (w.frameHeight * level), 0);
      EXPECT_EQ(grabFrames(img, w.frameWidth * level, w.frameHeight * level, w.frames).size(), size_t(w.frames));
      // The larger files are the same layout at exactly 2 and 4 times the size.
      ASSERT_TRUE(base.ok());
      EXPECT_EQ(img.width, base.width * level);
      EXPECT_EQ(img.height, base.height * level);
    }
  }
}

TEST(ImageFiles, FramesTheScreensDrawAreNotEmpty) {
  struct Used {
    const char* sheet;
    std::vector<int> frames;
  };
  const Used used[] = {
      {"gems", {0, 1, 2, 3, 4}},
      {"common/icons", {0, 1, 3, 4, 5, 6, 7, 8, 9, 10}},
      {"common/Buttons", {0, 1, 2, 15}},
      {"common/ZEVOLogo", {0}},
      {"menu", {0, 1, 2}},
      {"logo", {0}},
      {"BadgesA", {0}},
      {"common/dpad", {0, 1, 2, 3, 4, 5, 6}},
      {"common/icade", {0, 1}},
      {"parts", {0, 1, 2, 3}},
  };
  for (const Used& u : used)
    for (int level : kLevels) {
      Loaded l = loadSheet(u.sheet, level);
      ASSERT_FALSE(l.frames.empty()) << u.sheet;
      for (int f : u.frames)
        EXPECT_GT(inkOf(l.image, l.frames[f]).pixels, 0) << u.sheet << " frame " << f << " level " << level;
    }
}

// Distance from the frame centre to the silhouette's edge in each of 72
// directions, divided by the mean distance: the shape regardless of its size.
std::vector<double> radialProfile(const Image& img, Rect r) {
  std::vector<double> profile;
  double sum = 0;
  for (int i = 0; i < 72; ++i) {
    double a = assetgen::toRadians(i * 5.0f), cx = r.x + r.w / 2.0, cy = r.y + r.h / 2.0;
    double dist = 0;
    for (double t = 0; t < r.w / 2.0; t += 0.25) {
      int x = int(cx + std::cos(a) * t), y = int(cy + std::sin(a) * t);
      if (x < r.x || y < r.y || x >= r.x + r.w || y >= r.y + r.h || img.alpha(x, y) <= 128) break;
      dist = t;
    }
    profile.push_back(dist);
    sum += dist;
  }
  for (double& d : profile) d /= sum / profile.size();
  return profile;
}

TEST(ImageFiles, GemsHaveFiveDifferentSilhouettesFillingTheirCells) {
  for (int level : kLevels) {
    Loaded l = loadSheet("gems", level);
    ASSERT_GE(l.frames.size(), 5u);
    std::vector<std::vector<double>> profiles;
    for (int k = 0; k < 5; ++k) {
      Rect r = l.frames[k];
      Ink ink = inkOf(l.image, r, 128);
      // Drawn about 60 pixels wide on screen: the gem uses most of its cell.
      int w = ink.x1 - ink.x0 + 1, h = ink.y1 - ink.y0 + 1;
      EXPECT_GE(std::max(w, h), r.w * 13 / 16) << "gem " << k << " level " << level;
      EXPECT_GE(std::min(w, h), r.w / 2) << "gem " << k << " level " << level;
      profiles.push_back(radialProfile(l.image, r));
    }
    // Shapes, not only colours, tell the kinds apart: in some direction every
    // pair of silhouettes differs by a clear share of their size (a circle and
    // a square differ by about a tenth; a circle and a hexagon by less).
    for (int a = 0; a < 5; ++a)
      for (int b = a + 1; b < 5; ++b) {
        double most = 0;
        for (size_t i = 0; i < profiles[a].size(); ++i)
          most = std::max(most, std::fabs(profiles[a][i] - profiles[b][i]));
        EXPECT_GT(most, 0.085) << "gems " << a << " and " << b << " have the same shape, level " << level;
      }
  }
}

TEST(ImageFiles, TitleArtCoversTheBackgroundAndLeavesTheMiddleOpen) {
  for (int level : kLevels) {
    Loaded l = loadSheet("menu", level);
    ASSERT_GE(l.frames.size(), 3u);
    // Frame 0 at three times its size fills a 640 x 480 screen: the middle
    // 213 x 160 units of the frame must be opaque.
    Rect bg = l.frames[0];
    int minAlpha = 255;
    for (int y = 48 * level; y < 208 * level; ++y)
      for (int x = 22 * level; x < 234 * level; ++x)
        minAlpha = std::min<int>(minAlpha, l.image.alpha(bg.x + x, bg.y + y));
    EXPECT_GT(minAlpha, 200) << "level " << level;
    // Frame 1 frames the screen: its middle stays clear for the logo and buttons.
    Rect fg = l.frames[1];
    Rect middle{fg.x + 78 * level, fg.y + 98 * level, 100 * level, 60 * level};
    EXPECT_EQ(inkOf(l.image, middle, 40).pixels, 0) << "level " << level;
  }
}

TEST(GameFont, CharactersSitInTheirFramesAndFitTheAdvance) {
  const int kAdvance = 7, kCell = 16;
  for (int level : kLevels) {
    Loaded l = loadSheet("fonts/editundo", level);
    ASSERT_EQ(l.frames.size(), 128u);
    // Frame n shows character n + 32: a blank space, a drawn 'A'.
    EXPECT_EQ(inkOf(l.image, l.frames[0], 0).pixels, 0) << "space not blank at level " << level;
    EXPECT_GT(inkOf(l.image, l.frames['A' - 32]).pixels, 0);
    // Codes beyond the printable range draw nothing.
    for (int f = 127 - 32; f < 128; ++f) EXPECT_EQ(inkOf(l.image, l.frames[f], 0).pixels, 0) << "frame " << f;
    for (int code = 33; code < 127; ++code) {
      Ink ink = inkOf(l.image, l.frames[code - 32], 100);
      ASSERT_GT(ink.pixels, 0) << "character " << code << " missing at level " << level;
      // Centred on the cell and no wider than the advance plus its dark edge,
      // so that neighbours in a line do not run into each other.
      float centreX = (ink.x0 + ink.x1 + 1) / 2.0f / level;
      EXPECT_NEAR(centreX, kCell / 2.0f, 1.5f) << "character " << code;
      EXPECT_LE((ink.x1 - ink.x0 + 1) / float(level), kAdvance + 3.0f) << "character " << code;
    }
    // Capitals sit on the middle of the cell, where the text writer puts the centre.
    Ink h = inkOf(l.image, l.frames['H' - 32], 100);
    EXPECT_NEAR((h.y0 + h.y1 + 1) / 2.0f / level, kCell / 2.0f, 1.5f);
  }
}

TEST(DefaultFont, NinetySixFramesWithGuttersStartingWithSpace) {
  Image img = loadImage(generatedData() + "/kiri_font.png");
  ASSERT_TRUE(img.ok());
  ASSERT_EQ(img.width % 96, 0);
  int pitch = img.width / 96;
  ASSERT_GT(pitch, 2);
  for (int f = 0; f < 96; ++f)
    for (int y = 0; y < img.height; ++y) {
      EXPECT_EQ(img.alpha(f * pitch, y), 0) << "left gutter of frame " << f;
      EXPECT_EQ(img.alpha(f * pitch + pitch - 1, y), 0) << "right gutter of frame " << f;
    }
  EXPECT_EQ(inkOf(img, {0, 0, pitch, img.height}, 0).pixels, 0) << "frame 0 must be a space";
  EXPECT_GT(inkOf(img, {('A' - 32) * pitch, 0, pitch, img.height}).pixels, 0);
}

}  // namespace
