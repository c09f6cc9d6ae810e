// The graphics module drawing through the real device in a real window:
// the start-of-frame reset, images placed by their handles with and without
// a matrix, rotation direction, loading image files and the default font.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "framework/graphics.h"
#include "tests/support/gl_window.h"

namespace {

using gltest::Rgba;

constexpr int kRed = 0, kGreen = 1;

class GraphicsDrawTest : public gltest::GlWindowTest {
 protected:
  void SetUp() override {
    GlWindowTest::SetUp();
    if (IsSkipped()) return;
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    oldDir = cwd;
    ASSERT_EQ(mkdir(dir.File("data").c_str(), 0755), 0);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);

    gc_assign(vl_graphics_context, (new vl_graphics_GraphicsContext())->g_new());
    device = new gxtkGraphics();
    vl_graphics_SetGraphicsDevice(device);
    ASSERT_TRUE(device->Validate());
    device->BeginRender();
    vl_graphics_BeginRender();
    vl_graphics_Cls(0, 0, 0);
  }

  void TearDown() override {
    if (!oldDir.empty()) {
      EXPECT_EQ(chdir(oldDir.c_str()), 0);
    }
    vl_graphics_EndRender();
  }

  // Writes data/<name> as an RGBA PNG.
  template <class PixelFn>
  void WriteData(const std::string& name, int width, int height, PixelFn pixel) {
    ASSERT_TRUE(gltest::WritePng(dir.File("data/" + name), width, height, 4, pixel));
  }

  // A solid opaque image of one colour channel.
  vl_graphics_Image* Solid(const std::string& name, int width, int height, int channel, int flags) {
    WriteData(name, width, height, [&](int, int, int ch) { return ch == channel || ch == 3 ? 255 : 0; });
    return vl_graphics_LoadImage(String(name.c_str()), 1, flags);
  }

  Rgba At(int x, int y) {
    device->Flush();
    return PixelAt(x, y);
  }

  // Bounding box of the pixels whose `channel` is lit.
  struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
  };
  Box LitBox(int channel) {
    device->Flush();
    std::vector<unsigned char> shot(static_cast<size_t>(kWidth) * kHeight * 4);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, shot.data());
    Box box;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        if (shot[(static_cast<size_t>(kHeight - 1 - y) * kWidth + x) * 4 + channel] < 128) continue;
        box.left = std::min(box.left, x);
        box.right = std::max(box.right, x);
        box.top = std::min(box.top, y);
        box.bottom = std::max(box.bottom, y);
      }
    }
    return box;
  }

  testsupport::TempFolder dir{"gfx"};
  std::string oldDir;
  gxtkGraphics* device = nullptr;
};

TEST_F(GraphicsDrawTest, EveryFrameStartsWhiteOpaqueUnclippedAndUntransformed) {
  vl_graphics_SetColor(10, 20, 30);
  vl_graphics_SetAlpha(0.5f);
  vl_graphics_SetBlend(1);
  vl_graphics_SetScissor(1, 2, 3, 4);
  vl_graphics_Translate(7, 8);
  vl_graphics_PushMatrix();
  vl_graphics_EndRender();
  EXPECT_EQ(vl_graphics_renderDevice, nullptr);

  vl_graphics_BeginRender();
  const vl_graphics_GraphicsContext* c = vl_graphics_context;
  EXPECT_EQ(vl_graphics_renderDevice, device);
  EXPECT_EQ(c->red + c->green + c->blue, 3 * 255.0f);
  EXPECT_EQ(c->alpha, 1.0f);
  EXPECT_EQ(c->blend, 0);
  EXPECT_EQ(c->stackTop, 0);
  EXPECT_EQ(c->transformed, 0);
  EXPECT_EQ(c->matrixDirty, 1);
  EXPECT_EQ(c->scissorWidth, static_cast<float>(kWidth));
  EXPECT_EQ(device->color, 0xffffffffu);
  EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
  vl_graphics_DrawRect(0, 0, 4, 4);  // drawn white at the origin, unblended
  EXPECT_EQ(At(0, 0).r, 255);
  EXPECT_EQ(At(0, 0).b, 255);
  EXPECT_EQ(c->matrixDirty, 0);
}

