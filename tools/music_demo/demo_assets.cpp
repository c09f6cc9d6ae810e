#include "tools/music_demo/demo_assets.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>

namespace musicdemo {
namespace {

constexpr double kPi = 3.14159265358979323846;

// ------------------------------------------------------------- the song

// Drum notes and the drums they select.
constexpr int kKick = 13;       // drum 1
constexpr int kSnare = 15;      // drum 2
constexpr int kClosedHat = 17;  // drum 3
constexpr int kOpenHat = 18;    // drum 4
constexpr int kLowTom = 20;     // drum 5
constexpr int kHighTom = 22;    // drum 6
constexpr int kClap = 24;       // drum 7
constexpr int kShaker = 25;     // drum 8

constexpr int kKitA = 0;
constexpr int kKitB = 1;
constexpr int kLead = 2;
constexpr int kAccompany = 3;
constexpr int kBass = 4;

constexpr int kSlideDownFine = 2;
constexpr int kSlideUp = 3;

// Eight rows make a beat; a pattern is eight beats. Chords change every two
// beats: A minor, F major, C major, G major (note 13 is A).
constexpr int kRowsPerBeat = 8;
constexpr int kRowsPerChord = 16;
constexpr int kChordRoots[4] = {13, 9, 16, 11};        // bass: A, F, C, G
constexpr int kChordTones[4][3] = {{13, 16, 20},       // A C E
                                   {9, 13, 16},        // F A C
                                   {16, 20, 23},       // C E G
                                   {11, 15, 18}};      // G B D

void Note(Song& song, int pattern, int voice, int row, int note, int volume, int command = 0,
          int param = 0) {
  Cell& cell = song.At(pattern, voice, row);
  cell[0] = note;
  cell[1] = volume;
  cell[2] = command;
  cell[3] = param;
}

void WriteKitA(Song& song) {
  for (int p = 0; p < 4; ++p) {
    for (int row = 0; row < kRows; row += 4) {
      const int beat = row / kRowsPerBeat;
      const bool onBeat = row % kRowsPerBeat == 0;
      if (p == 2) {  // half time
        if (row % 32 == 0) Note(song, p, kKitA, row, kKick, 30);
        else if (row % 32 == 16) Note(song, p, kKitA, row, kSnare, 26);
        else Note(song, p, kKitA, row, kClosedHat, 12);
        continue;
      }
      if (onBeat && beat % 2 == 0) Note(song, p, kKitA, row, kKick, 30);
      else if (onBeat) Note(song, p, kKitA, row, kSnare, 26);
      else Note(song, p, kKitA, row, kClosedHat, 13);
    }
    if (p == 1) {
      Note(song, p, kKitA, 28, kKick, 24);
      Note(song, p, kKitA, 44, kKick, 24);
      Note(song, p, kKitA, 60, kOpenHat, 16);
    }
    if (p == 3) {  // a snare roll into the next bar
      for (int row = 48; row < kRows; row += 2) Note(song, p, kKitA, row, kSnare, 14 + (row - 48));
    }
  }
}

void WriteKitB(Song& song) {
  for (int row = 2; row < kRows; row += 4) Note(song, 0, kKitB, row, kShaker, 9);
  for (int row = 0; row < kRows; row += 2) {
    if (row % 16 == 8) Note(song, 1, kKitB, row, kClap, 20);
    else if (row % 4 == 2) Note(song, 1, kKitB, row, kShaker, 8);
  }
  const int toms[] = {kHighTom, kHighTom, kLowTom, kLowTom};
  for (int i = 0; i < 4; ++i) Note(song, 2, kKitB, 48 + 4 * i, toms[i], 22 - 2 * i);
  for (int row = 6; row < kRows; row += 8) Note(song, 3, kKitB, row, kShaker, 12);
  Note(song, 3, kKitB, 56, kClap, 22);
}

void WriteBass(Song& song) {
  for (int p = 0; p < 4; ++p) {
    for (int chord = 0; chord < 4; ++chord) {
      const int root = kChordRoots[chord];
      const int start = chord * kRowsPerChord;
      if (p == 0) {
        Note(song, p, kBass, start, root, 26);
        Note(song, p, kBass, start + 8, root, 22);
      } else if (p == 1) {
        for (int i = 0; i < 4; ++i) Note(song, p, kBass, start + 4 * i, i % 2 ? root + 12 : root, 24);
      } else if (p == 2) {
        Note(song, p, kBass, start, root, 27);
        Note(song, p, kBass, start + 6, root, 20);
        Note(song, p, kBass, start + 12, root + 7, 22);
      } else {
        Note(song, p, kBass, start, root, 26);
        Note(song, p, kBass, start + 10, root + 12, 20, kSlideDownFine, 9);
      }
    }
  }
}

void WriteAccompaniment(Song& song) {
  for (int p = 0; p < 4; ++p) {
    for (int chord = 0; chord < 4; ++chord) {
      const int* tones = kChordTones[chord];
      const int start = chord * kRowsPerChord;
      for (int i = 0; i < 4; ++i) {
        const int row = start + 4 * i;
        if (p == 0) Note(song, p, kAccompany, row, tones[i % 3], 15);
        if (p == 1) Note(song, p, kAccompany, row, tones[2 - i % 3], 14);
        if (p == 2 && i % 2 == 0) Note(song, p, kAccompany, row + 2, tones[i / 2], 13);
        if (p == 3 && i == 0) Note(song, p, kAccompany, row, tones[1], 17);
      }
    }
  }
}

void WriteLead(Song& song) {
  // Four phrases over the chords, in the A minor pentatonic; 0 is a rest.
  const int phrases[4][16] = {
      {25, 0, 23, 20, 0, 0, 21, 0, 20, 0, 16, 18, 20, 0, 0, 0},
      {13, 16, 18, 20, 0, 20, 23, 0, 25, 0, 23, 0, 20, 18, 16, 0},
      {20, 0, 0, 0, 18, 0, 16, 0, 13, 0, 16, 0, 11, 0, 0, 0},
      {25, 28, 25, 23, 20, 0, 23, 25, 28, 0, 0, 30, 28, 0, 0, 0},
  };
  for (int p = 0; p < 4; ++p) {
    for (int i = 0; i < 16; ++i) {
      if (phrases[p][i] != 0) Note(song, p, kLead, 4 * i, phrases[p][i], 21);
    }
  }
  // A rising bend on the last note of phrase 3, and a falling glide at the
  // end of phrase 0: effect cells without notes keep bending the sounding note.
  Note(song, 3, kLead, 44, 25, 22, kSlideUp, 1);
  for (int row = 53; row < kRows; ++row) Note(song, 0, kLead, row, 0, 0, kSlideDownFine, 4);
}

// ------------------------------------------------------------- files

void Put16(std::vector<unsigned char>& out, int value) {
  out.push_back(static_cast<unsigned char>(value & 0xff));
  out.push_back(static_cast<unsigned char>((value >> 8) & 0xff));
}

void Put32(std::vector<unsigned char>& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>((value >> (8 * i)) & 0xff));
}

void PutTag(std::vector<unsigned char>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }

bool WriteFile(const std::string& path, const std::vector<unsigned char>& bytes) {
  FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  return std::fclose(out) == 0 && written;
}

short ToSample(double value) {
  const double clamped = std::clamp(value, -1.0, 1.0);
  return static_cast<short>(std::lround(clamped * 32767.0));
}

// A small private generator for noise, so that the samples are the same on
// every run and nothing else's random sequence is touched.
class Noise {
 public:
  double Next() {
    state_ = state_ * 1103515245u + 12345u;
    return static_cast<double>((state_ >> 8) & 0xffff) / 32768.0 - 1.0;
  }

