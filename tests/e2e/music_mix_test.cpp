// Music and effects in the real program's mix, through OpenAL Soft's wave
// output: the title menu plays music in the sound modes with music (1 and 3)
// and nothing in the others, effects sound in the modes with effects only, the
// pause panel silences the music until it is closed, the menu brings the music
// back after a game has ended, and the music stays below the effects. Each run
// brings its own display, its own state file with the sound mode and its own
// mix file; the mix's time is matched to the clock from its end, since the
// wave output writes in real time.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "tests/support/korvane_process.h"
#include "tests/support/layout_points.h"
#include "tests/support/private_display.h"
#include "tests/support/wave_mix.h"

namespace {

using e2e::KorvaneProcess;
using testsupport::Mix;
namespace layout = testsupport::layout;
using Clock = std::chrono::steady_clock;

constexpr double kSilence = 1e-4;     // peak of a mix with nothing playing
constexpr double kAudibleRms = 3e-3;  // about -50 dB: drums alone are far above it
constexpr int kSongWaitMs = 30000;    // assets and song loading on a busy machine
const char kSongLine[] = "Music File : inst/song.png";

// The settings section of a state file with the sound mode (settings 10-12 at
// their start values), checksum included.
std::string StateWithSoundMode(int mode) {
  std::string line;
  int settings[25] = {0, 0, 0, 0, 0, mode, 0, 0, 0, 0, 64, 64, 10};
  long sum = 0;
  for (int i = 0; i < 25; ++i) {
    line += std::to_string(settings[i]) + "|";
    sum += long(i) * settings[i];
  }
  return line + std::to_string(sum) + "|";
}

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

class MusicMix : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::is_directory(KORVANE_BUILD_DATA_DIR))
      GTEST_SKIP() << "the build has no generated data folder";
    if (!e2e::HaveDisplayTools()) GTEST_SKIP() << "xdotool or ImageMagick is missing (tools/install-deps.sh)";
    if (!KORVANE_MUSIC) GTEST_SKIP() << "built with KORVANE_MUSIC=OFF: the game has no music";
    display = std::make_unique<PrivateDisplay>(/*withWindowManager=*/false);
    if (!display->ready()) GTEST_SKIP() << "Xvfb could not be started here";
  }

  // Starts the game in the title menu with the sound mode, its sound going to
  // the mix file, and waits until the song has been started (or, without
  // music, until the menu has had the same time).
  void Launch(int mode) {
    game->LinkData();
    e2e::WriteFile(game->StateFile(), StateWithSoundMode(mode));
    const std::string conf = (game->Folder() / "alsoft.conf").string();
    testsupport::WriteWaveOutputConfig(conf, (game->Folder() / "mix.wav").string());
    game->Start({{"-ALSOFT_DRIVERS", "ALSOFT_CONF=" + conf}, nullptr});
    ASSERT_TRUE(game->WaitForWindow()) << game->Output() << game->Errors();
    ASSERT_TRUE(WaitForOutput(kSongLine, 1)) << game->Output();
    e2e::Sleep(1000);  // 70 loading steps, then the first rows
  }

  bool WaitForOutput(const std::string& line, size_t times) {
    const auto end = Clock::now() + std::chrono::milliseconds(kSongWaitMs);
    while (Clock::now() < end && game->Running()) {
      if (Count(game->Output(), line) >= times) return true;
      e2e::Sleep(e2e::kPollMs);
    }
    return false;
  }

  // Stops the game and reads its mix; `stopped` is when it was stopped.
  Mix StopAndRead() {
    stopped = Clock::now();
    game->Stop();
    Mix mix;
    EXPECT_TRUE(testsupport::ReadMix((game->Folder() / "mix.wav").string(), mix)) << "no mix written";
    return mix;
  }

  // Second of the mix at a moment of the clock.
  double At(const Mix& mix, Clock::time_point moment) const {
    return mix.Seconds() - std::chrono::duration<double>(stopped - moment).count();
  }

  std::unique_ptr<PrivateDisplay> display;
  std::unique_ptr<KorvaneProcess> game = std::make_unique<KorvaneProcess>();
  Clock::time_point stopped;
};

