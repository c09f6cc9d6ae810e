// The music the generator writes, read back as the player reads it: the song
// image decodes (blue byte divided by 8) into notes the player can play, with
// a harmony that every combination of patterns shares, no note cut off while
// it still sounds, and drum hits no closer than their samples last; the
// instruments are tuned to the song's key and fade out before they would loop.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "tests/tools/generated_data.h"
#include "tools/assetgen/music.h"

namespace {

using assetgen_test::generatedData;

constexpr int kRows = 64, kVoices = 5, kLead = 2, kBass = 4;
constexpr int kSilence = 31;
constexpr double kRowSeconds = 8.0 / 95.0;  // 8000 / tempo ms

// The song as the player decodes it: cell field k of pattern p, voice v, row r.
struct DecodedSong {
  assetgen_test::Image image;
  int at(int p, int v, int r, int k) const {
    const int x = (p % 8) * 64 + v * 8 + k, y = (p / 8) * 64 + r;
    return image.rgba[(size_t(y) * image.width + x) * 4 + 2] / 8;
  }
  int lastPattern(int v) const {
    int last = 0;
    for (int p = 0; p < 64; ++p) {
      for (int r = 0; r < kRows; ++r) {
        for (int k = 0; k < 8; ++k) {
          if (at(p, v, r, k) != 0) last = p;
        }
      }
    }
    return last;
  }
};

DecodedSong loadSong() { return {assetgen_test::loadImage(generatedData() + "/" + assetgen::kSongFile)}; }

// Pitch class (0 = C) of a melodic note; each instrument sounds C at note 13.
int pitchClass(int note) { return ((note - 13) % 12 + 12) % 12; }

TEST(MusicFiles, SongHoldsPlayableNotesForFiveVoices) {
  const DecodedSong song = loadSong();
  ASSERT_EQ(song.image.width, 512);
  ASSERT_EQ(song.image.height, 512);
  const std::set<int> drumNotes = {13, 15, 17, 18, 20, 22, 24, 25};
  for (int v = 0; v < 8; ++v) {
    if (v >= kVoices) {
      EXPECT_EQ(song.lastPattern(v), 0) << "the player uses five voices";
      continue;
    }
    EXPECT_GE(song.lastPattern(v), 3) << "voice " << v << " has patterns to choose from";
    for (int p = 0; p <= song.lastPattern(v); ++p) {
      int notes = 0;
      for (int r = 0; r < kRows; ++r) {
        const int note = song.at(p, v, r, 0), volume = song.at(p, v, r, 1);
        if (note == 0) continue;
        ++notes;
        if (v < 2) {
          EXPECT_TRUE(drumNotes.count(note)) << "drum voice " << v << " pattern " << p << " row " << r;
        }
        EXPECT_GE(volume, 1) << "a note without volume keeps a decayed one";
        EXPECT_LE(volume, 30) << "31 would silence it";
      }
      EXPECT_GT(notes, 4) << "voice " << v << " pattern " << p << " is empty";
    }
  }
}

// Rows 0-31 C major, 32-47 A minor, 48-63 F major: the accompaniment's and
// the bass's notes on the first row of a beat are tones of the chord; every
// note stays in C major.
TEST(MusicFiles, EveryMelodicPatternFollowsTheSharedHarmony) {
  const DecodedSong song = loadSong();
  const std::set<int> major = {0, 2, 4, 5, 7, 9, 11};
  const std::set<int> chords[3] = {{0, 4, 7}, {9, 0, 4}, {5, 9, 0}};
  for (int v = kLead; v <= kBass; ++v) {
    for (int p = 0; p <= song.lastPattern(v); ++p) {
      for (int r = 0; r < kRows; ++r) {
        const int note = song.at(p, v, r, 0);
        if (note == 0) continue;
        const int pc = pitchClass(note);
        EXPECT_TRUE(major.count(pc)) << "voice " << v << " pattern " << p << " row " << r;
        const std::set<int>& chord = chords[r < 32 ? 0 : (r < 48 ? 1 : 2)];
        if (r % 8 == 0 && v != kLead) {
          EXPECT_TRUE(chord.count(pc)) << "voice " << v << " pattern " << p << " row " << r;
        }
      }
    }
  }
}

// A voice's sounding note is stopped when its next note starts: the row
// before every melodic note, and the last row of every pattern (the next
// pattern may begin with a note), must silence the voice (volume 31).
TEST(MusicFiles, NoMelodicNoteIsCutOffWhileItSounds) {
  const DecodedSong song = loadSong();
  for (int v = kLead; v <= kBass; ++v) {
    for (int p = 0; p <= song.lastPattern(v); ++p) {
      EXPECT_EQ(song.at(p, v, kRows - 1, 0), 0) << "voice " << v << " pattern " << p;
      EXPECT_EQ(song.at(p, v, kRows - 1, 1), kSilence) << "voice " << v << " pattern " << p;
      for (int r = 1; r < kRows; ++r) {
        if (song.at(p, v, r, 0) == 0) continue;
        EXPECT_EQ(song.at(p, v, r - 1, 1), kSilence) << "voice " << v << " pattern " << p << " row " << r;
      }
    }
  }
}

double wavSeconds(const std::string& file) {
  const std::vector<uint8_t> bytes = assetgen_test::readFile(generatedData() + "/" + file);
  return bytes.size() > 44 ? double(bytes.size() - 44) / 2 / 44100 : 0;
}

// A drum hit stops the one before it on the same voice: hits, also from the
// end of any pattern to the start of any other, are further apart than the
// earlier drum's sample lasts.
TEST(MusicFiles, DrumHitsNeverCutTheDrumBeforeThem) {
  const DecodedSong song = loadSong();
  const int notes[] = {13, 15, 17, 18, 20, 22, 24, 25};
  double seconds[26] = {};
  for (int d = 0; d < 8; ++d) seconds[notes[d]] = wavSeconds("inst/d0-" + std::to_string(d + 1) + ".wav");
  for (int v = 0; v < 2; ++v) {
    std::vector<std::vector<int>> hits(size_t(song.lastPattern(v) + 1));
    for (size_t p = 0; p < hits.size(); ++p) {
      for (int r = 0; r < kRows; ++r) {
        if (song.at(int(p), v, r, 0) != 0) hits[p].push_back(r);
      }
    }
    for (size_t p = 0; p < hits.size(); ++p) {
      for (size_t i = 0; i < hits[p].size(); ++i) {
        const int row = hits[p][i];
        const double lasts = seconds[song.at(int(p), v, row, 0)];
        ASSERT_GT(lasts, 0);
        std::vector<int> gaps;
        if (i + 1 < hits[p].size()) {
          gaps.push_back(hits[p][i + 1] - row);
        } else {
          for (const auto& next : hits) gaps.push_back(kRows - row + next.front());
        }
        for (int gap : gaps) {
          EXPECT_GE(gap * kRowSeconds, lasts) << "voice " << v << " pattern " << p << " row " << row;
        }
      }
    }
  }
}

// Pitch of a sample's first tenth of a second by autocorrelation, in Hz.
double pitchOf(const std::string& file) {
  const std::vector<uint8_t> b = assetgen_test::readFile(generatedData() + "/" + file);
  std::vector<double> s;
  for (size_t i = 44; i + 1 < b.size() && s.size() < 8820; i += 2) s.push_back(int16_t(b[i] | b[i + 1] << 8));
  std::vector<double> r(1400, -1.0);
  double bestR = -1;
  for (int lag = 20; lag < 1400; ++lag) {
    double num = 0, a = 0, c = 0;
    for (size_t i = 441; i + size_t(lag) < s.size(); ++i) {
      num += s[i] * s[i + size_t(lag)];
      a += s[i] * s[i];
      c += s[i + size_t(lag)] * s[i + size_t(lag)];
    }
    r[size_t(lag)] = num / std::sqrt(a * c + 1e-9);
    bestR = std::max(bestR, r[size_t(lag)]);
  }
  // Every multiple of the period correlates about as well: take the first
  // peak that comes close to the best.
  int best = 0;
  for (int lag = 21; lag + 1 < 1400 && best == 0; ++lag) {
    const size_t l = size_t(lag);
    if (r[l] > 0.95 * bestR && r[l] >= r[l - 1] && r[l] >= r[l + 1]) best = lag;
  }
  return 44100.0 / best;
}

TEST(MusicFiles, MelodicSamplesSoundCInTheirOctaveAndEndSilent) {
  const struct {
    const char* file;
    double hz;
  } samples[] = {{"inst/lead0.wav", 523.25}, {"inst/accompany0.wav", 261.63}, {"inst/bass0.wav", 65.41}};
  for (const auto& sample : samples) {
    const double hz = pitchOf(sample.file);
    EXPECT_NEAR(1200 * std::log2(hz / sample.hz), 0, 15) << sample.file << " sounds " << hz << " Hz";
    const std::vector<uint8_t> b = assetgen_test::readFile(generatedData() + "/" + sample.file);
    ASSERT_GT(b.size(), 100u);
    const int last = int16_t(b[b.size() - 2] | b[b.size() - 1] << 8);
    EXPECT_LE(std::abs(last), 2) << sample.file << ": the loop point must be silent";
    EXPECT_GT(wavSeconds(sample.file), 2.0) << sample.file << ": a note fades out before the sample loops";
  }
}

}  // namespace
