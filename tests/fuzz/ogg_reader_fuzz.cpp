// Fuzzes Ogg Vorbis loading from memory through a standard stream, as the
// audio device reads a file. A decoded sound must hold exactly the samples
// it claims, in one or two channels.
#include <cstdint>
#include <cstdio>

#include "host/sound_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;  // fmemopen refuses an empty buffer
  FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!file) return 0;
  DecodedSound sound;
  if (readOgg(file, sound)) {
    bool layoutOk = (sound.channels == 1 || sound.channels == 2) && sound.bytesPerSample == 2;
    if (!layoutOk || size_t(sound.byteCount()) != sound.samples16.size() * 2) __builtin_trap();
  }
  std::fclose(file);
  return 0;
}
