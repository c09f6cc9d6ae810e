// Sound that the device plays really reaches the mix: OpenAL Soft's wave
// output writes the mix to a file, in which a played WAV tone and a played
// Ogg tone must both be found at their own pitch, in the order played.
// A program of its own, since OpenAL reads its configuration once.
#include <gtest/gtest.h>

#include <AL/alc.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "tests/host/sound_files.h"
#include "tests/support/null_audio.h"
#include "tests/support/temp_folder.h"

using namespace testsupport;

namespace {

constexpr double kWavHz = 440, kOggHz = 660;
constexpr double kToneSeconds = 0.4;
constexpr double kWindowSeconds = 0.05;  // analysis window: 22 to 33 periods of either tone
constexpr double kAudibleRms = 0.02;     // of full scale; silence in the mix is exactly 0

// The first channel of the mix as floats in [-1, 1], from the float or
// 16-bit PCM file that the wave output writes.
struct Mix {
  int rate = 0;
  std::vector<float> left;
};

uint32_t le(const Bytes& b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= uint32_t(b[at + i]) << (8 * i);
  return v;
}

bool readMix(const Bytes& file, Mix& mix) {
  int channels = 0, bits = 0;
  for (size_t at = 12; at + 8 <= file.size();) {
    uint32_t size = le(file, at + 4, 4);
    const uint8_t* tag = &file[at];
    if (std::memcmp(tag, "fmt ", 4) == 0) {
      channels = int(le(file, at + 10, 2));
      mix.rate = int(le(file, at + 12, 4));
      bits = int(le(file, at + 22, 2));
    } else if (std::memcmp(tag, "data", 4) == 0 && channels > 0) {
      size_t frameBytes = size_t(channels * bits / 8);
      size_t end = std::min(file.size(), at + 8 + size);
      for (size_t p = at + 8; p + frameBytes <= end; p += frameBytes) {
        if (bits == 32) {
          float f;
          std::memcpy(&f, &file[p], 4);
          mix.left.push_back(f);
        } else if (bits == 16) {
          mix.left.push_back(float(int16_t(le(file, p, 2))) / 32768.0f);
        } else {
          return false;
        }
      }
      return true;
    }
    at += 8 + size + (size & 1);
  }
  return false;
}

// Loudness and pitch of each window: the pitch from the rising zero crossings
// over the part of the window that sounds. Where a tone starts or ends inside
// a window, counting over the whole window would halve the pitch of a half
// filled one, and the end of the 660 Hz tone could pass for the 440 Hz one.
struct Window {
  double rms;
  double hz;
};

std::vector<Window> analyse(const Mix& mix) {
  std::vector<Window> windows;
  size_t n = size_t(mix.rate * kWindowSeconds);
  for (size_t start = 0; start + n <= mix.left.size(); start += n) {
    double sum = 0;
    int rising = 0;
    size_t firstSounding = n, lastSounding = 0;
    for (size_t i = start; i < start + n; ++i) {
      sum += double(mix.left[i]) * mix.left[i];
      if (i > start && mix.left[i - 1] < 0 && mix.left[i] >= 0) ++rising;
      if (mix.left[i] != 0) {
        firstSounding = std::min(firstSounding, i - start);
        lastSounding = i - start;
      }
    }
    const double soundingSeconds =
        firstSounding < n ? double(lastSounding - firstSounding + 1) / mix.rate : kWindowSeconds;
    windows.push_back({std::sqrt(sum / double(n)), rising / soundingSeconds});
  }
  return windows;
}

TEST(AudioWaveOutput, PlayedWavAndOggToneAreAudibleAtTheirPitchInTheMix) {
  const TempFolder folder("wave-output");
  const std::string dir = folder.path();
  std::string out = dir + "/out.wav";
  {
    std::ofstream conf(dir + "/alsoft.conf");
    conf << "[general]\ndrivers=wave\n[wave]\nfile=" << out << "\n";
  }
  setenv("ALSOFT_CONF", (dir + "/alsoft.conf").c_str(), 1);
  setenv("ALSOFT_DRIVERS", "wave", 1);
  WriteFile(dir + "/tone.wav", MakeWavTone(1, 22050, 16, kWavHz, kToneSeconds));
  WriteFile(dir + "/tone.ogg", EncodeOggTone(1, 22050, kOggHz, kToneSeconds));
  ASSERT_TRUE(OpenTestAudio()) << "OpenAL Soft's wave output could not be opened";

  gxtkAudio* audio = new gxtkAudio();
  gxtkSample* wav = audio->LoadSample(String((dir + "/tone.wav").c_str()));
  gxtkSample* ogg = audio->LoadSample(String((dir + "/tone.ogg").c_str()));
  ASSERT_NE(wav, nullptr);
  ASSERT_NE(ogg, nullptr);
  audio->PlaySample(wav, 0, 0);
  ASSERT_TRUE(WaitUntil([&] { return audio->ChannelState(0) == 0; }));
  audio->PlaySample(ogg, 1, 0);
  ASSERT_TRUE(WaitUntil([&] { return audio->ChannelState(1) == 0; }));
  CloseTestAudio();  // the wave output completes its file on closing

  Mix mix;
  ASSERT_TRUE(readMix(ReadFile(out), mix)) << out;
  ASSERT_GT(mix.rate, 0);
  int wavWindows = 0, oggWindows = 0, firstOgg = -1, lastWav = -1;
  std::vector<Window> windows = analyse(mix);
  for (size_t i = 0; i < windows.size(); ++i) {
    if (windows[i].rms < kAudibleRms) continue;
    if (std::abs(windows[i].hz - kWavHz) <= 40) {
      ++wavWindows;
      lastWav = int(i);
    } else if (std::abs(windows[i].hz - kOggHz) <= 40) {
      ++oggWindows;
      if (firstOgg < 0) firstOgg = int(i);
    }
  }
  // 0.4 s of each tone fills about 8 windows; allow for the windows that
  // straddle a tone's start or end.
  EXPECT_GE(wavWindows, 5) << "the WAV tone is missing from the mix";
  EXPECT_GE(oggWindows, 5) << "the Ogg tone is missing from the mix";
  EXPECT_LT(lastWav, firstOgg) << "the tones come in the order played";
}

}  // namespace
