// The mix that OpenAL Soft's wave output writes: a config file that sends a
// program's sound to a WAV file, a reader for that file (16-bit PCM, the
// format chunk possibly of the extensible kind, the data size possibly unset
// by a writer stopped early), and level figures over stretches of it.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/file_bytes.h"

namespace testsupport {

struct Mix {
  int rate = 0;
  int channels = 0;
  std::vector<float> frames;  // interleaved, -1 to 1

  double Seconds() const { return channels > 0 && rate > 0 ? double(frames.size()) / channels / rate : 0.0; }
};

// Writes an OpenAL Soft config (to pass in ALSOFT_CONF) that mixes into `wave`.
inline void WriteWaveOutputConfig(const std::string& conf, const std::string& wave) {
  std::ofstream out(conf);
  out << "[general]\ndrivers=wave\nsample-type=int16\nchannels=stereo\nfrequency=44100\n"
      << "[wave]\nfile=" << wave << "\n";
}

inline uint32_t ReadLe32(const std::vector<unsigned char>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// Every size is checked against the bytes present.
inline bool ReadMix(const std::string& path, Mix& mix) {
  const std::vector<uint8_t> b = testsupport::FileContents(path);
  if (b.size() < 12 || std::string(b.begin(), b.begin() + 4) != "RIFF") return false;
  size_t at = 12;
  int bits = 0;
  while (at + 8 <= b.size()) {
    const std::string tag(b.begin() + at, b.begin() + at + 4);
    uint32_t size = ReadLe32(b, at + 4);
    at += 8;
    if (tag == "fmt " && size >= 16 && at + 16 <= b.size()) {
      mix.channels = b[at + 2] | b[at + 3] << 8;
      mix.rate = static_cast<int>(ReadLe32(b, at + 4));
      bits = b[at + 14] | b[at + 15] << 8;
    }
    if (tag == "data") {
      if (size > b.size() - at) size = static_cast<uint32_t>(b.size() - at);
      if (bits != 16 || mix.channels <= 0) return false;
      for (size_t i = at; i + 1 < at + size; i += 2) {
        mix.frames.push_back(static_cast<int16_t>(b[i] | b[i + 1] << 8) / 32768.0f);
      }
      return true;
    }
    if (size > b.size() - at) return false;
    at += size + (size & 1);
  }
  return false;
}

// Sample indices of a stretch in seconds, clamped to the mix.
inline std::pair<size_t, size_t> MixRange(const Mix& mix, double fromSecond, double toSecond) {
  const auto index = [&](double s) {
    return std::min(mix.frames.size(), static_cast<size_t>(std::max(0.0, s) * mix.rate) * mix.channels);
  };
  return {index(fromSecond), index(toSecond)};
}

inline double Rms(const Mix& mix, double fromSecond, double toSecond) {
  const auto [from, to] = MixRange(mix, fromSecond, toSecond);
  if (to <= from) return 0.0;
  double sum = 0.0;
  for (size_t i = from; i < to; ++i) sum += double(mix.frames[i]) * mix.frames[i];
  return std::sqrt(sum / static_cast<double>(to - from));
}

inline double Peak(const Mix& mix, double fromSecond, double toSecond) {
  const auto [from, to] = MixRange(mix, fromSecond, toSecond);
  double peak = 0.0;
  for (size_t i = from; i < to; ++i) peak = std::max(peak, double(std::fabs(mix.frames[i])));
  return peak;
}

}  // namespace testsupport
