// Data buffers: typed access at byte offsets and whole-file loading through
// the location scheme.
#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/data_buffer.h"
#include "tests/support/temp_folder.h"

namespace {

void WriteFile(const std::string& path, const std::vector<unsigned char>& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr) << path;
  if (!bytes.empty()) {
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
  }
  std::fclose(file);
}

TEST(DataBufferTest, PeeksSignExtendAndPokesKeepOnlyTheLowBits) {
  VLDataBuffer buffer;
  ASSERT_TRUE(buffer._New(16));
  EXPECT_EQ(buffer.Length(), 16);

  buffer.PokeByte(0, 0x1FF);  // only 0xFF is stored
  EXPECT_EQ(buffer.PeekByte(0), -1);
  buffer.PokeByte(0, 0x7F);
  EXPECT_EQ(buffer.PeekByte(0), 127);

  buffer.PokeByte(2, 0xFF);
  buffer.PokeByte(3, 0x7F);
  EXPECT_EQ(buffer.PeekShort(2), 32767);  // little-endian FF 7F
  buffer.PokeShort(2, 0x18000);
  EXPECT_EQ(buffer.PeekShort(2), -32768);
  EXPECT_EQ(buffer.PeekByte(3), -128);
}

TEST(DataBufferTest, UnalignedIntAndFloatRoundTrip) {
  VLDataBuffer buffer;
  ASSERT_TRUE(buffer._New(12));
  buffer.PokeInt(1, -123456789);
  EXPECT_EQ(buffer.PeekInt(1), -123456789);
  buffer.PokeInt(5, INT_MIN);
  EXPECT_EQ(buffer.PeekInt(5), INT_MIN);
  EXPECT_EQ(buffer.PeekInt(1), -123456789);  // neighbour untouched
  buffer.PokeFloat(7, 2.5f);
  EXPECT_EQ(buffer.PeekFloat(7), 2.5f);
  EXPECT_EQ(buffer.ReadPointer(7), buffer.WritePointer(0) + 7);
}

TEST(DataBufferTest, RefusesToReplaceABlockUntilDiscarded) {
  VLDataBuffer buffer;
  EXPECT_FALSE(buffer._New(-1));
  EXPECT_EQ(buffer.data, nullptr);
  ASSERT_TRUE(buffer._New(0));  // an empty block is still a block
  EXPECT_FALSE(buffer._New(8));
  EXPECT_EQ(buffer.Length(), 0);
  buffer.Discard();
  EXPECT_EQ(buffer.data, nullptr);
  buffer.Discard();  // nothing to free: no effect
  ASSERT_TRUE(buffer._New(8));
  EXPECT_EQ(buffer.Length(), 8);
}

TEST(DataBufferTest, LoadsWholeFilesAcrossChunkBoundaries) {
  testsupport::WorkingFolder dir;
  ASSERT_EQ(mkdir("data", 0755), 0);
  std::vector<unsigned char> exact(8192), odd(4097);
  for (size_t i = 0; i < exact.size(); ++i) exact[i] = static_cast<unsigned char>(i * 7);
  for (size_t i = 0; i < odd.size(); ++i) odd[i] = static_cast<unsigned char>(i * 13 + 1);
  WriteFile("data/exact.bin", exact);
  WriteFile("data/odd.bin", odd);
  WriteFile("data/empty.bin", {});

  VLDataBuffer exactBuffer, oddBuffer, emptyBuffer;
  ASSERT_TRUE(exactBuffer._Load(String("vellum://data/exact.bin")));
  ASSERT_EQ(exactBuffer.Length(), 8192);
  EXPECT_EQ(std::vector<unsigned char>(exactBuffer.data, exactBuffer.data + 8192), exact);
  ASSERT_TRUE(oddBuffer._Load(String("data/odd.bin")));
  ASSERT_EQ(oddBuffer.Length(), 4097);
  EXPECT_EQ(std::vector<unsigned char>(oddBuffer.data, oddBuffer.data + 4097), odd);
  EXPECT_TRUE(emptyBuffer._Load(String("vellum://data/empty.bin")));
  EXPECT_EQ(emptyBuffer.Length(), 0);

  EXPECT_FALSE(exactBuffer._Load(String("vellum://data/odd.bin")));  // already holds one
  EXPECT_EQ(exactBuffer.Length(), 8192);
}

TEST(DataBufferTest, MissingFilesAndUnknownRootsFailWithoutABlock) {
  testsupport::WorkingFolder dir;
  VLDataBuffer buffer;
  EXPECT_FALSE(buffer._Load(String("vellum://data/missing.bin")));
  EXPECT_FALSE(buffer._Load(String("vellum://nowhere/a.bin")));
  EXPECT_EQ(buffer.data, nullptr);
  EXPECT_EQ(buffer.Length(), 0);
}

}  // namespace
