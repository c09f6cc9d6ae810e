// The sequencer: row timing (the stale-time rule and pauses), pattern ends,
// the seeded arrangement, and what one note does to its channel's volume,
// rate and playback. Time comes from the test's clock; sound goes to the
// real audio device (OpenAL Soft's null output under the test command).
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

#include "tests/music/music_test_support.h"

namespace {

using musictest::AudioCall;
using musictest::PlayRow;
using musictest::SetCell;

constexpr int kDrumAChannel = 31;
constexpr int kDrumBChannel = 30;
constexpr int kLeadChannel = 29;
constexpr int kAccompanyChannel = 28;
constexpr int kLeadVoice = 2;
constexpr int kAccompanyVoice = 3;
constexpr int kRowMs = 84;  // 8000 / 95, truncated

class SequencerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    musictest::InstallFramework(clock, audio);
    player = musictest::NewPlayer();
  }

  // Playing, loaded, the next row due.
  void StartPlaying() {
    player->playState = 2;
    player->loadStep = 0;
    player->nextTime = clock->now - 1;
  }

  // The channel volume in force: the last one set on the channel.
  float VolumeOf(int channel) const {
    const auto set = audio->Of(AudioCall::kVolume, channel);
    return set.empty() ? -1.0f : set.back().value;
  }

  musictest::TestClockDevice* clock = nullptr;
  musictest::RecordingAudio* audio = nullptr;
  vl_KXTrackr_KXPlayer* player = nullptr;
};

TEST_F(SequencerTest, MelodicNoteHoldsFiveRowsThenDecaysToSilenceWithinTwentyRows) {
  gc_assign(player->instruments[kLeadVoice], musictest::LoopingSound());
  ASSERT_NE(player->instruments[kLeadVoice], nullptr);
  SetCell(player, 0, kLeadVoice, 0, 13, 30);
  StartPlaying();

  std::vector<float> volumeAfterRow;
  std::vector<size_t> volumeCallsInRow;
  for (int r = 0; r < 20; ++r) {
    const size_t before = audio->Of(AudioCall::kVolume, kLeadChannel).size();
    PlayRow(player, clock);
    volumeCallsInRow.push_back(audio->Of(AudioCall::kVolume, kLeadChannel).size() - before);
    volumeAfterRow.push_back(VolumeOf(kLeadChannel));
  }

  // The note: stop, rate of note 13, then the instrument looping on its channel.
  const auto plays = audio->Of(AudioCall::kPlay, kLeadChannel);
  ASSERT_EQ(plays.size(), 1u);
  EXPECT_EQ(plays[0].value, 1.0f);  // looping
  EXPECT_EQ(plays[0].sample, player->instruments[kLeadVoice]->sample);
  EXPECT_EQ(audio->Of(AudioCall::kRate, kLeadChannel).at(0).value, 1.0f);
  EXPECT_EQ(player->voiceSounding[kLeadVoice], 1);
  if (testsupport::OpenTestAudio()) {
    EXPECT_EQ(vl_audio_device->ChannelState(kLeadChannel), 1);
  }

  // Volume 30 is full volume times the master volume 0.5, held for rows 0-4.
  for (int r = 0; r <= 4; ++r) EXPECT_EQ(volumeAfterRow[r], 0.5f) << "row " << r;
  for (int r = 1; r <= 4; ++r) EXPECT_EQ(volumeCallsInRow[r], 0u) << "row " << r;
  // Then every row multiplies it by the falling envelope 1.0, 0.9, 0.8, ...
  double expected = 0.5;
  for (int r = 5; r <= 14; ++r) {
    expected *= 1.5 - 0.1 * r;
    EXPECT_NEAR(volumeAfterRow[r], expected, 1e-4 * 0.5 + expected * 1e-4) << "row " << r;
    EXPECT_LT(volumeAfterRow[r], volumeAfterRow[r - 1]) << "row " << r;
  }
  EXPECT_LT(volumeAfterRow[15], 1e-6f);
  for (int r = 16; r < 20; ++r) {
    EXPECT_EQ(volumeAfterRow[r], 0.0f) << "row " << r;
    EXPECT_EQ(volumeCallsInRow[r], 1u) << "row " << r;
  }
  EXPECT_EQ(player->voiceEnvelope[kLeadVoice], 0.0f);
}

