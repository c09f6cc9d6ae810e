// Ogg Vorbis decoding through stb_vorbis into interleaved 16-bit samples.
#include "host/sound_decoder.h"

#include <algorithm>
#include <climits>
#include <memory>

#define STB_VORBIS_HEADER_ONLY
#include <stb/stb_vorbis.h>

namespace {

// Room kept free for one decoded Vorbis packet: the format's largest block
// yields at most 4096 frames.
constexpr int kPacketFrames = 4096;
// One OpenAL upload is limited to INT_MAX bytes.
constexpr size_t kMaxSamples = size_t(INT_MAX) / sizeof(int16_t);

// The decoder takes all its memory from one arena that we own: its set-up
// sizes come from the file, so the arena caps what a damaged file can make it
// allocate, and whatever it fails to release on a broken stream goes with the
// arena. Ordinary streams need a few hundred KiB; larger arenas are tried
// only when the decoder reports that it ran out.
constexpr int kArenaFirstBytes = 1 << 20;
constexpr int kArenaMaxBytes = 16 << 20;
constexpr int kArenaGrowth = 4;

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

// Opens a decoder at the stream's current position, with the smallest arena
// that holds its set-up.
stb_vorbis* openDecoder(FILE* file, std::unique_ptr<char[]>& arena) {
  long start = std::ftell(file);
  if (start < 0) return nullptr;
  for (int bytes = kArenaFirstBytes; bytes <= kArenaMaxBytes; bytes *= kArenaGrowth) {
    arena.reset(new char[size_t(bytes)]);
    stb_vorbis_alloc alloc{arena.get(), bytes};
    int error = 0;
    if (std::fseek(file, start, SEEK_SET) != 0) return nullptr;
    stb_vorbis* decoder = stb_vorbis_open_file(file, 0, &error, &alloc);
    if (decoder || error != VORBIS_outofmem) return decoder;
  }
  return nullptr;
}

}  // namespace

bool readOgg(FILE* file, DecodedSound& out) {
  std::unique_ptr<char[]> arena;  // outlives the decoder: declared first
  stb_vorbis* decoder = openDecoder(file, arena);
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
