// Text-file decoding (UTF-16 with a mark, UTF-8 with or without one, the
// Latin-1 fallback) and UTF-8 encoding, in memory and through files.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "runtime/string.h"

namespace {

using Bytes = std::vector<unsigned char>;

std::vector<uint16_t> units_of(const String& s) { return std::vector<uint16_t>(s.Data(), s.Data() + s.Length()); }

// Decodes bytes from a heap block of exactly their size, so that a read past
// the end is caught by the address sanitizer; also returns standard output.
std::pair<String, std::string> load(const Bytes& bytes) {
  unsigned char* exact = new unsigned char[bytes.size() + (bytes.empty() ? 1 : 0)];
  std::copy(bytes.begin(), bytes.end(), exact);
  testing::internal::CaptureStdout();
  String s = String::Load(exact, static_cast<int>(bytes.size()));
  std::string out = testing::internal::GetCapturedStdout();
  delete[] exact;
  return {s, out};
}

std::vector<uint16_t> decoded(const Bytes& bytes) { return units_of(load(bytes).first); }

TEST(StringLoad, ByteOrderMarksSelectTheEncoding) {
  EXPECT_EQ(decoded({0xEF, 0xBB, 0xBF, 0x41}), std::vector<uint16_t>({0x41}));
  EXPECT_EQ(decoded({0xFF, 0xFE, 0x41, 0x00}), std::vector<uint16_t>({0x41}));
  EXPECT_EQ(decoded({0xFE, 0xFF, 0x00, 0x41}), std::vector<uint16_t>({0x41}));
  EXPECT_EQ(decoded({0xFE, 0xFF, 0x4E, 0x2D, 0xD8, 0x3D}), std::vector<uint16_t>({0x4E2D, 0xD83D}));
  EXPECT_EQ(decoded({0xFF, 0xFE, 0x2D, 0x4E, 0x41}), std::vector<uint16_t>({0x4E2D})) << "a final odd byte is ignored";
}

TEST(StringLoad, EmptyInputsGiveTheSharedEmptyString) {
  String::Rep* empty = String().rep;
  EXPECT_EQ(load({}).first.rep, empty);
  EXPECT_EQ(String::Load(nullptr, -3).rep, empty);
  EXPECT_EQ(load({0xFE, 0xFF}).first.rep, empty);
  EXPECT_EQ(load({0xFF, 0xFE, 0x41}).first.rep, empty);
  EXPECT_EQ(load({0xEF, 0xBB, 0xBF}).first.rep, empty);
}

TEST(StringLoad, Utf8SequencesOfOneTwoAndThreeBytes) {
  EXPECT_EQ(decoded({'h', 'i'}), std::vector<uint16_t>({'h', 'i'}));
  EXPECT_EQ(decoded({0xC3, 0xA9, 0xE4, 0xB8, 0xAD}), std::vector<uint16_t>({0xE9, 0x4E2D}));
  EXPECT_EQ(decoded({0xC0, 0x80}), std::vector<uint16_t>({0x00})) << "overlong forms are accepted";
  EXPECT_EQ(decoded({0xED, 0xA0, 0xBD}), std::vector<uint16_t>({0xD83D})) << "an encoded surrogate unit";
  EXPECT_EQ(decoded({0xEF, 0xBB, 0xBF, 0xEF, 0xBB, 0xBF}), std::vector<uint16_t>({0xFEFF}))
      << "only one mark is skipped";
}

TEST(StringLoad, InvalidUtf8FallsBackToLatin1OfEveryByte) {
  auto [one, out] = load({0xC3});
  EXPECT_EQ(out, "Invalid UTF-8!\n");
  EXPECT_EQ(units_of(one), std::vector<uint16_t>({0xC3}));
  const std::vector<Bytes> invalid = {
      {'a', 0x80},               // stray continuation byte
      {0xF0, 0x9F, 0x98, 0x80},  // four-byte lead
      {0xF8, 0x80},              // 0xF8 and above
      {0xE4, 0xB8},              // cut by the end of the buffer
      {0xE4, 0x41, 0x80},        // malformed continuation
      {0xC3, 0xC3},
  };
  for (const Bytes& bytes : invalid) {
    auto [s, printed] = load(bytes);
    EXPECT_EQ(printed, "Invalid UTF-8!\n");
    EXPECT_EQ(units_of(s), std::vector<uint16_t>(bytes.begin(), bytes.end()));
  }
  auto [marked, printed] = load({0xEF, 0xBB, 0xBF, 0x41, 0xFF});
  EXPECT_EQ(units_of(marked), std::vector<uint16_t>({0xEF, 0xBB, 0xBF, 0x41, 0xFF})) << "the mark's bytes too";
}

TEST(StringLoad, ValidTextPrintsNothing) { EXPECT_EQ(load({0xC3, 0xA9}).second, ""); }

TEST(StringSave, UnitsBecomeOneTwoOrThreeBytesWithoutAMark) {
  const wchar_t text[] = {L'A', 0x7F, 0x80, 0x7FF, 0x800, 0xFFFF, 0};
  Bytes out = {9, 9};
  String(text).Save(out);
  EXPECT_EQ(out, Bytes({0x41, 0x7F, 0xC2, 0x80, 0xDF, 0xBF, 0xE0, 0xA0, 0x80, 0xEF, 0xBF, 0xBF}));
}

TEST(StringSave, AstralCharacterIsSavedAsTwoThreeByteSequences) {
  Bytes out;
  String(L"\U0001F600").Save(out);
  EXPECT_EQ(out, Bytes({0xED, 0xA0, 0xBD, 0xED, 0xB8, 0x80}));
}

TEST(StringSave, EveryUnitSurvivesASaveAndLoad) {
  std::vector<wchar_t> all;
  for (wchar_t u = 1; u <= 0xFFFF; ++u) all.push_back(u);
  String text(all.data(), static_cast<int>(all.size()));
  Bytes bytes;
  text.Save(bytes);
  EXPECT_TRUE(String::Load(bytes.data(), static_cast<int>(bytes.size())) == text);
}

class StringFileTest : public testing::Test {
 protected:
  void SetUp() override { file = std::tmpfile(); }
  void TearDown() override {
    if (file) std::fclose(file);
  }
  FILE* file = nullptr;
};

TEST_F(StringFileTest, SavedTextLoadsBackFromTheFile) {
  ASSERT_NE(file, nullptr);
  String text = String(L"caf\u00e9 \u4e2d") + String("\n");
  EXPECT_TRUE(text.Save(file));
  std::rewind(file);
  EXPECT_TRUE(String::Load(file) == text);
}

TEST_F(StringFileTest, LoadReadsFromTheCurrentPositionAcrossManyBlocks) {
  ASSERT_NE(file, nullptr);
  std::string content(3 * 4096, 'x');
  content += "end";
  std::fputs("skip", file);
  std::fputs(content.c_str(), file);
  std::fseek(file, 4, SEEK_SET);
  String loaded = String::Load(file);
  EXPECT_EQ(loaded.Length(), static_cast<int>(content.size()));
  EXPECT_TRUE(loaded.EndsWith(String("xend")));
}

TEST_F(StringFileTest, ExactMultipleOfTheBlockSizeAndEmptyFiles) {
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(String::Load(file).rep, String().rep);
  std::string content(2 * 4096, 'y');
  std::fputs(content.c_str(), file);
  std::rewind(file);
  EXPECT_EQ(String::Load(file).Length(), 2 * 4096);
}

TEST_F(StringFileTest, EmptyStringSavesAsNothingAndSucceeds) {
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(String().Save(file));
  EXPECT_EQ(std::ftell(file), 0);
}

TEST(StringFile, WriteFailureIsReportedAsFalse) {
  FILE* full = std::fopen("/dev/full", "wb");
  if (!full) GTEST_SKIP() << "/dev/full is not available";
  std::setvbuf(full, nullptr, _IONBF, 0);  // unbuffered: the write itself fails
  EXPECT_FALSE(String("lost").Save(full));
  std::fclose(full);
}

}  // namespace
