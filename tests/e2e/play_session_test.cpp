// A player's session with the real korvane program: it starts in a fresh
// working folder that links the build's data, shows the menu, starts a game at
// a chosen difficulty, takes a path of three gems found on the screen, pauses
// with Escape and resumes, quits from the pause panel, sees the game-over
// overlay and the menu again, and leaves its state file behind. Input is real
// X events from xdotool (held about 150 ms, as a person does); what the player
// sees is checked on screenshots, which stay in the test output folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/korvane_process.h"
#include "tests/support/screen_checks.h"
#include "tests/support/wait_until.h"

namespace fs = std::filesystem;

namespace {

using e2e::KorvaneProcess;
using testsupport::Colour;
using testsupport::GameOverShows;
using testsupport::IsPanelOrange;
using testsupport::IsRoundOneBackground;
using testsupport::IsSwitchGreen;
using testsupport::Point;
using testsupport::Shot;
namespace layout = testsupport::layout;

constexpr int kWaitMs = 30000;    // longest wait for anything to show (a busy machine)
constexpr int kSlideInMs = 1000;  // the menu's buttons settle within 32 updates
constexpr int kComboMs = 2500;    // a combo's 90 updates run out well within this

class PlaySession : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X display (the test command provides one)";
    if (!fs::is_directory(KORVANE_BUILD_DATA_DIR)) GTEST_SKIP() << "the build has no generated data folder";
    if (!e2e::HaveDisplayTools()) {
      GTEST_SKIP() << "xdotool or ImageMagick's import is missing (tools/install-deps.sh installs them)";
    }
    game.LinkData();
    shots = fs::path(KORVANE_TEST_OUTPUT_DIR) / "e2e";
    fs::create_directories(shots);
  }

  void Launch() {
    ASSERT_TRUE(game.StartAndWaitForWindow()) << "the Korvane window did not appear; its output:\n"
                                              << game.Output() << game.Errors();
  }

  // Screenshots until what the player sees passes the test; the last one is
  // kept under the name.
  bool WaitFor(const std::string& name, const std::function<bool(const Shot&)>& test, int waitMs = kWaitMs) {
    return game.WaitForShot(shots / (name + ".png"), test, waitMs);
  }
  Shot Take(const std::string& name) { return game.Take(shots / (name + ".png")); }

  // Clicks and waits for the screen it leads to; a click that a very busy
  // machine let fall between two updates is given once more.
  bool ClickUntil(Point p, const std::string& name, const std::function<bool(const Shot&)>& test) {
    game.Click(p);
    if (WaitFor(name, test, kWaitMs / 3)) return true;
    game.Click(p);
    return WaitFor(name, test);
  }

  // Waits for round one's board to come to rest: its rows look the same in
  // two screenshots running. The last screenshot goes to `board`.
  bool WaitForBoardAtRest(const std::string& name, Shot& board) {
    Shot previous;
    return WaitFor(name, [&](const Shot& s) {
      const int top = layout::kFirstCell.y - layout::kCellPitch / 2;
      const int bottom = layout::kFirstCell.y + layout::kCellPitch * layout::kBoardRows;
      const size_t from = static_cast<size_t>(top) * s.width * 3;
      const size_t to = static_cast<size_t>(bottom) * s.width * 3;
      const bool still = previous.rgb.size() == s.rgb.size() &&
                         std::equal(s.rgb.begin() + from, s.rgb.begin() + to, previous.rgb.begin() + from);
      previous = s;
      board = s;
      return IsRoundOneBackground(s.At(layout::kBackgroundCorner)) && still;
    });
  }

  KorvaneProcess game;
  fs::path shots;
};

using testsupport::FindThreeAlikeCells;
using testsupport::GridCell;