 private:
  uint32_t state_ = 22222;
};

// A loop of `length` samples (a whole number of periods) from a table of
// harmonic amplitudes.
std::vector<short> Harmonic(int period, int length, const std::vector<double>& harmonics,
                            double gain) {
  std::vector<short> samples(static_cast<size_t>(length));
  for (int n = 0; n < length; ++n) {
    double value = 0.0;
    for (size_t k = 0; k < harmonics.size(); ++k) {
      value += harmonics[k] * std::sin(2.0 * kPi * static_cast<double>(k + 1) * n / period);
    }
    samples[static_cast<size_t>(n)] = ToSample(gain * value);
  }
  return samples;
}

constexpr int kLoopLength = 44000;  // a whole number of periods of 100, 200 and 400

}  // namespace

// ------------------------------------------------------------- Song

Song::Song() : cells_(static_cast<size_t>(kPatterns) * kVoiceSlots * kRows, Cell{}) {}

Cell& Song::At(int pattern, int voice, int row) {
  return cells_[(static_cast<size_t>(pattern) * kVoiceSlots + voice) * kRows + row];
}

const Cell& Song::At(int pattern, int voice, int row) const {
  return cells_[(static_cast<size_t>(pattern) * kVoiceSlots + voice) * kRows + row];
}

Song DemoSong() {
  Song song;
  WriteKitA(song);
  WriteKitB(song);
  WriteBass(song);
  WriteAccompaniment(song);
  WriteLead(song);
  return song;
}

