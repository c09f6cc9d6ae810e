// The WAV reader and the Ogg loader on files the tests build themselves,
// including damaged ones: what loads, what fails, and what the caller gets.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "host/sound_decoder.h"
#include "host/vorbis_memory.h"
#include "tests/host/sound_files.h"

namespace {

// Decodes from memory through a standard stream, as the device does from a file.
bool decode(bool (*reader)(FILE*, DecodedSound&), Bytes bytes, DecodedSound& out) {
  if (bytes.empty()) bytes.push_back(0);  // fmemopen refuses an empty buffer
  FILE* f = fmemopen(bytes.data(), bytes.size(), "rb");
  bool ok = reader(f, out);
  std::fclose(f);
  return ok;
}

bool decodeWav(const Bytes& bytes, DecodedSound& out) { return decode(readWav, bytes, out); }
bool decodeWav(const Bytes& bytes) {
  DecodedSound out;
  return decodeWav(bytes, out);
}

Bytes samples(size_t n) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = uint8_t(i * 7 + 1);
  return b;
}

TEST(WavReader, SixteenBitMonoGivesTheDataAndItsLayout) {
  Bytes data = samples(200);
  RiffBuilder wav;
  wav.fmt(1, 22050, 16).chunk("data", data);
  DecodedSound out;
  ASSERT_TRUE(decodeWav(wav.riffFile(), out));
  EXPECT_EQ(out.channels, 1);
  EXPECT_EQ(out.bytesPerSample, 2);
  EXPECT_EQ(out.rate, 22050);
  EXPECT_EQ(out.frames, 100);
  EXPECT_EQ(out.byteCount(), 200);
  EXPECT_EQ(out.bytes, data);
}

TEST(WavReader, EightBitStereoKeepsBothChannels) {
  RiffBuilder wav;
  wav.fmt(2, 8000, 8).chunk("data", samples(10));
  DecodedSound out;
  ASSERT_TRUE(decodeWav(wav.riffFile(), out));
  EXPECT_EQ(out.channels, 2);
  EXPECT_EQ(out.bytesPerSample, 1);
  EXPECT_EQ(out.frames, 5);
}

TEST(WavReader, DataAfterListAndFactChunksAndALongFormatChunkLoads) {
  RiffBuilder wav;
  wav.fmt(1, 11025, 16, 1, 2).chunk("LIST", samples(12)).chunk("fact", samples(4));
  wav.chunk("data", samples(8));
  DecodedSound out;
  ASSERT_TRUE(decodeWav(wav.riffFile(), out));
  EXPECT_EQ(out.frames, 4);
  EXPECT_EQ(out.bytes, samples(8));
}

// An odd-sized chunk is followed by a pad byte in a correct RIFF file; some
// writers leave it out. Both must reach the data chunk.
TEST(WavReader, OddSizedChunkLoadsWithOrWithoutItsPadByte) {
  for (bool pad : {true, false}) {
    RiffBuilder wav;
    wav.fmt(1, 8000, 8).chunk("LIST", samples(5), pad).chunk("data", samples(6));
    DecodedSound out;
    ASSERT_TRUE(decodeWav(wav.riffFile(), out)) << "pad byte " << pad;
    EXPECT_EQ(out.bytes, samples(6));
  }
}

TEST(WavReader, FileWhoseFirstChunkIsNotTheFormatFails) {
  RiffBuilder wav;
  wav.chunk("LIST", samples(4)).fmt(1, 8000, 8).chunk("data", samples(4));
  EXPECT_FALSE(decodeWav(wav.riffFile()));
}

TEST(WavReader, LayoutsOpenAlCannotPlayFailInsteadOfLoadingSilence) {
  struct Layout {
    int channels, bits, formatCode, rate;
    const char* what;
  };
  const Layout layouts[] = {
      {1, 24, 1, 8000, "24-bit"},     {1, 32, 1, 8000, "32-bit"},       {3, 16, 1, 8000, "3 channels"},
      {6, 16, 1, 8000, "6 channels"}, {0, 16, 1, 8000, "0 channels"},   {1, 0, 1, 8000, "0 bits"},
      {1, 4, 1, 8000, "4 bits"},      {1, 16, 3, 8000, "float format"}, {1, 16, 1, 0, "rate 0"},
  };
  for (const Layout& l : layouts) {
    RiffBuilder wav;
    wav.fmt(l.channels, l.rate, l.bits, l.formatCode).chunk("data", samples(48));
    EXPECT_FALSE(decodeWav(wav.riffFile())) << l.what;
  }
}

TEST(WavReader, ChunkSizesBeyondTheEndOfTheFileFail) {
  RiffBuilder hugeData;
  hugeData.fmt(1, 8000, 16).tag("data").u32(0xfffffff0u).bytes(samples(16));
  EXPECT_FALSE(decodeWav(hugeData.riffFile()));

  RiffBuilder dataOneByteShort;
  dataOneByteShort.fmt(1, 8000, 16).tag("data").u32(17).bytes(samples(16));
  EXPECT_FALSE(decodeWav(dataOneByteShort.riffFile()));

  RiffBuilder hugeOther;
  hugeOther.fmt(1, 8000, 16).tag("LIST").u32(0x7fffffffu).chunk("data", samples(16));
  EXPECT_FALSE(decodeWav(hugeOther.riffFile()));

  RiffBuilder hugeFormat;
  hugeFormat.tag("fmt ").u32(0xffffff00u).u16(1).u16(1).u32(8000).u32(16000).u16(2).u16(16);
  EXPECT_FALSE(decodeWav(hugeFormat.riffFile()));
}

