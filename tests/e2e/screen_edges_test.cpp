// The real program photographed at the window shapes players use (landscape,
// portrait, square, very tall, phones): on the title menu the title word, and on the
// play screen the texts, must not be cut by a window edge. Each shape runs
// the program on a display of its own, large enough for the tallest window.
// The pictures stay in the build's test output, for people to look at. A
// screen smaller than the window gets a window that fits it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/korvane_process.h"
#include "tests/support/private_display.h"
#include "tests/support/screen_checks.h"
#include "tests/support/wait_until.h"

namespace {

using e2e::KorvaneProcess;
using testsupport::Colour;
using testsupport::Shot;
namespace fs = std::filesystem;

constexpr const char* kScreen = "2600x2200x24";  // room for a 640x1300 window, centred
constexpr int kScreenWaitMs = 60000;             // loading at a large size on a busy machine
constexpr int kSettlePollMs = 300;
constexpr Colour kLoadingBackground{40, 40, 80};
constexpr int kSameColour = 3;        // colour distance within which two pixels count as one colour
constexpr int kEdge = 2;              // outermost rows and columns checked, in window pixels
constexpr float kPauseCorner = 40;    // virtual pixels of the pause button's corner
constexpr float kTotalBand = 20;      // virtual pixels above the bottom edge that hold the total
constexpr float kTitleBandHalf = 50;  // virtual pixels above and below the title word's centre row

struct Shape {
  int width, height;
};

std::string Name(const Shape& s) { return std::to_string(s.width) + "x" + std::to_string(s.height); }

// Window pixels per virtual pixel: the virtual screen is 640 wide or 480 high,
// whichever fits tighter.
float Scale(const Shape& s) { return std::max(s.width / 640.0f, s.height / 480.0f); }

bool Same(Colour a, Colour b) { return testsupport::Distance(a, b) < kSameColour; }

// The orange face of the title word (its outline is dark, its rim white).
bool TitleOrange(Colour c) { return c.r >= 240 && c.g >= 150 && c.g <= 225 && c.b <= 120 && c.g - c.b >= 90; }

class ScreenEdges : public ::testing::TestWithParam<Shape> {
 protected:
  void SetUp() override {
    if (!fs::is_directory(KORVANE_BUILD_DATA_DIR)) GTEST_SKIP() << "the build has no generated data folder";
    if (!e2e::HaveDisplayTools()) GTEST_SKIP() << "xdotool or ImageMagick's import is missing";
    ASSERT_TRUE(display.ready()) << "no private display";
    shots = fs::path(KORVANE_TEST_OUTPUT_DIR) / "e2e" / "screens";
    fs::create_directories(shots);
    game.LinkData();
    e2e::LaunchOptions options;
    options.environment = {"ALSOFT_DRIVERS=null"};
    ASSERT_TRUE(game.StartAndWaitForWindow(options)) << game.Errors();
    game.Resize(GetParam().width, GetParam().height);
  }

  // Polls until the window shows a picture of its full size for which
  // `ready` holds and whose rows from `stillFrom` down no longer change.
  Shot WaitForStill(const std::string& name, const std::function<bool(const Shot&)>& ready, int stillFrom = 0) {
    const fs::path file = shots / (name + "-" + Name(GetParam()) + ".png");
    Shot last, still;
    testsupport::WaitUntil(
        [&] {
      Shot shot = game.Take(file);
      if (shot.width != GetParam().width || shot.height != GetParam().height || !ready(shot)) return false;
      const size_t from = static_cast<size_t>(stillFrom) * shot.width * 3;
      if (last.rgb.size() == shot.rgb.size() &&
          std::equal(shot.rgb.begin() + from, shot.rgb.end(), last.rgb.begin() + from)) {
        still = shot;
        return true;
      }
      last = shot;
      return false;
        },
        std::chrono::milliseconds(kScreenWaitMs), std::chrono::milliseconds(kSettlePollMs));
    return still;
  }

