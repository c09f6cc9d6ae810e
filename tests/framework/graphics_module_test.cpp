// The graphics module without a display: data paths, how images are cut into
// frames, the flags, the matrix arithmetic and stack, and the runtime error
// for frames that do not fit.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>

#include "framework/data.h"
#include "framework/graphics.h"

namespace {

std::string Narrow(const String& s) {
  std::string out;
  for (int i = 0; i < s.Length(); ++i) out += static_cast<char>(s[i]);
  return out;
}

// A surface of the given size with no texture: enough for cutting frames.
gxtkSurface* FakeSurface(int width, int height) {
  gxtkSurface* surface = new gxtkSurface();
  surface->SetData(nullptr, width, height, 4);
  return surface;
}

vl_graphics_Image* ImageOf(gxtkSurface* surface, int frameCount, int flags) {
  return (new vl_graphics_Image())->g_new()->m_Init(surface, frameCount, flags);
}

class GraphicsModuleTest : public ::testing::Test {
 protected:
  void SetUp() override { gc_assign(vl_graphics_context, (new vl_graphics_GraphicsContext())->g_new()); }
  vl_graphics_GraphicsContext* context() { return vl_graphics_context; }
};

TEST(DataPathTest, PlainNamesGoToTheDataFolderLocationsStayAsTheyAre) {
  EXPECT_EQ(Narrow(vl_data_FixDataPath(String("gfx/a.png"))), "vellum://data/gfx/a.png");
  EXPECT_EQ(Narrow(vl_data_FixDataPath(String("a:b/c"))), "vellum://data/a:b/c");
  EXPECT_EQ(Narrow(vl_data_FixDataPath(String("x/y:/z"))), "vellum://data/x/y:/z");
  EXPECT_EQ(Narrow(vl_data_FixDataPath(String(""))), "vellum://data/");
  for (const char* kept : {"./a.png", "/a.png", "C:/a.png", "vellum://data/gfx/a.png", "vellum://internal/x"}) {
    EXPECT_EQ(Narrow(vl_data_FixDataPath(String(kept))), kept);
  }
}

TEST_F(GraphicsModuleTest, FontStripWithGuttersGivesNarrowedFramesTenPixelsApart) {
  vl_graphics_Image* font = ImageOf(FakeSurface(960, 12), 96, vl_graphics_Image::PadX);
  ASSERT_EQ(font->frames.Length(), 96);
  EXPECT_EQ(font->width, 8);
  EXPECT_EQ(font->height, 12);
  for (int i = 0; i < 96; ++i) {
    EXPECT_EQ(font->frames[i]->x, 1 + 10 * i) << i;
    EXPECT_EQ(font->frames[i]->y, 0) << i;
  }
  EXPECT_EQ(font->flags, vl_graphics_Image::PadX);

  vl_graphics_Image* padded = ImageOf(FakeSurface(40, 20), 2, vl_graphics_Image::PadX | vl_graphics_Image::PadY);
  EXPECT_EQ(padded->width, 18);
  EXPECT_EQ(padded->height, 18);
  EXPECT_EQ(padded->frames[1]->x, 21);
  EXPECT_EQ(padded->frames[1]->y, 1);
}

TEST_F(GraphicsModuleTest, GrabbedFramesWrapIntoRowsAndRespectTheSourceOffset) {
  vl_graphics_Image* sheet = ImageOf(FakeSurface(96, 64), 1, 0);
  EXPECT_EQ(sheet->flags, vl_graphics_Image::WholeSurface);
  vl_graphics_Image* cells = sheet->m_GrabImage(0, 0, 32, 32, 6, 0);
  ASSERT_NE(cells, nullptr);
  EXPECT_EQ(cells->source, sheet);
  EXPECT_EQ(cells->surface, sheet->surface);
  const int want[6][2] = {{0, 0}, {32, 0}, {64, 0}, {0, 32}, {32, 32}, {64, 32}};
  ASSERT_EQ(cells->frames.Length(), 6);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(cells->frames[i]->x, want[i][0]) << i;
    EXPECT_EQ(cells->frames[i]->y, want[i][1]) << i;
  }
  EXPECT_EQ(cells->flags & vl_graphics_Image::WholeSurface, 0);

  // Starting mid-row; the wrap goes back to column 0 of the source.
  vl_graphics_Image* tail = sheet->m_GrabImage(64, 0, 32, 32, 2, 0);
  EXPECT_EQ(tail->frames[0]->x, 64);
  EXPECT_EQ(tail->frames[1]->x, 0);
  EXPECT_EQ(tail->frames[1]->y, 32);

  // A padded source shifts every grabbed frame by its first frame's corner.
  vl_graphics_Image* inset = ImageOf(FakeSurface(50, 50), 1, vl_graphics_Image::PadX | vl_graphics_Image::PadY);
  vl_graphics_Image* grabbed = inset->m_GrabImage(0, 0, 16, 16, 4, 0);
  EXPECT_EQ(grabbed->frames[0]->x, 1);
  EXPECT_EQ(grabbed->frames[0]->y, 1);
  EXPECT_EQ(grabbed->frames[3]->x, 1);
  EXPECT_EQ(grabbed->frames[3]->y, 17);

  // Only one-frame images can be grabbed from.
  EXPECT_EQ(ImageOf(FakeSurface(64, 32), 2, 0)->m_GrabImage(0, 0, 8, 8, 1, 0), nullptr);
}