TEST(WavReader, TruncatedOrForeignFilesFail) {
  Bytes good = MakeWavTone(1, 8000, 16, 440, 0.01);
  ASSERT_TRUE(decodeWav(good));
  for (size_t cut : {size_t(0), size_t(3), size_t(11), size_t(20), size_t(36), size_t(43)}) {
    EXPECT_FALSE(decodeWav(Bytes(good.begin(), good.begin() + long(cut)))) << "cut at " << cut;
  }
  Bytes noData = RiffBuilder().fmt(1, 8000, 16).chunk("LIST", samples(4)).riffFile();
  EXPECT_FALSE(decodeWav(noData));
  Bytes rifx = good;
  rifx[3] = 'X';
  EXPECT_FALSE(decodeWav(rifx));
  Bytes formatTooShort =
      RiffBuilder().tag("fmt ").u32(14).u16(1).u16(1).u32(8000).u32(8000).u16(1).chunk("data", samples(4)).riffFile();
  EXPECT_FALSE(decodeWav(formatTooShort));
}

TEST(WavReader, ReadsFromTheStreamsCurrentPosition) {
  Bytes file = {'j', 'u', 'n', 'k'};
  Bytes wav = MakeWavTone(1, 8000, 8, 440, 0.01);
  file.insert(file.end(), wav.begin(), wav.end());
  FILE* f = fmemopen(file.data(), file.size(), "rb");
  std::fseek(f, 4, SEEK_SET);
  DecodedSound out;
  EXPECT_TRUE(readWav(f, out));
  EXPECT_EQ(out.frames, 80);
  std::fclose(f);
}

TEST(OggReader, ToneDecodesToSixteenBitFramesAtTheStreamsRate) {
  for (int channels : {1, 2}) {
    DecodedSound out;
    ASSERT_TRUE(decode(readOgg, EncodeOggTone(channels, 22050, 440, 0.5), out));
    EXPECT_EQ(out.channels, channels);
    EXPECT_EQ(out.bytesPerSample, 2);
    EXPECT_EQ(out.rate, 22050);
    EXPECT_EQ(out.frames, 11025);
    EXPECT_EQ(out.byteCount(), 11025 * channels * 2);
    ASSERT_EQ(out.samples16.size(), size_t(11025 * channels));
    int peak = 0;
    for (int16_t s : out.samples16) peak = std::max(peak, std::abs(int(s)));
    EXPECT_GT(peak, 8000) << "a half-scale tone";
  }
}

TEST(OggReader, LongerThanTheFirstBufferGrowsAndKeepsEveryFrame) {
  DecodedSound out;
  ASSERT_TRUE(decode(readOgg, EncodeOggTone(2, 44100, 330, 3.0), out));
  EXPECT_EQ(out.frames, 132300);
}

TEST(OggReader, MoreThanTwoChannelsFail) {
  DecodedSound out;
  EXPECT_FALSE(decode(readOgg, EncodeOggTone(3, 22050, 440, 0.1), out));
}

TEST(OggReader, DamagedOrForeignDataFails) {
  DecodedSound out;
  EXPECT_FALSE(decode(readOgg, MakeWavTone(1, 8000, 16, 440, 0.1), out));
  EXPECT_FALSE(decode(readOgg, Bytes(), out));
  Bytes ogg = EncodeOggTone(1, 22050, 440, 0.2);
  EXPECT_FALSE(decode(readOgg, Bytes(ogg.begin(), ogg.begin() + 60), out)) << "headers cut";
}

// Streams found by the fuzzer: a sparse codebook cut short (the decoder used
// to leak its scratch memory), a comment length near 2^32 (its size
// overflowed the decoder's int arithmetic) and a comment count far beyond the
// packet (the decoder walked the table it failed to allocate). All must fail
// cleanly; the sanitizer build checks that nothing leaks.
TEST(OggReader, FuzzerFoundStreamsFailCleanly) {
  for (const char* name : {"sparse-codebook-error.ogg", "comment-length-overflow.ogg", "comment-count-overflow.ogg"}) {
    Bytes file = ReadFile(std::string(KORVANE_SOURCE_DIR) + "/tests/fuzz/corpus/ogg_reader_fuzz/" + name);
    ASSERT_FALSE(file.empty()) << name;
    DecodedSound out;
    EXPECT_FALSE(decode(readOgg, file, out)) << name;
    EXPECT_EQ(VorbisHeapScope::heldBytes(), 0u) << name;
  }
}

TEST(VorbisHeap, LimitsWhatTheDecoderHoldsAndReclaimsWhatItForgets) {
  {
    VorbisHeapScope scope(1000);
    void* a = korvane_vorbis_malloc(600);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(static_cast<unsigned char*>(a)[599], 0) << "blocks come zeroed";
    EXPECT_EQ(korvane_vorbis_malloc(600), nullptr) << "over the limit";
    EXPECT_EQ(korvane_vorbis_malloc(size_t(-8)), nullptr) << "a negative int size";
    std::memset(a, 7, 600);
    void* b = korvane_vorbis_realloc(a, 300);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(static_cast<unsigned char*>(b)[299], 7);
    EXPECT_EQ(VorbisHeapScope::heldBytes(), 300u);
    void* c = korvane_vorbis_malloc(700);
    EXPECT_NE(c, nullptr);
    korvane_vorbis_free(b);
    // c is never freed by its user: the scope takes it back.
  }
  EXPECT_EQ(VorbisHeapScope::heldBytes(), 0u);
}

}  // namespace
