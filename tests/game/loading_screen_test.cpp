// The loading screen as the player sees it: pictures of it at 640x480 and at
// 1280x720 are kept in the test output folder, and a few pixels are checked
// where the screen's layout fixes their colour.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/game_harness.h"

namespace {

using gametest::Game;

constexpr unsigned kBackground = 0x282850;  // (40, 40, 80)

bool Near(unsigned a, unsigned b, int tolerance) {
  for (int shift = 0; shift <= 16; shift += 8) {
    const int ca = static_cast<int>((a >> shift) & 0xff), cb = static_cast<int>((b >> shift) & 0xff);
    if (ca - cb > tolerance || cb - ca > tolerance) return false;
  }
  return true;
}

// Shows a few loading updates at the given window size and keeps a picture.
void ShowLoadingScreen(int width, int height, const std::string& name) {
  vl_Korvane_MyApp* g = Game();
  gametest::Resize(width, height);
  gametest::Step();  // a new size restarts loading; the first start loads anyway
  ASSERT_GT(g->loadStage, 0);
  for (int i = 0; i < 6; ++i) gametest::Step();
  gametest::Update();
  ASSERT_GT(g->loadStage, 0) << "still loading";
  gametest::RenderAndCapture();
  int w = 0, h = 0;
  const std::string path = gametest::OutputFolder() + "/" + name;
  ASSERT_TRUE(gametest::SaveFrame(path, &w, &h)) << path;
  EXPECT_EQ(w, width);
  EXPECT_EQ(h, height);
  std::printf("loading screen picture: %s\n", path.c_str());

  // Corner: the background. Band at 40-60% of the height, near the left edge
  // (clear of the disc and the logo): orange over the background.
  EXPECT_TRUE(Near(gametest::FramePixel(2, 2), kBackground, 3)) << std::hex << gametest::FramePixel(2, 2);
  const unsigned band = gametest::FramePixel(width / 50, height / 2);
  EXPECT_GT(band >> 16, 150u) << std::hex << band;
}

TEST(LoadingScreen, ShowsAt640x480) {
  if (!gametest::LinkData(true)) GTEST_SKIP() << "the build has no generated data folder";
  ShowLoadingScreen(640, 480, "loading-640x480.png");
}

TEST(LoadingScreen, ShowsAt1280x720) {
  if (!gametest::LinkData(true)) GTEST_SKIP() << "the build has no generated data folder";
  ShowLoadingScreen(1280, 720, "loading-1280x720.png");
}

}  // namespace
