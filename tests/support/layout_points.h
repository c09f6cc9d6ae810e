// Where things are on the game's screens, in window pixels of a 640x480
// window (virtual screen and window coincide there, scale 1), for tests that
// click on the real program or look at its screenshots. Larger windows of the
// same shape scale these points (Scaled).
#pragma once

namespace testsupport {

struct Point {
  int x, y;
};

struct Area {
  int left, top, right, bottom;
};

constexpr Point Scaled(Point p, int factor) { return {p.x * factor, p.y * factor}; }

namespace layout {

constexpr int kWindowWidth = 640;
constexpr int kWindowHeight = 480;

// Title menu: the difficulty buttons stand in a row at 0.7 of the height, at
// 0.2, 0.4 and 0.6 of the width.
constexpr Point kEasyButton{128, 336};
constexpr Point kNormalButton{256, 336};
constexpr Point kHardButton{384, 336};
// In a 480x640 (portrait) window the buttons stand in a column at 0.3 of the
// width; hard is the lowest, at 0.85 of the height.
constexpr Point kPortraitHardButton{144, 544};
// The sound switch on the menu's left edge, sampled 20 pixels above its centre.
constexpr Point kSoundSwitch{32, 220};
// Portrait: the switch moves to the top edge.
constexpr Point kPortraitSoundSwitch{240, 16};

// The pause panel's orange area and its quit button.
constexpr Area kPausePanel{180, 196, 460, 300};
constexpr Point kPauseQuitButton{180, 184};

// A point on the background below the board, bottom left.
constexpr Point kBackgroundCorner{5, 470};

// The landscape board: 10 x 6 cells 60 pixels apart, the first centred at (50, 120).
constexpr int kBoardColumns = 10;
constexpr int kBoardRows = 6;
constexpr int kCellPitch = 60;
constexpr Point kFirstCell{50, 120};
constexpr Point Cell(int column, int row) {
  return {kFirstCell.x + kCellPitch * column, kFirstCell.y + kCellPitch * row};
}

// The board cursor starts on cell (5, 3); its frame's top edge runs 26
// pixels above a cell's centre, where the rim's bright middle lies.
constexpr int kCursorStartColumn = 5;
constexpr int kCursorStartRow = 3;
constexpr Point CursorFrameTop(int column, int row) { return {Cell(column, row).x, Cell(column, row).y - 26}; }

// The board turned in a 480x640 window (virtual screen 360x480, scale 4/3):
// 6 cells across and 10 down, 40 virtual pixels apart, the first centred at
// virtual (80, 80).
constexpr int kPortraitAcross = 6;
constexpr int kPortraitDown = 10;
constexpr Point PortraitCell(int across, int down) { return {(80 + 40 * across) * 4 / 3, (80 + 40 * down) * 4 / 3}; }

}  // namespace layout
}  // namespace testsupport
