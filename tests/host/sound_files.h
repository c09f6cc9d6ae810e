// Sound files made by the tests themselves: RIFF/WAVE files built field by
// field (so that damaged ones can be made too) and Ogg Vorbis tones encoded
// with libvorbisenc.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// Builds a RIFF file chunk by chunk; sizes are written as given, so a test
// can make them lie.
class RiffBuilder {
 public:
  RiffBuilder& tag(const char* fourcc);
  RiffBuilder& u16(uint32_t v);
  RiffBuilder& u32(uint32_t v);
  RiffBuilder& bytes(const Bytes& b);
  // A chunk with its true size; pad adds the RIFF pad byte after odd sizes.
  RiffBuilder& chunk(const char* fourcc, const Bytes& body, bool pad = true);
  // A PCM format chunk; extraBytes extends it beyond the 16 PCM bytes.
  RiffBuilder& fmt(int channels, int rate, int bits, int formatCode = 1, int extraBytes = 0);
  // "RIFF", the size of everything that follows, "WAVE", then the body.
  Bytes riffFile() const;
  const Bytes& raw() const { return out_; }

 private:
  Bytes out_;
};

// A complete PCM WAV file holding a sine tone.
Bytes MakeWavTone(int channels, int rate, int bits, double hz, double seconds);
// Interleaved samples of a sine tone in the given bit depth (8-bit unsigned,
// 16-bit signed little-endian).
Bytes ToneSamples(int channels, int rate, int bits, double hz, double seconds);
// An Ogg Vorbis file holding a sine tone.
Bytes EncodeOggTone(int channels, int rate, double hz, double seconds);

void WriteFile(const std::string& path, const Bytes& bytes);
Bytes ReadFile(const std::string& path);
