// Ogg Vorbis decoding through stb_vorbis into interleaved 16-bit samples.
// The decoder is compiled into the host (vorbis_build.c) on a bounded heap.
#include "host/sound_decoder.h"
#include "host/vorbis_memory.h"

#include <algorithm>
#include <climits>

#define STB_VORBIS_HEADER_ONLY
#include <stb/stb_vorbis.h>

namespace {

// Room kept free for one decoded Vorbis packet: the format's largest block
// yields at most 4096 frames.
constexpr int kPacketFrames = 4096;
// One OpenAL upload is limited to INT_MAX bytes.
constexpr size_t kMaxSamples = size_t(INT_MAX) / sizeof(int16_t);

// The decoder's own memory (set-up tables and scratch): ordinary streams need
// a few hundred KiB; a damaged file cannot make it hold more than this.
constexpr size_t kDecoderHeapBytes = 16u << 20;

struct DecoderCloser {
  stb_vorbis* decoder;
  ~DecoderCloser() { stb_vorbis_close(decoder); }
};

bool decodeAll(stb_vorbis* decoder, int channels, std::vector<int16_t>& samples, int& frames) {
  size_t packetSamples = size_t(kPacketFrames) * size_t(channels);
  samples.resize(packetSamples);
  size_t used = 0;
  for (;;) {
    int got = stb_vorbis_get_frame_short_interleaved(decoder, channels, samples.data() + used,
                                                     int(samples.size() - used));
    if (got <= 0) break;
    used += size_t(got) * size_t(channels);
    if (used > kMaxSamples) return false;
    if (samples.size() - used < packetSamples) {
      samples.resize(std::min(samples.size() * 2, kMaxSamples + packetSamples));
    }
  }
  samples.resize(used);
  frames = int(used / size_t(channels));
  return true;
}

}  // namespace

bool readOgg(FILE* file, DecodedSound& out) {
  VorbisHeapScope heap(kDecoderHeapBytes);  // ends after the decoder is closed
  int error = 0;
  stb_vorbis* decoder = stb_vorbis_open_file(file, 0, &error, nullptr);
  if (!decoder) return false;
  DecoderCloser closer{decoder};

  stb_vorbis_info info = stb_vorbis_get_info(decoder);
  // Streams with more than two channels fail up front, like such WAV files:
  // OpenAL could not take them and they would only cost decoding time.
  if (info.channels < 1 || info.channels > 2 || info.sample_rate == 0 ||
      info.sample_rate > unsigned(INT_MAX)) {
    return false;
  }
  out.channels = info.channels;
  out.rate = int(info.sample_rate);
  out.bytesPerSample = 2;
  return decodeAll(decoder, out.channels, out.samples16, out.frames);
}
