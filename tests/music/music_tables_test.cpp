// The player's fixed tables and its random numbers: pitch ratios, chord
// letters, chord patterns and m_Rand on the shared generator.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "tests/music/music_test_support.h"

namespace {

using musictest::NewPlayer;

class MusicTablesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    musictest::InstallFramework(clock, audio);
    player = NewPlayer();
  }
  musictest::TestClockDevice* clock = nullptr;
  musictest::RecordingAudio* audio = nullptr;
  vl_KXTrackr_KXPlayer* player = nullptr;
};

TEST_F(MusicTablesTest, PitchRatiosAreEqualTemperedSemitonesOverThreeOctaves) {
  EXPECT_EQ(player->m_GetPitch(13), 1.0f);
  EXPECT_EQ(player->m_GetPitch(1), 0.5f);
  EXPECT_EQ(player->m_GetPitch(25), 2.0f);
  EXPECT_EQ(player->m_GetPitch(32), 2.996f);
  EXPECT_EQ(player->m_GetPitch(24), 1.888f);
  for (int note : {0, -1, 33, 100}) EXPECT_EQ(player->m_GetPitch(note), 0.0f) << note;
  for (int note = 1; note <= 32; ++note) {
    const double semitones = std::pow(2.0, (note - 13) / 12.0);
    EXPECT_NEAR(player->m_GetPitch(note), semitones, semitones * 0.002) << "note " << note;
    if (note > 1) {
      EXPECT_GT(player->m_GetPitch(note), player->m_GetPitch(note - 1)) << note;
    }
  }
  // The octaves below and above are exact halves and doubles of the middle one.
  for (int note = 1; note <= 12; ++note) {
    EXPECT_EQ(player->m_GetPitch(note), player->m_GetPitch(note + 12) / 2) << note;
  }
  for (int note = 25; note <= 32; ++note) {
    EXPECT_EQ(player->m_GetPitch(note), player->m_GetPitch(note - 12) * 2) << note;
  }
}

TEST_F(MusicTablesTest, ChordLettersFollowAKeyboardOfThreeOctaves) {
  EXPECT_EQ(player->m_GetPitch_Alpha('q'), 1.0f);
  EXPECT_EQ(player->m_GetPitch_Alpha('j'), 0.891f);
  EXPECT_EQ(player->m_GetPitch_Alpha('z'), 0.5f);
  EXPECT_EQ(player->m_GetPitch_Alpha(']'), 2.996f);
  EXPECT_EQ(player->m_GetPitch_Alpha('i'), 2.0f);
  const char* rows[] = {"zsxdcvgbhnjm", "q2w3er5t6y7u", "i9o0p[=]"};
  int note = 1;
  for (const char* row : rows) {
    for (const char* letter = row; *letter; ++letter, ++note) {
      EXPECT_EQ(player->m_GetPitch_Alpha(*letter), player->m_GetPitch(note)) << *letter;
    }
  }
  EXPECT_EQ(note, 33);
  for (int other : {int{'A'}, int{'Q'}, int{' '}, int{'a'}, int{'1'}, int{'-'}, 0, 0x71 + 0x10000}) {
    EXPECT_EQ(player->m_GetPitch_Alpha(other), 0.0f) << other;
  }
}

TEST_F(MusicTablesTest, ChordPatternsWithUnknownNumbersFallingBackToPatternOne) {
  const char* expected[] = {"qqqq", "qqjj", "qqbb", "qbqb", "qqqj", "qqzz"};
  for (int k = 0; k < 6; ++k) EXPECT_TRUE(player->m_KX_GetChord(k) == String(expected[k])) << k;
  for (int k : {6, 9, -1, 1000}) EXPECT_TRUE(player->m_KX_GetChord(k) == String("qqjj")) << k;
}

TEST_F(MusicTablesTest, RandDrawsFromTheSharedGeneratorLikeTheGame) {
  // From seed 1234 the generator's first fractions are 0.71430767,
  // 0.20701307 and 0.74954182: floor(1 + 4.99 r) gives 4, 2 and 4.
  vl_random_Seed = 1234;
  EXPECT_EQ(player->m_Rand(1, 5), 4);
  EXPECT_EQ(static_cast<unsigned>(vl_random_Seed), 3067928073u);
  EXPECT_EQ(player->m_Rand(1, 5), 2);
  EXPECT_EQ(static_cast<unsigned>(vl_random_Seed), 889114580u);
  EXPECT_EQ(player->m_Rand(1, 5), 4);
  EXPECT_EQ(static_cast<unsigned>(vl_random_Seed), 3219257635u);

  // One draw is one step of the framework's own generator.
  vl_random_Seed = 99;
  const float fraction = vl_random_Rnd();
  vl_random_Seed = 99;
  EXPECT_EQ(player->m_Rand(0, 9), static_cast<int>(std::floor(0.0f + 9.99f * fraction)));

  std::set<int> seen;
  for (int i = 0; i < 500; ++i) {
    const int value = player->m_Rand(0, 1);
    ASSERT_TRUE(value == 0 || value == 1) << value;
    seen.insert(value);
    ASSERT_EQ(player->m_Rand(5, 5), 5);
  }
  EXPECT_EQ(seen.size(), 2u);
}

TEST_F(MusicTablesTest, NewPlayerStartsStoppedWithTheGivenDefaults) {
  EXPECT_EQ(player->channelBase, 32);
  EXPECT_EQ(player->initParams[1], 4);
  EXPECT_EQ(player->initParams[4], 4);
  EXPECT_EQ(player->songData.Length(), 262145);
  EXPECT_EQ(player->kitA.Length(), 9);
  EXPECT_EQ(player->voiceEnvelope.Length(), 8);
  EXPECT_EQ(player->playState, vl_KXTrackr_KXPlayer::kStopped);
  EXPECT_EQ(player->loadStep, 0);
  EXPECT_EQ(player->chordQueue.Length(), 0);
  EXPECT_EQ(player->songImage, nullptr);
}

}  // namespace
