// The game's music data: the song image and the instrument samples that the
// music player loads (drum kit "inst/d0-1.wav" ... "inst/d0-8.wav", used by
// both drum voices, "inst/lead0.wav", "inst/accompany0.wav", "inst/bass0.wav").
//
// The song is 64 patterns of 64 rows for 8 voice slots; a cell holds 8 fields
// of 0-31 (note, volume, effect command, effect parameter, four unused). The
// player picks each voice's pattern at random at every section, mutes voices
// at random and transposes the melodic voices by a chord letter per pattern,
// so every pattern of every voice is written over the same harmony and ends
// quietly. Frame p of the image (8 frames across, 8 down, 64x64 pixels each)
// holds pattern p: pixel (8v + k, r) carries field k of the cell of voice v,
// row r in its blue byte as value * 8 + 4 (red and green are 0).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/assetgen/catalogue.h"

namespace assetgen {

constexpr int kSongPatterns = 64;
constexpr int kSongRows = 64;
constexpr int kSongVoiceSlots = 8;
constexpr int kCellFields = 8;
constexpr int kSongFrameSize = 64;
constexpr int kSongFramesAcross = 8;
constexpr int kSongImageSide = kSongFramesAcross * kSongFrameSize;  // 512 pixels
constexpr int kLargestCellValue = 31;

// The name the game passes to the player, relative to the data folder.
constexpr const char* kSongFile = "inst/song.png";

using SongCell = std::array<int, kCellFields>;

class Song {
 public:
  Song();
  SongCell& at(int pattern, int voice, int row);
  const SongCell& at(int pattern, int voice, int row) const;

 private:
  std::vector<SongCell> cells_;
};

// The game's tune.
Song composeSong();

// The song image as 8-bit RGBA, kSongImageSide pixels square.
std::vector<uint8_t> songImageRgba(const Song& song);

// The instrument samples, with their file names under the data folder.
const std::vector<SynthesisedSound>& instrumentSamples();

}  // namespace assetgen
