#include "tools/assetgen/synth.h"

#include <algorithm>
#include <cmath>

#include "tools/assetgen/catalogue.h"

namespace assetgen {

namespace {
constexpr float kFadeInSeconds = 0.003f;   // short enough to keep attacks crisp
constexpr float kFadeOutSeconds = 0.020f;  // tails end at exact silence
constexpr size_t kMaxPartials = 8;
}  // namespace

Buffer silence(float seconds) { return Buffer(size_t(seconds * kSampleRate), 0.0f); }

float noteHz(int semitonesFromA4) { return 440.0f * std::pow(2.0f, semitonesFromA4 / 12.0f); }

void addTone(Buffer& b, float startSeconds, const Tone& t) {
  size_t start = size_t(startSeconds * kSampleRate);
  size_t length = size_t(t.decaySeconds * 6.0f * kSampleRate);
  double phase[kMaxPartials] = {0};
  for (size_t i = 0; i < length && start + i < b.size(); ++i) {
    float time = float(i) / kSampleRate;
    float progress = float(i) / float(length);
    float hz = t.hz * std::pow(t.glide, progress);
    float attack = std::min(1.0f, time / t.attackSeconds);
    // The last tenth of a tone fades to zero so that cutting it off is silent.
    float release = std::min(1.0f, (1.0f - progress) * 10.0f);
    float v = 0;
    for (size_t k = 0; k < t.partials.size() && k < kMaxPartials; ++k) {
      float decay = std::exp(-time * (1.0f + 0.6f * k) / t.decaySeconds);
      phase[k] += double(hz) * (k + 1) / kSampleRate;
      v += t.partials[k] * decay * float(std::sin(kTwoPi * std::fmod(phase[k], 1.0)));
    }
    b[start + i] += t.amp * attack * release * v;
  }
}

Buffer finish(Buffer b, float peak) {
  float loudest = 0;
  for (float v : b) loudest = std::max(loudest, std::fabs(v));
  float k = loudest > 0 ? peak / loudest : 0;
  size_t fadeIn = size_t(kFadeInSeconds * kSampleRate), fadeOut = size_t(kFadeOutSeconds * kSampleRate);
  for (size_t i = 0; i < b.size(); ++i) {
    float g = k;
    if (i < fadeIn) g *= 0.5f - 0.5f * std::cos(kTwoPi * 0.5f * i / fadeIn);
    size_t fromEnd = b.size() - 1 - i;
    if (fromEnd < fadeOut) g *= 0.5f - 0.5f * std::cos(kTwoPi * 0.5f * fromEnd / fadeOut);
    b[i] *= g;
  }
  return b;
}

}  // namespace assetgen
