// The whole way from song image to loudspeaker: the demo program plays its
// generated song for a few seconds through OpenAL Soft's wave output, and the
// written mix must hold sound. Needs an X display (the program opens its
// window to decode the song).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"

namespace {

struct Mix {
  int rate = 0;
  int channels = 0;
  std::vector<float> frames;  // interleaved, -1 to 1
};

uint32_t Read32(const std::vector<unsigned char>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// Reads a 16-bit PCM WAV file as OpenAL Soft's wave output writes it (the
// format chunk may be the extensible kind). Every size is checked against
// the bytes present.
bool ReadMix(const std::string& path, Mix& mix) {
  std::ifstream in(path, std::ios::binary);
  std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (b.size() < 12 || std::string(b.begin(), b.begin() + 4) != "RIFF") return false;
  size_t at = 12;
  int bits = 0;
  while (at + 8 <= b.size()) {
    const std::string tag(b.begin() + at, b.begin() + at + 4);
    uint32_t size = Read32(b, at + 4);
    at += 8;
    if (tag == "fmt " && size >= 16 && at + 16 <= b.size()) {
      mix.channels = b[at + 2] | b[at + 3] << 8;
      mix.rate = static_cast<int>(Read32(b, at + 4));
      bits = b[at + 14] | b[at + 15] << 8;
    }
    if (tag == "data") {
      // A writer stopped early may leave the size unset: take what is there.
      if (size > b.size() - at) size = static_cast<uint32_t>(b.size() - at);
      if (bits != 16 || mix.channels <= 0) return false;
      for (size_t i = at; i + 1 < at + size; i += 2) {
        mix.frames.push_back(static_cast<int16_t>(b[i] | b[i + 1] << 8) / 32768.0f);
      }
      return true;
    }
    if (size > b.size() - at) return false;
    at += size + (size & 1);
  }
  return false;
}

double Rms(const Mix& mix, double fromSecond, double toSecond) {
  const size_t from = static_cast<size_t>(fromSecond * mix.rate) * mix.channels;
  const size_t to = std::min(mix.frames.size(), static_cast<size_t>(toSecond * mix.rate) * mix.channels);
  if (to <= from) return 0.0;
  double sum = 0.0;
  for (size_t i = from; i < to; ++i) sum += mix.frames[i] * mix.frames[i];
  return std::sqrt(sum / static_cast<double>(to - from));
}

TEST(MusicAudibleTest, DemoSongThroughTheWaveOutputIsAudible) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X display: the demo opens a window";
  const testsupport::TempFolder scratch("music-wave");
  const std::string& folder = scratch.path();
  const std::string conf = folder + "/alsoft.conf";
  const std::string wave = folder + "/mix.wav";
  {
    std::ofstream out(conf);
    out << "[general]\ndrivers=wave\nsample-type=int16\nchannels=stereo\nfrequency=44100\n"
        << "[wave]\nfile=" << wave << "\n";
  }
  constexpr int kSeconds = 4;
  const std::string command = "env -u ALSOFT_DRIVERS ALSOFT_CONF='" + conf + "' '" +
                              KORVANE_MUSIC_DEMO + "' " + std::to_string(kSeconds) + " 3 > '" +
                              folder + "/log.txt' 2>&1";
  const int status = std::system(command.c_str());
  EXPECT_EQ(status, 0) << command;

  Mix mix;
  ASSERT_TRUE(ReadMix(wave, mix)) << "no 16-bit wave output at " << wave;
  EXPECT_EQ(mix.channels, 2);
  const double seconds = static_cast<double>(mix.frames.size()) / mix.channels / mix.rate;
  EXPECT_GE(seconds, kSeconds) << "the program ran for " << seconds << " s of sound";

  // Sound in every second of the song's last four seconds (drums at least
  // every beat), none at the very start before the song was loaded.
  EXPECT_LT(Rms(mix, 0.0, 0.05), 1e-4);
  for (int second = 1; second <= kSeconds; ++second) {
    const double rms = Rms(mix, seconds - second, seconds - second + 1);
    EXPECT_GT(rms, 0.01) << "second " << second << " from the end is silent";
  }
}

}  // namespace
