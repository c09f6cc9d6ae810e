#include "tests/host/sound_files.h"

#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "tests/support/file_bytes.h"

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kToneAmplitude = 0.5;  // of full scale
constexpr float kVorbisQuality = 0.4f;
}  // namespace

RiffBuilder& RiffBuilder::tag(const char* fourcc) {
  out_.insert(out_.end(), fourcc, fourcc + 4);
  return *this;
}

RiffBuilder& RiffBuilder::u16(uint32_t v) {
  out_.push_back(uint8_t(v));
  out_.push_back(uint8_t(v >> 8));
  return *this;
}

RiffBuilder& RiffBuilder::u32(uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out_.push_back(uint8_t(v >> shift));
  return *this;
}

RiffBuilder& RiffBuilder::bytes(const Bytes& b) {
  out_.insert(out_.end(), b.begin(), b.end());
  return *this;
}

RiffBuilder& RiffBuilder::chunk(const char* fourcc, const Bytes& body, bool pad) {
  tag(fourcc).u32(uint32_t(body.size())).bytes(body);
  if (pad && body.size() % 2 == 1) out_.push_back(0);
  return *this;
}

RiffBuilder& RiffBuilder::fmt(int channels, int rate, int bits, int formatCode, int extraBytes) {
  int blockAlign = channels * bits / 8;
  tag("fmt ").u32(uint32_t(16 + extraBytes));
  u16(uint32_t(formatCode)).u16(uint32_t(channels)).u32(uint32_t(rate));
  u32(uint32_t(rate * blockAlign)).u16(uint32_t(blockAlign)).u16(uint32_t(bits));
  out_.insert(out_.end(), size_t(extraBytes), 0);
  return *this;
}

Bytes RiffBuilder::riffFile() const {
  RiffBuilder file;
  file.tag("RIFF").u32(uint32_t(out_.size() + 4)).tag("WAVE").bytes(out_);
  return file.out_;
}

Bytes ToneSamples(int channels, int rate, int bits, double hz, double seconds) {
  Bytes out;
  int frames = int(rate * seconds);
  for (int i = 0; i < frames; ++i) {
    double v = kToneAmplitude * std::sin(2 * kPi * hz * i / rate);
    for (int c = 0; c < channels; ++c) {
      if (bits == 8) {
        out.push_back(uint8_t(128 + std::lround(v * 127)));
      } else {
        int16_t s = int16_t(std::lround(v * 32767));
        out.push_back(uint8_t(s));
        out.push_back(uint8_t(uint16_t(s) >> 8));
      }
    }
  }
  return out;
}

Bytes MakeWavTone(int channels, int rate, int bits, double hz, double seconds) {
  RiffBuilder body;
  body.fmt(channels, rate, bits).chunk("data", ToneSamples(channels, rate, bits, hz, seconds));
  return body.riffFile();
}

namespace {

void appendPage(Bytes& out, const ogg_page& page) {
  out.insert(out.end(), page.header, page.header + page.header_len);
  out.insert(out.end(), page.body, page.body + page.body_len);
}

// Hands every finished block of the encoder to the Ogg stream.
void drainEncoder(vorbis_dsp_state& dsp, vorbis_block& block, ogg_stream_state& stream, Bytes& out) {
  ogg_packet packet;
  ogg_page page;
  while (vorbis_analysis_blockout(&dsp, &block) == 1) {
    vorbis_analysis(&block, nullptr);
    vorbis_bitrate_addblock(&block);
    while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
      ogg_stream_packetin(&stream, &packet);
      while (ogg_stream_pageout(&stream, &page)) appendPage(out, page);
    }
  }
}

}  // namespace

Bytes EncodeOggTone(int channels, int rate, double hz, double seconds) {
  vorbis_info info;
  vorbis_info_init(&info);
  if (vorbis_encode_init_vbr(&info, channels, rate, kVorbisQuality) != 0) {
    throw std::runtime_error("vorbis encoder set-up failed");
  }
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  vorbis_dsp_state dsp;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block block;
  vorbis_block_init(&dsp, &block);
  ogg_stream_state stream;
  ogg_stream_init(&stream, 1);

  Bytes out;
  ogg_packet header, headerComment, headerCode;
  vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
  ogg_stream_packetin(&stream, &header);
  ogg_stream_packetin(&stream, &headerComment);
  ogg_stream_packetin(&stream, &headerCode);
  ogg_page page;
  while (ogg_stream_flush(&stream, &page)) appendPage(out, page);

  int frames = int(rate * seconds);
  float** buffer = vorbis_analysis_buffer(&dsp, frames);
  for (int i = 0; i < frames; ++i) {
    float v = float(kToneAmplitude * std::sin(2 * kPi * hz * i / rate));
    for (int c = 0; c < channels; ++c) buffer[c][i] = v;
  }
  vorbis_analysis_wrote(&dsp, frames);
  drainEncoder(dsp, block, stream, out);
  vorbis_analysis_wrote(&dsp, 0);  // end of stream
  drainEncoder(dsp, block, stream, out);
  while (ogg_stream_flush(&stream, &page)) appendPage(out, page);

  ogg_stream_clear(&stream);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  return out;
}

void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

Bytes ReadFile(const std::string& path) { return testsupport::FileContents(path); }
