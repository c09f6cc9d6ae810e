// Loading a song and its samples in a real window: the song image is drawn
// and read back through OpenGL, decoded by the blue-byte rule into the song
// data, with the samples loaded from WAV files in a data folder made by the
// test. Needs an X display.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "host/graphics_device.h"
#include "host/window.h"
#include "tests/music/music_test_support.h"
#include "tests/support/temp_folder.h"

namespace {

constexpr int kSide = 512;  // 8 x 8 frames of 64 x 64 pixels

// The blue byte the test stores for field k of cell (p, v, r): the value
// times 8 plus a varying remainder, so only integer division decodes it.
int ValueAt(int p, int v, int r, int k) {
  if (v == 7) return 0;            // a voice with no notes at all
  if (v == 6 && p > 20) return 0;  // a voice whose last notes are in pattern 20
  const unsigned hash = static_cast<unsigned>(p * 7919 + v * 104729 + r * 1299709 + k * 15485863);
  if (hash % 5 != 0) return 0;
  return static_cast<int>(hash / 5 % 32);
}

int BlueAt(int p, int v, int r, int k) {
  if (p == 0 && v == 0 && r == 0 && k == 0) return 255;  // decodes to 31
  if (p == 0 && v == 0 && r == 0 && k == 1) return 7;    // decodes to 0, a rest
  return ValueAt(p, v, r, k) * 8 + (p + v + r + k) % 8;
}

int DecodedAt(int p, int v, int r, int k) {
  if (p == 0 && v == 0 && r == 0 && k == 0) return 31;
  if (p == 0 && v == 0 && r == 0 && k == 1) return 0;
  return ValueAt(p, v, r, k);
}

bool WriteTestSong(const std::string& path) {
  std::vector<int> rgb(static_cast<size_t>(kSide) * kSide);
  for (int p = 0; p < 64; ++p) {
    for (int r = 0; r < 64; ++r) {
      for (int v = 0; v < 8; ++v) {
        for (int k = 0; k < 8; ++k) {
          const int x = (p % 8) * 64 + v * 8 + k;
          const int y = (p / 8) * 64 + r;
          // Red and green carry noise that must not leak into the values.
          const int red = (x * 37 + y * 11) & 0xff;
          const int green = (x * 13 + y * 71) & 0xff;
          rgb[static_cast<size_t>(y) * kSide + x] = red << 16 | green << 8 | BlueAt(p, v, r, k);
        }
      }
    }
  }
  return musictest::WritePng(path, kSide, kSide, rgb);
}

class MusicLoadingTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (hostwin::Handle() == nullptr && hostwin::Init()) hostwin::Open(640, 480);
  }

  void SetUp() override {
    if (hostwin::Handle() == nullptr) GTEST_SKIP() << "no X display for an OpenGL window";
    musictest::InstallFramework(clock, audio);
    player = musictest::NewPlayer();
    folder = std::make_unique<testsupport::WorkingFolder>("music");
    std::filesystem::create_directories("data/inst");
  }

  void WriteSample(const std::string& name) {
    ASSERT_TRUE(musictest::WriteBytes("data/inst/" + name, musictest::GameSample("inst/d0-1.wav")));
  }

  // One frame as the host and the application adapter run it, with the
  // player's render-side step at its start.
  void RenderFrame() {
    gxtkGraphics* graphics = vl_graphics_device;
    ASSERT_TRUE(graphics->Validate());
    graphics->BeginRender();
    vl_graphics_BeginRender();
    player->m_KX_Alive_R();
    vl_graphics_EndRender();
    graphics->EndRender();
  }

  // Renders frames until loading is done; returns how many it took.
  int LoadAll() {
    int frames = 0;
    while (player->loadStep > 0 && frames < 1000) {
      RenderFrame();
      ++frames;
    }
    return frames;
  }

  // Writes the test song with kit A from set 2 without drum 5, kit B from
  // set 3, lead and accompaniment but no bass; starts it and renders frames
  // until it is loaded, keeping what loading printed.
  void LoadTestSong() {
    ASSERT_TRUE(WriteTestSong("data/song.png"));
    for (int drum = 1; drum <= 8; ++drum) {
      if (drum != 5) WriteSample("d2-" + std::to_string(drum) + ".wav");  // drum 5 missing
    }
    for (int drum = 1; drum <= 8; ++drum) WriteSample("d3-" + std::to_string(drum) + ".wav");
    WriteSample("lead4.wav");
    WriteSample("accompany5.wav");  // no bass6.wav

    player->m_KX_Start(String("song.png"), 2, 3, 4, 5, 6, 11);
    ::testing::internal::CaptureStdout();
    frames = LoadAll();
    printed = ::testing::internal::GetCapturedStdout();
  }

  int frames = 0;
  std::string printed;
  musictest::TestClockDevice* clock = nullptr;
  musictest::RecordingAudio* audio = nullptr;
  vl_KXTrackr_KXPlayer* player = nullptr;
  std::unique_ptr<testsupport::WorkingFolder> folder;
};

TEST_F(MusicLoadingTest, SeventyStepsAtMostThreePerFrameThenTheSongStarts) {
  ASSERT_NO_FATAL_FAILURE(LoadTestSong());
  EXPECT_EQ(frames, 24);
  EXPECT_EQ(player->loadStep, 0);
  EXPECT_EQ(player->playState, vl_KXTrackr_KXPlayer::kPlaying);
  EXPECT_EQ(player->nextTime, clock->now + 100);
}

