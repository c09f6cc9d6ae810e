// Sound-file decoding for the audio device: whole files into memory.
//
// readWav takes RIFF/WAVE files with integer PCM; readOgg takes Ogg Vorbis
// through stb_vorbis and gives interleaved 16-bit samples. Both read from an
// open stream that the caller owns and closes, and both accept only what an
// OpenAL buffer can hold (8- or 16-bit samples, one or two channels, a
// positive rate, at most INT_MAX bytes): anything else fails with no output.
// Every size read from a file is checked against the bytes left in it before
// anything is allocated, so a damaged file fails instead of exhausting memory.
// Nothing here calls OpenAL; the device turns a DecodedSound into a buffer.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "runtime/string.h"

struct DecodedSound {
  std::vector<uint8_t> bytes;      // WAV sample data exactly as stored in the file
  std::vector<int16_t> samples16;  // Ogg output, interleaved
  int frames = 0;                  // length in sample frames
  int channels = 0;
  int bytesPerSample = 0;
  int rate = 0;  // frames per second

  const void* data() const { return samples16.empty() ? static_cast<const void*>(bytes.data()) : samples16.data(); }
  // frames x channels x bytesPerSample: what the device uploads.
  int byteCount() const { return frames * channels * bytesPerSample; }
};

// Both return false, leaving `out` unspecified, when the stream is not a
// sound they can decode. The stream is read from its current position.
bool readWav(FILE* file, DecodedSound& out);
bool readOgg(FILE* file, DecodedSound& out);

// Opens and decodes a sound file by its extension (".wav" or ".ogg", see
// SoundFileExtension in host/audio_device.h); false when it cannot.
bool LoadSoundFile(const String& path, DecodedSound& out);