TEST_F(GraphicsDrawTest, MatrixReachesTheDeviceOnlyWhenSomethingIsDrawn) {
  device->SetMatrix(1, 0, 0, 1, 0, 0);
  vl_graphics_Translate(30, 40);
  EXPECT_FALSE(device->transformed);
  vl_graphics_DrawLine(0, 0.5f, 5, 0.5f);
  EXPECT_TRUE(device->transformed);
  EXPECT_FLOAT_EQ(device->tx, 30);
  EXPECT_EQ(At(32, 40).r, 255);
}

TEST_F(GraphicsDrawTest, DrawImageWithoutMatrixPlacesTheHandleAtThePosition) {
  vl_graphics_Image* image = Solid("red.png", 4, 6, kRed, vl_graphics_Image::HandleCentre);
  ASSERT_NE(image, nullptr);
  vl_graphics_DrawImage(image, 50, 50, 0);
  EXPECT_FALSE(device->transformed);
  const Box box = LitBox(kRed);
  EXPECT_EQ(box.left, 48);
  EXPECT_EQ(box.right, 51);
  EXPECT_EQ(box.top, 47);
  EXPECT_EQ(box.bottom, 52);
  EXPECT_EQ(vl_graphics_context->stackTop, 0);
}

TEST_F(GraphicsDrawTest, DrawImageUnderAMatrixTransformsAboutTheHandle) {
  vl_graphics_Image* image = Solid("green.png", 4, 4, kGreen, 0);
  ASSERT_NE(image, nullptr);
  image->m_SetHandle(2, 2);
  vl_graphics_Translate(100, 0);
  vl_graphics_Scale(2, 2);
  vl_graphics_DrawImage(image, 10, 10, 0);  // (10 - 2) * 2 + 100 = 116
  const Box box = LitBox(kGreen);
  EXPECT_EQ(box.left, 116);
  EXPECT_EQ(box.right, 123);
  EXPECT_EQ(box.top, 16);
  EXPECT_EQ(box.bottom, 23);
  // The context's matrix is back as it was, stack empty.
  EXPECT_FLOAT_EQ(vl_graphics_context->tx, 100);
  EXPECT_FLOAT_EQ(vl_graphics_context->a, 2);
  EXPECT_EQ(vl_graphics_context->stackTop, 0);
}

TEST_F(GraphicsDrawTest, DrawImage2ScalesThenRotatesAnticlockwiseAboutTheHandle) {
  // A 2 x 1 image: red on the left, green on the right.
  WriteData("pair.png", 2, 1, [](int x, int, int ch) { return ch == 3 || ch == x ? 255 : 0; });
  vl_graphics_Image* pair = vl_graphics_LoadImage(String("pair.png"), 1, 0);
  ASSERT_NE(pair, nullptr);
  vl_graphics_DrawImage2(pair, 50, 50, 90, 1, 1, 0);
  // The image's x axis now points up the screen: green sits above red.
  EXPECT_EQ(At(50, 49).r, 255);
  EXPECT_EQ(At(50, 48).g, 255);
  EXPECT_EQ(At(50, 48).r, 0);
  EXPECT_EQ(At(51, 49).r, 0);
  EXPECT_EQ(At(50, 50).r, 0);
  EXPECT_EQ(vl_graphics_context->stackTop, 0);
  EXPECT_EQ(vl_graphics_context->transformed, 0);

  vl_graphics_Cls(0, 0, 0);
  vl_graphics_DrawImage2(pair, 20, 20, 0, 3, 2, 0);  // 6 x 2 pixels
  Box red = LitBox(kRed);
  EXPECT_EQ(red.left, 20);
  EXPECT_EQ(red.right, 22);
  EXPECT_EQ(red.bottom, 21);
  EXPECT_EQ(LitBox(kGreen).right, 25);
}

TEST_F(GraphicsDrawTest, FramesOfAStripAreDrawnFromTheirOwnColumns) {
  // Three 3-pixel frames: red, green, blue, each with a one-pixel gutter.
  WriteData("strip.png", 15, 2, [](int x, int, int ch) {
    if (x % 5 == 0 || x % 5 == 4) return ch == 3 ? 255 : 0;  // black gutter
    return ch == 3 || ch == x / 5 ? 255 : 0;
  });
  vl_graphics_Image* strip = vl_graphics_LoadImage(String("strip.png"), 3, vl_graphics_Image::PadX);
  ASSERT_NE(strip, nullptr);
  EXPECT_EQ(strip->width, 3);
  vl_graphics_DrawImage(strip, 10, 10, 1);
  vl_graphics_DrawImage(strip, 20, 10, 2);
  vl_graphics_DrawImage(strip, 30, 10, 7);  // no such frame: nothing
  EXPECT_EQ(LitBox(kGreen).left, 10);
  EXPECT_EQ(LitBox(kGreen).right, 12);
  EXPECT_EQ(LitBox(kRed).right, -1);
  EXPECT_EQ(At(22, 11).b, 255);
}