TEST_F(PlaySession, StartPlayPauseResumeQuitGameOverMenuAndSavedState) {
  ASSERT_NO_FATAL_FAILURE(Launch());
  ASSERT_TRUE(WaitFor("menu", [](const Shot& s) {
    // The sound switch on the left; the score panel darkens the right edge.
    return testsupport::MenuShows(s) && s.At(630, 240).r < 120 && s.At(630, 240).b < 150;
  })) << "the title menu did not appear";
  e2e::Sleep(kSlideInMs);
  EXPECT_FALSE(fs::exists(game.StateFile())) << "nothing is saved before a game ends";

  // The hard button starts a game with five kinds of gem.
  ASSERT_TRUE(ClickUntil(layout::kHardButton, "play", [](const Shot& s) {
    return IsRoundOneBackground(s.At(layout::kBackgroundCorner));
  })) << "the hard button did not start a game";
  Shot board;
  Shot previous;
  ASSERT_TRUE(WaitFor("play", [&](const Shot& s) {
    // Round 1's sky blue around a board that has stopped falling: the board's
    // rows look the same in two screenshots running.
    const int top = layout::kFirstCell.y - layout::kCellPitch / 2;
    const int bottom = layout::kFirstCell.y + layout::kCellPitch * layout::kBoardRows;
    const size_t from = static_cast<size_t>(top) * s.width * 3;
    const size_t to = static_cast<size_t>(bottom) * s.width * 3;
    const bool still = previous.rgb.size() == s.rgb.size() &&
                       std::equal(s.rgb.begin() + from, s.rgb.begin() + to, previous.rgb.begin() + from);
    previous = s;
    board = s;
    return IsRoundOneBackground(s.At(layout::kBackgroundCorner)) && still;
  })) << "the play field did not appear or did not come to rest";

  const std::vector<Point> path = testsupport::FindThreeAlike(board);
  if (path.empty()) {
    // No run on this board: judged all the same.
    game.Drag({layout::Cell(0, 0), layout::Cell(1, 0), layout::Cell(2, 0)});
  } else {
    game.Drag(path);
  }
  const bool judged = testsupport::WaitUntil([&] { return game.Output().find("Found 3+ = ") != std::string::npos; },
                                             std::chrono::milliseconds(kWaitMs / 3), std::chrono::milliseconds(50));
  Take("play-path");
  const std::string out = game.Output();
  EXPECT_TRUE(judged) << "the released path was not judged:\n" << out;
  if (!path.empty()) {
    EXPECT_NE(out.find("Found 3+ = 1,3,"), std::string::npos) << out;
  }

  // Escape opens the pause panel and closes it again.
  game.Key("Escape");
  ASSERT_TRUE(WaitFor("pause", testsupport::PausePanelShows)) << "the pause panel did not open";
  game.Key("Escape");
  ASSERT_TRUE(WaitFor("resumed", testsupport::PausePanelClosed)) << "the pause panel did not close";

  // Quit from the panel: the game-over overlay, then the menu.
  game.Key("Escape");
  ASSERT_TRUE(WaitFor("pause-again", testsupport::PausePanelShows));
  ASSERT_TRUE(ClickUntil(layout::kPauseQuitButton, "game-over", GameOverShows))
      << "the game-over overlay did not appear";
  ASSERT_TRUE(WaitFor("menu-after-game", [&](const Shot& s) {
    return !IsRoundOneBackground(s.At(layout::kBackgroundCorner)) && fs::exists(game.StateFile()) &&
           s.Mean(60, 216, 2).b > 90;
  })) << "the menu did not come back";

  // The finished game is in the state file: 98 numbers, each followed by "|".
  const std::string state = e2e::ReadFile(game.StateFile());
  EXPECT_EQ(std::count(state.begin(), state.end(), '|'), 98) << state;
}

bool CursorFrameShows(const Shot& s, int c, int r, bool holding) {
  const Colour frame = s.At(layout::CursorFrameTop(c, r));
  return holding ? frame.r > 230 && frame.g > 200 && frame.g < 240 && frame.b < 80
                 : frame.r > 240 && frame.g > 240 && frame.b > 240;
}

