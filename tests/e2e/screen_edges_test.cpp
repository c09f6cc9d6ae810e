// The real program photographed at the window shapes players use (landscape,
// portrait, square, very tall): on the title menu the title word, and on the
// play screen the texts, must not be cut by a window edge. Each shape runs
// the program on a display of its own, large enough for the tallest window.
// The pictures stay in the build's test output, for people to look at.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

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
                                           Shape{1280, 960}, Shape{630, 630}, Shape{640, 1300}),
                         [](const ::testing::TestParamInfo<Shape>& info) { return "Window" + Name(info.param); });

}  // namespace