TEST_F(GraphicsDrawTest, LoadImage2CutsFramesAndKeepsTheWholeFileAsSource) {
  WriteData("sheet.png", 96, 64, [](int x, int y, int ch) { return ch == 3 ? 255 : (x / 32 + 3 * (y / 32)) * 40; });
  vl_graphics_Image* cells = vl_graphics_LoadImage2(String("sheet.png"), 32, 32, 6, 0);
  ASSERT_NE(cells, nullptr);
  ASSERT_NE(cells->source, nullptr);
  EXPECT_EQ(cells->source->flags, vl_graphics_Image::WholeSurface);
  EXPECT_EQ(cells->frames[4]->x, 32);
  EXPECT_EQ(cells->frames[4]->y, 32);
  vl_graphics_DrawImage(cells, 0, 0, 4);
  EXPECT_EQ(At(5, 5).r, 160);
  EXPECT_EQ(At(31, 31).r, 160);
}

TEST_F(GraphicsDrawTest, MissingImagesGiveNullSilently) {
  testing::internal::CaptureStdout();
  EXPECT_EQ(vl_graphics_LoadImage(String("nothing.png"), 1, 0), nullptr);
  EXPECT_EQ(vl_graphics_LoadImage2(String("nothing.png"), 8, 8, 2, 0), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(GraphicsDrawTest, DefaultFontIsLoadedOnceFromTheDataFolder) {
  vl_graphics_SetFont(nullptr, 65);
  EXPECT_EQ(vl_graphics_context->font, nullptr);  // no font file yet: stays null
  EXPECT_EQ(vl_graphics_context->firstChar, 32);

  WriteData("kiri_font.png", 960, 12, [](int x, int, int ch) { return ch == 3 ? 255 : x % 10 == 0 ? 0 : 200; });
  vl_graphics_SetFont(nullptr, 65);
  vl_graphics_Image* font = vl_graphics_context->font;
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(vl_graphics_context->defaultFont, font);
  EXPECT_EQ(vl_graphics_context->firstChar, 32);
  EXPECT_EQ(font->frames.Length(), 96);
  EXPECT_EQ(font->width, 8);
  EXPECT_EQ(font->frames[2]->x, 21);

  vl_graphics_Image* own = Solid("own.png", 8, 8, kRed, 0);
  vl_graphics_SetFont(own, 48);
  EXPECT_EQ(vl_graphics_context->font, own);
  EXPECT_EQ(vl_graphics_context->firstChar, 48);
  vl_graphics_SetFont(nullptr, 0);
  EXPECT_EQ(vl_graphics_context->font, font);  // not loaded again
}

TEST_F(GraphicsDrawTest, EllipseIsCentredOnItsPosition) {
  vl_graphics_SetColor(0, 255, 0);
  vl_graphics_DrawEllipse(100, 60, 20, 10);
  const Box box = LitBox(kGreen);
  EXPECT_NEAR(box.left, 80, 1);
  EXPECT_NEAR(box.right, 119, 1);
  EXPECT_NEAR(box.top, 50, 1);
  EXPECT_NEAR(box.bottom, 69, 1);
}

TEST_F(GraphicsDrawTest, ScissorAndReadPixelsGoThroughTheModule) {
  vl_graphics_SetScissor(10.9f, 10.9f, 5.5f, 5.5f);  // truncated: 10, 10, 5, 5
  vl_graphics_DrawRect(0, 0, kWidth, kHeight);
  const Box box = LitBox(kRed);
  EXPECT_EQ(box.left, 10);
  EXPECT_EQ(box.right, 14);
  EXPECT_EQ(box.top, 10);
  EXPECT_EQ(box.bottom, 14);

  Array<int> pixels(3 * 2);
  vl_graphics_ReadPixels(pixels, 9, 10, 3, 2, 0, 0);  // pitch 0 means the width
  EXPECT_EQ(static_cast<std::uint32_t>(pixels[0]) & 0xffffff, 0u);
  EXPECT_EQ(static_cast<std::uint32_t>(pixels[1]) & 0xffffff, 0xffffffu);
  EXPECT_EQ(static_cast<std::uint32_t>(pixels[4]) & 0xffffff, 0xffffffu);
}

}  // namespace