TEST_F(SequencerTest, CellVolumesScaleFromOneToThirtyAndThirtyOneSilences) {
  const int volumes[] = {30, 1, 16, 31, 0};
  for (int r = 0; r < 5; ++r) SetCell(player, 0, kAccompanyVoice, r, 13, volumes[r]);
  StartPlaying();
  PlayRow(player, clock);
  EXPECT_EQ(VolumeOf(kAccompanyChannel), 0.5f);
  PlayRow(player, clock);
  EXPECT_EQ(VolumeOf(kAccompanyChannel), 0.0f);
  PlayRow(player, clock);
  EXPECT_NEAR(VolumeOf(kAccompanyChannel), 15.0f / 29.0f * 0.5f, 1e-6);
  PlayRow(player, clock);
  EXPECT_EQ(VolumeOf(kAccompanyChannel), 0.0f);
  // No volume in the cell: the last volume stays.
  const size_t calls = audio->Of(AudioCall::kVolume, kAccompanyChannel).size();
  PlayRow(player, clock);
  EXPECT_EQ(audio->Of(AudioCall::kVolume, kAccompanyChannel).size(), calls);
  EXPECT_EQ(player->voiceVolume[kAccompanyVoice], 0.0f);

  player->masterVolume = 1.0f;
  SetCell(player, 0, kAccompanyVoice, 5, 13, 30);
  PlayRow(player, clock);
  EXPECT_EQ(VolumeOf(kAccompanyChannel), 1.0f);
}

TEST_F(SequencerTest, DrumNotesPlayTheirKitsDrumOnceWithTheKitsPan) {
  for (int drum = 1; drum <= 8; ++drum) {
    gc_assign(player->kitA[drum], musictest::SilentSound());
    gc_assign(player->kitB[drum], musictest::SilentSound());
  }
  SetCell(player, 0, 0, 0, 17, 20);  // kit A drum 3
  SetCell(player, 0, 1, 0, 25, 20);  // kit B drum 8
  SetCell(player, 0, 0, 1, 14, 20);  // not a drum note: silence
  StartPlaying();
  PlayRow(player, clock);
  const auto playsA = audio->Of(AudioCall::kPlay, kDrumAChannel);
  ASSERT_EQ(playsA.size(), 1u);
  EXPECT_EQ(playsA[0].sample, player->kitA[3]->sample);
  EXPECT_EQ(playsA[0].value, 0.0f);  // once
  EXPECT_EQ(audio->Of(AudioCall::kPan, kDrumAChannel).back().value, -0.35f);
  const auto playsB = audio->Of(AudioCall::kPlay, kDrumBChannel);
  ASSERT_EQ(playsB.size(), 1u);
  EXPECT_EQ(playsB[0].sample, player->kitB[8]->sample);
  EXPECT_EQ(audio->Of(AudioCall::kPan, kDrumBChannel).back().value, 0.35f);
  EXPECT_EQ(player->voiceSounding[0], 0);  // drums are not looping notes

  const size_t stops = audio->Of(AudioCall::kStop, kDrumAChannel).size();
  PlayRow(player, clock);
  EXPECT_EQ(audio->Of(AudioCall::kPlay, kDrumAChannel).size(), 1u);
  EXPECT_EQ(audio->Of(AudioCall::kStop, kDrumAChannel).size(), stops + 1);

  // A stop leaves drums alone and silences the looping voices.
  gc_assign(player->instruments[kLeadVoice], musictest::SilentSound());
  SetCell(player, 0, kLeadVoice, 2, 20, 20);
  PlayRow(player, clock);
  const size_t drumStops = audio->Of(AudioCall::kStop, kDrumAChannel).size();
  const size_t leadStops = audio->Of(AudioCall::kStop, kLeadChannel).size();
  player->m_KX_Stop(0);
  EXPECT_EQ(audio->Of(AudioCall::kStop, kDrumAChannel).size(), drumStops);
  EXPECT_EQ(audio->Of(AudioCall::kStop, kLeadChannel).size(), leadStops + 1);
  EXPECT_EQ(player->voiceSounding[kLeadVoice], 0);
  EXPECT_EQ(player->playState, 2);
  player->m_KX_Stop(1);
  EXPECT_EQ(player->playState, 0);
}

