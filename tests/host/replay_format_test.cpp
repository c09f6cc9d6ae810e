// The replay file reader: a file written by WriteReplay reads back whole, and
// every kind of bad file is refused with a message that says what is wrong,
// before anything would run.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "host/replay_format.h"

namespace {

using replay::Header;
using replay::Replay;
using replay::StreamWriter;

constexpr std::uint16_t kRules = 7;

Header header(std::uint32_t updates) {
  Header h;
  h.rulesVersion = kRules;
  h.difficulty = 2;
  h.ending = replay::Ending::kTime;
  h.total = 12345;
  h.rounds = updates > 0 ? 1 : 0;
  h.updates = updates;
  return h;
}

std::uint32_t bitsOf(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// A stream that uses every op: start-up, then `updates` updates with input,
// clock readings, renders and read-backs.
StreamWriter sampleStream(int updates) {
  StreamWriter s;
  s.Byte(replay::kOpState);
  s.Unsigned(2);
  s.Unsigned('4');
  s.Unsigned('|');
  s.Byte(replay::kOpSize);
  s.Unsigned(640);
  s.Unsigned(480);
  s.Byte(replay::kOpCreate);
  s.Byte(replay::kOpRender);
  s.Byte(replay::kOpPixels);
  s.Unsigned(4);
  s.Unsigned(3);
  s.Word(0xff000000u);
  s.Unsigned(1);
  s.Word(0xff0000ffu);
  s.Byte(replay::kOpPixelsAgain);
  s.Unsigned(0);
  for (int i = 0; i < updates; ++i) {
    s.Byte(replay::kOpKey);
    s.Unsigned(1);
    s.Unsigned(i % 2 ? 0x101 : 0);
    s.Byte(replay::kOpMouse);
    s.Word(bitsOf(float(i)));
    s.Word(bitsOf(100.5f));
    s.Byte(replay::kOpUpdate);
    s.Byte(static_cast<std::uint8_t>(16 + i % 2));
    s.Byte(replay::kOpMouse);
    s.Word(bitsOf(float(i)));
    s.Word(bitsOf(7.0f));
    s.Byte(replay::kOpPointerStep);
    s.Signed(-3);
    s.Signed(1000);
    s.Byte(replay::kOpRender);
    s.Byte(replay::kOpDrawnNext);
  }
  s.Byte(replay::kOpChars);
  s.Unsigned(1);
  s.Unsigned('a');
  s.Byte(replay::kOpJoy);
  for (int i = 0; i < replay::kJoyAxes; ++i) s.Word(bitsOf(-0.5f));
  s.Byte(replay::kOpClockFar);
  s.Signed(-5);
  s.Byte(replay::kOpSuspend);
  s.Byte(replay::kOpResume);
  s.Byte(replay::kOpCheck);
  s.Word(0xdeadbeefu);
  s.Byte(replay::kOpEnd);
  return s;
}

std::string readError(const std::vector<std::uint8_t>& file, std::uint16_t rules = kRules) {
  Replay out;
  std::string error;
  if (replay::ReadReplay(file.data(), file.size(), rules, &out, &error)) return "";
  return error;
}

// A well-formed file around a stream of a few ops followed by the end mark.
std::vector<std::uint8_t> fileAround(const std::vector<std::uint8_t>& ops, std::uint32_t updates = 0) {
  std::vector<std::uint8_t> stream = ops;
  stream.push_back(replay::kOpEnd);
  return replay::WriteReplay(header(updates), stream);
}

TEST(ReplayFormat, WrittenFileReadsBackWholeAndPacksRepeatedUpdatesSmall) {
  const StreamWriter stream = sampleStream(3000);
  const std::vector<std::uint8_t> file = replay::WriteReplay(header(3000), stream.Bytes());
  Replay out;
  std::string error;
  ASSERT_TRUE(replay::ReadReplay(file.data(), file.size(), kRules, &out, &error)) << error;
  EXPECT_EQ(out.stream, stream.Bytes());
  EXPECT_EQ(out.header.total, 12345u);
  EXPECT_EQ(out.header.difficulty, 2);
  EXPECT_EQ(out.header.ending, replay::Ending::kTime);
  EXPECT_EQ(out.header.updates, 3000u);

  // Idle updates (clock steps of 16 and 17 ms, a render each) pack at least
  // tenfold: a minute of the title menu is a few hundred bytes.
  StreamWriter idle;
  for (int i = 0; i < 3600; ++i) {
    idle.Byte(replay::kOpUpdate);
    idle.Byte(static_cast<std::uint8_t>(i % 3 ? 17 : 16));
    idle.Byte(replay::kOpRender);
    idle.Byte(0);
    idle.Byte(replay::kOpDrawnSame);
  }
  idle.Byte(replay::kOpEnd);
  EXPECT_LT(replay::WriteReplay(header(3600), idle.Bytes()).size() * 10, idle.Size());
}

TEST(ReplayFormat, PackAndUnpackAreExactOnAnyBytes) {
  std::mt19937 random(42);
  for (int size : {0, 1, 3, 4, 5, 100, 5000, 70000}) {
    std::vector<std::uint8_t> raw(static_cast<size_t>(size));
    for (auto& byte : raw) byte = static_cast<std::uint8_t>(random() % (size % 2 ? 4 : 256));
    std::vector<std::uint8_t> back;
    ASSERT_TRUE(replay::Unpack(replay::Pack(raw).data(), replay::Pack(raw).size(), raw.size(), &back)) << size;
    EXPECT_EQ(back, raw) << size;
  }
  // A copy from before the start, or output longer than announced, is refused.
  const std::vector<std::uint8_t> farCopy = {0x00, 'a', 0x80, 0x05};
  std::vector<std::uint8_t> back;
  EXPECT_FALSE(replay::Unpack(farCopy.data(), farCopy.size(), 100, &back));
  const std::vector<std::uint8_t> literal = {0x01, 'a', 'b'};
  EXPECT_FALSE(replay::Unpack(literal.data(), literal.size(), 1, &back));
}

TEST(ReplayFormat, DamagedTruncatedOrForeignFilesAreRefused) {
  const std::vector<std::uint8_t> file = replay::WriteReplay(header(50), sampleStream(50).Bytes());
  ASSERT_EQ(readError(file), "");
  for (size_t cut = 0; cut < file.size(); cut += 7) {
    EXPECT_NE(readError(std::vector<std::uint8_t>(file.begin(), file.begin() + cut)), "") << "cut at " << cut;
  }
  std::vector<std::uint8_t> flipped = file;
  flipped[file.size() / 2] ^= 0x10;
  EXPECT_NE(readError(flipped).find("damaged"), std::string::npos);
  std::vector<std::uint8_t> longer = file;
  longer.push_back(0);
  EXPECT_NE(readError(longer), "");
  std::vector<std::uint8_t> notReplay = file;
  notReplay[0] = 'X';
  EXPECT_NE(readError(notReplay).find("not a replay"), std::string::npos);
  std::vector<std::uint8_t> newer = file;
  newer[4] = replay::kFormatVersion + 1;
  EXPECT_NE(readError(newer).find("format version " + std::to_string(replay::kFormatVersion + 1)), std::string::npos);
  EXPECT_NE(readError(file, kRules + 1).find("rules version 7"), std::string::npos);
  EXPECT_NE(readError(std::vector<std::uint8_t>(replay::kMaxFileBytes + 1, 0)).find("16 MiB"), std::string::npos);
}

TEST(ReplayFormat, AbsurdCountsAndOutOfRangeValuesAreRefused) {
  Header tooLong = header(replay::kMaxUpdates + 1);
  EXPECT_NE(readError(replay::WriteReplay(tooLong, {replay::kOpEnd})).find("out of range"), std::string::npos);
  Header badDifficulty = header(0);
  badDifficulty.difficulty = 4;
  EXPECT_NE(readError(replay::WriteReplay(badDifficulty, {replay::kOpEnd})), "");
  EXPECT_NE(readError(fileAround({replay::kOpUpdate}, 2)).find("holds 1"), std::string::npos);

  const std::uint8_t nan[] = {0x00, 0x00, 0xc0, 0x7f};
  const std::vector<std::vector<std::uint8_t>> bad = {
      {replay::kOpKey, 0x80, 0x04, 0x01},         // key code 512
      {replay::kOpKey, 0x01, 0x80, 0x04},         // key state 512
      {replay::kOpSize, 0x80, 0x80, 0x04, 0x10},  // 65536 pixels wide
      {replay::kOpMouse, nan[0], nan[1], nan[2], nan[3], 0, 0, 0, 0},
      {replay::kOpChars, 33},                            // more characters than an update holds
      {replay::kOpPixels, 0},                            // an empty read-back
      {replay::kOpPixels, 2, 3, 0, 0, 0, 0},             // a run longer than the read-back
      {replay::kOpPixelsAgain, 0},                       // no read-back before it
      {replay::kOpState, 0xff, 0xff, 0xff, 0xff, 0x0f},  // a state text larger than any
      {replay::kOpClockFar, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x01},
      {replay::kOpLast + 1},                                                           // an op no build knows
      {replay::kOpMouse, 0, 0, 0xc9, 0x42, 0, 0, 0, 0, replay::kOpPointerStep, 2, 2},  // a step from x = 100.5
      {replay::kOpPointerStep, 0x82, 0x89, 0x7a, 0},                                   // a step to x = 1000001 pixels
  };
  for (const auto& ops : bad) {
    EXPECT_NE(readError(fileAround(ops)), "") << "op " << int(ops[0]);
  }
  std::vector<std::uint8_t> noEnd = {replay::kOpRender};
  EXPECT_NE(readError(replay::WriteReplay(header(0), noEnd)).find("no end"), std::string::npos);
  EXPECT_NE(readError(replay::WriteReplay(header(0), {replay::kOpEnd, replay::kOpRender})).find("after the end"),
            std::string::npos);
}

// The world rank line: a host answer of format version 2, printable ASCII
// of at most 64 bytes; a version 1 file (the golden replays) reads as ever
// but cannot hold one.
TEST(ReplayFormat, RankLineIsReadFromVersionTwoOnly) {
  auto rankOp = [](const std::string& line) {
    std::vector<std::uint8_t> ops = {replay::kOpRankLine, static_cast<std::uint8_t>(line.size())};
    ops.insert(ops.end(), line.begin(), line.end());
    return ops;
  };
  EXPECT_EQ(readError(fileAround(rankOp("World rank 12 of 3,400 (Normal)"))), "");
  EXPECT_EQ(readError(fileAround(rankOp(""))), "") << "an empty line takes the line away";
  std::vector<std::uint8_t> stream = rankOp("World rank 1 of 1 (Easy)");
  stream.push_back(replay::kOpEnd);
  EXPECT_EQ(replay::OpStarts(stream).size(), 2u);

  Header old = header(0);
  old.formatVersion = 1;
  EXPECT_EQ(readError(replay::WriteReplay(old, {replay::kOpEnd})), "") << "version 1 files are still read";
  EXPECT_NE(readError(replay::WriteReplay(old, stream)).find("format version 1"), std::string::npos);

  EXPECT_NE(readError(fileAround(rankOp("tab\there"))), "");
  EXPECT_NE(readError(fileAround(rankOp("caf\xc3\xa9"))), "");
  EXPECT_NE(readError(fileAround(rankOp(std::string(65, 'x')))), "");
  EXPECT_NE(readError(fileAround({replay::kOpRankLine, 5, 'a'})), "") << "truncated";
  EXPECT_TRUE(replay::FitsRankLine(std::string(64, '~')));
  EXPECT_FALSE(replay::FitsRankLine(std::string(1, '\x7f')));
}

}  // namespace
