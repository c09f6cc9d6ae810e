// Image decoding and pixel preparation without an OpenGL context: bad files
// of every kind give null and print nothing; alpha premultiplication rounds
// down; texture sizes for drivers without non-power-of-two textures.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/graphics_device.h"
#include "tests/support/file_bytes.h"
#include "tests/support/gl_window.h"

namespace {

std::vector<unsigned char> PngBytes(int width, int height, int channels) {
  testsupport::TempFolder dir{"gfx"};
  const std::string file = dir.File("image.png");
  gltest::WritePng(file, width, height, channels, [](int x, int y, int ch) { return x * 7 + y * 3 + ch; });
  return testsupport::FileContents(file);
}

// Decodes from memory and from a file stream, the two ways the loader reads.
struct Decoded {
  unsigned char* memory;
  unsigned char* file;
};

Decoded DecodeBoth(const std::vector<unsigned char>& bytes, int* w, int* h, int* depth) {
  Decoded result{};
  result.memory = loadImage(bytes.data(), static_cast<int>(bytes.size()), w, h, depth);
  testsupport::TempFolder dir{"gfx"};
  gltest::WriteBytes(dir.File("f"), bytes);
  if (FILE* in = std::fopen(dir.File("f").c_str(), "rb")) {
    result.file = loadImageFromFile(in, w, h, depth);
    std::fclose(in);
  }
  return result;
}

TEST(ImageDecodeTest, PngsKeepTheirOwnChannelCount) {
  for (int channels = 1; channels <= 4; ++channels) {
    int w = 0, h = 0, depth = 0;
    const Decoded d = DecodeBoth(PngBytes(5, 3, channels), &w, &h, &depth);
    ASSERT_NE(d.memory, nullptr) << channels;
    ASSERT_NE(d.file, nullptr) << channels;
    EXPECT_EQ(w, 5);
    EXPECT_EQ(h, 3);
    EXPECT_EQ(depth, channels);
    // Pixel (2, 1), last channel: 2 * 7 + 1 * 3 + (channels - 1).
    EXPECT_EQ(d.file[(1 * 5 + 2) * channels + channels - 1], 17 + channels - 1);
    EXPECT_EQ(std::memcmp(d.memory, d.file, static_cast<size_t>(5 * 3 * channels)), 0);
    unloadImage(d.memory);
    unloadImage(d.file);
  }
}

TEST(ImageDecodeTest, TruncatedCorruptAndEnormousFilesGiveNullSilently) {
  const std::vector<unsigned char> png = PngBytes(16, 16, 4);
  std::vector<std::vector<unsigned char>> bad;
  for (size_t cut : {size_t{0}, size_t{8}, size_t{30}, png.size() / 2, png.size() - 13}) {
    bad.emplace_back(png.begin(), png.begin() + static_cast<long>(cut));
  }
  std::vector<unsigned char> corrupt = png;
  for (size_t i = 37; i < corrupt.size(); i += 5) corrupt[i] ^= 0xa5;
  bad.push_back(corrupt);
  std::vector<unsigned char> enormous = png;  // 100000 x 100000 in the header
  const unsigned char side[4] = {0x00, 0x01, 0x86, 0xa0};
  std::memcpy(&enormous[16], side, 4);
  std::memcpy(&enormous[20], side, 4);
  bad.push_back(enormous);
  std::vector<unsigned char> wide = png;  // 16384 x 16384: within one side, too many pixels
  const unsigned char side16k[4] = {0x00, 0x00, 0x40, 0x00};
  std::memcpy(&wide[16], side16k, 4);
  std::memcpy(&wide[20], side16k, 4);
  bad.push_back(wide);
  bad.push_back({'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'});
  // A chunk (the first after the 13-byte header chunk) claiming 2 GiB of a
  // short file: refused before anything that size is reserved.
  std::vector<unsigned char> forgedChunk = png;
  const unsigned char huge[4] = {0x7f, 0xff, 0x00, 0x00};
  std::memcpy(&forgedChunk[33], huge, 4);
  bad.push_back(forgedChunk);
  // An uncompressed TGA header promising 4000 x 4000 pixels in 64 bytes.
  std::vector<unsigned char> tga(64, 0);
  tga[2] = 2;                      // true colour, uncompressed
  tga[12] = 0xa0, tga[13] = 0x0f;  // width 4000
  tga[14] = 0xa0, tga[15] = 0x0f;  // height 4000
  tga[16] = 32;
  bad.push_back(tga);

  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  for (size_t i = 0; i < bad.size(); ++i) {
    int w = -1, h = -1, depth = -1;
    const Decoded d = DecodeBoth(bad[i], &w, &h, &depth);
    EXPECT_EQ(d.memory, nullptr) << "case " << i;
    EXPECT_EQ(d.file, nullptr) << "case " << i;
  }
  int w, h, depth;
  EXPECT_EQ(loadImage(nullptr, 0, &w, &h, &depth), nullptr);
  EXPECT_EQ(loadImage(String("/nonexistent/dir/x.png"), &w, &h, &depth), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

std::vector<unsigned char> Netpbm(const std::string& header, size_t pixelBytes) {
  std::vector<unsigned char> bytes(header.begin(), header.end());
  for (size_t i = 0; i < pixelBytes; ++i) bytes.push_back(static_cast<unsigned char>(10 + i));
  return bytes;
}

// The decoder would hand back pixels it never wrote for such files.
TEST(ImageDecodeTest, NetpbmFilesCutShortGiveNullWholeOnesDecode) {
  struct Case {
    std::string header;
    size_t pixelBytes;
    bool decodes;
  };
  const Case cases[] = {
      {"P5 3 3 255 ", 9, true},
      {"P5\n3 3\n255\n", 4, false},
      {"P5\n3 3\n255\n", 0, false},
      {"P6 2 2 255 ", 12, true},
      {"P6 2 2 255 ", 11, false},
      {"P5\n# made by a test\n2 2\n# another\n255\n", 4, true},
      {"P5\n# made by a test\n2 2\n# another\n255\n", 3, false},
      {"P5 2 2 65535\n", 8, true},  // two bytes a sample
      {"P5 2 2 65535\n", 6, false},
      {"P5 99999999999999999999 1 255 ", 64, false},  // would overflow the decoder's int
      {"P5 1 1 70000 ", 4, false},
  };
  for (const Case& c : cases) {
    int w = 0, h = 0, depth = 0;
    const Decoded d = DecodeBoth(Netpbm(c.header, c.pixelBytes), &w, &h, &depth);
    EXPECT_EQ(d.memory != nullptr, c.decodes) << c.header << " + " << c.pixelBytes;
    EXPECT_EQ(d.file != nullptr, c.decodes) << c.header << " + " << c.pixelBytes;
    if (d.memory && c.header.find("255 ") != std::string::npos) {
      EXPECT_EQ(d.memory[0], 10);  // the file's own first sample
    }
    unloadImage(d.memory);
    unloadImage(d.file);
  }
}

// The decoder writes past a Huffman table whose symbol counts add up to more
// than 256; such files must never reach it.
TEST(ImageDecodeTest, JpegWithOversizedHuffmanTableGivesNull) {
  testsupport::TempFolder dir{"gfx"};
  const std::string file = dir.File("image.jpg");
  std::vector<unsigned char> rgb(8 * 8 * 3, 90);
  ASSERT_TRUE(stbi_write_jpg(file.c_str(), 8, 8, 3, rgb.data(), 90));
  const std::vector<unsigned char> jpeg = testsupport::FileContents(file);

  int w = 0, h = 0, depth = 0;
  const Decoded good = DecodeBoth(jpeg, &w, &h, &depth);
  ASSERT_NE(good.memory, nullptr);
  EXPECT_EQ(depth, 3);
  unloadImage(good.memory);
  unloadImage(good.file);

  size_t table = 0;
  for (size_t i = 0; i + 1 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC4) {
      table = i;
      break;
    }
  }
  ASSERT_NE(table, 0u);
  std::vector<unsigned char> oversized = jpeg;
  oversized[table + 5] = 200;  // first two of the 16 counts: 400 symbols
  oversized[table + 6] = 200;
  const Decoded bad = DecodeBoth(oversized, &w, &h, &depth);
  EXPECT_EQ(bad.memory, nullptr);
  EXPECT_EQ(bad.file, nullptr);
}

// Some readers take the end of the data as zeros: a file cut short must not
// come back as an image with a blank remainder.
TEST(ImageDecodeTest, TgaAndBmpCutShortGiveNullWholeOnesDecode) {
  testsupport::TempFolder dir{"gfx"};
  std::vector<unsigned char> rgb(16 * 16 * 3);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<unsigned char>(i * 13);
  ASSERT_TRUE(stbi_write_bmp(dir.File("a.bmp").c_str(), 16, 16, 3, rgb.data()));
  ASSERT_TRUE(stbi_write_tga(dir.File("a.tga").c_str(), 16, 16, 3, rgb.data()));
  for (const char* name : {"a.bmp", "a.tga"}) {
    const std::vector<unsigned char> whole = testsupport::FileContents(dir.File(name));
    int w = 0, h = 0, depth = 0;
    const Decoded good = DecodeBoth(whole, &w, &h, &depth);
    ASSERT_NE(good.memory, nullptr) << name;
    EXPECT_EQ(w, 16);
    unloadImage(good.memory);
    unloadImage(good.file);
    const std::vector<unsigned char> cut(whole.begin(), whole.end() - 40);
    const Decoded bad = DecodeBoth(cut, &w, &h, &depth);
    EXPECT_EQ(bad.memory, nullptr) << name;
    EXPECT_EQ(bad.file, nullptr) << name;
  }
}

TEST(ImageDecodeTest, PremultiplyRoundsDownAndLeavesOpaqueFormatsAlone) {
  unsigned char rgba[] = {255, 0, 100, 128, 7, 8, 9, 0, 1, 2, 3, 255};
  PremultiplyPixels(rgba, 3, 1, 4);
  const unsigned char wantRgba[] = {128, 0, 50, 128, 0, 0, 0, 0, 1, 2, 3, 255};
  EXPECT_EQ(std::memcmp(rgba, wantRgba, sizeof wantRgba), 0);
  unsigned char greyAlpha[] = {200, 128, 255, 1};
  PremultiplyPixels(greyAlpha, 2, 1, 2);
  EXPECT_EQ(greyAlpha[0], 100);
  EXPECT_EQ(greyAlpha[1], 128);
  EXPECT_EQ(greyAlpha[2], 1);
  unsigned char rgb[] = {1, 2, 3};
  PremultiplyPixels(rgb, 1, 1, 3);
  EXPECT_EQ(rgb[2], 3);
}

TEST(ImageDecodeTest, Pow2SizeIsTheSmallestPowerOfTwoNotBelow) {
  EXPECT_EQ(Pow2Size(-5), 1);
  EXPECT_EQ(Pow2Size(0), 1);
  EXPECT_EQ(Pow2Size(1), 1);
  EXPECT_EQ(Pow2Size(2), 2);
  EXPECT_EQ(Pow2Size(3), 4);
  EXPECT_EQ(Pow2Size(60), 64);
  EXPECT_EQ(Pow2Size(100), 128);
  EXPECT_EQ(Pow2Size(1024), 1024);
  EXPECT_EQ(Pow2Size(1025), 2048);
}

}  // namespace
