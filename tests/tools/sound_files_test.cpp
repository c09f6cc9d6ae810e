// The sound effects as the host's WAV reader and OpenAL get them: 16-bit PCM,
// silent at both ends (a sound that starts or stops mid-wave clicks), with
// headroom, and the path sound a clean pitched tone that stays musical when
// the game speeds it up or slows it down.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "tests/tools/generated_data.h"

namespace {

using assetgen_test::generatedData;
using assetgen_test::readFile;

const char* const kEffects[] = {"001", "002", "003", "004", "005", "006", "007", "008", "095", "098", "099"};

struct Wav {
  int format = 0, channels = 0, rate = 0, bits = 0;
  std::vector<int16_t> samples;  // first channel
  std::string error;
};

uint32_t le(const std::vector<uint8_t>& b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b[at + i];
  return v;
}

Wav parseWav(const std::vector<uint8_t>& b) {
  Wav w;
  if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) || std::memcmp(b.data() + 8, "WAVE", 4)) {
    w.error = "not RIFF/WAVE";
    return w;
  }
  size_t at = 12;
  while (at + 8 <= b.size()) {
    uint32_t size = le(b, at + 4, 4);
    if (size > b.size() - at - 8) {
      w.error = "chunk runs past the end";
      return w;
    }
    if (!std::memcmp(b.data() + at, "fmt ", 4) && size >= 16) {
      w.format = int(le(b, at + 8, 2));
      w.channels = int(le(b, at + 10, 2));
      w.rate = int(le(b, at + 12, 4));
      w.bits = int(le(b, at + 22, 2));
    } else if (!std::memcmp(b.data() + at, "data", 4) && w.bits == 16 && w.channels > 0) {
      for (size_t i = 0; i + 2 * w.channels <= size; i += 2 * w.channels)
        w.samples.push_back(int16_t(le(b, at + 8 + i, 2)));
    }
    at += 8 + size + (size & 1);
  }
  return w;
}

Wav loadEffect(const std::string& number) { return parseWav(readFile(generatedData() + "/sfx/" + number + ".wav")); }

int peakOf(const std::vector<int16_t>& s, size_t from, size_t to) {
  int peak = 0;
  for (size_t i = from; i < to && i < s.size(); ++i) peak = std::max(peak, std::abs(int(s[i])));
  return peak;
}

TEST(SoundFiles, EveryEffectIsSixteenBitPcm) {
  for (const char* n : kEffects) {
    Wav w = loadEffect(n);
    SCOPED_TRACE(n);
    EXPECT_EQ(w.error, "");
    EXPECT_EQ(w.format, 1) << "not integer PCM";
    EXPECT_EQ(w.bits, 16);
    EXPECT_GE(w.channels, 1);
    EXPECT_GE(w.rate, 22050);
    ASSERT_FALSE(w.samples.empty());
    double seconds = double(w.samples.size()) / w.rate;
    EXPECT_GT(seconds, 0.03);
    EXPECT_LT(seconds, 2.0) << "effects are short";
  }
}

TEST(SoundFiles, NoClickAtEitherEnd) {
  for (const char* n : kEffects) {
    Wav w = loadEffect(n);
    SCOPED_TRACE(n);
    ASSERT_GT(w.samples.size(), 100u);
    int peak = peakOf(w.samples, 0, w.samples.size());
    EXPECT_LE(std::abs(int(w.samples.front())), 2);
    EXPECT_LE(std::abs(int(w.samples.back())), 2);
    // The first and last half millisecond stay far below the sound's peak.
    size_t edge = size_t(w.rate / 2000);
    EXPECT_LT(peakOf(w.samples, 0, edge), peak / 8);
    EXPECT_LT(peakOf(w.samples, w.samples.size() - edge, w.samples.size()), peak / 8);
  }
}

TEST(SoundFiles, LevelsLeaveHeadroomAndCanBeHeard) {
  for (const char* n : kEffects) {
    Wav w = loadEffect(n);
    int peak = peakOf(w.samples, 0, w.samples.size());
    EXPECT_LT(peak, 32000) << n << " clips";
    EXPECT_GT(peak, 32768 / 5) << n << " too quiet";
  }
}

TEST(SoundFiles, PathSoundIsAPitchedTone) {
  // The gem-taken sound is replayed at rates 0.6 to 1.5: only a periodic tone
  // stays musical when resampled. Its waveform repeats at its pitch period.
  Wav w = loadEffect("004");
  ASSERT_GT(w.samples.size(), 4000u);
  size_t from = size_t(w.rate * 0.01), to = size_t(w.rate * 0.06);
  int bestLag = 0;
  double best = -1;
  for (int lag = w.rate / 2000; lag < w.rate / 150; ++lag) {
    double num = 0, a = 0, b = 0;
    for (size_t i = from; i < to; ++i) {
      num += double(w.samples[i]) * w.samples[i + lag];
      a += double(w.samples[i]) * w.samples[i];
      b += double(w.samples[i + lag]) * w.samples[i + lag];
    }
    double r = num / std::sqrt(a * b + 1e-9);
    if (r > best) {
      best = r;
      bestLag = lag;
    }
  }
  EXPECT_GT(best, 0.8) << "no clear pitch";
  double hz = double(w.rate) / bestLag;
  EXPECT_GT(hz, 200.0);
  EXPECT_LT(hz, 1200.0);
}

}  // namespace
