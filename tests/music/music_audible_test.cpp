// The whole way from song image to loudspeaker: the demo program plays the
// game's generated song for a few seconds through OpenAL Soft's wave output, and the
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
#include "tests/support/wave_mix.h"

namespace {

using testsupport::Mix;
using testsupport::ReadMix;
using testsupport::Rms;

TEST(MusicAudibleTest, DemoSongThroughTheWaveOutputIsAudible) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X display: the demo opens a window";
  const testsupport::TempFolder scratch("music-wave");
  const std::string& folder = scratch.path();
  const std::string conf = folder + "/alsoft.conf";
  const std::string wave = folder + "/mix.wav";
  testsupport::WriteWaveOutputConfig(conf, wave);
  constexpr int kSeconds = 4;
  const std::string command = "env -u ALSOFT_DRIVERS ALSOFT_CONF='" + conf + "' '" + KORVANE_MUSIC_DEMO + "' " +
                              std::to_string(kSeconds) + " 3 > '" + folder + "/log.txt' 2>&1";
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