TEST_F(GraphicsModuleTest, HandleCentreAndWholeSurfaceFlags) {
  vl_graphics_Image* centred = ImageOf(FakeSurface(30, 20), 1, vl_graphics_Image::HandleCentre);
  EXPECT_FLOAT_EQ(centred->handleX, 15);
  EXPECT_FLOAT_EQ(centred->handleY, 10);
  EXPECT_EQ(centred->flags, vl_graphics_Image::WholeSurface);  // bit 1 cleared

  vl_graphics_Image* strip = ImageOf(FakeSurface(30, 20), 3, vl_graphics_Image::HandleCentre);
  EXPECT_FLOAT_EQ(strip->handleX, 5);
  EXPECT_EQ(strip->flags, 0);
  EXPECT_EQ(ImageOf(FakeSurface(30, 20), 1, vl_graphics_Image::PadX)->flags & vl_graphics_Image::WholeSurface, 0);

  strip->m_SetHandle(1, 2);
  EXPECT_FLOAT_EQ(strip->handleY, 2);
  EXPECT_EQ(ImageOf(FakeSurface(30, 20), 0, 0)->frames.Length(), 0);
}

// The error ends the process; run it in a child with standard input closed
// (nothing attached to answer the stop) and standard output joined to the
// standard error that the death test reads.
void GrabOutsideTheSurface(int frameCount, int width) {
  freopen("/dev/null", "r", stdin);
  dup2(2, 1);
  gc_assign(vl_graphics_context, (new vl_graphics_GraphicsContext())->g_new());
  vl_graphics_Image* sheet = ImageOf(FakeSurface(96, 64), 1, 0);
  sheet->m_GrabImage(0, 0, width, 32, frameCount, 0);
  std::exit(0);
}

TEST(GraphicsModuleDeathTest, FramesOutsideTheSurfaceStopWithTheRuntimeError) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(GrabOutsideTheSurface(7, 32), testing::ExitedWithCode(255),
              "Vellum Runtime Error : Image frame outside surface");
  EXPECT_EXIT(GrabOutsideTheSurface(1, 97), testing::ExitedWithCode(255),
              "Vellum Runtime Error : Image frame outside surface");
  EXPECT_EXIT(GrabOutsideTheSurface(6, 32), testing::ExitedWithCode(0), "");
}

TEST_F(GraphicsModuleTest, TransformAppliesTheGivenMatrixToPointsFirst) {
  vl_graphics_Translate(10, 20);
  vl_graphics_Scale(2, 3);
  EXPECT_EQ(context()->transformed, 1);
  EXPECT_EQ(context()->matrixDirty, 1);
  // (1, 1) is scaled first, then translated: (12, 23).
  const vl_graphics_GraphicsContext* m = context();
  EXPECT_FLOAT_EQ(m->a * 1 + m->c * 1 + m->tx, 12);
  EXPECT_FLOAT_EQ(m->b * 1 + m->d * 1 + m->ty, 23);

  vl_graphics_SetMatrix(1, 0, 0, 1, 0, 0);
  EXPECT_EQ(context()->transformed, 0);
  Array<float> values(6);
  const float shear[6] = {1, 0, 0.5f, 1, 0, 0};
  for (int i = 0; i < 6; ++i) values[i] = shear[i];
  vl_graphics_Transform2(values);
  EXPECT_FLOAT_EQ(context()->c, 0.5f);
  vl_graphics_SetMatrix2(values);
  EXPECT_FLOAT_EQ(context()->c, 0.5f);
  EXPECT_FLOAT_EQ(context()->a, 1);
}

TEST_F(GraphicsModuleTest, RotateNinetyTurnsXAxisUpOnScreen) {
  vl_graphics_Rotate(90);
  const vl_graphics_GraphicsContext* m = context();
  // The point (1, 0) lands on (0, -1): anticlockwise with y pointing down.
  EXPECT_NEAR(m->a * 1 + m->c * 0 + m->tx, 0, 1e-6);
  EXPECT_NEAR(m->b * 1 + m->d * 0 + m->ty, -1, 1e-6);
  EXPECT_NEAR(m->a * 0 + m->c * 1, 1, 1e-6);  // (0, 1) lands on (1, 0)
}

TEST_F(GraphicsModuleTest, MatrixStackRestoresAndStaysWithinItsThirtyTwoMatrices) {
  vl_graphics_Translate(5, 6);
  vl_graphics_PushMatrix();
  vl_graphics_Scale(4, 4);
  vl_graphics_PopMatrix();
  EXPECT_FLOAT_EQ(context()->a, 1);
  EXPECT_FLOAT_EQ(context()->tx, 5);
  EXPECT_EQ(context()->stackTop, 0);

  vl_graphics_PopMatrix();  // empty: nothing happens
  EXPECT_EQ(context()->stackTop, 0);
  EXPECT_FLOAT_EQ(context()->tx, 5);

  for (int i = 0; i < 40; ++i) {
    vl_graphics_SetMatrix(1, 0, 0, 1, static_cast<float>(i), 0);
    vl_graphics_PushMatrix();
  }
  EXPECT_EQ(context()->stackTop, 32 * 6);
  vl_graphics_PopMatrix();
  EXPECT_FLOAT_EQ(context()->tx, 31);  // the pushes beyond 32 were not kept
}

}  // namespace
