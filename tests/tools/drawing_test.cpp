// The generator's drawing primitives: the faults here would show as holes in
// glyphs, blurred or shifted edges at one resolution, dark fringes after
// un-premultiplying, or broken sound headers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "tools/assetgen/canvas.h"
#include "tools/assetgen/catalogue.h"
#include "tools/assetgen/geometry.h"

namespace {

using namespace assetgen;

Outline square(Vec2 c, float h, bool clockwise) {
  std::vector<Vec2> v = {{c.x - h, c.y - h}, {c.x + h, c.y - h}, {c.x + h, c.y + h}, {c.x - h, c.y + h}};
  if (!clockwise) std::reverse(v.begin(), v.end());
  return Outline(v);
}

TEST(Outline, DistancesAreExactAndSignedByNonZeroWinding) {
  Outline sq = square({10, 10}, 4, true);
  EXPECT_FLOAT_EQ(sq.sd({10, 10}), -4);
  EXPECT_FLOAT_EQ(sq.sd({17, 10}), 3);
  EXPECT_NEAR(sq.sd({17, 17}), std::sqrt(18.0f), 1e-5);

  // A counter wound the other way is a hole, as in the letter O.
  Outline ring = square({10, 10}, 4, true);
  ring.add(square({10, 10}, 2, false).contours()[0]);
  EXPECT_GT(ring.sd({10, 10}), 0) << "the hole is outside";
  EXPECT_LT(ring.sd({13, 10}), 0);

  // Two overlapping pieces wound the same way stay filled where they overlap.
  Outline both = square({10, 10}, 4, true);
  both.add(square({12, 10}, 4, true).contours()[0]);
  EXPECT_LT(both.sd({12, 10}), 0);
}

TEST(Canvas, EdgesAreOnePixelWideAtEveryLevel) {
  for (int level : {1, 2, 4}) {
    Canvas c(8, 4, level);
    // A half-plane whose edge lies at design x = 3.25.
    fillSolid(
        c, {0, 0, 8, 4}, [](Vec2 p) { return p.x - 3.25f; }, rgb(255, 255, 255));
    int partial = 0;
    for (int x = 0; x < c.width(); ++x) {
      float a = c.pixel(x, 0)[3];
      if (a > 0.001f && a < 0.999f) ++partial;
      float centre = (x + 0.5f) / level;
      if (centre < 3.25f - 1.0f / level) {
        EXPECT_GT(a, 0.999f) << "level " << level << " x " << x;
      }
      if (centre > 3.25f + 1.0f / level) {
        EXPECT_LT(a, 0.001f) << "level " << level << " x " << x;
      }
    }
    EXPECT_LE(partial, 1) << "edge blurred at level " << level;
    // The covered area is the same in design units at every level.
    float area = 0;
    for (int x = 0; x < c.width(); ++x) area += c.pixel(x, 0)[3];
    EXPECT_NEAR(area / level, 3.25f, 0.01f) << "level " << level;
  }
}

TEST(Canvas, SavedColoursAreUnpremultiplied) {
  Canvas c(2, 1, 1);
  c.blend(0, 0, rgb(255, 0, 0), 0.5f);
  std::vector<uint8_t> px = c.toRgba8();
  EXPECT_EQ(px[0], 255) << "half-covered red must not turn dark red";
  EXPECT_EQ(px[1], 0);
  EXPECT_EQ(px[3], 128);
  EXPECT_EQ(px[4 + 3], 0) << "untouched pixel stays transparent";
}

// The contact sheet's resampling: a frame must not pick up its neighbour's
// pixels, enlarging must keep hard pixel edges, and halving must average
// colours by coverage (a half-transparent red stays red, not dark red).
TEST(Canvas, ResamplingKeepsFramesApartAndColoursTrue) {
  Canvas strip(2, 1, 1);
  strip.blend(0, 0, rgb(255, 0, 0), 1);
  strip.blend(1, 0, rgb(0, 0, 255), 1);
  float s[4];
  sampleBilinear(strip, 1.0f, 0.5f, {0, 0, 1, 1}, s);
  EXPECT_FLOAT_EQ(s[2], 0) << "blue from the next frame bled in";
  EXPECT_FLOAT_EQ(s[0], 0.5f) << "outside the frame counts as transparent";
  sampleBilinear(strip, 1.0f, 0.5f, {0, 0, 2, 1}, s);
  EXPECT_FLOAT_EQ(s[0], 0.5f);
  EXPECT_FLOAT_EQ(s[2], 0.5f);

  Canvas big = enlargedNearest(strip, 3);
  ASSERT_EQ(big.width(), 6);
  ASSERT_EQ(big.height(), 3);
  EXPECT_FLOAT_EQ(big.pixel(2, 2)[0], 1) << "enlarged pixels keep hard edges";
  EXPECT_FLOAT_EQ(big.pixel(3, 0)[2], 1);

  Canvas square(2, 2, 1);
  square.blend(0, 0, rgb(255, 0, 0), 1);
  square.blend(1, 1, rgb(255, 0, 0), 1);
  Canvas half = halved(square);
  ASSERT_EQ(half.width(), 1);
  std::vector<uint8_t> px = half.toRgba8();
  EXPECT_EQ(px[0], 255);
  EXPECT_EQ(px[3], 128);
}

TEST(DistanceGrid, MatchesTheExactDistanceNearEdges) {
  Canvas c(32, 32, 2);
  auto exact = [](Vec2 p) { return sdCircle(p, {16, 16}, 9); };
  DistanceGrid grid(c, {4, 4, 28, 28}, exact);
  for (float a = 0; a < 360; a += 17)
    for (float r : {7.0f, 9.0f, 11.0f}) {
      Vec2 p = Vec2{16, 16} + polar(a, r);
      EXPECT_NEAR(grid(p), exact(p), 0.05f) << "angle " << a << " radius " << r;
    }
  EXPECT_GT(grid({0, 0}), 10) << "far outside the sampled area stays far";
}

TEST(WavEncoding, HeaderDescribesSixteenBitMonoAndSamplesAreClamped) {
  std::vector<uint8_t> w = encodeWav({0.0f, 0.5f, 2.0f, -2.0f});
  ASSERT_EQ(w.size(), 44u + 8u);
  EXPECT_EQ(std::string(w.begin(), w.begin() + 4), "RIFF");
  EXPECT_EQ(w[4] | w[5] << 8, 36 + 8);
  EXPECT_EQ(std::string(w.begin() + 36, w.begin() + 40), "data");
  auto sample = [&](int i) { return int16_t(w[44 + 2 * i] | w[45 + 2 * i] << 8); };
  EXPECT_EQ(sample(0), 0);
  EXPECT_EQ(sample(1), 16384);
  EXPECT_EQ(sample(2), 32767) << "overload must clip, not wrap";
  EXPECT_EQ(sample(3), -32767);
}

}  // namespace