TEST_F(SequencerTest, CommandEightEndsThePatternAndStartsABar) {
  gc_assign(player->instruments[kLeadVoice], musictest::SilentSound());
  SetCell(player, 0, kAccompanyVoice, 10, 0, 0, 8, 0);
  SetCell(player, 0, kLeadVoice, 11, 20, 25);  // skipped by the early end
  SetCell(player, 0, kLeadVoice, 0, 25, 25);
  player->chordQueue = String("q");
  StartPlaying();
  for (int r = 0; r <= 10; ++r) PlayRow(player, clock);

  EXPECT_EQ(player->row, 0);
  EXPECT_EQ(player->section, 1);  // the first bar start began section 1
  EXPECT_TRUE(player->barsLeft == 2 || player->barsLeft == 4) << player->barsLeft;
  EXPECT_EQ(player->chordQueue.Length(), 5);
  EXPECT_EQ(player->chordQueue[0], ' ');

  // The next row is row 0 again: its note plays, the one of row 11 never did.
  PlayRow(player, clock);
  EXPECT_EQ(player->row, 1);
  const auto rates = audio->Of(AudioCall::kRate, kLeadChannel);
  ASSERT_EQ(rates.size(), 2u);
  EXPECT_EQ(rates[0].value, 2.0f);
  EXPECT_EQ(rates[1].value, 2.0f);  // note 25 twice; note 20 (1.498) never
}

TEST_F(SequencerTest, RowWaitsForItsTimeThenAdvancesTheScheduleByOneRow) {
  StartPlaying();
  const int now = clock->now;

  // Not due: the scheduled time is still ahead, or exactly now.
  player->nextTime = now + 10;
  player->m_KX_MusicPlay();
  EXPECT_EQ(player->row, 0);
  player->nextTime = now;
  player->m_KX_MusicPlay();
  EXPECT_EQ(player->row, 0);
  player->nextTime = now + 123456;  // far ahead, but still a plausible schedule
  player->m_KX_MusicPlay();
  EXPECT_EQ(player->row, 0);

  // Due: past, and rows advance the schedule by one row length each.
  player->nextTime = now - 1;
  player->m_KX_MusicPlay();
  EXPECT_EQ(player->row, 1);
  EXPECT_EQ(player->nextTime, now - 1 + kRowMs);
}

// A clock jump leaves the schedule far ahead: the row plays at once, and the
// next one follows one row length later instead of racing to catch up.
TEST_F(SequencerTest, StaleScheduleIsPlayedAtOnceAndRestartsFromTheClock) {
  StartPlaying();
  const int now = clock->now;
  player->nextTime = now + 200000;
  player->m_KX_MusicPlay();
  EXPECT_EQ(player->row, 1);
  EXPECT_EQ(player->nextTime, now + kRowMs);
  player->m_KX_MusicPlay();
  EXPECT_EQ(player->row, 1);
  clock->now = now + kRowMs + 1;
  player->m_KX_MusicPlay();
  EXPECT_EQ(player->row, 2);
}

// The row length drops its fraction every row: 100 rows at tempo 95 take
// 8400 ms, not 8421.
TEST_F(SequencerTest, RowLengthDropsItsFractionEveryRow) {
  StartPlaying();
  player->nextTime = 0;
  clock->now = 1;
  for (int i = 0; i < 100; ++i) {
    clock->now = player->nextTime + 1;
    player->m_KX_MusicPlay();
  }
  EXPECT_EQ(player->nextTime, 100 * kRowMs);
}

