// Frames the same as the one on screen are neither drawn nor swapped; every
// change that could alter the picture is drawn at the next frame end. Runs
// the graphics device in a real window and reads the pixels back.
#include <gtest/gtest.h>

#include <string>

#include "host/graphics_device.h"
#include "tests/support/graphics_fixture.h"
#include "tests/support/private_display.h"

// Xlib last: its macros would clash with names above.
#include <X11/Xutil.h>

// GLFW's own X11 accessors (glfw3native.h declares them, but pulls in
// headers of X extensions this test has no use for).
extern "C" Display* glfwGetX11Display(void);
extern "C" Window glfwGetX11Window(GLFWwindow* window);

namespace {

using gltest::NearRgb;
using gltest::Rgba;

// On a display of its own: what the X server shows is read back, and another
// test's window on a shared display could lie on top.
class StillFrameTest : public gltest::GraphicsFixture {
 public:
  static void SetUpTestSuite() {
    display_ = new PrivateDisplay(/*withWindowManager=*/false);
    if (display_->ready()) GlWindowTest::SetUpTestSuite();
  }
  static void TearDownTestSuite() {
    if (window_) glfwDestroyWindow(window_);
    window_ = nullptr;
    glfwTerminate();
    delete display_;
  }

 protected:
  // One frame as the graphics module starts it, then `draw`. Answers whether
  // it was drawn.
  template <class Fn>
  bool Frame(Fn draw) {
    EXPECT_TRUE(BeginFrame());
    draw();
    return g->EndRender();
  }

  // The picture the cases vary: a square on a dark blue clear, each field
  // one thing that changes what the frame shows.
  struct Scene {
    Rgba colour{0, 255, 0, 0};
    int x = 20;  // the square's left edge
    int clearBlue = 80;
    bool additive = false;   // additive blending instead of alpha
    bool scissored = false;  // only the top-left 25 x 25 pixels
    bool point = false;      // an extra point at (1, 1)
  };

  // Draws `scene` (then `after`, within the same frame) as one frame.
  // Answers whether it was drawn.
  template <class After>
  bool Draw(const Scene& scene, After after) {
    return Frame([&] {
      g->Cls(0, 0, scene.clearBlue);
      if (scene.additive) g->SetBlend(1);
      if (scene.scissored) g->SetScissor(0, 0, 25, 25);
      g->SetColor(scene.colour.r, scene.colour.g, scene.colour.b);
      g->DrawRect(scene.x, 20, 40, 40);
      if (scene.point) g->DrawPoint(1, 1);
      after();
    });
  }
  bool Draw(const Scene& scene) {
    return Draw(scene, [] {});
  }

