// What a player sees, for tests that look at screenshots of the real window:
// a picture as RGB bytes and the colour tests that recognise the game's
// screens (the menu's green sound switch, the orange pause panel, round one's
// sky blue). Coordinates are window pixels from the top-left corner; where a
// check looks is in tests/support/layout_points.h.
#pragma once

#include <cmath>
#include <cstddef>
#include <functional>
#include <vector>

#include "tests/support/layout_points.h"

namespace testsupport {

struct Colour {
  int r = 0, g = 0, b = 0;
};

inline int Distance(Colour a, Colour b) {
  const int dr = a.r - b.r, dg = a.g - b.g, db = a.b - b.b;
  return static_cast<int>(std::sqrt(static_cast<double>(dr * dr + dg * dg + db * db)));
}

// A screenshot of a window, as RGB bytes, top row first.
struct Shot {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;

  // Black outside the picture.
  Colour At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return {};
    const unsigned char* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
    return {p[0], p[1], p[2]};
  }
  Colour At(Point p) const { return At(p.x, p.y); }
  // Mean colour of the square of side 2 * half + 1 around (x, y).
  Colour Mean(int x, int y, int half) const {
    long r = 0, g = 0, b = 0, n = 0;
    for (int dy = -half; dy <= half; ++dy) {
      for (int dx = -half; dx <= half; ++dx) {
        const Colour c = At(x + dx, y + dy);
        r += c.r;
        g += c.g;
        b += c.b;
        ++n;
      }
    }
    return {static_cast<int>(r / n), static_cast<int>(g / n), static_cast<int>(b / n)};
  }
  // Pixels of the rectangle [x0, x1) x [y0, y1) for which the test holds.
  int Count(int x0, int y0, int x1, int y1, const std::function<bool(Colour)>& test) const {
    int n = 0;
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) n += test(At(x, y)) ? 1 : 0;
    }
    return n;
  }
};

// The menu's sound switch when on (the loading screen has no green).
inline bool IsSwitchGreen(Colour c) { return c.g > 150 && c.r < 120 && c.b < 120; }
inline bool IsPanelOrange(Colour c) { return c.r > 150 && c.g > 70 && c.g < 170 && c.b < 60; }
inline bool IsRoundOneBackground(Colour c) { return Distance(c, {100, 160, 240}) < 12; }

// The title menu of a 640x480 window: its sound switch is on.
inline bool MenuShows(const Shot& s) { return IsSwitchGreen(s.At(layout::kSoundSwitch)); }

// The pause panel covers its area in orange (640x480 window); closed, next to
// nothing of it is left.
constexpr int kPanelShownPixels = 8000;
constexpr int kPanelClosedPixels = 2000;
inline int PanelOrangePixels(const Shot& s) {
  using namespace layout;
  return s.Count(kPausePanel.left, kPausePanel.top, kPausePanel.right, kPausePanel.bottom, IsPanelOrange);
}
inline bool PausePanelShows(const Shot& s) { return PanelOrangePixels(s) > kPanelShownPixels; }
inline bool PausePanelClosed(const Shot& s) { return PanelOrangePixels(s) < kPanelClosedPixels; }

// The game-over overlay (640x480 window): the yellow bar across the left at
// 0.45 of the height, over a darkened board.
inline bool GameOverShows(const Shot& s) {
  const Colour bar = s.Mean(60, 216, 2);
  return bar.r > 110 && bar.g > 110 && bar.b < 90 && s.At(layout::kBackgroundCorner).b < 200;
}

// The title menu's notice that scores are not being saved, bottom left
// (640x480 window): its salmon letters.
inline bool SaveNoticeShows(const Shot& s) {
  const int letters =
      s.Count(8, 455, 200, 476, [](Colour c) { return c.r > 200 && c.g > 90 && c.g < 160 && c.b < 140; });
  return letters > 40;
}

// Colour distance between gems of one kind on a landscape board.
constexpr int kSameKindDistance = 40;

// A cell of the landscape board: column, row.
struct GridCell {
  int c, r;
};

// Three neighbouring cells in a row or column whose gems look alike, skipping
// the first `skip` such runs; an empty list when there are no more.
inline std::vector<GridCell> FindThreeAlikeCells(const Shot& shot, int skip = 0) {
  using layout::Cell;
  using layout::kBoardColumns;
  using layout::kBoardRows;
  Colour mean[kBoardColumns][kBoardRows];
  for (int c = 0; c < kBoardColumns; ++c) {
    for (int r = 0; r < kBoardRows; ++r) mean[c][r] = shot.Mean(Cell(c, r).x, Cell(c, r).y, 6);
  }
  auto alike = [&](int c0, int r0, int c1, int r1) { return Distance(mean[c0][r0], mean[c1][r1]) < kSameKindDistance; };
  for (int r = 0; r < kBoardRows; ++r) {
    for (int c = 0; c + 2 < kBoardColumns; ++c) {
      if (alike(c, r, c + 1, r) && alike(c + 1, r, c + 2, r) && skip-- == 0) return {{c, r}, {c + 1, r}, {c + 2, r}};
    }
  }
  for (int c = 0; c < kBoardColumns; ++c) {
    for (int r = 0; r + 2 < kBoardRows; ++r) {
      if (alike(c, r, c, r + 1) && alike(c, r + 1, c, r + 2) && skip-- == 0) return {{c, r}, {c, r + 1}, {c, r + 2}};
    }
  }
  return {};
}

// The screen points of the first such run, or an empty list.
inline std::vector<Point> FindThreeAlike(const Shot& shot) {
  std::vector<Point> points;
  for (const GridCell& cell : FindThreeAlikeCells(shot)) points.push_back(layout::Cell(cell.c, cell.r));
  return points;
}

}  // namespace testsupport