  PrivateDisplay display{false, true, kScreen};
  KorvaneProcess game;
  fs::path shots;
};

TEST_P(ScreenEdges, TitleWordAndPlayTextsAreNotCutByTheWindowEdges) {
  const Shape shape = GetParam();
  const float scale = Scale(shape);
  const int w = shape.width, h = shape.height;

  // The menu, once loaded and slid in: no pixel of the title word's face in
  // the outermost columns of its band.
  const Shot menu = WaitForStill("menu", [](const Shot& s) { return !Same(s.At(s.width / 2, 1), kLoadingBackground); });
  ASSERT_GT(menu.width, 0) << "the menu did not settle";
  const float virtualH = h / scale;
  const int bandTop = static_cast<int>((0.2f * virtualH - kTitleBandHalf) * scale);
  const int bandBottom = static_cast<int>((0.2f * virtualH + kTitleBandHalf) * scale);
  int cut = 0;
  for (int y = std::max(bandTop, 0); y < std::min(bandBottom, h); ++y) {
    for (int x = 0; x < kEdge; ++x) cut += TitleOrange(menu.At(x, y)) + TitleOrange(menu.At(w - 1 - x, y));
  }
  EXPECT_EQ(cut, 0) << "the title word runs into a window edge";

  // The first round: the board on a plain background. The outermost rows
  // (but for the pause button's corner) and the outermost columns beside the
  // total hold only background.
  // The round clock's bar shrinks all the time; the band of the total below
  // the board is still once the board has fallen in.
  game.Key("Return");
  const int totalTop = h - static_cast<int>(kTotalBand * scale);
  const Shot play = WaitForStill(
      "play", [w, h](const Shot& s) { return testsupport::IsRoundOneBackground(s.At(w / 2, h - 1)); }, totalTop);
  const Colour background = play.At(w / 2, h - 1);
  ASSERT_GT(play.width, 0) << "the play screen did not appear";
  const int corner = static_cast<int>(kPauseCorner * scale);
  int foreign = 0;
  for (int e = 0; e < kEdge; ++e) {
    for (int x = corner; x < w; ++x) foreign += !Same(play.At(x, e), background);
    for (int x = 0; x < w; ++x) foreign += !Same(play.At(x, h - 1 - e), background);
    for (int y = totalTop; y < h; ++y) {
      foreign += !Same(play.At(e, y), background) + !Same(play.At(w - 1 - e, y), background);
    }
  }
  EXPECT_EQ(foreign, 0) << "text pixels on a window edge of the play screen";
}

INSTANTIATE_TEST_SUITE_P(Shapes, ScreenEdges,
                         ::testing::Values(Shape{640, 480}, Shape{480, 640}, Shape{800, 600}, Shape{1280, 720},
                                           Shape{1280, 960}, Shape{630, 630}, Shape{640, 1300},
                                           // phones held upright and on their side
                                           Shape{390, 844}, Shape{360, 800}, Shape{844, 390}, Shape{800, 360}),
                         [](const ::testing::TestParamInfo<Shape>& info) { return "Window" + Name(info.param); });

// --- a screen smaller than the window ---------------------------------------

struct Box {
  int x = 0, y = 0, width = 0, height = 0;
};

// The window's content in root coordinates, as xwininfo reports it
// (xdotool's getwindowgeometry counts the frame's offset twice under a window
// manager).
Box Geometry(const std::string& window) {
  Box box;
  std::istringstream report(e2e::Capture("xwininfo -id " + window));
  for (std::string line; std::getline(report, line);) {
    std::sscanf(line.c_str(), " Absolute upper-left X: %d", &box.x);
    std::sscanf(line.c_str(), " Absolute upper-left Y: %d", &box.y);
    std::sscanf(line.c_str(), " Width: %d", &box.width);
    std::sscanf(line.c_str(), " Height: %d", &box.height);
  }
  return box;
}

// The window manager's frame: left, right, top, bottom; zeros without one.
std::vector<int> FrameExtents(const std::string& window) {
  std::vector<int> extents(4, 0);
  const std::string report = e2e::Capture("xprop -id " + window + " _NET_FRAME_EXTENTS 2>/dev/null");
  const size_t equals = report.find('=');
  if (equals != std::string::npos) {
    std::sscanf(report.c_str() + equals, "= %d, %d, %d, %d", &extents[0], &extents[1], &extents[2], &extents[3]);
  }
  return extents;
}

// A 320x200 screen once had the 640x480 window centred at (-160, -140), its
// title bar out of reach. The window now shrinks to the screen, frame and
// all, with or without a window manager.
TEST(SmallScreen, WindowShrinksToTheScreenWithItsTitleBarOnIt) {
  if (!fs::is_directory(KORVANE_BUILD_DATA_DIR)) GTEST_SKIP() << "the build has no generated data folder";
  if (!e2e::HaveDisplayTools()) GTEST_SKIP() << "xdotool or ImageMagick's import is missing";
  constexpr int kWidth = 320, kHeight = 200;
  for (bool managed : {false, true}) {
    SCOPED_TRACE(managed ? "with a window manager" : "without a window manager");
    PrivateDisplay display(managed, /*withOpenGL=*/true, "320x200x24");
    ASSERT_TRUE(display.ready()) << "no private display";
    KorvaneProcess game;
    game.LinkData();
    e2e::LaunchOptions options;
    options.environment = {"ALSOFT_DRIVERS=null"};
    ASSERT_TRUE(game.StartAndWaitForWindow(options)) << game.Errors();
    e2e::Sleep(500);  // past any late move or resize
    const Box box = Geometry(game.Window());
    const std::vector<int> frame = FrameExtents(game.Window());
    const int left = frame[0], right = frame[1], top = frame[2], bottom = frame[3];
    EXPECT_GE(box.x - left, 0);
    EXPECT_GE(box.y - top, 0) << "the title bar is above the screen";
    EXPECT_LE(box.x + box.width + right, kWidth);
    EXPECT_LE(box.y + box.height + bottom, kHeight);
    EXPECT_EQ(box.width, kWidth - left - right);
    EXPECT_EQ(box.height, kHeight - top - bottom);
    if (managed) {
      EXPECT_GT(top, 0) << "no frame: the window manager did not take the window";
    } else {
      EXPECT_EQ(box.x, 0);
      EXPECT_EQ(box.y, 0);
    }
    EXPECT_TRUE(game.Running()) << game.Errors();
  }
}

}  // namespace
