// RIFF/WAVE reader: a "fmt " chunk with integer PCM first, then chunks up to
// the "data" chunk, which is read whole. All fields are little-endian.
#include "host/sound_decoder.h"

#include <climits>
#include <cstring>

namespace {

constexpr int kPcmFormatCode = 1;         // integer PCM; compressed formats are refused
constexpr uint32_t kPcmFormatBytes = 16;  // the fields of a PCM format chunk
constexpr size_t kTagBytes = 4;

// Reads a stream front to back and knows how many bytes are left in it, so
// that a size field can be checked before it is trusted.
class ChunkStream {
 public:
  explicit ChunkStream(FILE* file) : file_(file) {
    long start = std::ftell(file);
    if (start >= 0 && std::fseek(file, 0, SEEK_END) == 0) {
      long end = std::ftell(file);
      if (end >= start && std::fseek(file, start, SEEK_SET) == 0) left_ = uint64_t(end - start);
    }
  }

  uint64_t left() const { return left_; }

  bool read(void* dst, size_t n) {
    if (n > left_ || std::fread(dst, 1, n, file_) != n) return false;
    left_ -= n;
    return true;
  }

  bool skip(uint64_t n) {
    if (n > left_ || std::fseek(file_, long(n), SEEK_CUR) != 0) return false;
    left_ -= n;
    return true;
  }

  bool readTag(char tag[kTagBytes]) { return read(tag, kTagBytes); }

  bool expectTag(const char* want) {
    char tag[kTagBytes];
    return readTag(tag) && std::memcmp(tag, want, kTagBytes) == 0;
  }

  bool readU16(uint32_t& v) {
    uint8_t b[2];
    if (!read(b, sizeof b)) return false;
    v = uint32_t(b[0]) | uint32_t(b[1]) << 8;
    return true;
  }

  bool readU32(uint32_t& v) {
    uint8_t b[4];
    if (!read(b, sizeof b)) return false;
    v = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    return true;
  }

  // RIFF keeps chunks on even offsets: an odd-sized chunk is followed by one
  // pad byte that its size does not count. Some writers leave the pad out, so
  // the byte is skipped only when it is zero; a chunk tag never starts with 0.
  void skipPadByte() {
    if (left_ == 0) return;
    int c = std::fgetc(file_);
    if (c == 0) {
      --left_;
    } else if (c != EOF) {
      std::ungetc(c, file_);
    }
  }

 private:
  FILE* file_;
  uint64_t left_ = 0;
};

struct PcmFormat {
  uint32_t channels = 0;
  uint32_t rate = 0;
  uint32_t bitsPerSample = 0;
};

bool readFormatChunk(ChunkStream& in, PcmFormat& fmt) {
  uint32_t size = 0, code = 0, byteRate = 0, blockAlign = 0;
  if (!in.expectTag("fmt ") || !in.readU32(size) || size < kPcmFormatBytes) return false;
  if (!in.readU16(code) || code != kPcmFormatCode) return false;
  if (!in.readU16(fmt.channels) || !in.readU32(fmt.rate) || !in.readU32(byteRate) || !in.readU16(blockAlign) ||
      !in.readU16(fmt.bitsPerSample)) {
    return false;
  }
  return in.skip(size - kPcmFormatBytes);
}

// OpenAL buffers take 8- or 16-bit samples in one or two channels; any other
// layout would become a buffer that holds nothing playable.
bool fitsOpenAl(const PcmFormat& fmt) {
  return (fmt.bitsPerSample == 8 || fmt.bitsPerSample == 16) && (fmt.channels == 1 || fmt.channels == 2) &&
         fmt.rate > 0 && fmt.rate <= INT_MAX;
}

bool readDataChunk(ChunkStream& in, uint32_t size, const PcmFormat& fmt, DecodedSound& out) {
  if (size > uint32_t(INT_MAX)) return false;  // larger than one OpenAL upload
  out.bytes.resize(size);
  if (!in.read(out.bytes.data(), size)) return false;
  out.bytesPerSample = int(fmt.bitsPerSample / 8);
  out.channels = int(fmt.channels);
  out.rate = int(fmt.rate);
  out.frames = int(size / uint32_t(out.bytesPerSample * out.channels));
  return true;
}

}  // namespace

bool readWav(FILE* file, DecodedSound& out) {
  ChunkStream in(file);
  uint32_t riffSize = 0;
  PcmFormat fmt;
  if (!in.expectTag("RIFF") || !in.readU32(riffSize) || !in.expectTag("WAVE")) return false;
  if (!readFormatChunk(in, fmt) || !fitsOpenAl(fmt)) return false;

  for (;;) {
    char tag[kTagBytes];
    uint32_t size = 0;
    if (!in.readTag(tag) || !in.readU32(size) || size > in.left()) return false;
    if (std::memcmp(tag, "data", kTagBytes) == 0) return readDataChunk(in, size, fmt, out);
    if (!in.skip(size)) return false;
    if (size % 2 == 1) in.skipPadByte();
  }
}