TEST_F(MusicLoadingTest, SongImageDecodesIntoSongDataExactlyByTheBlueByte) {
  ASSERT_NO_FATAL_FAILURE(LoadTestSong());
  int mismatches = 0;
  for (int p = 0; p < 63; ++p) {
    for (int v = 0; v < 8; ++v) {
      for (int r = 0; r < 64; ++r) {
        for (int k = 0; k < 8; ++k) {
          const int got = player->songData[vl_KXTrackr_KXPlayer::CellIndex(p, v, r) + k];
          if (got != DecodedAt(p, v, r, k) && ++mismatches <= 10) {
            ADD_FAILURE() << "pattern " << p << " voice " << v << " row " << r << " field " << k << ": " << got
                          << " instead of " << DecodedAt(p, v, r, k);
          }
        }
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
  // Pattern 63 is in the image but is never decoded; the spare entry stays 0.
  for (int i = 63 * 4096; i < player->songData.Length(); ++i) {
    ASSERT_EQ(player->songData[i], 0) << i;
  }
  // Each voice's last pattern is the last one holding any note of it.
  for (int v = 0; v < 6; ++v) EXPECT_EQ(player->lastPattern[v], 62) << v;
  EXPECT_EQ(player->lastPattern[6], 20);
  EXPECT_EQ(player->lastPattern[7], 0);
}

TEST_F(MusicLoadingTest, MissingSamplesLeaveOnlyTheirOwnSlotsEmpty) {
  ASSERT_NO_FATAL_FAILURE(LoadTestSong());
  for (int drum = 1; drum <= 8; ++drum) {
    EXPECT_EQ(player->kitA[drum] == nullptr, drum == 5) << drum;
    EXPECT_NE(player->kitB[drum], nullptr) << drum;
  }
  EXPECT_NE(player->instruments[2], nullptr);
  EXPECT_NE(player->instruments[3], nullptr);
  EXPECT_EQ(player->instruments[4], nullptr);
}

// The "Music File : " line first, then one line per non-zero value: row,
// voice and loading step.
TEST_F(MusicLoadingTest, PrintsTheFileAndOneLinePerNonZeroValue) {
  ASSERT_NO_FATAL_FAILURE(LoadTestSong());
  std::istringstream lines(printed);
  std::string line;
  ASSERT_TRUE(std::getline(lines, line));
  EXPECT_EQ(line, "Music File : song.png");
  int cellLines = 0;
  bool sawFirst = false, sawLast = false;
  while (std::getline(lines, line)) {
    ++cellLines;
    sawFirst = sawFirst || line == "0:0:5";  // pattern 0 (step 5), row 0, voice 0
    sawLast = sawLast || line == "63:5:67";
  }
  int nonZero = 0;
  for (int p = 0; p < 63; ++p)
    for (int v = 0; v < 8; ++v)
      for (int r = 0; r < 64; ++r)
        for (int k = 0; k < 8; ++k) nonZero += DecodedAt(p, v, r, k) != 0;
  EXPECT_EQ(cellLines, nonZero);
  EXPECT_TRUE(sawFirst);
  EXPECT_EQ(sawLast, [] {
    for (int k = 0; k < 8; ++k)
      if (DecodedAt(62, 5, 63, k) != 0) return true;
    return false;
  }());
}

TEST_F(MusicLoadingTest, RenderStepAfterLoadingLeavesTheScreenBlack) {
  ASSERT_NO_FATAL_FAILURE(LoadTestSong());
  gxtkGraphics* graphics = vl_graphics_device;
  graphics->BeginRender();
  vl_graphics_BeginRender();
  vl_graphics_Cls(200, 100, 50);
  player->m_KX_Alive_R();
  Array<int> pixel(1);
  vl_graphics_ReadPixels(pixel, 20, 20, 1, 1, 0, 0);
  vl_graphics_EndRender();
  graphics->EndRender();
  EXPECT_EQ(pixel[0] & 0xffffff, 0);
}

TEST_F(MusicLoadingTest, MissingOrTooSmallSongImageLeavesAnEmptySongAfterSeventySteps) {
  for (const char* file : {"missing.png", "small.png"}) {
    if (std::string(file) == "small.png") {
      // Room for 4 frames of the 64 that a song needs.
      ASSERT_TRUE(musictest::WritePng("data/small.png", 128, 128, std::vector<int>(128 * 128, 0x0000ff)));
    }
    player->m_KX_Start(String(file), 0, 0, 0, 0, 0, 1);
    ::testing::internal::CaptureStdout();
    const int frames = LoadAll();
    const std::string printed = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(frames, 24) << file;
    EXPECT_EQ(printed, "Music File : " + std::string(file) + "\n");
    EXPECT_EQ(player->songImage, nullptr) << file;
    for (int i = 0; i < player->songData.Length(); ++i) ASSERT_EQ(player->songData[i], 0) << i;
    EXPECT_EQ(player->kitA[1], nullptr);
    EXPECT_EQ(player->playState, vl_KXTrackr_KXPlayer::kPlaying);
  }
}

}  // namespace