TEST_F(MusicMix, MenuPlaysMusicOnlyInTheModesWithMusic) {
  for (int mode : {0, 1, 2, 3}) {
    SCOPED_TRACE("sound mode " + std::to_string(mode));
    game = std::make_unique<KorvaneProcess>();
    ASSERT_NO_FATAL_FAILURE(Launch(mode));
    e2e::Sleep(2500);
    const Mix mix = StopAndRead();
    const double rms = testsupport::Rms(mix, mix.Seconds() - 2.5, mix.Seconds());
    std::printf("mode %d: menu RMS over 2.5 s %.5f, peak %.4f\n", mode, rms, testsupport::Peak(mix, 0, mix.Seconds()));
    if (mode == 1 || mode == 3) {
      EXPECT_GT(rms, kAudibleRms);
    } else {
      EXPECT_LT(testsupport::Peak(mix, 0, mix.Seconds()), kSilence) << "nothing may sound";
    }
  }
}

TEST_F(MusicMix, EffectsSoundOnlyInTheModesWithEffectsAndStayAboveTheMusic) {
  double effectPeak[4] = {}, effectRms = 0, musicPeak = 0, musicRms = 0;
  for (int mode : {0, 2, 3}) {
    SCOPED_TRACE("sound mode " + std::to_string(mode));
    game = std::make_unique<KorvaneProcess>();
    ASSERT_NO_FATAL_FAILURE(Launch(mode));
    const auto click = Clock::now();
    game->Click(testsupport::Point{570, 440});  // the credits button: its sound at full volume
    e2e::Sleep(1500);
    const Mix mix = StopAndRead();
    effectPeak[mode] = testsupport::Peak(mix, At(mix, click) - 0.3, At(mix, click) + 1.2);
    if (mode == 2) effectRms = testsupport::Rms(mix, At(mix, click) - 0.3, At(mix, click) + 1.2);
    if (mode == 3) {
      musicPeak = testsupport::Peak(mix, 0, mix.Seconds());
      musicRms = testsupport::Rms(mix, mix.Seconds() - 3, mix.Seconds());
    }
  }
  EXPECT_LT(effectPeak[0], kSilence) << "sound off";
  std::printf("credits effect alone: peak %.4f, RMS over 1.5 s %.5f; music alone: peak %.4f, RMS %.5f\n", effectPeak[2],
              effectRms, musicPeak, musicRms);
  EXPECT_GT(effectPeak[2], 0.1) << "effects only: the credits sound";
  EXPECT_GT(musicRms, kAudibleRms) << "music only: the click is silent but the music plays";
  EXPECT_LT(musicPeak, effectPeak[2]) << "the music is never louder than an effect";
}

TEST_F(MusicMix, PauseSilencesTheMusicAndTheMenuBringsItBackAfterTheGame) {
  ASSERT_NO_FATAL_FAILURE(Launch(3));  // music only: the clicks make no sound
  game->Click(layout::kHardButton);
  e2e::Sleep(2000);
  game->Key("Escape");
  const auto paused = Clock::now();
  e2e::Sleep(2500);
  game->Key("Escape");
  const auto resumed = Clock::now();
  e2e::Sleep(2000);
  game->Key("Escape");
  e2e::Sleep(600);
  game->Click(layout::kPauseQuitButton);  // the game-over overlay, then the menu
  ASSERT_TRUE(WaitForOutput(kSongLine, 2)) << "the menu did not start the song again";
  e2e::Sleep(2500);
  const Mix mix = StopAndRead();
  // A drum hit rings on for up to 0.3 s after the pause; the key presses take
  // their own 0.12 s.
  EXPECT_LT(testsupport::Peak(mix, At(mix, paused) + 0.6, At(mix, resumed) - 0.1), kSilence)
      << "music under the pause panel";
  EXPECT_GT(testsupport::Rms(mix, At(mix, resumed) + 0.4, At(mix, resumed) + 1.9), kAudibleRms)
      << "no music after the pause";
  EXPECT_GT(testsupport::Rms(mix, mix.Seconds() - 2, mix.Seconds()), kAudibleRms)
      << "no music in the menu after the game";
}

}  // namespace
