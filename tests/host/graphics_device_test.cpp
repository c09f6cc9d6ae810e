// The OpenGL renderer in a real window: what reaches the frame buffer, how
// primitives are batched into draw calls, and how surfaces are loaded.
#include "host/graphics_device.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/file_bytes.h"
#include "tests/support/graphics_fixture.h"

namespace {

using gltest::NearRgb;
using gltest::Rgba;

class GraphicsDeviceTest : public gltest::GraphicsFixture {
 protected:
  void SetUp() override {
    GraphicsFixture::SetUp();
    if (IsSkipped()) return;
    graphics_seams::refuseNonPow2 = false;
    ASSERT_TRUE(BeginFrame());
    g->Cls(0, 0, 0);
  }

  void TearDown() override { graphics_seams::refuseNonPow2 = false; }

  // Draws what is pending and reads one pixel.
  Rgba At(int x, int y) {
    g->Flush();
    return PixelAt(x, y);
  }

  gxtkSurface* Load(const std::string& file) { return g->LoadSurface(String(file.c_str())); }
};

TEST_F(GraphicsDeviceTest, ValidateReadsTheFramebufferSize) {
  EXPECT_EQ(g->Width(), kWidth);
  EXPECT_EQ(g->Height(), kHeight);
  EXPECT_EQ(g->Mode(), 1);
}

TEST_F(GraphicsDeviceTest, ColoursArePremultipliedUnderAlphaBlending) {
  g->SetColor(255, 0, 0);
  g->SetAlpha(0.5f);
  g->DrawRect(0, 0, 10, 10);
  // Over black the premultiplied colour shows as it is: 255 * 0.5 truncated.
  EXPECT_PRED2(NearRgb, At(5, 5), (Rgba{127, 0, 0, 0}));

  // Over white the destination keeps (1 - alpha) of itself.
  g->Cls(255, 255, 255);
  g->SetColor(0, 0, 255);
  g->SetAlpha(0.25f);
  g->DrawRect(0, 0, 10, 10);
  const Rgba over = At(5, 5);
  EXPECT_PRED2(NearRgb, over, (Rgba{192, 192, 255, 0}));
}

TEST_F(GraphicsDeviceTest, AdditiveBlendingAddsPremultipliedColours) {
  g->Cls(0, 0, 100);
  g->SetBlend(1);
  g->SetColor(0, 200, 100);
  g->SetAlpha(0.5f);
  g->DrawRect(0, 0, 10, 10);
  g->DrawRect(0, 0, 5, 10);  // twice on the left half
  const Rgba once = At(7, 5);
  EXPECT_PRED2(NearRgb, once, (Rgba{0, 100, 150, 0}));
  const Rgba twice = At(2, 5);
  EXPECT_PRED2(NearRgb, twice, (Rgba{0, 200, 200, 0}));

  // Back to alpha blending: an opaque colour replaces what is there.
  g->SetBlend(0);
  g->SetAlpha(1);
  g->SetColor(10, 20, 30);
  g->DrawRect(0, 0, 10, 10);
  const Rgba opaque = At(2, 5);
  EXPECT_PRED2(NearRgb, opaque, (Rgba{10, 20, 30, 0}));
}

TEST_F(GraphicsDeviceTest, OutOfRangeColourSaturatesInsteadOfBleedingIntoOtherChannels) {
  g->SetColor(300, -20, 0);
  g->SetAlpha(1);
  const std::uint32_t packed = g->color;
  EXPECT_EQ(packed & 0xff, 255u);
  EXPECT_EQ((packed >> 8) & 0xff, 0u);
  EXPECT_EQ((packed >> 16) & 0xff, 0u);
  EXPECT_EQ(packed >> 24, 255u);
}

TEST_F(GraphicsDeviceTest, ScissorClipsWithTopLeftOriginAndTurnsOffForTheWholeWindow) {
  g->SetScissor(10, 20, 30, 40);
  g->Flush();  // state reaches OpenGL with the frame's drawing
  EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
  g->DrawRect(0, 0, kWidth, kHeight);
  EXPECT_EQ(At(10, 20).r, 255);  // top-left pixel of the rectangle
  EXPECT_EQ(At(39, 59).r, 255);  // bottom-right pixel
  EXPECT_EQ(At(9, 30).r, 0);
  EXPECT_EQ(At(20, 19).r, 0);
  EXPECT_EQ(At(20, 60).r, 0);  // a flipped y would have clipped here instead
  EXPECT_EQ(At(40, 30).r, 0);

  // Clearing respects the scissor too.
  g->Cls(0, 255, 0);
  EXPECT_EQ(At(15, 25).g, 255);
  EXPECT_EQ(At(5, 5).g, 0);

  g->SetScissor(0, 0, g->Width(), g->Height());
  g->Flush();
  EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
  g->Cls(0, 0, 255);
  EXPECT_EQ(At(5, 5).b, 255);
  EXPECT_EQ(At(kWidth - 1, kHeight - 1).b, 255);
}

TEST_F(GraphicsDeviceTest, ClsDropsPrimitivesStillBatched) {
  const long before = graphics_seams::drawCalls;
  g->DrawRect(0, 0, 50, 50);
  g->Cls(0, 0, 80);
  g->Flush();
  EXPECT_EQ(graphics_seams::drawCalls, before);
  EXPECT_EQ(At(10, 10).r, 0);
  EXPECT_EQ(At(10, 10).b, 80);
}

TEST_F(GraphicsDeviceTest, The257thQuadFlushesTheFirst256InOneCall) {
  const long before = graphics_seams::drawCalls;
  for (int i = 0; i < 256; ++i) {
    // Colour and matrix changes never end a batch.
    g->SetColor(static_cast<float>(i), 0, 0);
    g->SetMatrix(1, 0, 0, 1, static_cast<float>(i % 7), 0);
    g->DrawRect(static_cast<float>(i % 100), 0, 1, 1);
  }
  EXPECT_EQ(graphics_seams::drawCalls, before);
  g->SetMatrix(1, 0, 0, 1, 0, 0);
  g->DrawRect(0, 100, 1, 1);
  EXPECT_EQ(graphics_seams::drawCalls, before + 1);
  EXPECT_EQ(graphics_seams::lastDrawMode, GL_TRIANGLES);
  EXPECT_EQ(graphics_seams::lastDrawCount, 256 * 6);
  g->Flush();
  EXPECT_EQ(graphics_seams::drawCalls, before + 2);
  EXPECT_EQ(graphics_seams::lastDrawCount, 6);
}

TEST_F(GraphicsDeviceTest, PointsAndLinesBatchUpToTheirCapacities) {
  const long before = graphics_seams::drawCalls;
  for (int i = 0; i < 1025; ++i) g->DrawPoint(static_cast<float>(i % 100) + 0.5f, 0.5f);
  EXPECT_EQ(graphics_seams::drawCalls, before + 1);
  EXPECT_EQ(graphics_seams::lastDrawMode, GL_POINTS);
  EXPECT_EQ(graphics_seams::lastDrawCount, 1024);
  for (int i = 0; i < 513; ++i) g->DrawLine(0, 10.5f, 50, 10.5f);  // flushes the one point first
  EXPECT_EQ(graphics_seams::drawCalls, before + 3);
  EXPECT_EQ(graphics_seams::lastDrawMode, GL_LINES);
  EXPECT_EQ(graphics_seams::lastDrawCount, 1024);
  EXPECT_EQ(At(30, 10).r, 255);
  EXPECT_EQ(At(42, 0).r, 255);
}

TEST_F(GraphicsDeviceTest, RectangleBatchIsFlushedBeforeATexturedQuad) {
  const std::string file = dir.File("green.png");
  ASSERT_TRUE(gltest::WritePng(file, 8, 8, 3, [](int, int, int ch) { return ch == 1 ? 255 : 0; }));
  gxtkSurface* surface = Load(file);
  ASSERT_NE(surface, nullptr);

  const long before = graphics_seams::drawCalls;
  g->SetColor(255, 0, 0);
  g->DrawRect(0, 0, 20, 20);
  g->SetColor(255, 255, 255);
  g->DrawSurface(surface, 4, 4);
  EXPECT_EQ(graphics_seams::drawCalls, before + 1);  // the rectangle, on its own
  EXPECT_EQ(graphics_seams::lastDrawCount, 6);
  g->DrawSurface(surface, 40, 4);  // same texture: same batch
  EXPECT_EQ(graphics_seams::drawCalls, before + 1);
  g->Flush();
  EXPECT_EQ(graphics_seams::drawCalls, before + 2);
  EXPECT_EQ(graphics_seams::lastDrawCount, 12);

  // Drawn in order: the image covers the rectangle where they overlap.
  EXPECT_PRED2(NearRgb, At(2, 2), (Rgba{255, 0, 0, 0}));
  EXPECT_EQ(At(6, 6).r, 0);
  EXPECT_EQ(At(6, 6).g, 255);
  EXPECT_EQ(At(44, 8).g, 255);
}

TEST_F(GraphicsDeviceTest, OvalSegmentCountsFollowTheRadii) {
  struct Case {
    float diameter;
    int segments;
  };
  for (const Case& c : {Case{0, 12}, Case{30, 28}, Case{100, 100}, Case{4000, 1024}}) {
    g->DrawOval(10, 10, c.diameter, c.diameter);
    EXPECT_EQ(graphics_seams::lastDrawMode, GL_TRIANGLE_FAN) << c.diameter;
    EXPECT_EQ(graphics_seams::lastDrawCount, c.segments) << "diameter " << c.diameter;
  }
  // Under a matrix the radii count as scaled: 30 at scale 2 is 60 segments.
  g->SetMatrix(2, 0, 0, 2, 0, 0);
  g->DrawOval(0, 0, 30, 30);
  EXPECT_EQ(graphics_seams::lastDrawCount, 60);
  // Non-finite sizes stay within the limits.
  g->DrawOval(0, 0, 1e30f, 1e30f);
  EXPECT_EQ(graphics_seams::lastDrawCount, 1024);
}

TEST_F(GraphicsDeviceTest, OvalsAndPolygonsDrawAtOnceWhereExpected) {
  g->DrawRect(150, 0, 10, 10);  // pending, flushed by the oval
  const long before = graphics_seams::drawCalls;
  g->SetColor(0, 255, 0);
  g->DrawOval(20, 20, 60, 40);
  EXPECT_EQ(graphics_seams::drawCalls, before + 2);
  EXPECT_EQ(At(50, 40).g, 255);  // centre
  EXPECT_EQ(At(21, 40).g, 255);  // near the left end
  EXPECT_EQ(At(22, 22).g, 0);    // bounding-box corner lies outside
  EXPECT_EQ(At(155, 5).r, 255);

  g->SetColor(0, 0, 255);
  Array<float> triangle(6);
  const float points[] = {100, 100, 140, 100, 100, 140};
  std::memcpy(triangle.Data(), points, sizeof points);
  g->DrawPoly(triangle);
  EXPECT_EQ(graphics_seams::lastDrawMode, GL_TRIANGLE_FAN);
  EXPECT_EQ(graphics_seams::lastDrawCount, 3);
  EXPECT_EQ(At(105, 105).b, 255);
  EXPECT_EQ(At(135, 135).b, 0);

  const long afterTriangle = graphics_seams::drawCalls;
  g->DrawPoly(Array<float>(5));  // two points: nothing
  g->DrawPoly(Array<float>(2 * 1025));
  EXPECT_EQ(graphics_seams::drawCalls, afterTriangle);
}

TEST_F(GraphicsDeviceTest, MatrixTransformsEveryVertex) {
  g->SetMatrix(2, 0, 0, 3, 50, 10);
  EXPECT_TRUE(g->transformed);
  g->DrawRect(0, 0, 10, 10);  // lands on (50, 10) .. (70, 40)
  EXPECT_EQ(At(51, 11).r, 255);
  EXPECT_EQ(At(69, 39).r, 255);
  EXPECT_EQ(At(71, 20).r, 0);
  EXPECT_EQ(At(5, 5).r, 0);
  g->SetMatrix(1, 0, 0, 1, 0, 0);
  EXPECT_FALSE(g->transformed);
}

TEST_F(GraphicsDeviceTest, ReadPixelsReturnsTopRowFirstAsArgb) {
  g->SetColor(255, 0, 0);
  g->DrawRect(0, 0, 4, 1);  // top row red
  g->SetColor(0, 0, 255);
  g->DrawRect(0, 1, 4, 1);  // second row blue
  Array<int> pixels(2 + 2 * 6);
  pixels[0] = 12345;
  g->ReadPixels(pixels, 0, 0, 4, 2, 2, 6);
  EXPECT_EQ(pixels[0], 12345);  // before the offset: untouched
  EXPECT_EQ(static_cast<std::uint32_t>(pixels[2]) & 0xffffff, 0xff0000u);
  EXPECT_EQ(static_cast<std::uint32_t>(pixels[2 + 6]) & 0xffffff, 0x0000ffu);
  EXPECT_EQ(pixels[2 + 4], 0);  // pitch gap untouched

  Array<int> tooSmall(7);
  g->ReadPixels(tooSmall, 0, 0, 4, 2, 0, 4);  // would need 8 elements
  for (int i = 0; i < tooSmall.Length(); ++i) EXPECT_EQ(tooSmall[i], 0);
}

TEST_F(GraphicsDeviceTest, PngsOfOneToFourChannelsDrawPremultiplied) {
  struct Case {
    int channels;
    int value[4];
    Rgba drawn;  // over black
  };
  const Case cases[] = {
      {1, {200}, {200, 200, 200, 255}},
      {2, {200, 128}, {100, 100, 100, 128}},
      {3, {10, 20, 30}, {10, 20, 30, 255}},
      {4, {255, 0, 0, 128}, {128, 0, 0, 128}},
  };
  int x = 0;
  for (const Case& c : cases) {
    const std::string file = dir.File("c" + std::to_string(c.channels) + ".png");
    ASSERT_TRUE(gltest::WritePng(file, 4, 4, c.channels, [&](int, int, int ch) { return c.value[ch]; }));
    gxtkSurface* surface = Load(file);
    ASSERT_NE(surface, nullptr) << c.channels;
    EXPECT_EQ(surface->depth, c.channels);
    EXPECT_EQ(surface->Width(), 4);
    EXPECT_EQ(surface->data, nullptr);  // uploaded and freed
    EXPECT_NE(surface->texture, 0u);
    g->DrawSurface(surface, static_cast<float>(x), 0);
    const Rgba got = At(x + 1, 1);
    EXPECT_PRED2(NearRgb, got, (Rgba{c.drawn.r, c.drawn.g, c.drawn.b, 0})) << c.channels << " channels";
    x += 10;
  }
}

TEST_F(GraphicsDeviceTest, PowerOfTwoFallbackDrawsExactlyTheImagesPixels) {
  auto pattern = [](int x, int y, int ch) { return ch == 0 ? x * 2 : ch == 1 ? y * 4 : 77; };
  const std::string file = dir.File("odd.png");
  ASSERT_TRUE(gltest::WritePng(file, 100, 60, 3, pattern));
  graphics_seams::refuseNonPow2 = true;
  gxtkSurface* surface = Load(file);
  ASSERT_NE(surface, nullptr);
  EXPECT_FLOAT_EQ(surface->uscale, 1.0f / 128);
  EXPECT_FLOAT_EQ(surface->vscale, 1.0f / 64);
  EXPECT_EQ(surface->Width(), 100);
  EXPECT_EQ(surface->Height(), 60);

  g->Cls(1, 2, 3);
  g->DrawSurface(surface, 0, 0);
  g->Flush();
  std::vector<unsigned char> shot(static_cast<size_t>(kWidth) * kHeight * 4);
  glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, shot.data());
  int wrong = 0;
  for (int y = 0; y < 62; ++y) {
    for (int x = 0; x < 102; ++x) {
      const unsigned char* px = &shot[(static_cast<size_t>(kHeight - 1 - y) * kWidth + x) * 4];
      const bool inside = x < 100 && y < 60;
      const int want[3] = {inside ? pattern(x, y, 0) : 1, inside ? pattern(x, y, 1) : 2, inside ? pattern(x, y, 2) : 3};
      if (px[0] != want[0] || px[1] != want[1] || px[2] != want[2]) ++wrong;
    }
  }
  EXPECT_EQ(wrong, 0);