// Taps the arrow keys that take the cursor from one cell to another.
void StepCursor(const KorvaneProcess& game, GridCell from, GridCell to) {
  for (int c = from.c; c < to.c; ++c) game.Key("Right");
  for (int c = from.c; c > to.c; --c) game.Key("Left");
  for (int r = from.r; r < to.r; ++r) game.Key("Down");
  for (int r = from.r; r > to.r; --r) game.Key("Up");
}

// A whole game with the keyboard alone: the menu's keys choose the easy
// difficulty and start; on the board the arrows show and move the cursor,
// Space held down draws paths of three alike (W/A/S/D steps along them) that
// are judged as drags are; Escape pauses and resumes; then the round's clock
// runs out, the game-over overlay shows and the menu comes back with the game
// saved. The pointer never moves.
TEST_F(PlaySession, WholeGameWithTheKeyboardAlone) {
  ASSERT_NO_FATAL_FAILURE(Launch());
  ASSERT_TRUE(WaitFor("keys-menu", testsupport::MenuShows)) << "the title menu did not appear";
  e2e::Sleep(kSlideInMs);
  game.Key("Left");  // normal to easy: three kinds of gem
  game.Key("Return");
  Shot board;
  ASSERT_TRUE(WaitForBoardAtRest("keys-play", board)) << "the game did not start from the keys";

  // The first key only shows the cursor, in the middle of the board.
  GridCell at{layout::kCursorStartColumn, layout::kCursorStartRow};
  game.Key("Right");
  ASSERT_TRUE(WaitFor("keys-cursor", [&](const Shot& s) { return CursorFrameShows(s, at.c, at.r, false); }))
      << "no cursor frame around the middle cell";

  int paths = 0;
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (attempt > 0) e2e::Sleep(kComboMs);  // the marked gems shatter and new ones fall in
    ASSERT_TRUE(WaitForBoardAtRest("keys-board", board));
    const std::vector<GridCell> run = FindThreeAlikeCells(board);
    if (run.empty()) break;
    StepCursor(game, at, run[0]);
    game.KeyDown("space");
    EXPECT_TRUE(WaitFor(
        "keys-holding", [&](const Shot& s) { return CursorFrameShows(s, run[0].c, run[0].r, true); }, kWaitMs / 3))
        << "the frame does not show the held path";
    const char* step = run[1].c > run[0].c ? "d" : "s";
    game.Key(step);
    game.Key(step);
    game.KeyUp("space");
    at = run[2];
    ++paths;
    const std::string found = "Found 3+ = 1,3,";
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] {
      const std::string out = game.Output();
      size_t n = 0;
      for (size_t p = out.find(found); p != std::string::npos; p = out.find(found, p + 1)) ++n;
      return n == static_cast<size_t>(paths);
        },
        std::chrono::milliseconds(kWaitMs / 3), std::chrono::milliseconds(50)))
        << "path " << paths << " was not judged a success:\n"
        << game.Output();
  }
  EXPECT_GT(paths, 0) << "no run of three on the board";
  Take("keys-paths");

  game.Key("Escape");
  ASSERT_TRUE(WaitFor("keys-pause", testsupport::PausePanelShows)) << "the pause panel did not open";
  game.Key("Escape");
  ASSERT_TRUE(WaitFor("keys-resumed", testsupport::PausePanelClosed)) << "the pause panel did not close";

  // Round one's target is 10 at this difficulty; left alone the clock runs
  // out (or, after a cleared round, the next one's does).
  ASSERT_TRUE(WaitFor("keys-game-over", GameOverShows, 4 * kWaitMs)) << "the game did not end";
  ASSERT_TRUE(WaitFor("keys-menu-after-game", [&](const Shot& s) {
    return !IsRoundOneBackground(s.At(layout::kBackgroundCorner)) && fs::exists(game.StateFile()) &&
           s.Mean(60, 216, 2).b > 90;
  })) << "the menu did not come back";
}