bool WriteSongImage(const std::string& path, const Song& song) {
  constexpr int kLargestValue = 31;  // a blue byte holds values 0-31
  const int side = kFramesAcross * kFrameSize;
  std::vector<int> rgb(static_cast<size_t>(side) * side);
  for (int p = 0; p < kPatterns; ++p) {
    const int left = (p % kFramesAcross) * kFrameSize;
    const int top = (p / kFramesAcross) * kFrameSize;
    for (int row = 0; row < kRows; ++row) {
      for (int v = 0; v < kVoiceSlots; ++v) {
        for (int k = 0; k < kFields; ++k) {
          const int x = left + v * kFields + k;
          const int y = top + row;
          // Blue carries the value (value * 8 + 4 sits in the middle of its
          // step of 8); red and green vary so that only blue can decode.
          const int value = song.At(p, v, row)[k];
          if (value < 0 || value > kLargestValue) return false;
          const int blue = value * 8 + 4;
          const int red = (x * 5) & 0xff;
          const int green = (y * 3 + k * 29) & 0xff;
          rgb[static_cast<size_t>(y) * side + x] = (red << 16) | (green << 8) | blue;
        }
      }
    }
  }
  return WriteBmp(path, side, side, rgb);
}

bool WriteBmp(const std::string& path, int width, int height, const std::vector<int>& rgb) {
  constexpr int kHeaderBytes = 14 + 40;
  const int rowBytes = (width * 3 + 3) & ~3;
  std::vector<unsigned char> out;
  out.push_back('B');
  out.push_back('M');
  Put32(out, static_cast<uint32_t>(kHeaderBytes + rowBytes * height));
  Put32(out, 0);
  Put32(out, kHeaderBytes);
  Put32(out, 40);  // BITMAPINFOHEADER
  Put32(out, static_cast<uint32_t>(width));
  Put32(out, static_cast<uint32_t>(height));  // positive: rows stored bottom-up
  Put16(out, 1);
  Put16(out, 24);
  Put32(out, 0);  // no compression
  Put32(out, static_cast<uint32_t>(rowBytes * height));
  Put32(out, 2835);
  Put32(out, 2835);
  Put32(out, 0);
  Put32(out, 0);
  for (int y = height - 1; y >= 0; --y) {
    const size_t rowStart = out.size();
    for (int x = 0; x < width; ++x) {
      const int pixel = rgb[static_cast<size_t>(y) * width + x];
      out.push_back(static_cast<unsigned char>(pixel & 0xff));
      out.push_back(static_cast<unsigned char>((pixel >> 8) & 0xff));
      out.push_back(static_cast<unsigned char>((pixel >> 16) & 0xff));
    }
    out.resize(rowStart + static_cast<size_t>(rowBytes), 0);
  }
  return WriteFile(path, out);
}

