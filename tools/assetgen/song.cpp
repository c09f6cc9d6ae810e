// The game's tune, written for the music player's arrangement rules.
//
// Time: a row lasts 84 ms at the player's tempo; eight rows make a beat (about
// 89 beats a minute) and a pattern is eight beats, two bars of four.
// Harmony, the same in every pattern of every voice: rows 0-31 C major, rows
// 32-47 A minor, rows 48-63 F major. The player's chord letters transpose whole
// patterns of the melodic voices (down a tone or a fourth), which turns this
// into B-flat / G-minor / E-flat or G / E-minor / C, so each voice can be on
// any of its patterns while the others play theirs.
// Quiet note ends: a voice's note is stopped when its next note starts, and a
// sound cut off mid-wave clicks; so the row before every melodic note (and the
// last row of every pattern) holds the volume 31, which silences the voice a
// row ahead of the cut. Drum hits on one voice are spaced further apart than
// the drum samples last.
// Rows 56-63 lead into the next pattern: the player plays them as a fill for a
// voice that is about to come back in.
// Two pairs of lead patterns (0 and 1, 4 and 5) are a call and its answer: the
// step command on their first row keeps the call on even bars of a section
// and the answer on odd ones.
#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include "tools/assetgen/music.h"

namespace assetgen {

namespace {

constexpr int kKitA = 0;
constexpr int kKitB = 1;
constexpr int kLead = 2;
constexpr int kAccompany = 3;
constexpr int kBass = 4;

constexpr int kNoteField = 0;
constexpr int kVolumeField = 1;
constexpr int kCommandField = 2;
constexpr int kParamField = 3;

constexpr int kSilenceVolume = 31;  // the player silences a voice at volume 31
constexpr int kStepPattern = 27;    // effect command: step the voice's pattern
constexpr int kForwardOnOddBars = 1;
constexpr int kBackOnEvenBars = 2;
constexpr int kLoudestVolume = 30;
constexpr int kBeatAccent = 2;  // louder on the first row of a beat
constexpr int kRowsPerBeat = 8;

// Drum letters of the pattern strings, the player's note for each drum of the
// kit (drums 1-8) and its volume.
struct Drum {
  char letter;
  int note;
  int volume;
};
constexpr Drum kDrums[] = {
    {'K', 13, 26},  // 1 kick
    {'S', 15, 21},  // 2 snare
    {'h', 17, 11},  // 3 closed hat
    {'o', 18, 12},  // 4 open hat
    {'L', 20, 20},  // 5 low tom
    {'H', 22, 18},  // 6 high tom
    {'c', 24, 17},  // 7 clap
    {'s', 25, 8},   // 8 shaker
};

// Kit A (voice 0): kick, snare and toms, at least four rows apart.
const char* const kKitAPatterns[] = {
    "K.......S.......K.......S.......K.......S.......K.......S...S...",
    "K.......S...K...K.......S.......K.......S...K...K.......S...H...",
    "K...............S...........K...K...............S.......H...L...",
    "K.......S.......K...K...S.......K.......S.......S...S...H...L...",
};
// Kit B (voice 1): hats, shaker and clap, at least two rows apart (four after
// an open hat).
const char* const kKitBPatterns[] = {
    "h...h...h...h...h...h...h...h...h...h...h...h...h...h...h...o...",
    "s.s.s.s.s.s.s.s.s.s.s.s.s.s.s.s.s.s.s.s.s.s.s.s.s.s.s.s.s.s.s.s.",
    "....h...c...h.......h...c...h.......h...c...h.......h...c...c.c.",
    "....o.......o.......o.......o.......o.......o.......o.......o...",
};

// Melodic lines: "row:pitch" with pitches named by letter and octave. Each
// instrument's sample sounds its own pitch at note 13.
struct Line {
  int voice;
  int volume;
  const char* notes;
};
constexpr int kLeadOctave = 5;       // lead sample: C5
constexpr int kAccompanyOctave = 4;  // accompaniment sample: C4
constexpr int kBassOctave = 2;       // bass sample: C2

const Line kLeadLines[] = {
    {kLead, 18, "0:E5 6:D5 8:E5 12:G5 16:A5 24:G5 28:E5 32:C5 40:D5 44:E5 48:F5 52:E5 56:C5 60:D5"},
    {kLead, 18, "0:G5 4:E5 8:C6 16:A5 20:G5 24:E5 28:D5 32:E5 36:C5 40:A4 48:A4 52:C5 56:A4 60:G4"},
    {kLead, 19, "0:G5 12:E5 16:D5 24:C5 32:E5 40:A4 48:C5 56:A4 60:G4"},
    {kLead, 17,
     "0:C6 4:A5 8:G5 10:A5 12:G5 16:E5 20:G5 24:D5 28:E5 32:C5 36:E5 40:A5 44:G5 48:F5 "
     "52:A5 56:G5 60:E5"},
    {kLead, 18, "0:G5 2:A5 4:G5 8:E5 16:C5 20:D5 24:E5 32:E5 36:D5 40:C5 44:A4 48:C5 56:D5 60:E5"},
    {kLead, 18, "0:G5 8:E5 12:D5 16:C5 24:A4 28:C5 32:C5 40:E5 48:F5 52:E5 56:D5 60:C5"},
};
const Line kAccompanyLines[] = {
    {kAccompany, 13,
     "0:C4 4:E4 8:G4 12:C5 16:E5 20:C5 24:G4 28:E4 32:A3 36:C4 40:E4 44:A4 48:F4 "
     "52:C4 56:A3 60:C4"},
    {kAccompany, 13, "0:G4 6:C5 12:E5 16:G4 22:C5 28:E5 32:E4 38:A4 44:C5 48:F4 54:A4 60:C5"},
    {kAccompany, 14, "4:E4 12:G4 20:E4 28:G4 36:C4 44:E4 52:A3 60:C4"},
    {kAccompany, 12,
     "0:C5 2:G4 4:E5 8:C5 10:E5 12:G4 16:C5 18:G4 20:E5 24:E5 26:C5 28:G4 32:A4 "
     "34:E4 36:C5 40:E5 42:C5 44:A4 48:A4 50:F4 52:C5 56:F4 58:A4 60:C5"},
};
const Line kBassLines[] = {
    {kBass, 22, "0:C3 6:C3 8:G2 16:C3 22:C3 24:G2 32:A2 38:A2 40:E2 44:A2 48:F2 54:F2 56:C3 60:F2"},
    {kBass, 23, "0:C3 16:G2 32:A2 48:F2 56:C3 60:G2"},
    {kBass, 21,
     "0:C2 4:C3 8:C2 12:C3 16:C2 20:C3 24:C2 28:C3 32:A2 36:A2 40:E2 44:A2 48:F2 52:F3 "
     "56:F2 60:G2"},
    {kBass, 22, "0:C3 10:C3 12:G2 20:C3 24:E3 28:D3 32:A2 42:A2 44:E2 48:F2 58:F2 60:G2"},
};

// Semitones above C of a pitch class letter.
int pitchClass(char letter) {
  switch (letter) {
    case 'C': return 0;
    case 'D': return 2;
    case 'E': return 4;
    case 'F': return 5;
    case 'G': return 7;
    case 'A': return 9;
    case 'B': return 11;
    default: std::abort();  // a typing error in the score above
  }
}

// The player's note for a pitch such as "E5" on an instrument whose sample
// sounds C of `baseOctave` at note 13.
int noteFor(const std::string& pitch, int baseOctave) {
  const int octave = pitch[1] - '0';
  const int note = 13 + 12 * (octave - baseOctave) + pitchClass(pitch[0]);
  if (note < 1 || note > kLargestCellValue) std::abort();  // not a note the image can hold
  return note;
}

int baseOctave(int voice) {
  if (voice == kLead) return kLeadOctave;
  if (voice == kAccompany) return kAccompanyOctave;
  return kBassOctave;
}

int accented(int volume, int row) {
  const int v = row % kRowsPerBeat == 0 ? volume + kBeatAccent : volume;
  return v > kLoudestVolume ? kLoudestVolume : v;
}

void writeDrums(Song& song, int voice, const char* const* patterns, int count) {
  for (int p = 0; p < count; ++p) {
    const std::string line = patterns[p];
    if (line.size() != size_t(kSongRows)) std::abort();
    for (int row = 0; row < kSongRows; ++row) {
      for (const Drum& drum : kDrums) {
        if (line[size_t(row)] != drum.letter) continue;
        SongCell& cell = song.at(p, voice, row);
        cell[kNoteField] = drum.note;
        cell[kVolumeField] = accented(drum.volume, row);
      }
    }
  }
}

// Writes one melodic line as pattern p, with the silencing rows in front of
// its notes and on the pattern's last row.
void writeLine(Song& song, int p, const Line& line) {
  std::vector<int> noteRows;
  const std::string text = line.notes;
  size_t at = 0;
  while (at < text.size()) {
    const size_t colon = text.find(':', at);
    const size_t end = std::min(text.find(' ', colon), text.size());
    const int row = std::stoi(text.substr(at, colon - at));
    SongCell& cell = song.at(p, line.voice, row);
    cell[kNoteField] = noteFor(text.substr(colon + 1, end - colon - 1), baseOctave(line.voice));
    cell[kVolumeField] = accented(line.volume, row);
    noteRows.push_back(row);
    at = end + 1;
  }
  for (int row : noteRows) {
    if (row > 0 && song.at(p, line.voice, row - 1)[kNoteField] == 0) {
      song.at(p, line.voice, row - 1)[kVolumeField] = kSilenceVolume;
    }
  }
  SongCell& last = song.at(p, line.voice, kSongRows - 1);
  if (last[kNoteField] == 0) last[kVolumeField] = kSilenceVolume;
}

void pairCallAndAnswer(Song& song, int call) {
  SongCell& first = song.at(call, kLead, 0);
  first[kCommandField] = kStepPattern;
  first[kParamField] = kForwardOnOddBars;
  SongCell& answer = song.at(call + 1, kLead, 0);
  answer[kCommandField] = kStepPattern;
  answer[kParamField] = kBackOnEvenBars;
}

template <size_t N>
void writeLines(Song& song, const Line (&lines)[N]) {
  for (size_t p = 0; p < N; ++p) writeLine(song, int(p), lines[p]);
}

}  // namespace

Song::Song() : cells_(size_t(kSongPatterns) * kSongVoiceSlots * kSongRows, SongCell{}) {}

SongCell& Song::at(int pattern, int voice, int row) {
  return cells_[(size_t(pattern) * kSongVoiceSlots + size_t(voice)) * kSongRows + size_t(row)];
}

const SongCell& Song::at(int pattern, int voice, int row) const {
  return cells_[(size_t(pattern) * kSongVoiceSlots + size_t(voice)) * kSongRows + size_t(row)];
}

Song composeSong() {
  Song song;
  writeDrums(song, kKitA, kKitAPatterns, int(std::size(kKitAPatterns)));
  writeDrums(song, kKitB, kKitBPatterns, int(std::size(kKitBPatterns)));
  writeLines(song, kLeadLines);
  writeLines(song, kAccompanyLines);
  writeLines(song, kBassLines);
  pairCallAndAnswer(song, 0);
  pairCallAndAnswer(song, 4);
  return song;
}

std::vector<uint8_t> songImageRgba(const Song& song) {
  constexpr int kValueStep = 8;    // a blue byte holds value * 8 ...
  constexpr int kValueCentre = 4;  // ... plus the middle of its step
  std::vector<uint8_t> rgba(size_t(kSongImageSide) * kSongImageSide * 4, 0);
  for (int p = 0; p < kSongPatterns; ++p) {
    const int left = (p % kSongFramesAcross) * kSongFrameSize;
    const int top = (p / kSongFramesAcross) * kSongFrameSize;
    for (int row = 0; row < kSongRows; ++row) {
      for (int v = 0; v < kSongVoiceSlots; ++v) {
        for (int k = 0; k < kCellFields; ++k) {
          const size_t pixel = size_t(top + row) * kSongImageSide + size_t(left + v * kCellFields + k);
          rgba[pixel * 4 + 2] = uint8_t(song.at(p, v, row)[size_t(k)] * kValueStep + kValueCentre);
        }
      }
    }
  }
  for (size_t i = 3; i < rgba.size(); i += 4) rgba[i] = 255;
  return rgba;
}

}  // namespace assetgen