TEST_F(PlaySession, LargeWindowShowsTheSameGameScaledUp) {
  ASSERT_NO_FATAL_FAILURE(Launch());
  ASSERT_TRUE(WaitFor("menu-640x480", testsupport::MenuShows));
  e2e::Sleep(kSlideInMs);
  // At its centred start position a window this large would stick out of the
  // 1280x1024 test screen, so it goes to the corner first.
  e2e::Shell("xdotool windowmove " + game.Window() + " 0 0");
  game.Resize(1280, 960);
  ASSERT_TRUE(WaitFor("menu-1280x960", [](const Shot& s) {
    return s.width == 1280 && s.height == 960 && IsSwitchGreen(s.At(testsupport::Scaled(layout::kSoundSwitch, 2))) &&
           s.At(1260, 480).r < 120;
  })) << "the menu did not fill the larger window";
  e2e::Sleep(kSlideInMs);
  // The normal button, at twice the size.
  ASSERT_TRUE(ClickUntil(testsupport::Scaled(layout::kNormalButton, 2), "play-1280x960", [](const Shot& s) {
    return IsRoundOneBackground(s.At(10, 940));
  })) << "the game did not start in the larger window";
  // A gem in the middle of the board covers much more than a 32-pixel cell.
  const Point gem = testsupport::Scaled(layout::Cell(0, 0), 2);
  int gemPixels = 0;
  EXPECT_TRUE(WaitFor(
      "play-1280x960",
      [&](const Shot& s) {
    gemPixels =
        s.Count(gem.x - 50, gem.y - 50, gem.x + 50, gem.y + 50, [](Colour c) { return !IsRoundOneBackground(c); });
    return gemPixels > 3000;
      }))
      << "the first cell's gem covers only " << gemPixels << " pixels";
}

// In a window taller than wide the board turns: 6 cells across and 10 down.
bool BoardTurned(const Shot& s) {
  using namespace layout;
  // A gem covers much of the 31x31 square around its cell's centre; a blue
  // gem's middle alone can come close to the sky's colour.
  constexpr int kHalf = 15, kGemPixels = 300;
  auto gemAt = [&](Point p) {
    return s.Count(p.x - kHalf, p.y - kHalf, p.x + kHalf + 1, p.y + kHalf + 1,
                   [](Colour c) { return !IsRoundOneBackground(c); }) > kGemPixels;
  };
  int bottomRowGems = 0;
  for (int across = 0; across < kPortraitAcross; ++across)
    bottomRowGems += gemAt(PortraitCell(across, kPortraitDown - 1));
  // Right of the turned board there is only the background, where a board of
  // 10 columns would have had gems.
  int backgroundRight = 0;
  for (int down = 2; down < kPortraitDown - 2; ++down) {
    const Point cell = PortraitCell(kPortraitAcross, down);
    backgroundRight += IsRoundOneBackground(s.Mean(cell.x, cell.y, 3)) ? 1 : 0;
  }
  return s.width == 480 && s.height == 640 && bottomRowGems == kPortraitAcross && backgroundRight == kPortraitDown - 4;
}

TEST_F(PlaySession, PortraitWindowTurnsTheBoard) {
  ASSERT_NO_FATAL_FAILURE(Launch());
  ASSERT_TRUE(WaitFor("menu-start", testsupport::MenuShows));
  game.Resize(480, 640);
  ASSERT_TRUE(WaitFor("menu-480x640", [](const Shot& s) {
    return s.width == 480 && s.height == 640 && IsSwitchGreen(s.At(layout::kPortraitSoundSwitch));
  }));
  e2e::Sleep(kSlideInMs);
  ASSERT_TRUE(ClickUntil(layout::kPortraitHardButton, "play-480x640",
                         [](const Shot& s) { return IsRoundOneBackground(s.At(5, 630)); }));
  EXPECT_TRUE(WaitFor("play-480x640", BoardTurned)) << "the board did not turn to 6 across and 10 down";
}

}  // namespace