  // A power-of-two image is allocated at its own size even then.
  const std::string square = dir.File("square.png");
  ASSERT_TRUE(gltest::WritePng(square, 16, 32, 1, [](int, int, int) { return 9; }));
  gxtkSurface* exact = Load(square);
  ASSERT_NE(exact, nullptr);
  EXPECT_FLOAT_EQ(exact->uscale, 1.0f / 16);
  EXPECT_FLOAT_EQ(exact->vscale, 1.0f / 32);
}

TEST_F(GraphicsDeviceTest, DrawSurface2TakesTheSourceRectangle) {
  // Four 2x2 quadrants: red, green / blue, white.
  const std::string file = dir.File("quads.png");
  ASSERT_TRUE(gltest::WritePng(file, 4, 4, 3, [](int x, int y, int ch) {
    const int quadrant = (y / 2) * 2 + x / 2;
    const int colours[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    return colours[quadrant][ch];
  }));
  gxtkSurface* surface = Load(file);
  ASSERT_NE(surface, nullptr);
  g->DrawSurface2(surface, 50, 50, 2, 2, 2, 2);  // the white quadrant
  g->DrawSurface2(surface, 60, 50, 0, 2, 2, 2);  // the blue one
  EXPECT_PRED2(NearRgb, At(50, 50), (Rgba{255, 255, 255, 0}));
  EXPECT_PRED2(NearRgb, At(51, 51), (Rgba{255, 255, 255, 0}));
  EXPECT_EQ(At(52, 51).r, 0);
  EXPECT_EQ(At(61, 51).b, 255);
  EXPECT_EQ(At(61, 51).r, 0);
}

TEST_F(GraphicsDeviceTest, CreatedSurfaceTakesWrittenPixelsPremultiplied) {
  gxtkSurface* surface = g->CreateSurface(2, 2);
  ASSERT_NE(surface, nullptr);
  EXPECT_EQ(surface->depth, 4);
  Array<int> pixels(1 + 2 * 3);
  pixels[1] = static_cast<int>(0x80ff0000u);  // half-transparent red
  pixels[2] = static_cast<int>(0xff00ff00u);
  pixels[4] = static_cast<int>(0xff0000ffu);
  pixels[5] = static_cast<int>(0xffffffffu);
  g->WritePixels2(surface, pixels, 0, 0, 2, 2, 1, 3);
  g->DrawSurface(surface, 20, 20);
  EXPECT_PRED2(NearRgb, At(20, 20), (Rgba{128, 0, 0, 0}));
  EXPECT_EQ(At(21, 20).g, 255);
  EXPECT_EQ(At(20, 21).b, 255);
  EXPECT_EQ(At(21, 21).r, 255);

  EXPECT_EQ(g->CreateSurface(0, 4), nullptr);
  EXPECT_EQ(g->CreateSurface(4, -1), nullptr);
}

TEST_F(GraphicsDeviceTest, DiscardGivesTheTextureBack) {
  gxtkSurface* surface = g->CreateSurface(8, 8);
  ASSERT_NE(surface, nullptr);
  const GLuint name = surface->texture;
  EXPECT_TRUE(glIsTexture(name));
  surface->Discard();
  EXPECT_EQ(surface->texture, 0u);
  EXPECT_FALSE(glIsTexture(name));
  surface->Discard();  // twice is harmless
}

TEST_F(GraphicsDeviceTest, BadImageFilesGiveNullAndPrintNothing) {
  const std::string good = dir.File("good.png");
  ASSERT_TRUE(gltest::WritePng(good, 16, 16, 4, [](int x, int y, int) { return x * y; }));
  const std::vector<unsigned char> png = testsupport::FileContents(good);
  ASSERT_GT(png.size(), 40u);

  std::vector<unsigned char> truncated(png.begin(), png.begin() + static_cast<long>(png.size() / 2));
  gltest::WriteBytes(dir.File("truncated.png"), truncated);
  std::vector<unsigned char> corrupt = png;
  for (size_t i = 33; i < corrupt.size(); i += 3) corrupt[i] ^= 0x5a;
  gltest::WriteBytes(dir.File("corrupt.png"), corrupt);
  // The header claims 100000 x 100000 pixels; width and height sit at bytes
  // 16 to 23 of a PNG.
  std::vector<unsigned char> enormous = png;
  const unsigned char side[4] = {0x00, 0x01, 0x86, 0xa0};
  std::memcpy(&enormous[16], side, 4);
  std::memcpy(&enormous[20], side, 4);
  gltest::WriteBytes(dir.File("enormous.png"), enormous);
  // A BMP header claiming 30000 x 30000 pixels with no pixel data after it.
  std::vector<unsigned char> bmp(54, 0);
  bmp[0] = 'B';
  bmp[1] = 'M';
  bmp[10] = 54;
  bmp[14] = 40;
  bmp[18] = 0x30, bmp[19] = 0x75;  // 30000
  bmp[22] = 0x30, bmp[23] = 0x75;
  bmp[26] = 1;
  bmp[28] = 32;
  gltest::WriteBytes(dir.File("enormous.bmp"), bmp);
  gltest::WriteBytes(dir.File("empty.png"), {});

  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  for (const char* name :
       {"truncated.png", "corrupt.png", "enormous.png", "enormous.bmp", "empty.png", "missing.png"}) {
    EXPECT_EQ(Load(dir.File(name)), nullptr) << name;
  }
  EXPECT_EQ(g->LoadSurface(String("vellum://nowhere/x.png")), nullptr);
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(out, "");
  EXPECT_EQ(err, "");
  EXPECT_NE(Load(good), nullptr);
}

}  // namespace