TEST_F(SequencerTest, PauseHoldsTheNextRowUntil150MsAfterTheLastPausedUpdate) {
  gc_assign(player->instruments[kLeadVoice], musictest::SilentSound());
  SetCell(player, 0, kLeadVoice, 0, 13, 30);
  StartPlaying();
  player->m_KX_Alive_U(0, 1);
  ASSERT_EQ(player->row, 1);
  ASSERT_EQ(player->voiceSounding[kLeadVoice], 1);

  // Ten seconds of paused updates at 60 per second: no row plays, and the
  // looping note is stopped.
  const size_t stops = audio->Of(AudioCall::kStop, kLeadChannel).size();
  for (int update = 0; update < 600; ++update) {
    clock->now += 16 + update % 3 / 2;
    player->m_KX_Alive_U(1, 1);
  }
  const int lastPaused = clock->now;
  EXPECT_EQ(player->row, 1);
  EXPECT_EQ(player->voiceSounding[kLeadVoice], 0);
  EXPECT_EQ(audio->Of(AudioCall::kStop, kLeadChannel).size(), stops + 1);
  EXPECT_EQ(player->nextTime, lastPaused + 150);

  // Unpaused: nothing until more than 150 ms have passed, then one row.
  for (int ms = 1; ms <= 150; ++ms) {
    clock->now = lastPaused + ms;
    player->m_KX_Alive_U(0, 1);
    ASSERT_EQ(player->row, 1) << "played " << ms << " ms after the pause";
  }
  clock->now = lastPaused + 151;
  player->m_KX_Alive_U(0, 1);
  EXPECT_EQ(player->row, 2);
}

TEST_F(SequencerTest, RowsWaitForLoadingAndTheMusicSwitch) {
  gc_assign(player->instruments[kLeadVoice], musictest::SilentSound());
  SetCell(player, 0, kLeadVoice, 0, 13, 30);
  StartPlaying();
  player->loadStep = 40;
  player->m_KX_Alive_U(0, 1);
  EXPECT_EQ(player->row, 0);  // still loading
  player->loadStep = 0;
  player->m_KX_Alive_U(0, 0);
  EXPECT_EQ(player->row, 0);  // music switched off
  player->m_KX_Alive_U(0, 1);
  EXPECT_EQ(player->row, 1);
  EXPECT_EQ(player->voiceSounding[kLeadVoice], 1);
  player->m_KX_Alive_U(0, 0);  // switching it off stops the looping note
  EXPECT_EQ(player->voiceSounding[kLeadVoice], 0);
  player->playState = 0;
  clock->now += 1000;
  player->m_KX_Alive_U(0, 1);
  EXPECT_EQ(player->row, 1);  // stopped
}

// The arrangement seen at the end of every bar.
struct Arrangement {
  int section, barsLeft;
  std::vector<int> patterns, mutes, nextMutes, fills;
  std::vector<int> chords;
  bool operator==(const Arrangement& o) const {
    return section == o.section && barsLeft == o.barsLeft && patterns == o.patterns && mutes == o.mutes &&
           nextMutes == o.nextMutes && fills == o.fills && chords == o.chords;
  }
};

Arrangement Snapshot(vl_KXTrackr_KXPlayer* player) {
  Arrangement a{player->section, player->barsLeft, {}, {}, {}, {}, {}};
  for (int v = 0; v < 5; ++v) {
    a.patterns.push_back(player->patternPos[v]);
    a.mutes.push_back(player->mute[v]);
    a.nextMutes.push_back(player->nextMute[v]);
    a.fills.push_back(player->fill[v]);
  }
  for (int i = 0; i < player->chordQueue.Length(); ++i) a.chords.push_back(player->chordQueue[i]);
  return a;
}

