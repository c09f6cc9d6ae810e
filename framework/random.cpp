#include "framework/random.h"

#include <cmath>
#include <cstdint>

int vl_random_Seed = 1234;

namespace {

constexpr uint32_t kMultiplier = 1664525u;
constexpr uint32_t kIncrement = 1013904223u;
constexpr int kFractionShift = 8;                    // keep the top 24 bits
constexpr double kFractionScale = 1.0 / 16777216.0;  // 2^-24

// Advances the seed once and returns the fraction r in [0, 1). The scaling
// that callers apply is done in double and rounded to float once.
double nextFraction() {
  uint32_t seed = uint32_t(vl_random_Seed) * kMultiplier + kIncrement;
  vl_random_Seed = int32_t(seed);
  return double(seed >> kFractionShift) * kFractionScale;
}

}  // namespace

float vl_random_Rnd() { return float(nextFraction()); }

float vl_random_Rnd2(float low, float high) {
  double r = nextFraction();
  return float(double(low) + (double(high) - double(low)) * r);
}

float vl_random_Rnd3(float range) { return float(nextFraction() * double(range)); }

int korvane::RandomWhole(int low, int high) {
  const float r = vl_random_Rnd();
  const float lowF = static_cast<float>(low);
  const float span = static_cast<float>(high) + 0.99f - lowF;
  return static_cast<int>(std::floor(lowF + span * r));
}
