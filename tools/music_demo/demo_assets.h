// Generated assets for trying out the music player without any recorded
// files: a demo song written as a song image (64 frames of 64x64 pixels,
// each cell field stored in a pixel's blue byte as value * 8) and synthesised
// instrument samples written as 16-bit mono WAV files under "inst/".
//
// Used by the demo program (music_demo.cpp) and by the player's tests. Plain
// C++ with the standard library only; files are written with stdio. Images
// are uncompressed 24-bit BMP files, which the host's image loader reads like
// any other picture.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace musicdemo {

constexpr int kRows = 64;
constexpr int kVoiceSlots = 8;
constexpr int kFields = 8;
constexpr int kPatterns = 64;
constexpr int kFrameSize = 64;
constexpr int kFramesAcross = 8;  // the image is 8 x 8 frames: 512 x 512 pixels

// One cell: note, volume, effect command, effect parameter; fields 4-7 are
// stored too but the player ignores them.
using Cell = std::array<int, kFields>;

// A whole song: cell (pattern, voice, row), every field 0-31.
class Song {
 public:
  Song();
  Cell& At(int pattern, int voice, int row);
  const Cell& At(int pattern, int voice, int row) const;

 private:
  std::vector<Cell> cells_;
};

// The demo: a drum groove on two kits, a bass line, an accompaniment and a
// lead melody, each voice with four pattern variants (patterns 0-3).
Song DemoSong();

// Writes the song image. Pixel (8v + k, r) of frame p holds field k of the
// cell (p, v, r) in its blue byte; red and green hold a fixed pattern that
// the player must ignore. Returns false when the file cannot be written.
bool WriteSongImage(const std::string& path, const Song& song);

// Writes a 24-bit BMP from rows of 0xRRGGBB values (row 0 at the top).
bool WriteBmp(const std::string& path, int width, int height, const std::vector<int>& rgb);

// Writes 16-bit mono PCM at `rate` samples per second.
bool WriteWav(const std::string& path, const std::vector<short>& samples, int rate);

constexpr int kSampleRate = 44100;

// Synthesised instruments. Melodic samples loop seamlessly (a whole number
// of periods); their own pitch is the player's note 13.
std::vector<short> DrumSample(int drum);  // drums 1-8
std::vector<short> LeadSample();          // 441 Hz, bright
std::vector<short> AccompanySample();     // 220.5 Hz, soft
std::vector<short> BassSample();          // 110.25 Hz, round

// Writes the song image `songFile` and every sample of set `sampleNumber`
// ("inst/d<n>-1.wav" ... "inst/bass<n>.wav") into the folder `dataDir`,
// creating it and its "inst" folder. Returns false on any write failure.
bool WriteDemoData(const std::string& dataDir, const std::string& songFile, int sampleNumber);

}  // namespace musicdemo