TEST_F(SequencerTest, SameSeedGivesTheSameArrangementWhateverElseDrawsInBetween) {
  auto newPlayer = [this](int seed) {
    vl_KXTrackr_KXPlayer* p = musictest::NewPlayer();
    const int lastPatterns[] = {3, 5, 7, 9, 11};
    for (int v = 0; v < 5; ++v) p->lastPattern[v] = lastPatterns[v];
    p->songSeed = seed;
    p->chordQueue = String("q");
    p->playState = 2;
    p->nextTime = clock->now;
    return p;
  };
  // Plays `bars` bars, letting "other code" draw `noise(row)` numbers from
  // the shared generator (and reseed it) before every row.
  auto play = [this](vl_KXTrackr_KXPlayer* p, int bars, auto noise) {
    std::vector<Arrangement> seen;
    for (int bar = 0; bar < bars; ++bar) {
      for (int r = 0; r < 64; ++r) {
        for (int i = 0; i < noise(bar * 64 + r); ++i) vl_random_Rnd();
        if (r % 7 == 3) vl_random_Seed = clock->now * 31 + bar;
        PlayRow(p, clock);
      }
      seen.push_back(Snapshot(p));
    }
    return seen;
  };
  constexpr int kBars = 40;
  const auto first = play(newPlayer(77), kBars, [](int) { return 0; });
  const auto second = play(newPlayer(77), kBars, [](int row) { return row % 5 + 1; });
  ASSERT_EQ(first.size(), second.size());
  for (size_t bar = 0; bar < first.size(); ++bar) EXPECT_TRUE(first[bar] == second[bar]) << bar;

  // The arrangement does change: sections of 2 and 4 bars, patterns within
  // each voice's range, and never both drum kits muted.
  const auto other = play(newPlayer(78), kBars, [](int) { return 0; });
  bool differs = false;
  std::set<int> sectionLengths;
  for (size_t bar = 0; bar < first.size(); ++bar) {
    differs = differs || !(first[bar] == other[bar]);
    const Arrangement& a = first[bar];
    if (bar > 0 && a.section != first[bar - 1].section) sectionLengths.insert(a.barsLeft);
    for (int v = 0; v < 5; ++v) {
      EXPECT_GE(a.patterns[v], 0);
      EXPECT_LE(a.patterns[v], 3 + 2 * v);
    }
    EXPECT_FALSE(a.mutes[0] == 1 && a.mutes[1] == 1) << "bar " << bar;
  }
  EXPECT_TRUE(differs) << "another seed should arrange the song differently";
  EXPECT_EQ(sectionLengths, (std::set<int>{2, 4}));
  EXPECT_GT(first.back().section, 10);
}

TEST_F(SequencerTest, ChordLettersTransposeMelodicNotesOneBarEach) {
  gc_assign(player->instruments[kLeadVoice], musictest::SilentSound());
  SetCell(player, 0, kLeadVoice, 0, 13, 30);
  player->chordQueue = String("jq");
  StartPlaying();
  std::vector<float> ratesAtBarStart;
  for (int bar = 0; bar < 4; ++bar) {
    for (int r = 0; r < 64; ++r) PlayRow(player, clock);
    ratesAtBarStart.push_back(audio->Of(AudioCall::kRate, kLeadChannel).back().value);
  }
  EXPECT_EQ(ratesAtBarStart[0], 0.891f);  // letter j
  EXPECT_EQ(ratesAtBarStart[1], 1.0f);    // letter q
  // The space that separates two chord patterns leaves the bar untransposed
  // rather than playing the note at a rate of 0.
  EXPECT_EQ(ratesAtBarStart[2], 1.0f);
  EXPECT_EQ(ratesAtBarStart[3], 1.0f);  // every chord pattern starts with q
}

TEST_F(SequencerTest, PatternStepsFollowTheBarCountAndNeverLeaveTheSong) {
  StartPlaying();
  gc_assign(player->instruments[kLeadVoice], musictest::SilentSound());
  player->barsLeft = 3;  // odd: parameter 1 steps forward
  player->patternPos[kLeadVoice] = 5;
  SetCell(player, 5, kLeadVoice, 0, 13, 30, 27, 1);
  SetCell(player, 6, kLeadVoice, 0, 25, 30, 27, 1);
  PlayRow(player, clock);
  EXPECT_EQ(player->patternPos[kLeadVoice], 6);
  EXPECT_EQ(audio->Of(AudioCall::kRate, kLeadChannel).back().value, 2.0f);  // pattern 6's note

  player->barsLeft = 2;  // even: parameter 2 steps back, parameter 1 does not
  SetCell(player, 6, kLeadVoice, 1, 0, 0, 27, 1);
  PlayRow(player, clock);
  EXPECT_EQ(player->patternPos[kLeadVoice], 6);
  SetCell(player, 6, kLeadVoice, 2, 0, 0, 27, 2);
  PlayRow(player, clock);
  EXPECT_EQ(player->patternPos[kLeadVoice], 5);

  // At the edges of the song the step is ignored.
  player->barsLeft = 1;
  player->patternPos[kLeadVoice] = 63;
  SetCell(player, 63, kLeadVoice, 3, 0, 0, 27, 1);
  PlayRow(player, clock);
  EXPECT_EQ(player->patternPos[kLeadVoice], 63);
  player->barsLeft = 2;
  player->patternPos[kLeadVoice] = 0;
  SetCell(player, 0, kLeadVoice, 4, 0, 0, 27, 2);
  PlayRow(player, clock);
  EXPECT_EQ(player->patternPos[kLeadVoice], 0);
}

