// Fuzzes the WAV reader from memory through a standard stream, as the audio
// device reads a file. A decoded sound must never claim more bytes than it
// holds, and nothing may be allocated beyond the input's size.
#include <cstdint>
#include <cstdio>

#include "host/sound_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;  // fmemopen refuses an empty buffer
  FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!file) return 0;
  DecodedSound sound;
  if (readWav(file, sound)) {
    if (size_t(sound.byteCount()) > sound.bytes.size() || sound.bytes.size() > size) {
      __builtin_trap();
    }
  }
  std::fclose(file);
  return 0;
}