bool WriteWav(const std::string& path, const std::vector<short>& samples, int rate) {
  const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
  std::vector<unsigned char> out;
  PutTag(out, "RIFF");
  Put32(out, 36 + dataBytes);
  PutTag(out, "WAVE");
  PutTag(out, "fmt ");
  Put32(out, 16);
  Put16(out, 1);  // integer PCM
  Put16(out, 1);  // mono
  Put32(out, static_cast<uint32_t>(rate));
  Put32(out, static_cast<uint32_t>(rate * 2));
  Put16(out, 2);
  Put16(out, 16);
  PutTag(out, "data");
  Put32(out, dataBytes);
  for (short s : samples) Put16(out, s);
  return WriteFile(path, out);
}

std::vector<short> DrumSample(int drum) {
  struct Recipe {
    double seconds, startHz, endHz, noise, decayPerSecond;
    bool highPass;
  };
  constexpr Recipe kRecipes[8] = {
      {0.35, 150, 45, 0.0, 9, false},    // 1 kick
      {0.25, 230, 180, 0.75, 16, false}, // 2 snare
      {0.06, 0, 0, 1.0, 70, true},       // 3 closed hat
      {0.30, 0, 0, 1.0, 11, true},       // 4 open hat
      {0.35, 110, 80, 0.1, 10, false},   // 5 low tom
      {0.28, 190, 150, 0.1, 12, false},  // 6 high tom
      {0.22, 0, 0, 1.0, 22, false},      // 7 clap
      {0.05, 0, 0, 1.0, 60, true},       // 8 shaker
  };
  const Recipe& recipe = kRecipes[std::clamp(drum, 1, 8) - 1];
  const int length = static_cast<int>(recipe.seconds * kSampleRate);
  std::vector<short> samples(static_cast<size_t>(length));
  Noise noise;
  double phase = 0.0, lastNoise = 0.0;
  for (int n = 0; n < length; ++n) {
    const double t = static_cast<double>(n) / kSampleRate;
    const double progress = static_cast<double>(n) / length;
    const double hz = recipe.startHz * std::pow(recipe.endHz / std::max(recipe.startHz, 1.0), progress);
    phase += 2.0 * kPi * hz / kSampleRate;
    double white = noise.Next();
    double hiss = recipe.highPass ? (white - lastNoise) * 0.5 : white;
    lastNoise = white;
    double envelope = std::exp(-recipe.decayPerSecond * t);
    if (drum == 7) envelope *= 0.6 + 0.4 * std::cos(2.0 * kPi * 90.0 * std::min(t, 0.03));  // claps
    const double tone = recipe.startHz > 0 ? std::sin(phase) : 0.0;
    const double value = (1.0 - recipe.noise) * tone + recipe.noise * hiss;
    samples[static_cast<size_t>(n)] = ToSample(0.85 * envelope * value);
  }
  return samples;
}

std::vector<short> LeadSample() {
  return Harmonic(100, kLoopLength, {1.0, 0.0, 0.33, 0.0, 0.2, 0.0, 0.14}, 0.45);
}

std::vector<short> AccompanySample() {
  return Harmonic(200, kLoopLength, {1.0, 0.25, 0.11, 0.06}, 0.5);
}

std::vector<short> BassSample() { return Harmonic(400, kLoopLength, {1.0, 0.35, 0.1}, 0.7); }

bool WriteDemoData(const std::string& dataDir, const std::string& songFile, int sampleNumber) {
  std::error_code error;
  std::filesystem::create_directories(dataDir + "/inst", error);
  if (error) return false;
  const std::string inst = dataDir + "/inst/";
  const std::string number = std::to_string(sampleNumber);
  bool ok = WriteSongImage(dataDir + "/" + songFile, DemoSong());
  for (int drum = 1; drum <= 8; ++drum) {
    ok = WriteWav(inst + "d" + number + "-" + std::to_string(drum) + ".wav", DrumSample(drum),
                  kSampleRate) && ok;
  }
  ok = WriteWav(inst + "lead" + number + ".wav", LeadSample(), kSampleRate) && ok;
  ok = WriteWav(inst + "accompany" + number + ".wav", AccompanySample(), kSampleRate) && ok;
  ok = WriteWav(inst + "bass" + number + ".wav", BassSample(), kSampleRate) && ok;
  return ok;
}

}  // namespace musicdemo
