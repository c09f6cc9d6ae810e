// The replay tap's world rank line: the host's live line is recorded before
// the update that first sees it, and a re-run of the file shows the game the
// same line at the same updates, whatever the live line does meanwhile.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/input_device.h"
#include "host/replay_tap.h"

namespace {

constexpr int kUpdates = 6;
constexpr int kWidth = 640, kHeight = 480;

// What the host's score poster answers before each update: nothing, then a
// line, a line the stream cannot hold (kept out), and a newer line.
std::string liveLine(int update) {
  if (update < 2) return "";
  if (update < 4) return "World rank 12 of 3,400 (Normal)";
  if (update == 4) return "World rank\n1";
  return "World rank 9 of 3,401 (Normal)";
}

TEST(ReplayTap, RankLineIsRecordedAndPlayedAtTheSameUpdates) {
  std::vector<std::uint8_t> file;
  replay::StartRecording([&](const replay::Header&, const std::vector<std::uint8_t>& bytes) { file = bytes; });
  int update = 0;
  replay::SetRankSource([&] { return liveLine(update); });
  gxtkInput input;
  std::vector<std::string> seen;
  replay::OnCreate();
  for (update = 0; update < kUpdates; ++update) {
    replay::OnUpdate(input, kWidth, kHeight);
    seen.push_back(replay::AnswerRankLine());
    if (update == kUpdates - 1) replay::GameEnds(2, 100, 1);
    replay::AfterUpdate();
  }
  ASSERT_FALSE(file.empty()) << "the finished game's file reached the sink";
  const std::vector<std::string> expected = {"", "", liveLine(2), liveLine(2), liveLine(2), liveLine(5)};
  EXPECT_EQ(seen, expected);

  replay::Replay loaded;
  std::string error;
  ASSERT_TRUE(replay::ReadReplay(file.data(), file.size(), replay::kAnyRules, &loaded, &error)) << error;
  EXPECT_EQ(loaded.header.formatVersion, replay::kFormatVersion);
  replay::SetRankSource([] { return std::string("a live line a re-run never sees"); });
  replay::StartPlaying(std::move(loaded));
  std::vector<std::string> played;
  for (replay::Step step = replay::NextStep(); step != replay::Step::kEnd; step = replay::NextStep()) {
    if (step != replay::Step::kUpdate) continue;
    replay::OnUpdate(input, kWidth, kHeight);
    played.push_back(replay::AnswerRankLine());
    replay::AfterUpdate();
  }
  EXPECT_EQ(played, expected);
  replay::SetRankSource(nullptr);
}

}  // namespace