TEST_F(SequencerTest, MutedVoicesStaySilentExceptForAFillIntoTheNextSection) {
  gc_assign(player->instruments[kLeadVoice], musictest::SilentSound());
  StartPlaying();
  player->mute[kLeadVoice] = 1;
  player->fill[kLeadVoice] = 1;
  player->nextMute[kLeadVoice] = 0;
  player->barsLeft = 1;
  player->row = 40;
  SetCell(player, 0, kLeadVoice, 40, 13, 30);
  SetCell(player, 0, kLeadVoice, 56, 13, 30);
  SetCell(player, 0, kLeadVoice, 57, 13, 30);
  PlayRow(player, clock);
  EXPECT_TRUE(audio->Of(AudioCall::kPlay, kLeadChannel).empty());
  player->row = 56;
  PlayRow(player, clock);
  EXPECT_EQ(audio->Of(AudioCall::kPlay, kLeadChannel).size(), 1u);
  player->nextMute[kLeadVoice] = 1;  // muted next section too: no fill
  PlayRow(player, clock);
  EXPECT_EQ(audio->Of(AudioCall::kPlay, kLeadChannel).size(), 1u);
}

TEST_F(SequencerTest, SectionWithBothDrumKitsDrawnMutedKeepsKitA) {
  StartPlaying();
  player->row = 63;
  player->barsLeft = 1;  // this row ends the section
  player->nextMute[0] = 1;
  player->nextMute[1] = 1;
  player->nextMute[kLeadVoice] = 1;
  PlayRow(player, clock);
  EXPECT_EQ(player->section, 1);
  EXPECT_EQ(player->mute[0], 0);
  EXPECT_EQ(player->mute[1], 1);
  EXPECT_EQ(player->mute[kLeadVoice], 1);

  // Before the song plays (state below 2) sections draw patterns but leave
  // the mutes alone.
  player->playState = 1;
  player->row = 63;
  player->barsLeft = 1;
  player->nextMute[kLeadVoice] = 0;
  PlayRow(player, clock);
  EXPECT_EQ(player->section, 2);
  EXPECT_EQ(player->mute[kLeadVoice], 1);
}

TEST_F(SequencerTest, SlideCommandsBendTheRateWithinLimits) {
  gc_assign(player->instruments[kLeadVoice], musictest::SilentSound());
  StartPlaying();
  SetCell(player, 0, kLeadVoice, 0, 13, 30, 3, 15);  // +1
  SetCell(player, 0, kLeadVoice, 1, 0, 0, 1, 90);    // +0.5
  SetCell(player, 0, kLeadVoice, 2, 0, 0, 3, 31);    // capped at 4
  SetCell(player, 0, kLeadVoice, 3, 0, 0, 4, 30);    // -2
  SetCell(player, 0, kLeadVoice, 4, 0, 0, 2, 18);    // -0.1
  SetCell(player, 0, kLeadVoice, 5, 0, 0, 4, 31);    // floored at 0.25
  const float expected[] = {2.0f, 2.5f, 4.0f, 2.0f, 1.9f, 0.25f};
  for (float rate : expected) {
    PlayRow(player, clock);
    EXPECT_NEAR(audio->Of(AudioCall::kRate, kLeadChannel).back().value, rate, 1e-5);
    EXPECT_NEAR(player->voiceRate[kLeadVoice], rate, 1e-5);
  }
}

}  // namespace
