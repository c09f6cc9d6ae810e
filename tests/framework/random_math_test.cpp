// The shared generator's exact sequence and the absolute values.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "framework/math.h"
#include "framework/random.h"

namespace {

TEST(Random, SequenceFromSeed1234MatchesTheGamesRecordedValues) {
  vl_random_Seed = 1234;
  const unsigned seeds[] = {3067928073u, 889114580u, 3219257635u};
  const double values[] = {0.7143076658248901, 0.2070130705833435, 0.7495418190956116};
  for (int i = 0; i < 3; ++i) {
    float r = vl_random_Rnd();
    EXPECT_EQ(unsigned(vl_random_Seed), seeds[i]) << i;
    EXPECT_EQ(double(r), values[i]) << i;
  }
}

TEST(Random, EveryOperationAdvancesTheSeedExactlyOnce) {
  vl_random_Seed = 1234;
  EXPECT_EQ(vl_random_Rnd2(5, 5), 5.0f);
  EXPECT_EQ(unsigned(vl_random_Seed), 3067928073u);
  EXPECT_EQ(vl_random_Rnd3(0), 0.0f);
  EXPECT_EQ(unsigned(vl_random_Seed), 889114580u);
  EXPECT_EQ(vl_random_Rnd3(10), float(0.7495418190956116 * 10));
  EXPECT_EQ(unsigned(vl_random_Seed), 3219257635u);
}

TEST(Random, Rnd2ScalesInDoubleAndStaysBelowHigh) {
  vl_random_Seed = 1234;
  EXPECT_EQ(vl_random_Rnd2(-1, 3), float(-1 + 4 * 0.7143076658248901));
  // The largest fraction, (2^24 - 1) / 2^24, must not round up to 1.
  for (unsigned s = 0;; ++s) {
    if (((s * 1664525u + 1013904223u) >> 8) == 0xffffffu) {
      vl_random_Seed = int(s);
      break;
    }
  }
  EXPECT_LT(vl_random_Rnd(), 1.0f);
}

TEST(Random, RandomWholeTakesOneStepAndKeepsWithinItsBounds) {
  vl_random_Seed = 1234;
  EXPECT_EQ(korvane::RandomWhole(1, 10), 8) << "floor(1 + 9.99 x 0.7143...)";
  EXPECT_EQ(unsigned(vl_random_Seed), 3067928073u);
  for (int i = 0; i < 1000; ++i) {
    const int value = korvane::RandomWhole(-2, 3);
    ASSERT_GE(value, -2);
    ASSERT_LE(value, 3);
  }
}

TEST(Random, ReseedingByAssignmentRepeatsTheSequence) {
  vl_random_Seed = 99;
  float a = vl_random_Rnd(), b = vl_random_Rnd2(1, 10);
  vl_random_Seed = 99;
  EXPECT_EQ(vl_random_Rnd(), a);
  EXPECT_EQ(vl_random_Rnd2(1, 10), b);
}

TEST(Math, AbsoluteValues) {
  EXPECT_EQ(vl_math_Abs(-7), 7);
  EXPECT_EQ(vl_math_Abs(7), 7);
  EXPECT_EQ(vl_math_Abs(0), 0);
  EXPECT_EQ(vl_math_Abs(INT_MIN), INT_MIN);
  EXPECT_EQ(vl_math_Abs2(-2.5f), 2.5f);
  EXPECT_EQ(vl_math_Abs2(2.5f), 2.5f);
  float negZero = vl_math_Abs2(-0.0f);
  EXPECT_TRUE(std::signbit(negZero)) << "-0.0 passes the x >= 0 test unchanged";
}

}  // namespace
