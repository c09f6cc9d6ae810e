// Ogg Vorbis decoding through stb_vorbis into interleaved 16-bit samples.
// The decoder is compiled into the host (vorbis_build.c) on a bounded heap.
#include "host/sound_decoder.h"
#include "host/vorbis_memory.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

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

constexpr uint8_t kPageMagic[4] = {'O', 'g', 'g', 'S'};
constexpr size_t kPageHeaderBytes = 27;  // up to and including the segment count
constexpr int kLacingContinues = 255;    // a segment of 255 bytes continues its packet
constexpr uint8_t kCommentPacketType = 3;
constexpr size_t kPacketIdBytes = 7;  // packet type and "vorbis"

// Reads whole Ogg pages of the first logical stream and hands out their
// packets; enough to look at the stream's header packets.
class OggPacketReader {
 public:
  explicit OggPacketReader(FILE* file) : file_(file) {}

  // The next complete packet; false at the end of the data or on a page
  // that cannot be read.
  bool next(std::vector<uint8_t>& packet) {
    packet.clear();
    for (;;) {
      while (segment_ < lacing_.size()) {
        uint8_t size = lacing_[segment_++];
        packet.insert(packet.end(), body_.begin() + long(bodyAt_), body_.begin() + long(bodyAt_ + size));
        bodyAt_ += size;
        if (size < kLacingContinues) return true;
      }
      if (!readPage()) return false;
    }
  }

 private:
  bool readPage() {
    for (;;) {
      uint8_t header[kPageHeaderBytes];
      if (std::fread(header, 1, sizeof header, file_) != sizeof header) return false;
      if (std::memcmp(header, kPageMagic, sizeof kPageMagic) != 0) return false;
      uint32_t serial =
          uint32_t(header[14]) | uint32_t(header[15]) << 8 | uint32_t(header[16]) << 16 | uint32_t(header[17]) << 24;
      lacing_.resize(header[26]);
      if (std::fread(lacing_.data(), 1, lacing_.size(), file_) != lacing_.size()) return false;
      size_t bodyBytes = 0;
      for (uint8_t size : lacing_) bodyBytes += size;
      body_.resize(bodyBytes);
      if (std::fread(body_.data(), 1, bodyBytes, file_) != bodyBytes) return false;
      if (!haveSerial_) {
        serial_ = serial;
        haveSerial_ = true;
      }
      segment_ = 0;
      bodyAt_ = 0;
      if (serial == serial_) return true;  // pages of other streams are passed over
    }
  }

  FILE* file_;
  std::vector<uint8_t> lacing_, body_;
  size_t segment_ = 0, bodyAt_ = 0;
  uint32_t serial_ = 0;
  bool haveSerial_ = false;
};

// Walks the comment packet's lengths: the vendor text, the comment count and
// every comment must lie inside the packet.
bool commentPacketIsWhole(const std::vector<uint8_t>& packet) {
  size_t at = kPacketIdBytes;
  auto readLength = [&](uint64_t& v) {
    if (packet.size() - at < 4) return false;
    v = uint64_t(packet[at]) | uint64_t(packet[at + 1]) << 8 | uint64_t(packet[at + 2]) << 16 |
        uint64_t(packet[at + 3]) << 24;
    at += 4;
    return true;
  };
  uint64_t vendor = 0, count = 0;
  if (packet.size() < kPacketIdBytes || packet[0] != kCommentPacketType) return false;
  if (!readLength(vendor) || vendor > packet.size() - at) return false;
  at += vendor;
  if (!readLength(count) || count > (packet.size() - at) / 4) return false;
  for (uint64_t i = 0; i < count; ++i) {
    uint64_t length = 0;
    if (!readLength(length) || length > packet.size() - at) return false;
    at += length;
  }
  return true;
}

// The decoder trusts the comment packet's lengths and counts: one beyond the
// packet makes it size a table from it and, when that allocation fails, walk
// the missing table. Streams whose comment packet (the second) is not whole
// are refused before the decoder sees them; the stream is left where it was.
bool commentHeaderIsSafe(FILE* file) {
  long start = std::ftell(file);
  if (start < 0) return false;
  OggPacketReader reader(file);
  std::vector<uint8_t> packet;
  bool safe = reader.next(packet) && reader.next(packet) && commentPacketIsWhole(packet);
  return std::fseek(file, start, SEEK_SET) == 0 && safe;
}

struct DecoderCloser {
  stb_vorbis* decoder;
  ~DecoderCloser() { stb_vorbis_close(decoder); }
};

bool decodeAll(stb_vorbis* decoder, int channels, std::vector<int16_t>& samples, int& frames) {
  size_t packetSamples = size_t(kPacketFrames) * size_t(channels);
  samples.resize(packetSamples);
  size_t used = 0;
  for (;;) {
    int got =
        stb_vorbis_get_frame_short_interleaved(decoder, channels, samples.data() + used, int(samples.size() - used));
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
  if (!commentHeaderIsSafe(file)) return false;
  VorbisHeapScope heap(kDecoderHeapBytes);  // ends after the decoder is closed
  int error = 0;
  stb_vorbis* decoder = stb_vorbis_open_file(file, 0, &error, nullptr);
  if (!decoder) return false;
  DecoderCloser closer{decoder};

  stb_vorbis_info info = stb_vorbis_get_info(decoder);
  // Streams with more than two channels fail up front, like such WAV files:
  // OpenAL could not take them and they would only cost decoding time.
  if (info.channels < 1 || info.channels > 2 || info.sample_rate == 0 || info.sample_rate > unsigned(INT_MAX)) {
    return false;
  }
  out.channels = info.channels;
  out.rate = int(info.sample_rate);
  out.bytesPerSample = 2;
  return decodeAll(decoder, out.channels, out.samples16, out.frames);
}