  // The pixel at (x, y) of the window as the X server shows it: the frame
  // last swapped onto the screen.
  static Rgba ShownAt(int x, int y) {
    Display* display = glfwGetX11Display();
    XSync(display, False);
    XImage* image = XGetImage(display, glfwGetX11Window(window_), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return Rgba{-1, -1, -1, -1};
    const unsigned long pixel = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return Rgba{static_cast<int>(pixel >> 16 & 255), static_cast<int>(pixel >> 8 & 255), static_cast<int>(pixel & 255),
                0};
  }

  static PrivateDisplay* display_;
};

PrivateDisplay* StillFrameTest::display_ = nullptr;

TEST_F(StillFrameTest, RepeatedFrameIsSkippedAndTheScreenKeepsItsPicture) {
  EXPECT_TRUE(Draw({}));
  EXPECT_EQ(g->FramesDrawn(), 1);
  for (int i = 0; i < 5; ++i) EXPECT_FALSE(Draw({})) << "repeat " << i;
  EXPECT_EQ(g->FramesDrawn(), 1);
  EXPECT_PRED2(NearRgb, ShownAt(30, 30), (Rgba{0, 255, 0, 0}));
  EXPECT_PRED2(NearRgb, ShownAt(100, 100), (Rgba{0, 0, 80, 0}));
}

TEST_F(StillFrameTest, AnyChangedParameterIsDrawnInTheNextFrame) {
  ASSERT_TRUE(Draw({}));
  // A colour, a position, the clear colour, the blend mode, a scissor, an
  // extra primitive: each is a different picture.
  Scene scene;
  scene.colour = {255, 0, 0, 0};
  EXPECT_TRUE(Draw(scene));
  EXPECT_PRED2(NearRgb, ShownAt(30, 30), (Rgba{255, 0, 0, 0}));
  EXPECT_FALSE(Draw(scene));
  scene.x = 21;
  EXPECT_TRUE(Draw(scene));
  scene.clearBlue = 81;
  EXPECT_TRUE(Draw(scene));
  scene.additive = true;
  EXPECT_TRUE(Draw(scene));
  scene.scissored = true;
  EXPECT_TRUE(Draw(scene));
  EXPECT_PRED2(NearRgb, ShownAt(22, 22), (Rgba{255, 0, 81, 0}));
  EXPECT_PRED2(NearRgb, ShownAt(30, 30), (Rgba{0, 0, 81, 0}));
  scene.point = true;
  EXPECT_TRUE(Draw(scene));
  EXPECT_EQ(g->FramesDrawn(), 7);
}

TEST_F(StillFrameTest, StaleScreenOrNewSizeForcesTheSameFrameToBeDrawn) {
  ASSERT_TRUE(Draw({}));
  ASSERT_FALSE(Draw({}));
  g->MarkScreenStale();  // what an expose, a refresh or a resume reports
  EXPECT_TRUE(Draw({}));
  EXPECT_FALSE(Draw({}));

  glfwSetWindowSize(window_, kWidth + 20, kHeight);
  for (int i = 0; i < 100 && g->Validate() && g->Width() == kWidth; ++i) glfwWaitEventsTimeout(0.02);
  EXPECT_TRUE(Draw({}));
  EXPECT_PRED2(NearRgb, ShownAt(kWidth + 10, 10), (Rgba{0, 0, 80, 0}));
  glfwSetWindowSize(window_, kWidth, kHeight);
  for (int i = 0; i < 100 && g->Validate() && g->Width() != kWidth; ++i) glfwWaitEventsTimeout(0.02);
  EXPECT_TRUE(Draw({}));
}

TEST_F(StillFrameTest, ChangedTextureContentIsDrawnThoughTheCommandsAreTheSame) {
  const std::string file = dir.File("tile.png");
  ASSERT_TRUE(gltest::WritePng(file, 8, 8, 4, [](int, int, int ch) { return ch == 1 || ch == 3 ? 255 : 0; }));
  gxtkSurface* tile = g->LoadSurface(String(file.c_str()));
  ASSERT_NE(tile, nullptr);
  auto drawTile = [&] {
    g->Cls(0, 0, 0);
    g->DrawSurface(tile, 10, 10);
  };
  ASSERT_TRUE(Frame(drawTile));
  ASSERT_FALSE(Frame(drawTile));

  Array<int> red(64);
  for (int i = 0; i < 64; ++i) red[i] = static_cast<int>(0xffff0000u);
  g->WritePixels2(tile, red, 0, 0, 8, 8, 0, 8);
  EXPECT_TRUE(Frame(drawTile));
  EXPECT_PRED2(NearRgb, ShownAt(12, 12), (Rgba{255, 0, 0, 0}));

  // A surface discarded and another loaded in its place may get the same
  // texture name: still a new picture.
  tile->Discard();
  tile = g->LoadSurface(String(file.c_str()));
  ASSERT_NE(tile, nullptr);
  EXPECT_TRUE(Frame(drawTile));
  EXPECT_PRED2(NearRgb, ShownAt(12, 12), (Rgba{0, 255, 0, 0}));
}

TEST_F(StillFrameTest, PixelsReadMidFrameSeeEarlierDrawsAndTheFrameIsShown) {
  ASSERT_TRUE(Draw({}));
  ASSERT_FALSE(Draw({}));
  Array<int> pixels(1);
  EXPECT_TRUE(Draw({}, [&] { g->ReadPixels(pixels, 30, 30, 1, 1, 0, 0); }));
  EXPECT_EQ(static_cast<unsigned>(pixels[0]) & 0xffffffu, 0x00ff00u);

  // A draw recorded before a texture changes mid-frame shows the old content.
  const std::string file = dir.File("white.png");
  ASSERT_TRUE(gltest::WritePng(file, 4, 4, 4, [](int, int, int) { return 255; }));
  gxtkSurface* tile = g->LoadSurface(String(file.c_str()));
  ASSERT_NE(tile, nullptr);
  Array<int> black(16);
  for (int i = 0; i < 16; ++i) black[i] = static_cast<int>(0xff000000u);
  EXPECT_TRUE(Frame([&] {
    g->Cls(0, 0, 80);
    g->DrawSurface(tile, 0, 0);
    g->WritePixels2(tile, black, 0, 0, 4, 4, 0, 4);
    g->DrawSurface(tile, 10, 0);
  }));
  EXPECT_PRED2(NearRgb, ShownAt(1, 1), (Rgba{255, 255, 255, 0}));
  EXPECT_PRED2(NearRgb, ShownAt(11, 1), (Rgba{0, 0, 0, 0}));
}

}  // namespace
